// libFuzzer target: InstInfo.ini bytes in any encoding through the installer's own reader, with logging on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/inst_info.h"

namespace tessaro {
namespace {

class NullWriter final : public LineWriter {
  public:
    void WriteLine(std::string_view) override {}
};

// Only what the reader and the log reach is answered; nothing else is ever called on this path.
class FuzzPlatform final : public StartupServices,
                           public TextFiles,
                           public Clock,
                           public Dialogs,
                           public ProgramControl,
                           public FileServices,
                           public ProcessServices,
                           public AutomationServices {
  public:
    explicit FuzzPlatform(std::string bytes) : bytes_(std::move(bytes)) {}
    Platform& platform() { return platform_; }

    std::string ProgramFolder() override { return "C:\\addon"; }
    std::string ArgumentText() override { return "/log"; }
    bool AnotherInstanceRunning() override { return false; }
    FileBytes ReadAll(const std::string&) override { return {ReadStatus::Ok, bytes_}; }
    // A code page with lead bytes, like 936: a high byte swallows the next one.
    std::string AnsiToUtf8(std::string_view ansi) override {
        std::string out;
        for (std::size_t i = 0; i < ansi.size(); ++i) {
            const auto byte = static_cast<unsigned char>(ansi[i]);
            if (byte >= 0x81 && byte <= 0xFE && i + 1 < ansi.size()) {
                out += "\xE4\xB8\x80";  // any CJK character will do
                ++i;
            } else {
                out += static_cast<char>(byte < 0x80 ? byte : '?');
            }
        }
        return out;
    }
    std::unique_ptr<LineWriter> OpenForAppend(const std::string&) override { return std::make_unique<NullWriter>(); }
    std::string TemporaryFolder() override { return {}; }
    std::string LocalTimestamp() override { return "2026/12/7 5:19:53"; }
    DialogReply ShowMessage(std::string_view, std::string_view, MessageKind) override { return DialogReply::Ok; }
    void Pause(uint32_t) override {}
    [[noreturn]] void EndProgram(int) override { __builtin_trap(); }
    Result<bool> PathExists(const std::string&) override { return false; }
    Result<bool> CopyReplacing(const std::string&, const std::string&) override { return false; }
    Result<bool> RemoveFile(const std::string&) override { return false; }
    Result<bool> IsRegularFile(const std::string&) override { return false; }
    Refusal LastRefusal() override { return Refusal::Other; }
    std::optional<std::string> VirtualStoreCopyOf(const std::string&) override { return std::nullopt; }
    Status StartProgram(const std::string&, const std::string&) override { return {}; }
    Result<std::vector<ProcessEntry>> Snapshot() override { return std::vector<ProcessEntry>{}; }
    void Terminate(uint32_t) override {}
    Result<AutomationRef> CreateObject(std::string_view) override { return RunFailure{429, ""}; }

  private:
    std::string bytes_;
    Platform platform_{*this, *this, *this, *this, *this, *this, *this, *this};
};

}  // namespace
}  // namespace tessaro

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tessaro::FuzzPlatform fuzz(std::string(reinterpret_cast<const char*>(data), size));
    tessaro::InstallerState state;
    state.AppPath = "C:\\addon\\";
    state.LogEnabled = true;
    state.Log = std::make_unique<tessaro::ClassLog>(fuzz, fuzz);
    const bool usable = tessaro::ReadInstInfo(state, fuzz.platform());
    // What the window and the install run rely on afterwards.
    if (state.SetupTitle.empty() || state.FlagsPicture.empty() || usable != (state.FileItems.TaskCount() > 0)) {
        __builtin_trap();
    }
    for (std::size_t task = 0; task < state.FileItems.TaskCount(); ++task) {
        for (int field = 0; field < tessaro::FileItemsTable::kFieldCount; ++field) {
            (void)state.FileItems.Field(field, task).size();
        }
    }
    return 0;
}

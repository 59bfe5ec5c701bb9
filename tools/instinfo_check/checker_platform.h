#pragma once

#include <string>
#include <vector>

#include "config/config_text.h"
#include "platform/platform.h"

namespace instinfo_check {

// The services Tessaro's reader asks for, served for one InstInfo.ini that the user named. ReadInstInfo only
// reads the file, decodes ANSI text and, when the file is missing, shows a message; everything else of the
// installer is never reached from it, so those services are inert stand-ins.
class CheckerPlatform final : public tessaro::StartupServices,
                              public tessaro::TextFiles,
                              public tessaro::Clock,
                              public tessaro::Dialogs,
                              public tessaro::ProgramControl,
                              public tessaro::FileServices,
                              public tessaro::ProcessServices,
                              public tessaro::AutomationServices {
  public:
    CheckerPlatform(std::string iniPath, tessaro::AnsiDecoder ansiDecoder);
    CheckerPlatform(const CheckerPlatform&) = delete;
    CheckerPlatform& operator=(const CheckerPlatform&) = delete;

    tessaro::Platform& platform() { return platform_; }

    // What ReadAll handed the reader, so the checker walks exactly the bytes the reader saw.
    const tessaro::FileBytes& Served() const { return served_; }
    // The message boxes the reader would have shown, in order.
    const std::vector<std::string>& Messages() const { return messages_; }

    // StartupServices
    std::string ProgramFolder() override { return {}; }
    std::string ArgumentText() override { return {}; }
    bool AnotherInstanceRunning() override { return false; }
    // TextFiles
    tessaro::FileBytes ReadAll(const std::string& path) override;
    std::string AnsiToUtf8(std::string_view ansiText) override { return ansiDecoder_(ansiText); }
    std::unique_ptr<tessaro::LineWriter> OpenForAppend(const std::string&) override { return nullptr; }
    std::string TemporaryFolder() override { return {}; }
    // Clock
    std::string LocalTimestamp() override { return {}; }
    // Dialogs
    tessaro::DialogReply ShowMessage(std::string_view text, std::string_view title, tessaro::MessageKind kind) override;
    // ProgramControl
    void Pause(uint32_t) override {}
    [[noreturn]] void EndProgram(int exitStatus) override;
    // FileServices
    tessaro::Result<bool> PathExists(const std::string&) override { return false; }
    tessaro::Result<bool> CopyReplacing(const std::string&, const std::string&) override { return false; }
    tessaro::Result<bool> RemoveFile(const std::string&) override { return false; }
    tessaro::Result<bool> IsRegularFile(const std::string&) override { return false; }
    tessaro::Refusal LastRefusal() override { return tessaro::Refusal::Other; }
    std::optional<std::string> VirtualStoreCopyOf(const std::string&) override { return std::nullopt; }
    tessaro::Status StartProgram(const std::string&, const std::string&) override;
    // ProcessServices
    tessaro::Result<std::vector<tessaro::ProcessEntry>> Snapshot() override {
        return std::vector<tessaro::ProcessEntry>{};
    }
    void Terminate(uint32_t) override {}
    // AutomationServices
    tessaro::Result<tessaro::AutomationRef> CreateObject(std::string_view progId) override;

  private:
    std::string iniPath_;
    tessaro::AnsiDecoder ansiDecoder_;
    tessaro::FileBytes served_;
    std::vector<std::string> messages_;
    tessaro::Platform platform_;
};

}  // namespace instinfo_check

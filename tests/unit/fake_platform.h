#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tessaro::testing {

// Thrown by the fake's EndProgram so a test can watch the program end without the process ending.
struct ProgramEnded {
    int exitStatus;
};

struct FakeMessageBox {
    std::string text;
    std::string title;
    MessageKind kind;
};

// A CorelDRAW X3 stand-in for unit tests: answers folders, keeps command bars, records every member it is
// asked for (as "GMSManager.GMSPath", "CommandBars(Bar).Delete", ...) and fails members on request.
struct FakeCorelServer {
    std::string userDataPath = "C:\\Corel\\User Data";
    std::string gmsPath = "C:\\Corel\\GMS";
    std::string userGmsPath = "C:\\Corel\\User GMS";
    std::string applicationPath = "C:\\Corel\\Programs";
    std::vector<std::string> commandBars;
    std::map<std::string, RunFailure> failures;  // by journal name
    std::vector<std::string> journal;
    bool visible = true;
};

// One fake that stands in for every platform service and records, in order, what the core asked of it.
class FakePlatform : public StartupServices,
                     public TextFiles,
                     public Clock,
                     public Dialogs,
                     public ProgramControl,
                     public FileServices,
                     public ProcessServices,
                     public AutomationServices,
                     public InstallButton {
  public:
    static constexpr std::string_view kTimestamp = "2026/12/7 5:19:53";

    FakePlatform();

    Platform& platform() { return platform_; }

    // The fake file system; paths compare without regard to letter case, as on Windows.
    void AddFile(const std::string& path, std::string content = {}, bool readOnly = false);
    void AddFolder(const std::string& path);
    bool Exists(const std::string& path) const;
    bool IsReadOnly(const std::string& path) const;
    std::string Content(const std::string& path) const;

    // The messages of a log (c:\Tessaro.log unless named), time stamps removed (checking each stamp on the way).
    std::vector<std::string> LogMessages(const std::string& path = "c:\\Tessaro.log") const;
    // Everything recorded, in order: "box:<text>", "caption:<text>", "enabled:0", "pause:<ms>", "terminate:<pid>",
    // "copy:<src>><dst>", "delete:<path>", "start:<cmd>", "corel:<member>", "end:<status>".
    std::vector<std::string> events;
    std::vector<FakeMessageBox> boxes;

    // Start-up.
    std::string programFolder = "C:\\addon";
    std::string commandArguments;
    bool anotherInstance = false;
    // Files.
    bool logCannotOpen = false;          // no log file opens anywhere
    bool driveRootRefusesFiles = false;  // files directly in C:\ cannot be opened (a standard user under UAC)
    std::string temporaryFolder = "C:\\Users\\me\\AppData\\Local\\Temp";
    Refusal refusalReason = Refusal::Other;  // what LastRefusal() answers
    std::set<std::string> lockedFiles;       // by path: no copy replaces them, no deletion removes them
    // UAC file virtualization: VirtualStoreCopyOf maps paths inside these folders into
    // <localAppData>\VirtualStore and answers the ones that exist there. Empty: no VirtualStore.
    std::vector<std::string> virtualizedFolders;
    std::string localAppData = "C:\\Users\\me\\AppData\\Local";
    std::map<std::string, ReadStatus> readFailures;  // by path
    std::string (*ansiDecoder)(std::string_view) = nullptr;
    bool copyRefused = false;
    std::optional<RunFailure> startRefusal;
    // Dialogs.
    DialogReply confirmationReply = DialogReply::Ok;
    // Processes.
    std::vector<ProcessEntry> processes;
    std::vector<uint32_t> terminated;
    // Automation.
    FakeCorelServer corel;
    bool corelRegistered = true;
    bool corelWithoutDispatch = false;
    // Install button.
    std::string buttonCaption = "点这里开始安装";
    bool buttonEnabled = true;

    // Fault injection: the call numbered `failCall` (1-based, counting every call that can fail) fails with
    // `injectedFailure`. `callCount` tells how many such calls a run made.
    int failCall = 0;
    RunFailure injectedFailure;
    int callCount = 0;
    std::optional<RunFailure> Intercept();

    // StartupServices
    std::string ProgramFolder() override { return programFolder; }
    std::string ArgumentText() override { return commandArguments; }
    bool AnotherInstanceRunning() override { return anotherInstance; }
    // TextFiles
    FileBytes ReadAll(const std::string& path) override;
    std::string AnsiToUtf8(std::string_view ansiText) override;
    std::unique_ptr<LineWriter> OpenForAppend(const std::string& path) override;
    std::string TemporaryFolder() override { return temporaryFolder; }
    // Clock
    std::string LocalTimestamp() override { return std::string(kTimestamp); }
    // Dialogs
    DialogReply ShowMessage(std::string_view text, std::string_view title, MessageKind kind) override;
    // ProgramControl
    void Pause(uint32_t milliseconds) override;
    [[noreturn]] void EndProgram(int exitStatus) override;
    // FileServices
    Result<bool> PathExists(const std::string& path) override;
    Result<bool> CopyReplacing(const std::string& source, const std::string& target) override;
    Result<bool> RemoveFile(const std::string& path) override;
    Result<bool> IsRegularFile(const std::string& path) override;
    Status StartProgram(const std::string& programPath, const std::string& argumentText) override;
    Refusal LastRefusal() override { return refusalReason; }
    std::optional<std::string> VirtualStoreCopyOf(const std::string& path) override;
    // ProcessServices
    Result<std::vector<ProcessEntry>> Snapshot() override;
    void Terminate(uint32_t processId) override;
    // AutomationServices
    Result<AutomationRef> CreateObject(std::string_view progId) override;
    // InstallButton
    void SetEnabled(bool enabled) override;
    void SetCaption(std::string_view caption) override;

  private:
    struct Entry {
        bool folder = false;
        bool readOnly = false;
        std::string content;
    };
    static std::string Key(const std::string& path);
    static std::string ParentOf(const std::string& path);

    std::map<std::string, Entry> entries_;
    Platform platform_;
};

}  // namespace tessaro::testing

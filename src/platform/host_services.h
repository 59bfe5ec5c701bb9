#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace tessaro {

// What the program learns about itself when it starts.
class StartupServices {
  public:
    virtual ~StartupServices() = default;

    // The full path of the folder that holds the program file, as the platform reports it (no separator added).
    virtual std::string ProgramFolder() = 0;
    // Everything after the program's own path on the command line, exactly as the platform hands it over.
    virtual std::string ArgumentText() = 0;
    // True when an earlier instance of this program is still running.
    virtual bool AnotherInstanceRunning() = 0;
};

enum class ReadStatus { Ok, NotFound, Failed };

struct FileBytes {
    ReadStatus status = ReadStatus::Failed;
    std::string bytes;
};

// One open text file that takes whole lines; the platform writes them in the ANSI code page with CR LF.
class LineWriter {
  public:
    virtual ~LineWriter() = default;
    virtual void WriteLine(std::string_view utf8Line) = 0;
};

class TextFiles {
  public:
    virtual ~TextFiles() = default;

    virtual FileBytes ReadAll(const std::string& path) = 0;
    // Text in the system's ANSI code page, turned into UTF-8.
    virtual std::string AnsiToUtf8(std::string_view ansiText) = 0;
    // Opens a file for appending, creating it when missing; nullptr when it cannot be opened.
    virtual std::unique_ptr<LineWriter> OpenForAppend(const std::string& path) = 0;
    // The user's own temporary folder, without a trailing separator; empty when the system names none.
    virtual std::string TemporaryFolder() = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // The current local date and time in the user's regional short date and time format: date, blank, time.
    virtual std::string LocalTimestamp() = 0;
};

enum class MessageKind { Confirmation, Success, Error };
enum class DialogReply { Ok, Cancel };

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A modal message box. Confirmation: warning icon, OK and Cancel. Success: information icon, OK.
    // Error: stop icon, OK. Closing a confirmation box any other way answers Cancel.
    virtual DialogReply ShowMessage(std::string_view text, std::string_view title, MessageKind kind) = 0;
};

class ProgramControl {
  public:
    virtual ~ProgramControl() = default;
    // Waits, keeping the window painted but taking no input.
    virtual void Pause(uint32_t milliseconds) = 0;
    // Ends the program at once with this exit status; no handler of the program runs afterwards.
    [[noreturn]] virtual void EndProgram(int exitStatus) = 0;
};

// Why the last copy or deletion that answered `false` was refused.
enum class Refusal { Other, AccessDenied };

// The file services of the task actions. Each call reports a run failure only when the service itself could not
// be reached; a refused copy or deletion is an ordinary `false`.
class FileServices {
  public:
    virtual ~FileServices() = default;

    // True when a file or a folder of that path exists.
    virtual Result<bool> PathExists(const std::string& path) = 0;
    // True only for an ordinary file on a disk: not a folder, not a device (NUL, CON, COM1, ...).
    virtual Result<bool> IsRegularFile(const std::string& path) = 0;
    // Replaces what CopyFile would replace and nothing else: a read-only, hidden or system target is refused.
    virtual Result<bool> CopyReplacing(const std::string& source, const std::string& target) = 0;
    // Deletes a regular file, clearing the attributes that would refuse it first and putting them back when the
    // deletion fails all the same.
    virtual Result<bool> RemoveFile(const std::string& path) = 0;
    virtual Refusal LastRefusal() = 0;
    // Programs built before UAC, CorelDRAW X3 among them, are redirected to a per-user copy of a file under
    // Program Files (the VirtualStore) once such a copy exists, and never see the real file again. The path of
    // that copy of `path` when one exists; nothing on systems without the VirtualStore.
    virtual std::optional<std::string> VirtualStoreCopyOf(const std::string& path) = 0;
    // Starts a program with a normal, focused window and does not wait for it. A refused start is a run failure
    // with the platform's number and reason text.
    virtual Status StartProgram(const std::string& programPath, const std::string& argumentText) = 0;
};

struct ProcessEntry {
    uint32_t processId = 0;
    std::string exeName;
};

class ProcessServices {
  public:
    virtual ~ProcessServices() = default;

    // The running processes in the platform's order; an empty list when no snapshot could be taken.
    virtual Result<std::vector<ProcessEntry>> Snapshot() = 0;
    // Asks the platform to end the process with exit code 0; the outcome is not reported.
    virtual void Terminate(uint32_t processId) = 0;
};

// The Install button as the install run sees it: its caption is the run's progress line.
class InstallButton {
  public:
    virtual ~InstallButton() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetCaption(std::string_view caption) = 0;
};

}  // namespace tessaro

#include "engine/perform_task.h"

#include <optional>

#include "app/texts.h"
#include "config/file_format.h"
#include "engine/exit_installer.h"
#include "platform/windows_paths.h"

namespace tessaro {
namespace {

using FolderQuery = Result<std::string> (CorelApplication::*)();

// How the run learns each folder from CorelDRAW, and the line it logs before a copy there.
struct FolderSource {
    FolderQuery query;
    std::string_view copyLogLine;
};

FolderSource SourceOf(CorelFolder folder) {
    switch (folder) {
        case CorelFolder::UserData:
            return {&CorelApplication::UserDataPath, text::kLogCopyToUserDataPath};
        case CorelFolder::Gms:
            return {&CorelApplication::GMSPath, text::kLogCopyToGmsPath};
        case CorelFolder::UserGms:
            return {&CorelApplication::UserGMSPath, text::kLogCopyToUserGmsPath};
        case CorelFolder::Application:
            break;
    }
    return {&CorelApplication::ApplicationPath, text::kLogCopyToApplicationPath};
}

constexpr int kToolbarAttempts = 3;

std::string Concat(std::initializer_list<std::string_view> pieces) {
    std::string joined;
    for (const std::string_view piece : pieces) {
        joined.append(piece);
    }
    return joined;
}

// One task's working values and the steps of each kind. Every step that can fail goes through the run's
// failure handler; a tolerated failure simply leaves its value absent and the next step runs.
class TaskAction {
  public:
    TaskAction(InstallerState& state, Platform& platform, FailureHandler& handler, std::size_t task)
        : state_(state),
          platform_(platform),
          run_(handler),
          fileName_(state.FileItems.Field(1, task)),
          required_(state.FileItems.Field(2, task) == kRequiredFlag),
          target_(state.FileItems.Field(3, task)) {}

    void Copy() {
        const std::string source = state_.AppPath + fileName_;
        std::string folder;
        if (target_ == kImportWorkspaceTarget) {
            ImportWorkspace(source);
            return;
        }
        if (const FolderWord* word = FindFolder(target_)) {
            LogLine(state_, SourceOf(word->folder).copyLogLine);
            folder = AskFolder(word->folder);
        }
        if (!Exists(source)) {
            MissingFile(source);
            return;
        }
        // A folder that is not absolute is as good as none: it would resolve against the current folder, and
        // the files would land beside the installer.
        if (!IsAbsoluteWindowsPath(folder)) {
            MissingCorelPath(folder);
            return;
        }
        const std::string targetPath = JoinTargetPath(folder, fileName_);
        const std::optional<bool> copied = run_.Step(platform_.files.CopyReplacing(source, targetPath));
        if (copied == false) {
            run_.Raise(Refused(failure::kCopyFailed, text::kFailCopy));
        } else if (copied == true) {
            RemoveVirtualStoreCopy(targetPath, failure::kCopyFailed, text::kFailCopy);
        }
    }

    void Delete() {
        std::string folder;
        if (const FolderWord* word = FindFolder(target_)) {
            folder = AskFolder(word->folder);
        }
        if (!IsAbsoluteWindowsPath(folder)) {
            LogLine(state_, Concat({text::kLogDeleteFolderMissingHead, folder, text::kLogNotExistTail}));
            MissingCorelPath(folder);
            return;
        }
        const std::string targetPath = JoinTargetPath(folder, fileName_);
        LogLine(state_, Concat({text::kLogPreparingDelete, targetPath}));
        if (!IsRegularFile(targetPath)) {
            LogLine(state_, Concat({text::kLogDeleteFileMissingHead, targetPath, text::kLogNotExistTail}));
            MissingFile(fileName_);
            return;
        }
        const std::optional<bool> deleted = run_.Step(platform_.files.RemoveFile(targetPath));
        if (deleted == false) {
            run_.Raise(Refused(failure::kDeleteFailed, text::kFailDelete));
        } else if (deleted == true) {
            RemoveVirtualStoreCopy(targetPath, failure::kDeleteFailed, text::kFailDelete);
        }
    }

    void Run() {
        const std::string programPath = state_.AppPath + fileName_;
        if (!Exists(programPath)) {
            LogLine(state_, Concat({text::kLogProgramHead, programPath, text::kLogProgramNotFoundTail}));
            MissingFile(programPath);
            return;
        }
        const std::string argumentText = target_.empty() ? std::string() : " " + target_;
        LogLine(state_, Concat({text::kLogPreparingRun, programPath, argumentText}));
        run_.Step(platform_.files.StartProgram(programPath, argumentText));
    }

    // The three attempts stand alone: the first usually removes the bar, the other two find none and are
    // tolerated, so an add-on's toolbar is gone even when CorelDRAW kept a duplicate of it.
    void RemoveToolbar() {
        const AutomationRef application = run_.Step(state_.CorelApp.Application()).value_or(nullptr);
        for (int attempt = 0; attempt < kToolbarAttempts; ++attempt) {
            LogLine(state_, Concat({text::kLogPreparingToolbarDelete, fileName_}));
            run_.Step(CorelApplication::DeleteCommandBar(application, fileName_));
        }
    }

  private:
    // A refusal keeps its number; when the system denied access, which under UAC means the installer was not
    // run as an administrator, the description says so.
    RunFailure Refused(int32_t number, std::string_view what) {
        std::string description(what);
        if (platform_.files.LastRefusal() == Refusal::AccessDenied) {
            description.append(text::kFailAccessDeniedHint);
        }
        return {number, std::move(description)};
    }

    // After the real file was replaced or deleted, CorelDRAW would still read an older per-user copy of it, so
    // that copy goes too. Not being able to remove it fails the task like the refused copy or deletion would.
    void RemoveVirtualStoreCopy(const std::string& targetPath, int32_t number, std::string_view what) {
        const std::optional<std::string> copy = platform_.files.VirtualStoreCopyOf(targetPath);
        if (!copy) {
            return;
        }
        LogLine(state_, Concat({text::kLogRemovingVirtualStoreCopy, *copy}));
        if (run_.Step(platform_.files.RemoveFile(*copy)) == false) {
            run_.Raise(Refused(number, what));
        }
    }

    void ImportWorkspace(const std::string& source) {
        LogLine(state_, text::kLogPreparingImport);
        if (!Exists(source)) {
            MissingFile(source);
            return;
        }
        LogLine(state_, text::kLogWorkspaceExists);
        run_.Step(state_.CorelApp.ImportWorkspace(source));
    }

    std::string AskFolder(CorelFolder folder) {
        return run_.Step((state_.CorelApp.*SourceOf(folder).query)()).value_or("");
    }

    // An existence test that could not be made counts as "not there". So does a name holding a NUL: the system
    // would look for the shorter name before it, which the line does not name.
    bool Exists(const std::string& path) {
        return !ContainsNul(path) && run_.Step(platform_.files.PathExists(path)).value_or(false);
    }

    // Only an ordinary file is deleted: an empty name, a sub-folder or a device is "not there".
    bool IsRegularFile(const std::string& path) {
        return !ContainsNul(path) && run_.Step(platform_.files.IsRegularFile(path)).value_or(false);
    }

    void MissingFile(std::string_view path) {
        if (required_) {
            FatalMissingFile(state_, platform_, path);
        }
    }

    void MissingCorelPath(std::string_view folder) {
        if (required_) {
            FatalMissingCorelPath(state_, platform_, folder);
        }
    }

    InstallerState& state_;
    Platform& platform_;
    FailureHandler& run_;
    const std::string& fileName_;
    const bool required_;
    const std::string& target_;
};

}  // namespace

std::string JoinTargetPath(std::string_view folder, std::string_view fileName) {
    std::string path(folder);
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    path.append(fileName);
    return path;
}

void PerformTask(InstallerState& state, Platform& platform, FailureHandler& handler, std::size_t taskIndex) {
    TaskAction action(state, platform, handler, taskIndex);
    switch (FindKind(state.FileItems.Field(0, taskIndex))) {
        case TaskKind::Copy:
            action.Copy();
            break;
        case TaskKind::Delete:
            action.Delete();
            break;
        case TaskKind::Run:
            action.Run();
            break;
        case TaskKind::RemoveToolbar:
            action.RemoveToolbar();
            break;
        case TaskKind::None:
            break;
    }
}

}  // namespace tessaro

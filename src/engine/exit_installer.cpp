#include "engine/exit_installer.h"

#include <cstdlib>
#include <string>

#include "app/texts.h"

namespace tessaro {
namespace {

[[noreturn]] void ShowFatalAndExit(InstallerState& state,
                                   Platform& platform,
                                   std::string_view head,
                                   std::string_view path,
                                   ExitStatus unattendedStatus) {
    std::string message(head);
    message.append(path).append(text::kMsgMissingTail).append(text::kCrLf).append(text::kMsgContactAuthor);
    state.exitStatus = FailureStatus(state, unattendedStatus);
    platform.dialogs.ShowMessage(message, text::kAppTitle, MessageKind::Error);
    ExitInstaller(state, platform);
}

}  // namespace

void ExitInstaller(InstallerState& state, Platform& platform) {
    LogLine(state, text::kLogDestroyingCorel);
    // Quit's outcome is not ours to judge: an empty object or a server that no longer answers both end here.
    (void)state.CorelApp.Quit();
    state.CorelApp.Release();
    LogLine(state, text::kLogExiting);
    state.Log.reset();
    platform.program.EndProgram(state.exitStatus);
    // EndProgram does not come back; should a platform break that promise, nothing of ours may run on.
    std::abort();
}

void FatalMissingFile(InstallerState& state, Platform& platform, std::string_view path) {
    ShowFatalAndExit(state, platform, text::kMsgMissingFileHead, path, kExitFileMissing);
}

void FatalMissingCorelPath(InstallerState& state, Platform& platform, std::string_view path) {
    ShowFatalAndExit(state, platform, text::kMsgMissingCorelPathHead, path, kExitCorelFolderMissing);
}

}  // namespace tessaro

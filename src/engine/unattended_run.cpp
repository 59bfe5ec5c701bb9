#include "engine/unattended_run.h"

#include <string>

#include "app/texts.h"
#include "engine/exit_installer.h"
#include "engine/install_run.h"
#include "engine/stop_coreldraw.h"

namespace tessaro {
namespace {

// There is no window: the progress lines only reach the log, where the run writes them already.
class NoInstallButton final : public InstallButton {
  public:
    void SetEnabled(bool) override {}
    void SetCaption(std::string_view) override {}
};

}  // namespace

DialogReply UnattendedDialogs::ShowMessage(std::string_view text, std::string_view, MessageKind kind) {
    // The confirmation is the command line's to give: RunUnattended has settled it before the run asks.
    if (kind == MessageKind::Confirmation) {
        return DialogReply::Ok;
    }
    // One box, one log line: its line breaks become blanks.
    std::string line(text::kLogDialogPrefix);
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.substr(at, 2) == text::kCrLf) {
            line += ' ';
            ++at;
        } else {
            line += text[at];
        }
    }
    if (!state_.Log || state_.Log->LastMessage() != line) {
        LogLine(state_, line);
    }
    return DialogReply::Ok;
}

void RunUnattended(InstallerState& state, Platform& platform) {
    LogLine(state, text::kLogUnattended);
    if (!state.closeApplications) {
        // A snapshot that fails here fails the run's own first step as well, which reports it.
        const Result<bool> running = CorelDrawRunning(platform.processes);
        if (running && running.value()) {
            LogLine(state, text::kLogCorelRunningUnattended);
            state.exitStatus = kExitCorelRunning;
            ExitInstaller(state, platform);
        }
    }
    NoInstallButton button;
    cmdInstall_Click(state, platform, button);
    // Only a cancelled confirmation comes back, and UnattendedDialogs confirms everything.
    ExitInstaller(state, platform);
}

}  // namespace tessaro

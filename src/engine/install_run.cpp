#include "engine/install_run.h"

#include <string>

#include "app/texts.h"
#include "engine/perform_task.h"
#include "engine/run_failure.h"
#include "engine/run_report.h"
#include "engine/stop_coreldraw.h"

namespace tessaro {
namespace {

std::string ConfirmationText() {
    return std::string(text::kMsgConfirmClose).append(text::kCrLf).append(text::kMsgConfirmSave);
}

void SetCaption(InstallerState& state, InstallButton& cmdInstall, std::string_view caption) {
    LogLine(state, text::kLogChangingCaption);
    cmdInstall.SetCaption(caption);
}

}  // namespace

void cmdInstall_Click(InstallerState& state, Platform& platform, InstallButton& cmdInstall) {
    LogLine(state, text::kLogInstallClicked);
    FailureHandler run(state, platform);
    LogLine(state, text::kLogShowingWarning);
    if (platform.dialogs.ShowMessage(ConfirmationText(), text::kAppTitle, MessageKind::Confirmation) ==
        DialogReply::Cancel) {
        LogLine(state, text::kLogCancelClicked);
        return;
    }
    LogLine(state, text::kLogDisablingButton);
    cmdInstall.SetEnabled(false);
    SetCaption(state, cmdInstall, text::kCaptionInitialising);
    LogLine(state, text::kLogStoppingCorel);
    run.Step(StopCorelDraw(platform.processes));
    platform.program.Pause(kCorelShutdownPauseMs);
    SetCaption(state, cmdInstall, text::kCaptionCheckingCorel);
    LogLine(state, text::kLogCreatingCorel);
    state.CorelApp = CorelApplication(run.Step(platform.automation.CreateObject(kCorelProgId)).value_or(nullptr));
    LogLine(state, text::kLogHidingCorel);
    run.Step(state.CorelApp.SetVisible(false));
    LogLine(state, text::kLogCreatingFileSystem);
    LogLine(state, text::kLogAnalysingTasks);

    const int32_t lastTask = state.FileItems.UpperBound();
    for (int32_t task = 0; task <= lastTask; ++task) {
        const auto index = static_cast<std::size_t>(task);
        const std::string& caption = state.FileItems.Field(4, index);
        cmdInstall.SetCaption(caption.empty() ? text::kCaptionInstalling : std::string_view(caption));
        PerformTask(state, platform, run, index);
    }

    run.Step(state.CorelApp.SetVisible(false));
    cmdInstall.SetCaption(text::kCaptionFinished);
    ReportRunResult(state, platform, RunFailure{});
}

}  // namespace tessaro

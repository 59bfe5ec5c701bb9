#include "engine/run_report.h"

#include <string>

#include "app/texts.h"
#include "engine/exit_installer.h"
#include "engine/run_failure.h"

namespace tessaro {
namespace {

struct FinalMessage {
    std::string text;
    MessageKind kind;
    int exitStatus;
};

FinalMessage FinalMessageFor(const InstallerState& state, const RunFailure& failure) {
    const std::string number = FailureNumberText(failure.number);
    switch (ClassifyFailure(failure.number)) {
        case FailureClass::None:
            return {std::string(text::kMsgSuccess), MessageKind::Success, kExitInstalled};
        case FailureClass::CorelMissing:
            return {std::string(text::kMsgCorelMissing), MessageKind::Error,
                    FailureStatus(state, kExitCorelNotInstalled)};
        case FailureClass::CorelObjectFailed:
            return {std::string(text::kMsgCorelObjectFailed) + number, MessageKind::Error, kExitFailed};
        case FailureClass::Tolerated:  // never reaches the report: the failure handler carries on instead
        case FailureClass::Unexpected:
            break;
    }
    std::string message(text::kMsgUnexpectedHead);
    message.append(failure.description).append(text::kMsgUnexpectedStop).append(text::kMsgCodeLabel).append(number);
    return {std::move(message), MessageKind::Error, kExitFailed};
}

}  // namespace

void ReportRunResult(InstallerState& state, Platform& platform, const RunFailure& failure) {
    const FinalMessage message = FinalMessageFor(state, failure);
    LogDialogLine(state, message.text);
    state.exitStatus = message.exitStatus;
    platform.dialogs.ShowMessage(message.text, text::kAppTitle, message.kind);
    ExitInstaller(state, platform);
}

}  // namespace tessaro

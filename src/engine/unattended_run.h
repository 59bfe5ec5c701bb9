#pragma once

#include "app/installer_state.h"
#include "platform/platform.h"

namespace tessaro {

// The message boxes of an unattended run. Nobody is there to answer them: the text goes to the log as the
// installer's "对话框：" line (once, where the run writes that line itself, and on one line) and the answer is OK.
// The confirmation before CorelDRAW is ended is answered OK without a line.
class UnattendedDialogs final : public Dialogs {
  public:
    explicit UnattendedDialogs(InstallerState& state) : state_(state) {}
    DialogReply ShowMessage(std::string_view text, std::string_view title, MessageKind kind) override;

  private:
    InstallerState& state_;
};

// The install run of the Install button, started by a deployment tool: the same steps and log lines, with
// `platform` answering its boxes through UnattendedDialogs. A running CorelDRAW is ended only when the command
// line allowed it; otherwise the program ends with kExitCorelRunning before anything is touched. Never returns.
[[noreturn]] void RunUnattended(InstallerState& state, Platform& platform);

}  // namespace tessaro

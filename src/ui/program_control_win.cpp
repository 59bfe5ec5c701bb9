#include "ui/program_control_win.h"

#include "platform/tick_deadline.h"
#include "platform/win32/message_pump_win.h"

namespace tessaro {

void ProgramControlWin::Pause(uint32_t milliseconds) {
    const TickDeadline deadline(GetTickCount(), milliseconds);
    for (uint32_t left = deadline.Remaining(GetTickCount()); left > 0; left = deadline.Remaining(GetTickCount())) {
        MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        win::DispatchPendingMessagesWithoutInput();
    }
}

void ProgramControlWin::EndProgram(int exitStatus) {
    if (atEnd_ != nullptr) {
        atEnd_(atEndContext_);
    }
    // Ending the process directly: no window procedure, and so no close handler, runs after this.
    ExitProcess(static_cast<UINT>(exitStatus));
}

}  // namespace tessaro

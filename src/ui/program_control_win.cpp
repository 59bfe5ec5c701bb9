#include "ui/program_control_win.h"

#include "platform/tick_deadline.h"

namespace tessaro {
namespace {

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK);
}

}  // namespace

void DispatchPendingMessagesWithoutInput() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT || IsInput(msg.message)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void ProgramControlWin::Pause(uint32_t milliseconds) {
    const TickDeadline deadline(GetTickCount(), milliseconds);
    for (uint32_t left = deadline.Remaining(GetTickCount()); left > 0; left = deadline.Remaining(GetTickCount())) {
        MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        DispatchPendingMessagesWithoutInput();
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

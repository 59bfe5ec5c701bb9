#include "platform/win32/message_pump_win.h"

#include "platform/tick_deadline.h"

namespace tessaro::win {
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

bool WaitDispatchingWithoutInput(HANDLE event, uint32_t limitMs) {
    const TickDeadline deadline(GetTickCount(), limitMs);
    for (;;) {
        const uint32_t left = deadline.Remaining(GetTickCount());
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &event, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        if (woke == WAIT_FAILED) {
            return WaitForSingleObject(event, left) == WAIT_OBJECT_0;
        }
        if (woke == WAIT_TIMEOUT && left == 0) {
            return false;
        }
        DispatchPendingMessagesWithoutInput();
    }
}

}  // namespace tessaro::win

#include "platform/win32/dialogs_win.h"

#include "platform/win32/text_conv_win.h"
#include "platform/windows_paths.h"

namespace tessaro {

DialogReply DialogsWin::ShowMessage(std::string_view text, std::string_view title, MessageKind kind) {
    UINT style = MB_SETFOREGROUND;
    switch (kind) {
        case MessageKind::Confirmation:
            style |= MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON1;
            break;
        case MessageKind::Success:
            style |= MB_OK | MB_ICONINFORMATION;
            break;
        case MessageKind::Error:
            style |= MB_OK | MB_ICONERROR;
            break;
    }
    // Without an owner the box still has to block every window of this thread.
    if (owner_ == nullptr) {
        style |= MB_TASKMODAL;
    }
    const std::wstring wideText = win::Utf8ToWide(WithVisibleNul(text));
    const std::wstring wideTitle = win::Utf8ToWide(WithVisibleNul(title));
    const int reply = ::MessageBoxW(owner_, wideText.c_str(), wideTitle.c_str(), style);
    return reply == IDOK ? DialogReply::Ok : DialogReply::Cancel;
}

}  // namespace tessaro

#pragma once

#include <windows.h>

#include <string_view>

#include "platform/host_services.h"

namespace tessaro {

class DialogsWin final : public Dialogs {
  public:
    // The window the message boxes belong to; none until the main window exists.
    void SetOwner(HWND owner) noexcept { owner_ = owner; }

    DialogReply ShowMessage(std::string_view text, std::string_view title, MessageKind kind) override;

  private:
    HWND owner_ = nullptr;  // Not owned: the window belongs to the UI.
};

}  // namespace tessaro

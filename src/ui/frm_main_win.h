#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "app/installer_state.h"
#include "platform/platform.h"
#include "platform/win32/unique_handle_win.h"
#include "ui/cover_picture_win.h"

namespace tessaro {

class DialogsWin;

// The installer's one window: the cover picture, the Install button and the maker's addresses.
class FrmMain final : public InstallButton {
  public:
    // Control identifiers, also read by the end-to-end tests.
    static constexpr int kIdPicFlags = 101;
    static constexpr int kIdCmdInstall = 102;
    static constexpr int kIdLbwww = 103;

    FrmMain(HINSTANCE instance, InstallerState& state, Platform& platform, DialogsWin& dialogs);
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;
    ~FrmMain() override;

    // Creates the window, runs Form_Load and shows it centred on the screen.
    bool Create();
    HWND hwnd() const { return hwnd_; }
    // Runs when Install is clicked, before the install run: a Setup.exe waits there for the rest of its files.
    void BeforeInstall(std::function<void()> hook) { beforeInstall_ = std::move(hook); }

    // InstallButton: the install run's progress line.
    void SetEnabled(bool enabled) override;
    void SetCaption(std::string_view caption) override;

  private:
    std::function<void()> beforeInstall_;

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void Form_Load();
    void cmdInstall_Click();
    void picFlags_Click();
    [[noreturn]] void Form_Unload();
    void DrawPicture(const DRAWITEMSTRUCT& item);
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

    HINSTANCE instance_;
    InstallerState& state_;
    Platform& platform_;
    DialogsWin& dialogs_;
    HWND hwnd_ = nullptr;
    HWND picFlags_ = nullptr;
    HWND cmdInstall_ = nullptr;
    HWND lbwww_ = nullptr;
    HWND toolTip_ = nullptr;
    int dpi_ = 96;
    bool runHoldsWindow_ = false;
    HCURSOR handCursor_ = nullptr;  // a shared system cursor: never destroyed
    win::UniqueFont font_;
    win::UniqueBitmap banner_;
    CoverPicture cover_;
};

}  // namespace tessaro

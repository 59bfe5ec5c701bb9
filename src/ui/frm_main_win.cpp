#include "ui/frm_main_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/texts.h"
#include "engine/exit_installer.h"
#include "engine/install_run.h"
#include "platform/win32/desktop_user_launch_win.h"
#include "platform/win32/dialogs_win.h"
#include "platform/win32/text_conv_win.h"
#include "platform/windows_paths.h"
#include "ui/packed_bitmap_win.h"
#include "ui/res/resource.h"

namespace tessaro {
namespace {

constexpr wchar_t kWindowClass[] = L"TessaroMainWindow";
constexpr wchar_t kInstallCaption[] = L"点这里开始安装";
// The maker's addresses; an add-on maker who rebuilds Tessaro puts their own here.
constexpr wchar_t kWebPage[] = L"https://www.example.com/";
constexpr wchar_t kWebAddresses[] = L"www.example.com / www.example.org";
constexpr wchar_t kToolTipPrefix[] = L"点击访问 ";

// The maker's page from InstInfo.ini, which the reader took only as a plain http(s) address; ours otherwise.
std::wstring WebPage(const InstallerState& state) {
    return state.homePage.empty() ? std::wstring(kWebPage) : win::Utf8ToWide(state.homePage);
}

// The maker's addresses replace both of ours, even when only one is given.
std::wstring WebAddresses(const InstallerState& state) {
    if (state.webSite1.empty() && state.webSite2.empty()) {
        return kWebAddresses;
    }
    const std::string joined = state.webSite1.empty() || state.webSite2.empty()
                                   ? state.webSite1 + state.webSite2
                                   : state.webSite1 + " / " + state.webSite2;
    return win::Utf8ToWide(joined);
}

// Layout at 96 DPI, in pixels of the client area (15 twips each).
struct Layout {
    int left, top, width, height;
};
constexpr SIZE kClientSize{432, 176};
constexpr Layout kPicFlags{5, 5, 420, 78};
constexpr Layout kCmdInstall{56, 103, 329, 41};
constexpr Layout kLbwww{112, 152, 209, 14};
constexpr int kFontPoints = 9;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

}  // namespace

FrmMain::FrmMain(HINSTANCE instance, InstallerState& state, Platform& platform, DialogsWin& dialogs)
    : instance_(instance), state_(state), platform_(platform), dialogs_(dialogs) {}

FrmMain::~FrmMain() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool FrmMain::Create() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_APP_ICON));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    RECT frame{0, 0, Scale(kClientSize.cx), Scale(kClientSize.cy)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    // The program's name stands in the title bar only until Form_Load sets the configured title.
    const std::wstring appTitle = win::Utf8ToWide(text::kAppTitle);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, appTitle.c_str(), kWindowStyle, left, top, width, height,
                            nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    dialogs_.SetOwner(hwnd_);
    CreateControls();
    Form_Load();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetFocus(cmdInstall_);
    return true;
}

void FrmMain::CreateControls() {
    LOGFONTW logFont{};
    logFont.lfHeight = -MulDiv(kFontPoints, dpi_, 72);
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(logFont.lfFaceName, L"Tahoma", LF_FACESIZE);
    font_.Reset(CreateFontIndirectW(&logFont));

    const auto create = [&](const wchar_t* windowClass, const wchar_t* text, DWORD style, const Layout& at, int id) {
        HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, Scale(at.left),
                                       Scale(at.top), Scale(at.width), Scale(at.height), hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return control;
    };
    // Created in tab order: the picture, the button, the label.
    picFlags_ = create(L"STATIC", L"", SS_OWNERDRAW | SS_NOTIFY, kPicFlags, kIdPicFlags);
    cmdInstall_ = create(L"BUTTON", kInstallCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, kCmdInstall, kIdCmdInstall);
    lbwww_ = create(L"STATIC", WebAddresses(state_).c_str(), SS_CENTER | SS_NOPREFIX, kLbwww, kIdLbwww);
    SendMessageW(hwnd_, DM_SETDEFID, kIdCmdInstall, 0);

    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    if (toolTip_ != nullptr) {
        std::wstring tip = kToolTipPrefix;
        tip += WebPage(state_);
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(picFlags_);
        tool.lpszText = tip.data();
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void FrmMain::Form_Load() {
    SetWindowTextW(hwnd_, win::Utf8ToWide(state_.SetupTitle).c_str());
    // The system's hand (Windows 2000 and later), in the user's own cursor scheme.
    handCursor_ = LoadCursorW(nullptr, IDC_HAND);
    banner_ = LoadPackedBitmap(instance_, IDB_BANNER);
    // The cover picture is read once, here; the banner stays when there is none or it cannot be read. A name
    // holding a NUL names no file the system could open: the system would read the shorter name before it.
    const std::string picture = state_.AppPath + state_.FlagsPicture;
    if (!ContainsNul(picture)) {
        cover_.TryLoad(win::Utf8ToWide(picture));
    }
}

void FrmMain::SetEnabled(bool enabled) {
    EnableWindow(cmdInstall_, enabled ? TRUE : FALSE);
    if (!enabled) {
        // From here the install run holds the thread until the program ends: no input, no handler of ours.
        runHoldsWindow_ = true;
        EnableWindow(hwnd_, FALSE);
    }
}

void FrmMain::SetCaption(std::string_view caption) {
    SetWindowTextW(cmdInstall_, win::Utf8ToWide(caption).c_str());
    // The run may go straight on with a long copy: show the new caption now.
    UpdateWindow(cmdInstall_);
}

void FrmMain::cmdInstall_Click() {
    if (beforeInstall_) {
        beforeInstall_();
    }
    tessaro::cmdInstall_Click(state_, platform_, *this);
}

void FrmMain::picFlags_Click() {
    // The browser opens as the desktop user, never with the rights an elevated installer holds.
    const std::wstring page = WebPage(state_);
    if (win::StartedAsDesktopUserWhenElevated(page, L"", L"", SW_SHOWNORMAL)) {
        return;
    }
    ShellExecuteW(hwnd_, L"open", page.c_str(), L"", L"", SW_SHOWNORMAL);
}

void FrmMain::Form_Unload() {
    ExitInstaller(state_, platform_);
}

void FrmMain::DrawPicture(const DRAWITEMSTRUCT& item) {
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_WINDOW));
    SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
    if (!cover_.Empty()) {
        cover_.Draw(item.hDC);
        return;
    }
    HDC source = CreateCompatibleDC(item.hDC);
    BITMAP info{};
    GetObjectW(banner_.Get(), sizeof(info), &info);
    HGDIOBJ previous = SelectObject(source, banner_.Get());
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, 0, 0, Scale(info.bmWidth), Scale(info.bmHeight), source, 0, 0, info.bmWidth, info.bmHeight,
               SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

LRESULT CALLBACK FrmMain::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<FrmMain*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self != nullptr ? self->HandleMessage(message, wParam, lParam)
                           : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT FrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (runHoldsWindow_) {
                return 0;
            }
            if (LOWORD(wParam) == kIdCmdInstall && HIWORD(wParam) == BN_CLICKED) {
                cmdInstall_Click();
            } else if (LOWORD(wParam) == kIdPicFlags && HIWORD(wParam) == STN_CLICKED) {
                picFlags_Click();
            }
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(kIdCmdInstall, DC_HASDEFID);
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == picFlags_ && LOWORD(lParam) == HTCLIENT && handCursor_ != nullptr) {
                SetCursor(handCursor_);
                return TRUE;
            }
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID == kIdPicFlags) {
                DrawPicture(*item);
                return TRUE;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == lbwww_) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_CLOSE:
            if (!runHoldsWindow_) {
                Form_Unload();
            }
            return 0;
        case WM_ENDSESSION:
            // Windows is shutting down or the user logs off: leave the way closing the window does.
            if (wParam != FALSE && !runHoldsWindow_) {
                Form_Unload();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace tessaro

// CorelDRW.exe, a stand-in for CorelDRAW X3's automation server, used to test the installer end to end.
//   /RegServer, /UnregServer   register or remove CorelDRAW.Application.13
//   -Embedding                 started by COM: serve the application object
//   no arguments               just a running "CorelDRAW" with a plain window

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string_view>

#include "raii_win.h"
#include "registration_win.h"
#include "server_win.h"

namespace corel_standin {

namespace {

constexpr wchar_t kWindowClass[] = L"CorelStandinWindow";
constexpr wchar_t kWindowTitle[] = L"CorelDRAW X3 (stand-in)";
constexpr wchar_t kWindowText[] = L"这是 CorelDRAW X3 的替身程序，只用于测试安装程序。关闭此窗口即可结束。";

struct LocalFreeDeleter {
    void operator()(LPWSTR* block) const { LocalFree(block); }
};

bool IsSwitch(std::wstring_view argument, std::wstring_view name) {
    if (argument.size() != name.size() + 1 || (argument[0] != L'/' && argument[0] != L'-')) {
        return false;
    }
    argument.remove_prefix(1);
    return CompareStringOrdinal(argument.data(), static_cast<int>(argument.size()), name.data(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            InflateRect(&area, -16, -16);
            // A stock font belongs to the system; it is selected, never deleted.
            const HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            DrawTextW(dc, kWindowText, -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
            SelectObject(dc, previous);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0) {
        return 1;
    }
    // The window is destroyed by WM_CLOSE; its lifetime is the message loop's.
    const HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 480, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

}  // namespace corel_standin

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace corel_standin;
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    for (int i = 1; arguments && i < count; ++i) {
        const std::wstring_view argument = arguments.get()[i];
        if (IsSwitch(argument, L"RegServer")) {
            return RegisterServer() ? 0 : 1;
        }
        if (IsSwitch(argument, L"UnregServer")) {
            return UnregisterServer() ? 0 : 1;
        }
        if (IsSwitch(argument, L"Embedding") || IsSwitch(argument, L"Automation")) {
            return RunEmbedded();
        }
    }
    return RunWindow(instance, showCommand);
}

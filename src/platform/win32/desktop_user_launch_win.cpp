#include "platform/win32/desktop_user_launch_win.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include <string_view>

#include "platform/win32/com_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro::win {
namespace {

// The class and the service are fixed by the shell's contract. Defined here so the link needs no GUID objects
// from libuuid, whose MinGW-w64 versions differ in which shell GUIDs they carry; the interfaces come with their
// IIDs in the headers (__uuidof).
constexpr CLSID kShellWindowsClass = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowserService = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// Every step after this one is a cross-process call into the shell, which waits for as long as the shell does
// not answer. A shell whose desktop window has not answered in this time is not asked at all.
constexpr UINT kShellAnswerMs = 5000;

HRESULT DesktopShellAnswers() {
    // No shell window: a service session, another desktop, or a session without Explorer.
    const HWND shellWindow = ::GetShellWindow();
    if (shellWindow == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(shellWindow, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kShellAnswerMs, &ignored)) {
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    return S_OK;
}

HRESULT BstrVariant(std::wstring_view text, Variant& value) {
    Bstr bstr(text);
    if (bstr.Get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    VARIANT* var = value.Put();
    var->vt = VT_BSTR;
    var->bstrVal = bstr.Detach();
    return S_OK;
}

void IntVariant(int number, Variant& value) {
    VARIANT* var = value.Put();
    var->vt = VT_I4;
    var->lVal = number;
}

// The automation object of the shell that shows the desktop: the Application of the desktop folder's view.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
    // Out of process only: an in-process ShellWindows would be a copy inside this elevated process, and whatever
    // it started would run with our token.
    ComPtr<IShellWindows> windows;
    HRESULT hr = ::CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                    windows.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }

    Variant desktopLocation;
    IntVariant(CSIDL_DESKTOP, desktopLocation);
    Variant noRoot;
    LONG desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    hr = windows->FindWindowSW(desktopLocation.Get(), noRoot.Get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                               desktop.Put());
    if (FAILED(hr)) {
        return hr;
    }
    // S_FALSE with nothing: this shell shows no desktop it can hand out.
    if (hr != S_OK || !desktop) {
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }

    ComPtr<IServiceProvider> services;
    if (FAILED(hr = desktop.As(services))) {
        return hr;
    }
    ComPtr<IShellBrowser> browser;
    if (FAILED(hr = services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser), browser.PutVoid()))) {
        return hr;
    }
    ComPtr<IShellView> view;
    if (FAILED(hr = browser->QueryActiveShellView(view.Put()))) {
        return hr;
    }
    if (!view) {
        return E_NOINTERFACE;
    }
    ComPtr<IDispatch> background;
    if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.PutVoid()))) {
        return hr;
    }
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(hr = background.As(folderView))) {
        return hr;
    }
    ComPtr<IDispatch> application;
    if (FAILED(hr = folderView->get_Application(application.Put()))) {
        return hr;
    }
    return application.As(shell);
}

}  // namespace

bool RunsElevated() {
    UniqueHandleNull token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return false;
    }
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size)) {
        return false;
    }
    return type == TokenElevationTypeFull;
}

HRESULT ShellExecuteAsDesktopUser(const std::wstring& file,
                                  const std::wstring& parameters,
                                  const std::wstring& directory,
                                  int showCommand) {
    HRESULT hr = DesktopShellAnswers();
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IShellDispatch2> shell;
    if (FAILED(hr = DesktopShellDispatch(shell))) {
        return hr;
    }
    if (!shell) {
        return E_NOINTERFACE;
    }

    Bstr fileName(file);
    if (fileName.Get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    Variant arguments;
    Variant folder;
    Variant verb;
    if (FAILED(hr = BstrVariant(parameters, arguments)) || FAILED(hr = BstrVariant(directory, folder)) ||
        FAILED(hr = BstrVariant(L"open", verb))) {
        return hr;
    }
    Variant show;
    IntVariant(showCommand, show);
    // The VARIANTs go by value, as the interface declares; they stay ours and are cleared by their owners.
    hr = shell->ShellExecute(fileName.Get(), *arguments.Get(), *folder.Get(), *verb.Get(), *show.Get());
    // Only S_OK means the shell started it. Another success code (Wine's S_FALSE when its ShellExecuteW failed)
    // started nothing, so the caller may safely start the program itself.
    return hr == S_OK ? S_OK : (FAILED(hr) ? hr : E_FAIL);
}

bool StartedAsDesktopUserWhenElevated(const std::wstring& file,
                                      const std::wstring& parameters,
                                      const std::wstring& directory,
                                      int showCommand) {
    return RunsElevated() && SUCCEEDED(ShellExecuteAsDesktopUser(file, parameters, directory, showCommand));
}

}  // namespace tessaro::win

#include "platform/win32/desktop_user_launch_win.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/win32/com_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro::win {
namespace {

Variant VariantOf(const std::wstring& text) {
    Variant value;
    value->vt = VT_BSTR;
    value->bstrVal = Bstr(text).Detach();
    return value;
}

Variant VariantOf(int number) {
    Variant value;
    value->vt = VT_I4;
    value->lVal = number;
    return value;
}

// Explorer's automation object for the desktop folder view, whose Application is the shell's own.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
    ComPtr<IShellWindows> windows;
    HRESULT hr =
        ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    Variant desktop = VariantOf(CSIDL_DESKTOP);
    Variant empty;
    long desktopWindow = 0;
    ComPtr<IDispatch> found;
    hr = windows->FindWindowSW(desktop.Get(), empty.Get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH, found.Put());
    if (hr != S_OK || !found) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    ComPtr<IServiceProvider> provider;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    if (FAILED(hr = found.As(provider)) ||
        FAILED(hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
        FAILED(hr = browser->QueryActiveShellView(view.Put())) ||
        FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())) ||
        FAILED(hr = background.As(folderView)) || FAILED(hr = folderView->get_Application(application.Put()))) {
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
    ComPtr<IShellDispatch2> shell;
    if (const HRESULT hr = DesktopShellDispatch(shell); FAILED(hr)) {
        return hr;
    }
    Bstr fileName(file);
    Variant args = VariantOf(parameters);
    Variant folder = VariantOf(directory);
    Variant verb = VariantOf(std::wstring(L"open"));
    Variant show = VariantOf(showCommand);
    return shell->ShellExecute(fileName.Get(), *args.Get(), *folder.Get(), *verb.Get(), *show.Get());
}

}  // namespace tessaro::win

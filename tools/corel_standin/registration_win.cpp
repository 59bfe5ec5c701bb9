#include "registration_win.h"

#include <string>

#include "raii_win.h"

namespace corel_standin {

namespace {

constexpr wchar_t kClsidText[] = L"{574AB38F-EED3-4D08-8F18-9B8A52A75264}";
constexpr wchar_t kProgId[] = L"CorelDRAW.Application.13";
constexpr wchar_t kClassesRoot[] = L"Software\\Classes\\";

// The process's own registry view is the one that must work; the other one is written too, so that a client of
// the other bitness finds the class as well, but it may be missing on a 32-bit system.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

bool SetDefaultValue(REGSAM view, const std::wstring& subKey, const std::wstring& value) {
    UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | view,
                        nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool RegisterInView(REGSAM view) {
    const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + kClsidText;
    const std::wstring progIdKey = std::wstring(kClassesRoot) + kProgId;
    // Quoted, because the folder the tests use may well contain blanks.
    const std::wstring server = L"\"" + ModulePath() + L"\"";
    return SetDefaultValue(view, classKey, L"CorelDRAW X3 (stand-in)") &&
           SetDefaultValue(view, classKey + L"\\LocalServer32", server) &&
           SetDefaultValue(view, classKey + L"\\ProgID", kProgId) &&
           SetDefaultValue(view, progIdKey, L"CorelDRAW X3 Application (stand-in)") &&
           SetDefaultValue(view, progIdKey + L"\\CLSID", kClsidText);
}

bool DeleteTree(REGSAM view, const std::wstring& subKey) {
    UniqueHkey parent;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesRoot, 0, KEY_ALL_ACCESS | view, parent.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (opened != ERROR_SUCCESS) {
        return false;
    }
    const LONG deleted = RegDeleteTreeW(parent.Get(), subKey.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool UnregisterInView(REGSAM view) {
    const bool classGone = DeleteTree(view, std::wstring(L"CLSID\\") + kClsidText);
    const bool progIdGone = DeleteTree(view, kProgId);
    return classGone && progIdGone;
}

}  // namespace

bool RegisterServer() {
    if (!RegisterInView(0)) {
        return false;
    }
    RegisterInView(kOtherView);
    return true;
}

bool UnregisterServer() {
    const bool ownView = UnregisterInView(0);
    UnregisterInView(kOtherView);
    return ownView;
}

}  // namespace corel_standin

// plant_control.exe: proves that a planted DLL is noticed at all. It loads one library by its bare name, the way
// a program that never restricted its search would, or after restricting the search to the system folder the
// way Tessaro does at start, or with only the current folder taken out of the search (SetDllDirectoryW(L""), all
// that Windows before 8 has without KB2533623). Output: "loaded <path>" or "not loaded <error>" on stdout; exit status 0 when the
// library loaded, 1 when it did not, 2 on bad arguments.
//
//   plant_control.exe plain version.dll
//   plant_control.exe restricted version.dll
//   plant_control.exe no-current-folder version.dll
#include <windows.h>

#include <string>

namespace {

void Print(const std::wstring& text) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    // Straight to the handle: no console code page between us and the test reading the pipe.
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        Print(L"usage: plant_control.exe plain|restricted|no-current-folder <dll name>\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    if (mode == L"restricted") {
        SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
        SetDllDirectoryW(L"");
    } else if (mode == L"no-current-folder") {
        SetDllDirectoryW(L"");
    } else if (mode != L"plain") {
        Print(L"unknown mode " + mode + L"\n");
        return 2;
    }
    HMODULE module = LoadLibraryW(argv[2]);
    if (module == nullptr) {
        Print(L"not loaded " + std::to_wstring(GetLastError()) + L"\n");
        return 1;
    }
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    Print(L"loaded " + path + L"\n");
    FreeLibrary(module);
    return 0;
}

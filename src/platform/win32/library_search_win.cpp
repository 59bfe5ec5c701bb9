#include "platform/win32/library_search_win.h"

#include <cstring>
#include <string>

#include "platform/win32/newer_kernel_apis_win.h"
#include "platform/win32/text_conv_win.h"

namespace tessaro::win {
namespace {

// Libraries that system DLLs load later by bare name while Tessaro shows its window, its message boxes, opens
// the web page, starts a program or talks to CorelDRAW through COM: the theme and DWM code, the shell's property
// and compatibility layers, COM's catalogue and security packages (which the security layer itself loads by bare
// name, so they come before it), accessibility, the URL and network code the
// shell call pulls in. Without SetDefaultDllDirectories (XP, Vista and 7 without KB2533623, Windows 2000) such a
// load searches the program's folder first. Once a library of that name is loaded, the loader takes the loaded
// one and searches nowhere, so each is loaded here from the system folder by full path. A name this Windows does
// not have just fails to load.
// Packed as one narrow text, each name ended by a NUL and ".dll" left off, the list ended by an empty name: it
// ships in every Tessaro.exe, and an array of wide strings took three times the bytes.
constexpr char kLateLoadedSystemLibraries[] =
    "uxtheme\0dwmapi\0msimg32\0version\0userenv\0profapi\0apphelp\0propsys\0cryptbase\0kerberos\0msv1_0\0"
    "sspicli\0secur32\0ntmarta\0clbcatq\0comres\0actxprxy\0oleacc\0winmm\0wtsapi32\0textshaping\0dbghelp\0"
    "iertutil\0urlmon\0wininet\0mpr\0";

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(buffer, length);
}

// The library's own imports are then looked for beside it, in the system folder, first. `name` is ASCII and
// without ".dll".
HMODULE LoadFromSystemFolder(const std::wstring& systemFolder, const char* name) {
    if (systemFolder.empty()) {
        return nullptr;
    }
    std::wstring path = systemFolder + L"\\";
    AppendAscii(path, name);
    path += L".dll";
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A damaged or missing system library must not bring up a "cannot find" or "bad image" box of the system's.
class QuietLoaderErrors {
  public:
    QuietLoaderErrors() : previous_(::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietLoaderErrors() { ::SetErrorMode(previous_); }
    QuietLoaderErrors(const QuietLoaderErrors&) = delete;
    QuietLoaderErrors& operator=(const QuietLoaderErrors&) = delete;

  private:
    UINT previous_;
};

}  // namespace

void RestrictLibrarySearch() {
    const NewerKernelApis& kernel = NewerKernel();
    if (kernel.SetDefaultDllDirectories != nullptr) {
        kernel.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Takes the current folder out of the search (XP SP1 and later); harmless after the call above.
    if (kernel.SetDllDirectoryW != nullptr) {
        kernel.SetDllDirectoryW(L"");
    }
    if (kernel.HeapSetInformation != nullptr) {
        kernel.HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    }
    const QuietLoaderErrors quiet;
    const std::wstring systemFolder = SystemFolder();
    for (const char* name = kLateLoadedSystemLibraries; *name != '\0'; name += std::strlen(name) + 1) {
        // Deliberately kept loaded for the life of the process.
        LoadFromSystemFolder(systemFolder, name);
    }
}

HMODULE LoadCommonControls() {
    const NewerKernelApis& kernel = NewerKernel();
    if (kernel.SetDefaultDllDirectories != nullptr) {
        return ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // A bare name that the manifest redirects goes to the side-by-side store and never to the program's folder;
    // that is how version 6 is reached on XP, Vista and 7. Without a redirection (Windows 2000) the library is
    // taken from the system folder by full path.
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    const QuietLoaderErrors quiet;
    if (kernel.FindActCtxSectionStringW != nullptr &&
        kernel.FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll",
                                        &redirection)) {
        return ::LoadLibraryW(L"comctl32.dll");
    }
    return LoadFromSystemFolder(SystemFolder(), "comctl32");
}

}  // namespace tessaro::win

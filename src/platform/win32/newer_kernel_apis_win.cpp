#include "platform/win32/newer_kernel_apis_win.h"

#ifdef TESSARO_HONOUR_HIDDEN_APIS
#include <string>
#endif

namespace tessaro::win {
namespace {

#ifdef TESSARO_HONOUR_HIDDEN_APIS
// Test builds only: TESSARO_TEST_HIDE_APIS lists function names (comma-separated, or "*" for all) that this
// build treats as missing, so an end-to-end test can walk the older systems' paths on a new one. The shipped
// Tessaro.exe is built without this and never reads the variable.
bool HiddenForTest(const char* name) {
    wchar_t buffer[512];
    const DWORD length = ::GetEnvironmentVariableW(L"TESSARO_TEST_HIDE_APIS", buffer, ARRAYSIZE(buffer));
    if (length == 0 || length >= ARRAYSIZE(buffer)) {
        return false;
    }
    const std::wstring list = L"," + std::wstring(buffer, length) + L",";
    std::wstring wanted = L",";
    for (const char* c = name; *c != '\0'; ++c) {
        wanted += static_cast<wchar_t>(*c);
    }
    return list == L",*," || list.find(wanted + L",") != std::wstring::npos;
}
#else
constexpr bool HiddenForTest(const char*) {
    return false;
}
#endif

template <class Function>
void Resolve(HMODULE module, const char* name, Function& slot) {
    FARPROC address = module != nullptr && !HiddenForTest(name) ? ::GetProcAddress(module, name) : nullptr;
    slot = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

NewerKernelApis ResolveAll() {
    // kernel32 is in every process before its first instruction; this never loads anything.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    NewerKernelApis apis;
    Resolve(kernel, "SetDefaultDllDirectories", apis.SetDefaultDllDirectories);
    Resolve(kernel, "SetDllDirectoryW", apis.SetDllDirectoryW);
    Resolve(kernel, "HeapSetInformation", apis.HeapSetInformation);
    Resolve(kernel, "FindActCtxSectionStringW", apis.FindActCtxSectionStringW);
    // advapi32 is in the import table, so it is loaded before the first instruction too.
    Resolve(::GetModuleHandleW(L"advapi32.dll"), "SystemFunction036", apis.RtlGenRandom);
    return apis;
}

}  // namespace

const NewerKernelApis& NewerKernel() {
    static const NewerKernelApis apis = ResolveAll();
    return apis;
}

}  // namespace tessaro::win

#pragma once

#include <windows.h>

namespace tessaro::win {

// The system functions Tessaro uses that not every supported Windows exports, from kernel32 and advapi32. They are
// looked up once in the system's own libraries, so the import table names only what Windows 2000 SP4 has and the
// loader never refuses the program; a null member means "this system does not have it", and each caller has its
// fallback.
struct NewerKernelApis {
    // Windows 8, or Vista and 7 with update KB2533623.
    BOOL(WINAPI* SetDefaultDllDirectories)(DWORD directoryFlags) = nullptr;
    // Windows XP SP1.
    BOOL(WINAPI* SetDllDirectoryW)(LPCWSTR path) = nullptr;
    // Windows XP.
    BOOL(WINAPI* HeapSetInformation)
    (HANDLE heap, HEAP_INFORMATION_CLASS kind, PVOID information, SIZE_T length) = nullptr;
    // Windows XP: tells whether the manifest redirects a DLL name into the side-by-side store.
    BOOL(WINAPI* FindActCtxSectionStringW)
    (DWORD flags, const GUID* extension, ULONG section, LPCWSTR name, PACTCTX_SECTION_KEYED_DATA data) = nullptr;
    // Windows XP: advapi32's RtlGenRandom, exported as SystemFunction036. The system's cryptographic generator
    // without loading a cryptographic provider first.
    BOOLEAN(WINAPI* RtlGenRandom)(PVOID buffer, ULONG length) = nullptr;
};

// Resolved on the first call; later calls return the same table.
const NewerKernelApis& NewerKernel();

}  // namespace tessaro::win

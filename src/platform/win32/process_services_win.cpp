#include "platform/win32/process_services_win.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/win32/text_conv_win.h"
#include "platform/win32/unique_handle_win.h"

// The process walk deliberately uses the ANSI entry points, so names arrive in the ANSI code page like every other
// name the installer reads from its files. With UNICODE defined the header maps the plain names to the wide ones;
// take the plain (ANSI) ones back.
#undef Process32First
#undef Process32Next

namespace tessaro {
namespace {

constexpr size_t kExeNameCapacity = 1024;

// PROCESSENTRY32 (the ANSI one, tagPROCESSENTRY32) with room for a longer name. Everything before the name mirrors
// the system's layout field by field, including the pointer-sized heap id, so the system fills it exactly as it
// would its own struct. dwSize tells the system how much room there is: it accepts anything at least as large as
// its own struct and writes only its own fields. That is 1060 bytes on x86; on x64 the 8-byte heap id needs
// alignment padding before it and at the end, so the struct is larger there.
struct WideProcessEntry {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[kExeNameCapacity];
};

using SystemProcessEntry = tagPROCESSENTRY32;

static_assert(offsetof(WideProcessEntry, th32ProcessID) == offsetof(SystemProcessEntry, th32ProcessID));
static_assert(offsetof(WideProcessEntry, th32DefaultHeapID) == offsetof(SystemProcessEntry, th32DefaultHeapID));
static_assert(offsetof(WideProcessEntry, dwFlags) == offsetof(SystemProcessEntry, dwFlags));
static_assert(offsetof(WideProcessEntry, szExeFile) == offsetof(SystemProcessEntry, szExeFile));
static_assert(sizeof(WideProcessEntry) >= sizeof(SystemProcessEntry));
#if defined(_WIN64)
static_assert(sizeof(WideProcessEntry) == 1072, "x64: 44 bytes of fields (with padding), 1024 name, padded to 8");
#else
static_assert(sizeof(WideProcessEntry) == 1060, "x86: nine 4-byte fields and a 1024-byte name");
#endif

SystemProcessEntry* AsSystemEntry(WideProcessEntry& entry) {
    return reinterpret_cast<SystemProcessEntry*>(&entry);
}

}  // namespace

Result<std::vector<ProcessEntry>> ProcessServicesWin::Snapshot() {
    std::vector<ProcessEntry> processes;
    win::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return processes;
    }

    WideProcessEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), AsSystemEntry(entry)); more;
         more = ::Process32Next(snapshot.Get(), AsSystemEntry(entry))) {
        const char* nameEnd = std::find(entry.szExeFile, entry.szExeFile + kExeNameCapacity, '\0');
        const auto nameLength = static_cast<size_t>(nameEnd - entry.szExeFile);
        processes.push_back(ProcessEntry{
            static_cast<uint32_t>(entry.th32ProcessID),
            win::WideToUtf8(win::AnsiToWide(std::string_view(entry.szExeFile, nameLength))),
        });
    }
    return processes;
}

void ProcessServicesWin::Terminate(uint32_t processId) {
    win::UniqueHandleNull process(::OpenProcess(PROCESS_TERMINATE, FALSE /* not inherited */, processId));
    if (process) {
        ::TerminateProcess(process.Get(), 0);
    }
}

}  // namespace tessaro

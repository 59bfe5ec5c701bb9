#include "platform/win32/startup_services_win.h"

#include <windows.h>

#include "platform/win32/text_conv_win.h"

namespace tessaro {
namespace {

// One name per user session: Local\ keeps other users' sessions on the same machine out of it.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Tessaro.Installer.Instance";

// The longest path the system can report, in characters.
constexpr DWORD kMaxModulePath = 32768;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::wstring StartupServicesWin::ArgumentsOf(std::wstring_view commandLine) {
    size_t pos = 0;
    // The program token follows CommandLineToArgvW's rule for argv[0]: a quoted token ends at the next quote
    // whatever follows it, an unquoted one at the first blank or tab. No escapes apply here.
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const size_t closing = commandLine.find(L'"', 1);
        pos = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
    } else {
        while (pos < commandLine.size() && !IsBlank(commandLine[pos])) {
            ++pos;
        }
    }
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) {
        ++pos;
    }
    return std::wstring(commandLine.substr(pos));
}

std::wstring StartupServicesWin::FolderOf(std::wstring_view programPath) {
    const size_t lastSeparator = programPath.rfind(L'\\');
    if (lastSeparator == std::wstring_view::npos) {
        return std::wstring(programPath);
    }
    std::wstring_view folder = programPath.substr(0, lastSeparator);
    // "C:" alone would mean the drive's current folder, not its root.
    if (!folder.empty() && folder.back() == L':') {
        folder = programPath.substr(0, lastSeparator + 1);
    }
    return std::wstring(folder);
}

std::wstring StartupServicesWin::ModuleFileName(DWORD initialCapacity) {
    std::wstring path(initialCapacity > 0 ? initialCapacity : MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(path.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), capacity);
        if (length == 0) {
            return {};
        }
        // A full buffer means the path was cut short (XP does not even say so through GetLastError).
        if (length < capacity || capacity >= kMaxModulePath) {
            path.resize(length);
            return path;
        }
        path.resize(static_cast<size_t>(capacity) * 2);
    }
}

std::string StartupServicesWin::ProgramFolder() {
    return win::WideToUtf8(programFolder_.empty() ? FolderOf(ModuleFileName()) : programFolder_);
}

std::string StartupServicesWin::ArgumentText() {
    const wchar_t* commandLine = ::GetCommandLineW();
    return win::WideToUtf8(ArgumentsOf(commandLine == nullptr ? L"" : commandLine));
}

bool StartupServicesWin::AnotherInstanceRunning() {
    if (!anotherInstance_) {
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kInstanceMutexName);
        const DWORD error = ::GetLastError();
        instanceMutex_.Reset(mutex);
        // Access denied means the mutex exists but was made by someone we may not open it for, which is
        // still another instance.
        anotherInstance_ = instanceMutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    }
    return *anotherInstance_;
}

}  // namespace tessaro

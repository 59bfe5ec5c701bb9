#include "platform/win32/file_services_win.h"

#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/virtual_store_path.h"
#include "platform/win32/desktop_user_launch_win.h"
#include "platform/win32/startup_services_win.h"

#include "platform/win32/text_conv_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro {

Result<bool> FileServicesWin::PathExists(const std::string& path) {
    const std::wstring widePath = win::Utf8ToWide(path);
    return ::GetFileAttributesW(widePath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

bool IsDiskFull(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// A name for the new content beside the target. Built by hand rather than by GetTempFileNameW, whose buffer
// holds no folder longer than MAX_PATH.
std::wstring TemporaryNameIn(const std::wstring& folder) {
    static unsigned counter = 0;
    return folder + L"~tessaro-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L".tmp";
}

}  // namespace

// CopyFileW empties an existing target before it writes the new content, so a copy that breaks off half-way (a
// full disk, a source that goes away) would leave the user with neither the file they had nor the new one. The new
// content goes to a temporary file in the target's own folder first and then replaces the target in one rename;
// whatever keeps CopyFileW from replacing the target (a read-only file, a file held open, a missing folder) keeps
// the rename from it too.
Result<bool> FileServicesWin::CopyReplacing(const std::string& source, const std::string& target) {
    const std::wstring wideSource = win::Utf8ToWide(source);
    const std::wstring wideTarget = win::Utf8ToWide(target);
    const auto slash = wideTarget.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : wideTarget.substr(0, slash + 1);
    const std::wstring temporary = TemporaryNameIn(folder);

    if (!::CopyFileW(wideSource.c_str(), temporary.c_str(), TRUE)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        if (IsDiskFull(error)) {
            // Writing over the old file might still fit, but would lose it if it does not: keep what the user has.
            lastRefusal_ = error;
            refusedForRights_ = false;
            return false;
        }
        // No temporary file to be had there (no right to create one, a missing folder): the plain copy decides.
        if (!::CopyFileW(wideSource.c_str(), wideTarget.c_str(), FALSE)) {
            lastRefusal_ = ::GetLastError();
            refusedForRights_ = error == ERROR_ACCESS_DENIED && lastRefusal_ == ERROR_ACCESS_DENIED;
            return false;
        }
        return true;
    }
    if (!::MoveFileExW(temporary.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // A file we may create in the folder but not rename over is in use or protected, not out of our rights.
        lastRefusal_ = ::GetLastError();
        refusedForRights_ = false;
        ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

Result<bool> FileServicesWin::RemoveFile(const std::string& path) {
    const std::wstring widePath = win::Utf8ToWide(path);
    if (!::DeleteFileW(widePath.c_str())) {
        lastRefusal_ = ::GetLastError();
        refusedForRights_ = lastRefusal_ == ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

// Access denied by the folder itself, to a process UAC did not elevate: the user is no administrator. An
// elevated installer that is refused meets a file in use or a protected one, which more rights would not help.
Refusal FileServicesWin::LastRefusal() {
    return refusedForRights_ && !win::RunsElevated() ? Refusal::AccessDenied : Refusal::Other;
}

namespace {

std::string KnownFolder(int csidl) {
    wchar_t buffer[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        return {};
    }
    return win::WideToUtf8(buffer);
}

}  // namespace

std::optional<std::string> FileServicesWin::VirtualStoreCopyOf(const std::string& path) {
    // The folders UAC virtualizes for a 32-bit program without a manifest. On Windows before Vista the
    // VirtualStore folder does not exist, so nothing is ever found there.
    const std::vector<std::string> virtualized = {KnownFolder(CSIDL_PROGRAM_FILES), KnownFolder(CSIDL_PROGRAM_FILESX86),
                                                  KnownFolder(CSIDL_WINDOWS), KnownFolder(CSIDL_COMMON_APPDATA)};
    std::optional<std::string> copy = VirtualStorePath(path, virtualized, KnownFolder(CSIDL_LOCAL_APPDATA));
    if (!copy) {
        return std::nullopt;
    }
    const DWORD attributes = ::GetFileAttributesW(win::Utf8ToWide(*copy).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return copy;
}

Status FileServicesWin::SetNormalAttributes(const std::string& path) {
    // Only a help for the copy that follows: if it cannot be done, the copy reports the real trouble.
    const std::wstring widePath = win::Utf8ToWide(path);
    ::SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    return {};
}

Status FileServicesWin::StartProgram(const std::string& programPath, const std::string& argumentText) {
    const std::wstring program = win::Utf8ToWide(programPath);
    // The program is named outright, so the system never guesses at an unquoted path with blanks in it
    // ("C:\Program Files\..." starting C:\Program.exe). The command line repeats it quoted, as argv[0]; the
    // argument text already starts with its own blank when it is not empty.
    const std::wstring arguments = win::Utf8ToWide(argumentText);
    // An elevated installer starts the add-on's program as the desktop user, as a double-click would have: it
    // must not run with administrator rights the user gave only to the installation.
    // The shell reports a program it cannot start in a box of its own and still answers success, so it is asked
    // only for a program that CreateProcessW would start too: a path within MAX_PATH naming an executable.
    DWORD binaryType = 0;
    if (program.size() < MAX_PATH && ::GetBinaryTypeW(program.c_str(), &binaryType) &&
        win::StartedAsDesktopUserWhenElevated(program, arguments.empty() ? arguments : arguments.substr(1),
                                              StartupServicesWin::FolderOf(program), SW_SHOWNORMAL)) {
        return {};
    }
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        const HRESULT hr = win::LastErrorResult();
        return RunFailure{static_cast<int32_t>(hr), win::ErrorText(hr, "无法启动程序")};
    }
    // We do not wait for the program, so neither handle is of any further use.
    win::UniqueHandleNull process(info.hProcess);
    win::UniqueHandleNull thread(info.hThread);
    return {};
}

}  // namespace tessaro

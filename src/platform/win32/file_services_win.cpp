#include "platform/win32/file_services_win.h"

#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/decimal_text.h"
#include "platform/virtual_store_path.h"
#include "platform/win32/desktop_user_launch_win.h"
#include "platform/win32/startup_services_win.h"
#include "platform/windows_paths.h"

#include "platform/win32/text_conv_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro {
namespace {

// What keeps CopyFileW from replacing a file: it refuses a read-only or hidden target, and the CreateFileW under it a
// system one. The rename that puts a copy in place would replace any of them.
constexpr DWORD kAttributesCopyRefuses = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// The attributes SetFileAttributesW takes back; the others (compressed, encrypted, ...) it cannot set.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
constexpr int kTemporaryNameAttempts = 16;

// The system reads a name up to its first NUL: such a name would reach a shorter file than the one it names.
std::optional<std::wstring> SystemPath(const std::string& utf8) {
    if (ContainsNul(utf8)) {
        return std::nullopt;
    }
    return win::Utf8ToWide(utf8);
}

bool IsDiskFull(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool IsNameTaken(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// A name for the new content beside the target. Built by hand rather than by GetTempFileNameW, whose buffer
// holds no folder longer than MAX_PATH.
std::wstring TemporaryNameIn(const std::wstring& folder) {
    static unsigned counter = 0;
    std::string name = "~tessaro-";
    AppendDecimal(name, ::GetCurrentProcessId());
    name += '-';
    AppendDecimal(name, ++counter);
    std::wstring path = folder;
    win::AppendAscii(path, name);
    return path + L".tmp";
}

}  // namespace

Result<bool> FileServicesWin::PathExists(const std::string& path) {
    const std::optional<std::wstring> widePath = SystemPath(path);
    return widePath && ::GetFileAttributesW(widePath->c_str()) != INVALID_FILE_ATTRIBUTES;
}

Result<bool> FileServicesWin::IsRegularFile(const std::string& path) {
    const std::optional<std::wstring> widePath = SystemPath(path);
    if (!widePath || NamesDevice(path)) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(widePath->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        return false;
    }
    // Asking for the attributes alone conflicts with no sharing mode, so a file CorelDRAW holds open is still
    // seen. When even that open fails, the attributes above have the last word.
    const win::UniqueFileHandle file(::CreateFileW(widePath->c_str(), FILE_READ_ATTRIBUTES,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file || ::GetFileType(file.Get()) == FILE_TYPE_DISK;
}

bool FileServicesWin::Refuse(DWORD error, bool forRights) {
    lastRefusal_ = error;
    refusedForRights_ = forRights;
    return false;
}

// CopyFileW empties an existing target before it writes the new content, so a copy that breaks off half-way (a
// full disk, a source that goes away) would leave the user with neither the file they had nor the new one. The new
// content goes to a temporary file in the target's own folder first and then replaces the target in one rename;
// whatever keeps CopyFileW from replacing the target (a protected file, a file held open, a missing folder) keeps
// the rename from it too.
Result<bool> FileServicesWin::CopyReplacing(const std::string& source, const std::string& target) {
    const std::optional<std::wstring> wideSource = SystemPath(source);
    const std::optional<std::wstring> wideTarget = SystemPath(target);
    if (!wideSource || !wideTarget) {
        return Refuse(ERROR_INVALID_NAME, false);
    }
    const DWORD existing = ::GetFileAttributesW(wideTarget->c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & (kAttributesCopyRefuses | FILE_ATTRIBUTE_DIRECTORY))) {
        // Refused by the file, not for want of rights: an administrator is refused too.
        return Refuse(ERROR_ACCESS_DENIED, false);
    }
    const auto slash = wideTarget->find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : wideTarget->substr(0, slash + 1);

    std::wstring temporary;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && IsNameTaken(error); ++attempt) {
        temporary = TemporaryNameIn(folder);
        error = ::CopyFileW(wideSource->c_str(), temporary.c_str(), TRUE) ? ERROR_SUCCESS : ::GetLastError();
        // A file that already had the name is someone else's and stays; any other failure left only our own.
        if (error != ERROR_SUCCESS && !IsNameTaken(error)) {
            ::DeleteFileW(temporary.c_str());
        }
    }
    if (error != ERROR_SUCCESS) {
        // With no old file to lose, a plain copy may still succeed where no temporary file could be made. With
        // one, it would empty the old file first: keep what the user has.
        if (existing != INVALID_FILE_ATTRIBUTES || IsDiskFull(error) || IsNameTaken(error)) {
            return Refuse(error, error == ERROR_ACCESS_DENIED);
        }
        if (!::CopyFileW(wideSource->c_str(), wideTarget->c_str(), TRUE)) {
            const DWORD plainError = ::GetLastError();
            return Refuse(plainError, error == ERROR_ACCESS_DENIED && plainError == ERROR_ACCESS_DENIED);
        }
        return true;
    }
    if (!::MoveFileExW(temporary.c_str(), wideTarget->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // A file we may create in the folder but not rename over is in use or protected, not out of our rights.
        const DWORD moveError = ::GetLastError();
        ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temporary.c_str());
        return Refuse(moveError, false);
    }
    return true;
}

Result<bool> FileServicesWin::RemoveFile(const std::string& path) {
    const std::optional<std::wstring> widePath = SystemPath(path);
    if (!widePath) {
        return Refuse(ERROR_INVALID_NAME, false);
    }
    const DWORD attributes = ::GetFileAttributesW(widePath->c_str());
    const bool protectedFile = attributes != INVALID_FILE_ATTRIBUTES && (attributes & kAttributesCopyRefuses) != 0 &&
                               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool cleared = protectedFile && ::SetFileAttributesW(widePath->c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(widePath->c_str())) {
        const DWORD error = ::GetLastError();
        if (cleared) {
            ::SetFileAttributesW(widePath->c_str(), attributes & kSettableAttributes);
        }
        return Refuse(error, error == ERROR_ACCESS_DENIED);
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
    const std::optional<std::wstring> widePath = SystemPath(*copy);
    const DWORD attributes = widePath ? ::GetFileAttributesW(widePath->c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return copy;
}

Status FileServicesWin::StartProgram(const std::string& programPath, const std::string& argumentText) {
    const std::optional<std::wstring> systemProgram = SystemPath(programPath);
    if (!systemProgram) {
        const HRESULT hr = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        return RunFailure{static_cast<int32_t>(hr), win::ErrorText(hr, "无法启动程序")};
    }
    const std::wstring& program = *systemProgram;
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
        return RunFailure{static_cast<int32_t>(hr), win::ErrorText(hr, "无法启动程序", programPath)};
    }
    // We do not wait for the program, so neither handle is of any further use.
    win::UniqueHandleNull process(info.hProcess);
    win::UniqueHandleNull thread(info.hThread);
    return {};
}

}  // namespace tessaro

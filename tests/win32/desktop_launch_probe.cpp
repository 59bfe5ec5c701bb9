// Shows what a system answers to the desktop-user launch: RunsElevated(), the token's elevation type as
// GetTokenInformation gives it, and the HRESULT (and time taken) of ShellExecuteAsDesktopUser.
//   desktop_launch_probe.exe [FILE [PARAMETERS]]    starts FILE through the desktop shell
//   desktop_launch_probe.exe                         starts its asInvoker copy in --report mode the same way and
//                                                    prints what that copy says of its own token
//   desktop_launch_probe.exe --report PATH           writes its own answers to PATH
// desktop_launch_probe_elevated.exe is the same program manifested highestAvailable, like the installer.
// Exit status 0 when the shell took the request (and, without FILE, the started copy reported in, unelevated).
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/win32/com_win.h"
#include "platform/win32/desktop_user_launch_win.h"
#include "platform/win32/text_conv_win.h"
#include "platform/win32/unique_handle_win.h"

using namespace tessaro;

namespace {

constexpr wchar_t kReportName[] = L"desktop_launch_probe.report";
constexpr DWORD kReportWaitMs = 15000;

void Out(std::string_view text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::wstring OwnFolder() {
    wchar_t buffer[4096];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 4096);
    std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L'\\'));
}

// The raw answer behind RunsElevated(), so a refusal can be told from a "default" or "limited" token.
std::string ElevationAnswer() {
    win::UniqueHandleNull token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return "OpenProcessToken failed, error " + std::to_string(::GetLastError());
    }
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size)) {
        return "GetTokenInformation(TokenElevationType) refused, error " + std::to_string(::GetLastError());
    }
    switch (type) {
        case TokenElevationTypeDefault:
            return "TokenElevationTypeDefault";
        case TokenElevationTypeFull:
            return "TokenElevationTypeFull";
        case TokenElevationTypeLimited:
            return "TokenElevationTypeLimited";
    }
    return "TokenElevationType " + std::to_string(static_cast<int>(type));
}

std::string OwnAnswers() {
    return "RunsElevated=" + std::string(win::RunsElevated() ? "1" : "0") + " (" + ElevationAnswer() + ")";
}

bool WriteReport(const std::wstring& path) {
    // Written beside and renamed into place, so the waiting copy never reads half a report.
    const std::wstring partial = path + L".part";
    const std::string text = OwnAnswers() + "\r\n";
    {
        win::UniqueFileHandle file(
            ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
            return false;
        }
    }
    return ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string WaitForReport(const std::wstring& path) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kReportWaitMs) {
        win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            char buffer[512];
            DWORD read = 0;
            ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr);
            std::string text(buffer, read);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
                text.pop_back();
            }
            return text;
        }
        ::Sleep(100);
    }
    return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring_view(argv[1]) == L"--report") {
        return WriteReport(argv[2]) ? 0 : 1;
    }

    win::ComInit com;
    Out("this process: " + OwnAnswers() + "\n");
    Out("shell window: " + std::string(::GetShellWindow() != nullptr ? "present" : "none") + "\n");
    if (!com.Succeeded()) {
        Out("CoInitializeEx failed: " + Hex(com.Result()) + "\n");
        return 1;
    }

    const std::wstring folder = OwnFolder();
    const std::wstring report = folder + L"\\" + kReportName;
    std::wstring file;
    std::wstring parameters;
    if (argc >= 2) {
        file = argv[1];
        parameters = argc >= 3 ? argv[2] : L"";
    } else {
        ::DeleteFileW(report.c_str());
        file = folder + L"\\desktop_launch_probe.exe";
        parameters = L"--report \"" + report + L"\"";
    }

    const DWORD start = ::GetTickCount();
    const HRESULT hr = win::ShellExecuteAsDesktopUser(file, parameters, folder, SW_SHOWNORMAL);
    const DWORD elapsed = ::GetTickCount() - start;
    Out("ShellExecuteAsDesktopUser(" + win::WideToUtf8(file) + "): " + Hex(hr) + " after " + std::to_string(elapsed) +
        " ms\n");
    if (FAILED(hr)) {
        return 1;
    }
    if (argc >= 2) {
        return 0;
    }
    const std::string answer = WaitForReport(report);
    Out("started copy: " + (answer.empty() ? std::string("no report within 15 s") : answer) + "\n");
    return answer.rfind("RunsElevated=0", 0) == 0 ? 0 : 1;
}

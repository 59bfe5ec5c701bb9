// tessaro-pack.exe: a console program, and the target a maker drops an add-on folder onto in Explorer. Dropped,
// it gets the folder as its only argument: it then leaves the console Windows made for it, and tells the result
// in a message box instead.
#include <windows.h>

#include <string>
#include <vector>

#include "instinfo_check/system.h"
#include "tessaro_pack/pack_cli.h"

namespace {

std::wstring ToWide(std::string_view utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string ToUtf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    if (length > 1) {
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    }
    return text;
}

// A console that only this process uses was made for it by Explorer: it goes, so that none stays open behind the
// box. GetConsoleProcessList is XP and later; on Windows 2000 the console simply stays until the box is closed.
void LeaveOwnConsole() {
    using ProcessList = DWORD(WINAPI*)(LPDWORD, DWORD);
    const auto list = reinterpret_cast<ProcessList>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetConsoleProcessList")));
    DWORD processes[2] = {};
    if (list != nullptr && list(processes, 2) == 1) {
        FreeConsole();
    }
}

std::string Beside(const std::wstring& name) {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    return ToUtf8((path.substr(0, path.find_last_of(L'\\') + 1) + name).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(ToUtf8(argv[i]));
    }
    const bool dropped = args.size() == 1 && !args.front().starts_with("-");
    std::string out;
    std::string errors;
    tessaro_pack::PackEnvironment environment{
        instinfo_check::system::WriteOut,
        instinfo_check::system::WriteError,
        instinfo_check::system::DefaultLanguage(),
        instinfo_check::system::MakeAnsiDecoder,
        Beside(L"Tessaro.exe"),
        Beside(L"Tessaro-x64.exe"),
    };
    if (dropped) {
        LeaveOwnConsole();
        environment.writeOut = [&out](std::string_view text) { out.append(text); };
        environment.writeError = [&errors](std::string_view text) { errors.append(text); };
    }
    const int status = tessaro_pack::RunPack(args, environment);
    if (dropped) {
        const std::wstring text = ToWide(errors.empty() ? out : errors + "\n" + out);
        MessageBoxW(
            nullptr, text.c_str(), L"tessaro-pack",
            MB_OK | MB_SETFOREGROUND | (status == tessaro_pack::kExitWritten ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return status;
}

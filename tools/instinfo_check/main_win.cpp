#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "instinfo_check/cli.h"
#include "instinfo_check/system.h"

namespace {

std::string WideToUtf8(const wchar_t* wide) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(length) - 1);  // the terminating NUL
    return text;
}

}  // namespace

// Wide arguments, so paths with Chinese names arrive whatever the ANSI code page of the machine.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(WideToUtf8(argv[i]));
    }
    const instinfo_check::CliEnvironment environment{
        instinfo_check::system::WriteOut,
        instinfo_check::system::WriteError,
        instinfo_check::system::DefaultLanguage(),
        instinfo_check::system::MakeAnsiDecoder,
    };
    return instinfo_check::RunCli(args, environment);
}

#include <string>
#include <vector>

#include "instinfo_check/cli.h"
#include "instinfo_check/system.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const instinfo_check::CliEnvironment environment{
        instinfo_check::system::WriteOut,
        instinfo_check::system::WriteError,
        instinfo_check::system::DefaultLanguage(),
        instinfo_check::system::MakeAnsiDecoder,
    };
    return instinfo_check::RunCli(args, environment);
}

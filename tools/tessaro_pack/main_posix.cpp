// tessaro-pack on Linux: the installers it builds on come from this checkout's Windows presets by default.
#include <string>
#include <vector>

#include "instinfo_check/system.h"
#include "tessaro_pack/pack_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const tessaro_pack::PackEnvironment environment{
        instinfo_check::system::WriteOut,
        instinfo_check::system::WriteError,
        instinfo_check::system::DefaultLanguage(),
        instinfo_check::system::MakeAnsiDecoder,
        TESSARO_STUB_X86,
        TESSARO_STUB_X64,
    };
    return tessaro_pack::RunPack(args, environment);
}

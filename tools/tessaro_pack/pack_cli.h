#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/config_text.h"
#include "instinfo_check/texts.h"

namespace tessaro_pack {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitRefused = 2;
inline constexpr int kExitUsage = 3;
inline constexpr int kExitFiles = 4;

// What the command line needs from the system it runs on.
struct PackEnvironment {
    std::function<void(std::string_view)> writeOut;
    std::function<void(std::string_view)> writeError;
    instinfo_check::Language language = instinfo_check::Language::English;
    std::function<std::optional<tessaro::AnsiDecoder>(int codePage)> makeDecoder;
    // The installers a Setup.exe is built on when --stub names none.
    std::string stubX86;
    std::string stubX64;
};

// tessaro-pack [--arch x86|x64] [--stub Tessaro.exe] [--icon FILE.ico] [--version KEY=VALUE]... FOLDER
//              [-o Setup.exe]
// --icon and --version put the maker's icon and version strings into the Setup.exe's resources. Without -o the
// Setup.exe goes beside the folder as "<folder name>-Setup.exe", which is what a folder dropped onto the program gets.
// Returns the exit status.
int RunPack(std::span<const std::string> args, const PackEnvironment& environment);

}  // namespace tessaro_pack

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/host_services.h"

namespace instinfo_check {

// Tessaro's own reader refuses files larger than this; so does the checker, so both fail alike.
inline constexpr std::uintmax_t kMaxConfigSize = 64ull * 1024 * 1024;

// Our strings are UTF-8; std::filesystem wants its own encoding on Windows.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// Reads a whole file the way Tessaro's platform does: a path that does not exist is NotFound, anything else
// that keeps the bytes from us (a folder, no access, too large) is Failed.
tessaro::FileBytes ReadWholeFile(const std::string& utf8Path);

enum class Presence { Missing, File, Folder };

struct Lookup {
    Presence presence = Presence::Missing;
    // The path as found on disk, relative to the folder, with "/" between its parts.
    std::string foundAs;
    bool caseDiffers = false;
};

// Looks up `relative` (parts split at "\" or "/", as Windows does) inside `folder`. Windows compares names without
// regard to letter case and drops blanks and dots at the end of a name, so this lookup does the same on every
// system; on Linux that means listing folders when the exact name is not there.
Lookup FindBeside(const std::filesystem::path& folder, std::string_view relative);

// The first `count` bytes of a file (all of a shorter one); empty when it cannot be read.
std::string ReadHead(const std::filesystem::path& path, std::size_t count);

}  // namespace instinfo_check

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro_pack {

// One picture of an .ico file: its directory entry (the same fields a group icon resource holds for it) and
// its bytes (a DIB or a PNG).
struct IconImage {
    std::uint8_t width = 0;  // 0 means 256
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::string bytes;
};

// The pictures of an .ico file. Nothing, with `error` saying why, unless the header says icon, at least one
// picture is there, and every picture lies inside the file after the directory and starts like a DIB or a PNG.
std::optional<std::vector<IconImage>> ReadIconFile(std::string_view file, std::string& error);

}  // namespace tessaro_pack

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro_pack {

struct ResourceSection {
    std::string bytes;  // the resource tree, as large as the resource directory says
    std::uint32_t rva = 0;
};

// The resource section of `exe`. Nothing, with `error` set, unless `exe` is an unsigned PE file without a symbol
// table whose resource section comes last, or last but the base relocations, and whose file ends with them.
std::optional<ResourceSection> ReadResourceSection(std::string_view exe, std::string& error);

// `exe` with `section` (a tree serialized for the same RVA) as its resource section. The base relocations move
// after it; the section table, the data directories, the image and data sizes and the checksum follow.
std::optional<std::string> ReplaceResourceSection(std::string_view exe, std::string_view section, std::string& error);

// Writes the PE checksum of the whole file into its header, as CheckSumMappedFile computes it.
void StampPeChecksum(std::string& exe);

}  // namespace tessaro_pack

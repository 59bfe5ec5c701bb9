#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro_pack {

// A type or a name in a PE resource directory: a number, or a UTF-16 string when `name` is not empty.
struct ResourceKey {
    std::u16string name;
    std::uint16_t id = 0;

    bool operator==(const ResourceKey&) const = default;
};

// One leaf of the resource tree: type, name and language, and its data.
struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::string bytes;
};

struct ResourceTree {
    std::vector<Resource> resources;  // in the order of the directories they came from
    std::uint32_t timeDateStamp = 0;  // of the root directory; written into every directory
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
};

inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtGroupIcon = 14;
inline constexpr std::uint16_t kRtVersion = 16;

// The tree in `section`, the bytes of the resource section that is loaded at `sectionRva`. Nothing, with `error`
// set, unless it is three levels deep (type, name, language) and every directory, string and data block lies
// inside the section.
std::optional<ResourceTree> ParseResourceTree(std::string_view section, std::uint32_t sectionRva, std::string& error);

// The tree as a resource section loaded at `sectionRva`: the directories (named entries first, in their order,
// then numbers ascending), the names, the data entries, and each data block on an 8-byte boundary.
std::string SerializeResourceTree(const ResourceTree& tree, std::uint32_t sectionRva);

}  // namespace tessaro_pack

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaro_pack {

// The StringFileInfo values a maker may set with --version, under their canonical names.
inline constexpr std::string_view kVersionKeys[] = {"ProductName", "ProductVersion", "CompanyName", "FileDescription",
                                                    "LegalCopyright"};

// The canonical name of a --version key given in any letter case; nothing for any other key.
std::optional<std::string_view> CanonicalVersionKey(std::string_view key);

// `block`, an RT_VERSION resource (VS_VERSIONINFO), with the given values (UTF-8, canonical keys) set in every
// string table, added where a table lacks the key; everything else stays. A ProductVersion of one to four
// numbers ("2.1", "2.1.0.3") also becomes the fixed product version. Nothing, with `error` set, when the block
// is damaged, has no string table, or a value is not UTF-8.
std::optional<std::string> EditVersionInfo(std::string_view block,
                                           const std::vector<std::pair<std::string, std::string>>& values,
                                           std::string& error);

}  // namespace tessaro_pack

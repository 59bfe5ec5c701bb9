#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tessaro_pack/icon_file.h"

namespace tessaro_pack {

// What a maker puts into the Setup.exe so that Explorer shows the add-on, not Tessaro: the pictures of an icon
// and version strings (canonical keys, UTF-8 values).
struct Branding {
    std::vector<IconImage> icon;  // empty: the stub's own icon stays
    std::vector<std::pair<std::string, std::string>> versions;

    bool Empty() const { return icon.empty() && versions.empty(); }
};

// `stub` with the application icon (group icon 1, which the window also shows) made of `branding.icon`, and the
// version strings set. Nothing, with `error` set, when the stub's resources cannot be rewritten safely.
std::optional<std::string> ApplyBranding(std::string_view stub, const Branding& branding, std::string& error);

}  // namespace tessaro_pack

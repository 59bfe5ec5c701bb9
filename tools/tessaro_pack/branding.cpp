#include "tessaro_pack/branding.h"

#include <algorithm>
#include <set>

#include "tessaro_pack/le_bytes.h"
#include "tessaro_pack/pe_sections.h"
#include "tessaro_pack/resource_tree.h"
#include "tessaro_pack/version_info.h"

namespace tessaro_pack {
namespace {

constexpr std::uint16_t kAppIcon = 1;  // IDI_APP_ICON
constexpr std::size_t kGroupHeaderBytes = 6;
constexpr std::size_t kGroupEntryBytes = 14;

bool Is(const Resource& resource, std::uint16_t type) {
    return resource.type.name.empty() && resource.type.id == type;
}

bool IsAppIcon(const Resource& resource) {
    return Is(resource, kRtGroupIcon) && resource.name == ResourceKey{{}, kAppIcon};
}

// The RT_ICON ids a group icon names.
std::vector<std::uint16_t> IconIds(std::string_view group) {
    std::vector<std::uint16_t> ids;
    if (group.size() < kGroupHeaderBytes) {
        return ids;
    }
    const std::size_t count = le::Get16(group, 4);
    for (std::size_t i = 0; i < count && kGroupHeaderBytes + (i + 1) * kGroupEntryBytes <= group.size(); ++i) {
        ids.push_back(le::Get16(group, kGroupHeaderBytes + i * kGroupEntryBytes + 12));
    }
    return ids;
}

bool ReplaceAppIcon(ResourceTree& tree, const std::vector<IconImage>& images, std::string& error) {
    std::set<std::uint16_t> kept;
    std::set<std::uint16_t> replaced;
    std::vector<std::uint16_t> languages;
    for (const Resource& resource : tree.resources) {
        if (Is(resource, kRtGroupIcon)) {
            std::set<std::uint16_t>& ids = IsAppIcon(resource) ? replaced : kept;
            for (const std::uint16_t id : IconIds(resource.bytes)) {
                ids.insert(id);
            }
        }
        if (IsAppIcon(resource)) {
            languages.push_back(resource.language);
        }
    }
    if (languages.empty()) {
        error = "the stub has no application icon (group icon 1) to replace";
        return false;
    }
    std::erase_if(tree.resources, [&](const Resource& resource) {
        const bool oldImage = Is(resource, kRtIcon) && resource.name.name.empty() &&
                              replaced.contains(resource.name.id) && !kept.contains(resource.name.id);
        return oldImage || IsAppIcon(resource);
    });
    std::set<std::uint16_t> used;
    for (const Resource& resource : tree.resources) {
        if (Is(resource, kRtIcon) && resource.name.name.empty()) {
            used.insert(resource.name.id);
        }
    }
    for (const std::uint16_t language : languages) {
        Resource group{{{}, kRtGroupIcon}, {{}, kAppIcon}, language, 0, {}};
        le::Append(group.bytes, 0, 2);
        le::Append(group.bytes, 1, 2);
        le::Append(group.bytes, static_cast<std::uint32_t>(images.size()), 2);
        std::uint16_t id = 1;
        for (const IconImage& image : images) {
            while (used.contains(id)) {
                ++id;
            }
            if (id == 0) {
                error = "the stub has no free icon numbers left";
                return false;
            }
            used.insert(id);
            group.bytes += static_cast<char>(image.width);
            group.bytes += static_cast<char>(image.height);
            group.bytes += static_cast<char>(image.colorCount);
            group.bytes += '\0';
            le::Append(group.bytes, image.planes, 2);
            le::Append(group.bytes, image.bitCount, 2);
            le::Append(group.bytes, static_cast<std::uint32_t>(image.bytes.size()), 4);
            le::Append(group.bytes, id, 2);
            tree.resources.push_back(Resource{{{}, kRtIcon}, {{}, id}, language, 0, image.bytes});
        }
        tree.resources.push_back(std::move(group));
    }
    return true;
}

bool EditVersions(ResourceTree& tree, const Branding& branding, std::string& error) {
    bool found = false;
    for (Resource& resource : tree.resources) {
        if (Is(resource, kRtVersion)) {
            std::optional<std::string> edited = EditVersionInfo(resource.bytes, branding.versions, error);
            if (!edited) {
                return false;
            }
            resource.bytes = std::move(*edited);
            found = true;
        }
    }
    if (!found) {
        error = "the stub has no version information to change";
    }
    return found;
}

}  // namespace

std::optional<std::string> ApplyBranding(std::string_view stub, const Branding& branding, std::string& error) {
    const std::optional<ResourceSection> section = ReadResourceSection(stub, error);
    if (!section) {
        return std::nullopt;
    }
    std::optional<ResourceTree> tree = ParseResourceTree(section->bytes, section->rva, error);
    if (!tree) {
        error = "the stub's resources are damaged: " + error;
        return std::nullopt;
    }
    if (!branding.icon.empty() && !ReplaceAppIcon(*tree, branding.icon, error)) {
        return std::nullopt;
    }
    if (!branding.versions.empty() && !EditVersions(*tree, branding, error)) {
        return std::nullopt;
    }
    return ReplaceResourceSection(stub, SerializeResourceTree(*tree, section->rva), error);
}

}  // namespace tessaro_pack

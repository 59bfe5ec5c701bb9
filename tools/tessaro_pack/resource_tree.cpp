#include "tessaro_pack/resource_tree.h"

#include <algorithm>

#include "tessaro_pack/le_bytes.h"

namespace tessaro_pack {
namespace {

constexpr std::size_t kDirectoryBytes = 16;
constexpr std::size_t kEntryBytes = 8;
constexpr std::size_t kDataEntryBytes = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

class TreeReader {
  public:
    TreeReader(std::string_view section, std::uint32_t rva, std::string& error)
        : section_(section), rva_(rva), error_(error) {}

    // Level 0 lists types, 1 names, 2 languages, whose entries lead to the data.
    bool Directory(std::size_t at, int level, Resource& path, std::vector<Resource>& out) {
        if (!Inside(at, kDirectoryBytes)) {
            return Fail("a directory lies outside the section");
        }
        const std::size_t count = std::size_t{le::Get16(section_, at + 12)} + le::Get16(section_, at + 14);
        if (!Inside(at + kDirectoryBytes, count * kEntryBytes)) {
            return Fail("a directory's entries lie outside the section");
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = at + kDirectoryBytes + i * kEntryBytes;
            const std::uint32_t nameField = le::Get32(section_, entry);
            const std::uint32_t offsetField = le::Get32(section_, entry + 4);
            ResourceKey key;
            if ((nameField & kHighBit) != 0) {
                if (level == 2 || !Name(nameField & ~kHighBit, key.name)) {
                    return Fail("a resource name is damaged, or a language is named");
                }
            } else {
                key.id = static_cast<std::uint16_t>(nameField);
            }
            const bool leadsToDirectory = (offsetField & kHighBit) != 0;
            if (leadsToDirectory != (level < 2)) {
                return Fail("the tree is not three levels deep (type, name, language)");
            }
            if (level == 0) {
                path.type = key;
            } else if (level == 1) {
                path.name = key;
            } else {
                path.language = key.id;
            }
            const bool read = leadsToDirectory ? Directory(offsetField & ~kHighBit, level + 1, path, out)
                                               : Data(offsetField, path, out);
            if (!read) {
                return false;
            }
        }
        return true;
    }

  private:
    bool Inside(std::uint64_t at, std::uint64_t size) const {
        return at <= section_.size() && size <= section_.size() - at;
    }

    bool Fail(std::string_view why) {
        error_ = std::string(why);
        return false;
    }

    bool Name(std::size_t at, std::u16string& name) const {
        if (!Inside(at, 2) || !Inside(at + 2, std::uint64_t{le::Get16(section_, at)} * 2)) {
            return false;
        }
        for (std::size_t i = 0, length = le::Get16(section_, at); i < length; ++i) {
            name += static_cast<char16_t>(le::Get16(section_, at + 2 + 2 * i));
        }
        return !name.empty();
    }

    bool Data(std::size_t at, Resource& path, std::vector<Resource>& out) {
        if (!Inside(at, kDataEntryBytes)) {
            return Fail("a data entry lies outside the section");
        }
        const std::uint32_t dataRva = le::Get32(section_, at);
        const std::uint32_t size = le::Get32(section_, at + 4);
        if (dataRva < rva_ || !Inside(dataRva - rva_, size)) {
            return Fail("a resource's data lies outside the section");
        }
        // Entries may point at one directory or data block many times over; a real tree holds each leaf once, so
        // more leaves or data than the section has room for is a crafted loop, not resources.
        copied_ += size;
        if (out.size() >= section_.size() / kDataEntryBytes || copied_ > section_.size()) {
            return Fail("the tree names more resources than its section holds");
        }
        path.codePage = le::Get32(section_, at + 8);
        path.bytes = section_.substr(dataRva - rva_, size);
        out.push_back(path);
        return true;
    }

    std::string_view section_;
    std::uint32_t rva_;
    std::string& error_;
    std::uint64_t copied_ = 0;
};

// Named entries first, in the order they came; numbers ascending.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b) {
    if (a.name.empty() != b.name.empty()) {
        return !a.name.empty();
    }
    return a.name.empty() ? a.id < b.id : a.name < b.name;
}

struct NameGroup {
    const ResourceKey* key;
    std::vector<const Resource*> languages;
    std::size_t directoryAt = 0;
    std::size_t nameAt = 0;
};

struct TypeGroup {
    const ResourceKey* key;
    std::vector<NameGroup> names;
    std::size_t directoryAt = 0;
    std::size_t nameAt = 0;
};

std::vector<TypeGroup> Group(const ResourceTree& tree) {
    std::vector<const Resource*> sorted;
    for (const Resource& resource : tree.resources) {
        sorted.push_back(&resource);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Resource* a, const Resource* b) {
        if (!(a->type == b->type)) {
            return KeyBefore(a->type, b->type);
        }
        if (!(a->name == b->name)) {
            return KeyBefore(a->name, b->name);
        }
        return a->language < b->language;
    });
    std::vector<TypeGroup> types;
    for (const Resource* resource : sorted) {
        if (types.empty() || !(*types.back().key == resource->type)) {
            types.push_back({&resource->type, {}});
        }
        std::vector<NameGroup>& names = types.back().names;
        if (names.empty() || !(*names.back().key == resource->name)) {
            names.push_back({&resource->name, {}});
        }
        names.back().languages.push_back(resource);
    }
    return types;
}

std::size_t DirectoryBytes(std::size_t entries) {
    return kDirectoryBytes + entries * kEntryBytes;
}

std::size_t AddName(std::string& names, const ResourceKey& key) {
    if (key.name.empty()) {
        return 0;
    }
    le::PadTo(names, 2);
    const std::size_t at = names.size();
    le::Append(names, static_cast<std::uint32_t>(key.name.size()), 2);
    for (const char16_t unit : key.name) {
        le::Append(names, unit, 2);
    }
    return at;
}

}  // namespace

std::optional<ResourceTree> ParseResourceTree(std::string_view section, std::uint32_t sectionRva, std::string& error) {
    ResourceTree tree;
    if (section.size() < kDirectoryBytes) {
        error = "the resource section is too small";
        return std::nullopt;
    }
    tree.timeDateStamp = le::Get32(section, 4);
    tree.majorVersion = le::Get16(section, 8);
    tree.minorVersion = le::Get16(section, 10);
    Resource path;
    if (!TreeReader(section, sectionRva, error).Directory(0, 0, path, tree.resources)) {
        return std::nullopt;
    }
    return tree;
}

std::string SerializeResourceTree(const ResourceTree& tree, std::uint32_t sectionRva) {
    std::vector<TypeGroup> types = Group(tree);
    // Where everything goes: the directories breadth first, the names after them, then the data entries and data.
    std::size_t at = DirectoryBytes(types.size());
    for (TypeGroup& type : types) {
        type.directoryAt = at;
        at += DirectoryBytes(type.names.size());
    }
    std::size_t leaves = 0;
    for (TypeGroup& type : types) {
        for (NameGroup& name : type.names) {
            name.directoryAt = at;
            at += DirectoryBytes(name.languages.size());
            leaves += name.languages.size();
        }
    }
    std::string names;
    for (TypeGroup& type : types) {
        type.nameAt = at + AddName(names, *type.key);
        for (NameGroup& name : type.names) {
            name.nameAt = at + AddName(names, *name.key);
        }
    }
    std::string out(at, '\0');
    out += names;
    le::PadTo(out, 4);
    std::size_t dataEntryAt = out.size();
    out.resize(out.size() + leaves * kDataEntryBytes, '\0');

    const auto directory = [&](std::size_t where, const auto& keys, auto keyOf) {
        le::Put32(out, where + 4, tree.timeDateStamp);
        le::Put16(out, where + 8, tree.majorVersion);
        le::Put16(out, where + 10, tree.minorVersion);
        const auto named =
            std::count_if(keys.begin(), keys.end(), [&](const auto& k) { return !keyOf(k).name.empty(); });
        le::Put16(out, where + 12, static_cast<std::uint32_t>(named));
        le::Put16(out, where + 14, static_cast<std::uint32_t>(keys.size() - static_cast<std::size_t>(named)));
    };
    const auto entry = [&](std::size_t where, const ResourceKey& key, std::size_t nameAt, std::uint32_t target) {
        le::Put32(out, where, key.name.empty() ? key.id : static_cast<std::uint32_t>(nameAt) | kHighBit);
        le::Put32(out, where + 4, target);
    };

    directory(0, types, [](const TypeGroup& t) -> const ResourceKey& { return *t.key; });
    for (std::size_t t = 0; t < types.size(); ++t) {
        const TypeGroup& type = types[t];
        entry(kDirectoryBytes + t * kEntryBytes, *type.key, type.nameAt,
              static_cast<std::uint32_t>(type.directoryAt) | kHighBit);
        directory(type.directoryAt, type.names, [](const NameGroup& n) -> const ResourceKey& { return *n.key; });
        for (std::size_t n = 0; n < type.names.size(); ++n) {
            const NameGroup& name = type.names[n];
            entry(type.directoryAt + kDirectoryBytes + n * kEntryBytes, *name.key, name.nameAt,
                  static_cast<std::uint32_t>(name.directoryAt) | kHighBit);
            directory(name.directoryAt, name.languages, [](const Resource* r) { return ResourceKey{{}, r->language}; });
            for (std::size_t l = 0; l < name.languages.size(); ++l) {
                const Resource& resource = *name.languages[l];
                entry(name.directoryAt + kDirectoryBytes + l * kEntryBytes, ResourceKey{{}, resource.language}, 0,
                      static_cast<std::uint32_t>(dataEntryAt));
                le::PadTo(out, 8);
                le::Put32(out, dataEntryAt, sectionRva + static_cast<std::uint32_t>(out.size()));
                le::Put32(out, dataEntryAt + 4, static_cast<std::uint32_t>(resource.bytes.size()));
                le::Put32(out, dataEntryAt + 8, resource.codePage);
                out += resource.bytes;
                dataEntryAt += kDataEntryBytes;
            }
        }
    }
    return out;
}

}  // namespace tessaro_pack

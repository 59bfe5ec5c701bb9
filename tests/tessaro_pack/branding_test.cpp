// --icon and --version: what tessaro-pack makes of a stub's resources, read back from the bytes it writes, and
// the stubs and icons it refuses. A small PE image stands in for Tessaro.exe; the end-to-end test reads a real
// Setup.exe through Windows' own functions.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "bundle/bundle_format.h"
#include "tessaro_pack/branding.h"
#include "tessaro_pack/icon_file.h"
#include "tessaro_pack/le_bytes.h"
#include "tessaro_pack/pack_cli.h"
#include "tessaro_pack/pe_sections.h"
#include "tessaro_pack/resource_tree.h"
#include "test_support.h"

namespace tessaro_pack {
namespace {

constexpr std::size_t kPeAt = 0x40;
constexpr std::size_t kOptionalAt = kPeAt + 24;
constexpr std::size_t kDirectoriesAt = kOptionalAt + 96;
constexpr std::size_t kSectionsAt = kOptionalAt + 224;
constexpr std::size_t kMarkerAt = 0x300;
constexpr std::uint32_t kResourceRva = 0x2000;
constexpr std::uint32_t kRelocationRva = 0x3000;
constexpr std::uint16_t kChinese = 0x0804;
constexpr std::uint16_t kRtManifest = 24;

std::uint32_t Directory(const std::string& exe, int index, int field) {
    return le::Get32(exe, kDirectoriesAt + static_cast<std::size_t>(index) * 8 + static_cast<std::size_t>(field));
}

std::uint32_t SectionField(const std::string& exe, int section, std::size_t field) {
    return le::Get32(exe, kSectionsAt + static_cast<std::size_t>(section) * 40 + field);
}

// A version block as a resource compiler writes it: each node's length, value length, type, key, value, children.
std::string VersionNode(std::u16string key, bool text, std::string value, std::vector<std::string> children = {}) {
    std::string node(6, '\0');
    for (const char16_t unit : key) {
        le::Append(node, unit, 2);
    }
    le::Append(node, 0, 2);
    le::PadTo(node, 4);
    node += value;
    for (const std::string& child : children) {
        le::PadTo(node, 4);
        node += child;
    }
    le::Put16(node, 0, static_cast<std::uint32_t>(node.size()));
    le::Put16(node, 2, static_cast<std::uint32_t>(text ? value.size() / 2 : value.size()));
    le::Put16(node, 4, text ? 1 : 0);
    return node;
}

std::string Utf16z(std::u16string text) {
    std::string out;
    for (const char16_t unit : text + u'\0') {
        le::Append(out, unit, 2);
    }
    return out;
}

std::string StubVersionBlock() {
    std::string fixed;
    for (const std::uint32_t field :
         {0xFEEF04BDu, 0x10000u, 0x10000u, 0u, 0x10000u, 0u, 0x3Fu, 0u, 4u, 1u, 0u, 0u, 0u}) {
        le::Append(fixed, field, 4);
    }
    std::vector<std::string> strings;
    for (const auto& [key, value] :
         std::vector<std::pair<std::u16string, std::u16string>>{{u"CompanyName", u"Tessaro Project"},
                                                                {u"FileVersion", u"1.0.0.0"},
                                                                {u"ProductName", u"Tessaro"},
                                                                {u"ProductVersion", u"1.0.0.0"}}) {
        strings.push_back(VersionNode(key, true, Utf16z(value)));
    }
    std::string translation;
    le::Append(translation, kChinese, 2);
    le::Append(translation, 1200, 2);
    return VersionNode(u"VS_VERSION_INFO", false, fixed,
                       {VersionNode(u"StringFileInfo", true, "", {VersionNode(u"080404b0", true, "", strings)}),
                        VersionNode(u"VarFileInfo", true, "", {VersionNode(u"Translation", false, translation)})});
}

std::string GroupIcon(std::vector<std::uint16_t> ids) {
    std::string group;
    for (const std::uint32_t field : {0u, 1u, static_cast<std::uint32_t>(ids.size())}) {
        le::Append(group, field, 2);
    }
    for (const std::uint16_t id : ids) {
        group += std::string("\x10\x10\0\0", 4);
        le::Append(group, 1, 2);
        le::Append(group, 32, 2);
        le::Append(group, 10, 4);
        le::Append(group, id, 2);
    }
    return group;
}

// Tessaro.exe's resources in small: its icon (two images), a second group sharing no image, a bitmap, a named
// resource, the manifest and the version block.
ResourceTree StubTree() {
    const auto id = [](std::uint16_t number) { return ResourceKey{{}, number}; };
    ResourceTree tree;
    tree.resources = {
        {{u"DATA"}, {u"BLOB"}, 0, 0, "named data"},
        {id(kRtIcon), id(1), kChinese, 0, "old icon one"},
        {id(kRtIcon), id(2), kChinese, 0, "old icon two"},
        {id(kRtIcon), id(3), kChinese, 0, "another group's icon"},
        {id(2), id(201), kChinese, 0, std::string(2000, 'b')},
        {id(kRtGroupIcon), id(1), kChinese, 0, GroupIcon({1, 2})},
        {id(kRtGroupIcon), id(7), kChinese, 0, GroupIcon({3})},
        {id(kRtVersion), id(1), kChinese, 0, StubVersionBlock()},
        {id(kRtManifest), id(1), kChinese, 0, "<assembly/>"},
    };
    return tree;
}

void Section(std::string& exe, int index, const char* name, std::uint32_t rva, std::size_t bytes, std::uint32_t rawAt) {
    const std::size_t at = kSectionsAt + static_cast<std::size_t>(index) * 40;
    std::memcpy(exe.data() + at, name, std::strlen(name));
    le::Put32(exe, at + 8, static_cast<std::uint32_t>(bytes));
    le::Put32(exe, at + 12, rva);
    le::Put32(exe, at + 16, static_cast<std::uint32_t>((bytes + 0x1FF) / 0x200 * 0x200));
    le::Put32(exe, at + 20, rawAt);
}

// A PE32 image laid out as the linker lays out Tessaro.exe: read-only data with the unfilled marker, then the
// resources, then the base relocations, which end the file.
std::string Stub(const ResourceTree& tree = StubTree()) {
    const std::string resources = SerializeResourceTree(tree, kResourceRva);
    const std::string relocations = std::string("\0\x10\0\0\x0C\0\0\0\x04\x30\x08\x30", 12);
    std::string exe(0x400, '\0');
    exe.replace(0, 2, "MZ");
    le::Put32(exe, 0x3C, kPeAt);
    exe.replace(kPeAt, 4, std::string("PE\0\0", 4));
    le::Put16(exe, kPeAt + 4, 0x14C);
    le::Put16(exe, kPeAt + 6, 3);
    le::Put16(exe, kPeAt + 20, 224);
    le::Put16(exe, kOptionalAt, 0x10B);
    le::Put32(exe, kOptionalAt + 32, 0x1000);
    le::Put32(exe, kOptionalAt + 36, 0x200);
    le::Put32(exe, kOptionalAt + 60, 0x200);
    le::Put32(exe, kOptionalAt + 92, 16);
    exe.replace(kMarkerAt, tessaro::bundle::kMarkerMagic.size(), tessaro::bundle::kMarkerMagic);
    Section(exe, 0, ".rdata", 0x1000, 0x100, 0x200);
    Section(exe, 1, ".rsrc", kResourceRva, resources.size(), 0x400);
    exe += resources;
    le::PadTo(exe, 0x200);
    Section(exe, 2, ".reloc", kRelocationRva, relocations.size(), static_cast<std::uint32_t>(exe.size()));
    exe += relocations;
    le::PadTo(exe, 0x200);
    le::Put32(exe, kOptionalAt + 8, 0x200 + SectionField(exe, 1, 16) + 0x200);
    le::Put32(exe, kOptionalAt + 56, 0x4000);
    le::Put32(exe, kDirectoriesAt + 2 * 8, kResourceRva);
    le::Put32(exe, kDirectoriesAt + 2 * 8 + 4, static_cast<std::uint32_t>(resources.size()));
    le::Put32(exe, kDirectoriesAt + 5 * 8, kRelocationRva);
    le::Put32(exe, kDirectoriesAt + 5 * 8 + 4, static_cast<std::uint32_t>(relocations.size()));
    return exe;
}

struct Picture {
    int size;  // 0 for 256
    bool png;
    std::size_t bytes;
};

std::string PictureBytes(const Picture& picture, char fill) {
    std::string bytes;
    if (picture.png) {
        bytes = std::string("\x89PNG\r\n\x1A\n", 8);
    } else {
        for (const std::uint32_t field :
             {40u, static_cast<std::uint32_t>(picture.size), static_cast<std::uint32_t>(picture.size * 2)}) {
            le::Append(bytes, field, 4);
        }
        le::Append(bytes, 1, 2);
        le::Append(bytes, 32, 2);
        bytes.resize(40, '\0');
    }
    bytes.resize(picture.bytes, fill);
    return bytes;
}

// An .ico file; the first picture's directory entry leaves planes and bit count to the picture, as some writers do.
std::string IconFile(const std::vector<Picture>& pictures) {
    std::string header;
    std::string data;
    le::Append(header, 0, 2);
    le::Append(header, 1, 2);
    le::Append(header, static_cast<std::uint32_t>(pictures.size()), 2);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string bytes = PictureBytes(pictures[i], static_cast<char>('A' + i));
        header += static_cast<char>(pictures[i].size);
        header += static_cast<char>(pictures[i].size);
        header.append(2, '\0');
        le::Append(header, i == 0 ? 0 : 1, 2);
        le::Append(header, i == 0 ? 0 : 32, 2);
        le::Append(header, static_cast<std::uint32_t>(bytes.size()), 4);
        le::Append(header, static_cast<std::uint32_t>(6 + 16 * pictures.size() + data.size()), 4);
        data += bytes;
    }
    return header + data;
}

const std::vector<Picture> kMakerPictures = {{48, false, 9640}, {32, false, 4264}, {0, true, 9000}};

// A string's value in a version block: the UTF-16 key with its NUL, padding to four bytes, the value to its NUL.
std::u16string VersionString(const std::string& block, std::u16string key) {
    const std::size_t at = block.find(Utf16z(key));
    if (at == std::string::npos) {
        return u"(missing)";
    }
    std::u16string value;
    for (std::size_t p = (at + 2 * key.size() + 2 + 3) / 4 * 4; p + 1 < block.size() && le::Get16(block, p) != 0;
         p += 2) {
        value += static_cast<char16_t>(le::Get16(block, p));
    }
    return value;
}

const Resource* Find(const ResourceTree& tree, std::uint16_t type, std::uint16_t name) {
    for (const Resource& resource : tree.resources) {
        if (resource.type == ResourceKey{{}, type} && resource.name == ResourceKey{{}, name}) {
            return &resource;
        }
    }
    return nullptr;
}

struct PackRun {
    int status;
    std::string out;
    std::string err;
};

PackRun Pack(std::vector<std::string> args) {
    PackRun run{-1, {}, {}};
    const PackEnvironment environment{
        [&](std::string_view text) { run.out += text; },
        [&](std::string_view text) { run.err += text; },
        instinfo_check::Language::English,
        instinfo_check::system::MakeAnsiDecoder,
        "no-default-stub",
        "no-default-stub",
    };
    run.status = RunPack(args, environment);
    return run;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PackBranding, TheSetupExeCarriesTheMakersIconAndVersionAndStillFindsItsPayload) {
    instinfo_check::testing::TempFolder temp;
    const std::string stub = Stub();
    temp.Write("Tessaro.exe", stub);
    temp.Write("addon/InstInfo.ini", "fileitem=c|a.gms|1|gmspath|\r\n");
    temp.Write("addon/a.gms", "macro");
    const std::string icon = IconFile(kMakerPictures);
    temp.Write("maker.ico", icon);
    const PackRun run = Pack({"--icon", temp.Path("maker.ico"), "--version", "productname=宏工具箱", "--version",
                              "ProductVersion=2.1.0.3", "--version", "COMPANYNAME=某某工作室 Ltd.", "--stub",
                              temp.Path("Tessaro.exe"), temp.Path("addon"), "-o", temp.Path("Setup.exe")});
    ASSERT_EQ(run.status, kExitWritten) << run.err;
    const std::string setup = ReadAll(temp.Path("Setup.exe"));

    // The marker, filled in after the resources grew, still leads to the payload.
    tessaro::bundle::Marker marker{};
    std::memcpy(&marker, setup.data() + kMarkerAt, sizeof(marker));
    const tessaro::bundle::OpenedBundle opened = tessaro::bundle::OpenBundle(setup, marker);
    ASSERT_EQ(opened.state, tessaro::bundle::BundleState::Ready);
    EXPECT_EQ(opened.files.back().bytes, "macro");
    const std::string exe = setup.substr(0, marker.offset);

    // The sections: the resources where they were and as large as their tree, the relocations moved after them
    // unchanged, the image and data sizes following.
    ASSERT_EQ(le::Get16(exe, kPeAt + 6), 3);
    const std::uint32_t resourceBytes = Directory(exe, 2, 4);
    EXPECT_EQ(Directory(exe, 2, 0), kResourceRva);
    EXPECT_EQ(SectionField(exe, 1, 8), resourceBytes);
    EXPECT_GT(resourceBytes, Directory(stub, 2, 4) + 20000) << "the maker's pictures are larger than ours";
    EXPECT_EQ(SectionField(exe, 1, 16), (resourceBytes + 0x1FF) / 0x200 * 0x200);
    EXPECT_EQ(SectionField(exe, 1, 20), 0x400u);
    const std::uint32_t relocationRva = (kResourceRva + resourceBytes + 0xFFF) / 0x1000 * 0x1000;
    EXPECT_EQ(SectionField(exe, 2, 12), relocationRva);
    EXPECT_EQ(Directory(exe, 5, 0), relocationRva);
    EXPECT_EQ(Directory(exe, 5, 4), Directory(stub, 5, 4));
    EXPECT_EQ(SectionField(exe, 2, 20), 0x400 + SectionField(exe, 1, 16));
    EXPECT_EQ(exe.size(), SectionField(exe, 2, 20) + SectionField(exe, 2, 16));
    EXPECT_EQ(exe.substr(SectionField(exe, 2, 20)), stub.substr(SectionField(stub, 2, 20)));
    EXPECT_EQ(le::Get32(exe, kOptionalAt + 56), relocationRva + 0x1000);
    EXPECT_EQ(le::Get32(exe, kOptionalAt + 8) - le::Get32(stub, kOptionalAt + 8),
              SectionField(exe, 1, 16) - SectionField(stub, 1, 16));
    EXPECT_EQ(exe.substr(0, 0x200).substr(kSectionsAt + 3 * 40), stub.substr(0, 0x200).substr(kSectionsAt + 3 * 40));

    // The tree: the icon made of the maker's pictures, everything else as it was.
    std::string error;
    const std::optional<ResourceSection> section = ReadResourceSection(exe, error);
    ASSERT_TRUE(section) << error;
    const std::optional<ResourceTree> tree = ParseResourceTree(section->bytes, section->rva, error);
    ASSERT_TRUE(tree) << error;
    const Resource* group = Find(*tree, kRtGroupIcon, 1);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->language, kChinese);
    ASSERT_EQ(group->bytes.size(), 6 + 14 * kMakerPictures.size());
    EXPECT_EQ(le::Get16(group->bytes, 4), kMakerPictures.size());
    std::set<std::uint16_t> ids;
    for (std::size_t i = 0; i < kMakerPictures.size(); ++i) {
        const std::string entry = group->bytes.substr(6 + 14 * i, 14);
        const std::string picture = icon.substr(le::Get32(icon, 6 + 16 * i + 12), le::Get32(icon, 6 + 16 * i + 8));
        EXPECT_EQ(entry.substr(0, 4), icon.substr(6 + 16 * i, 4)) << i;
        EXPECT_EQ(le::Get16(entry, 4), 1) << i;
        EXPECT_EQ(le::Get16(entry, 6), 32) << i << ": taken from the picture where the entry left it out";
        EXPECT_EQ(le::Get32(entry, 8), picture.size()) << i;
        const Resource* image = Find(*tree, kRtIcon, le::Get16(entry, 12));
        ASSERT_TRUE(image) << i;
        EXPECT_EQ(image->bytes, picture) << i;
        EXPECT_EQ(image->language, kChinese) << i;
        ids.insert(le::Get16(entry, 12));
    }
    EXPECT_EQ(ids.size(), kMakerPictures.size());
    EXPECT_FALSE(ids.contains(3)) << "the other group's image keeps its number";
    std::size_t icons = 0;
    for (const Resource& resource : tree->resources) {
        icons += resource.type == ResourceKey{{}, kRtIcon} ? 1 : 0;
        EXPECT_TRUE(resource.bytes.find("old icon") == std::string::npos) << "our own pictures are gone";
    }
    EXPECT_EQ(icons, kMakerPictures.size() + 1);
    for (const Resource& before : StubTree().resources) {
        if (!(before.type == ResourceKey{{}, kRtIcon} || before.type == ResourceKey{{}, kRtGroupIcon} ||
              before.type == ResourceKey{{}, kRtVersion}) ||
            before.name == ResourceKey{{}, 3} || before.name == ResourceKey{{}, 7}) {
            const auto kept = std::find_if(tree->resources.begin(), tree->resources.end(), [&](const Resource& r) {
                return r.type == before.type && r.name == before.name && r.language == before.language;
            });
            ASSERT_NE(kept, tree->resources.end());
            EXPECT_EQ(kept->bytes, before.bytes);
        }
    }

    // The version block: the given strings under their own names, the rest kept, the product version fixed.
    const Resource* version = Find(*tree, kRtVersion, 1);
    ASSERT_TRUE(version);
    const std::string& block = version->bytes;
    EXPECT_EQ(le::Get16(block, 0), block.size());
    EXPECT_EQ(VersionString(block, u"ProductName"), u"宏工具箱");
    EXPECT_EQ(VersionString(block, u"CompanyName"), u"某某工作室 Ltd.");
    EXPECT_EQ(VersionString(block, u"ProductVersion"), u"2.1.0.3");
    EXPECT_EQ(VersionString(block, u"FileVersion"), u"1.0.0.0");
    EXPECT_EQ(block.find(Utf16z(u"productname")), std::string::npos);
    const std::size_t fixed = block.find("\xBD\x04\xEF\xFE");
    ASSERT_NE(fixed, std::string::npos);
    EXPECT_EQ(le::Get32(block, fixed + 16), 0x00020001u);
    EXPECT_EQ(le::Get32(block, fixed + 20), 0x00000003u);
    EXPECT_EQ(le::Get32(block, fixed + 8), 0x10000u) << "the file version stays";
    EXPECT_NE(block.find(Utf16z(u"Translation").substr(0, 22) + std::string("\0\0\0\0\x04\x08\xB0\x04", 8)),
              std::string::npos);

    // Without the two options the stub goes in as it is, but for its marker.
    ASSERT_EQ(Pack({"--stub", temp.Path("Tessaro.exe"), temp.Path("addon"), "-o", temp.Path("Plain.exe")}).status,
              kExitWritten);
    std::string plain = ReadAll(temp.Path("Plain.exe")).substr(0, stub.size());
    plain.replace(kMarkerAt, sizeof(marker), stub.substr(kMarkerAt, sizeof(marker)));
    EXPECT_EQ(plain, stub);
}

TEST(PackBranding, RefusesADamagedIconAnUnknownKeyAndAStubItCannotRewriteSafely) {
    const std::string good = IconFile(kMakerPictures);
    const auto changed = [&](std::size_t at, std::uint32_t value, int width) {
        std::string icon = good;
        le::Put(icon, at, value, width);
        return icon;
    };
    struct IconCase {
        const char* name;
        std::string icon;
    };
    const IconCase icons[] = {
        {"empty", ""},
        {"a header only", good.substr(0, 4)},
        {"a cursor", changed(2, 2, 2)},
        {"reserved word set", changed(0, 1, 2)},
        {"no picture", changed(4, 0, 2)},
        {"more pictures than the directory holds", changed(4, 200, 2)},
        {"the directory cut short", good.substr(0, 6 + 16 + 8)},
        {"a picture past the end", good.substr(0, good.size() - 1)},
        {"a size beyond the file", changed(6 + 16 + 8, 0xFFFFFFF0u, 4)},
        {"a zero size", changed(6 + 8, 0, 4)},
        {"an offset into the directory", changed(6 + 12, 6, 4)},
        {"an offset beyond the file", changed(6 + 12, 0xFFFFFFFFu, 4)},
        {"neither bitmap nor PNG", changed(6 + 3 * 16, 0x12345678u, 4)},
    };
    for (const IconCase& c : icons) {
        std::string error;
        EXPECT_FALSE(ReadIconFile(c.icon, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
    std::string error;
    ASSERT_TRUE(ReadIconFile(good, error)) << error;

    instinfo_check::testing::TempFolder temp;
    temp.Write("Tessaro.exe", Stub());
    temp.Write("addon/InstInfo.ini", "fileitem=c|a.gms|1|gmspath|\r\n");
    temp.Write("addon/a.gms", "macro");
    temp.Write("damaged.ico", good.substr(0, 100));
    struct ArgumentCase {
        std::vector<std::string> options;
        int status;
        std::string says;
    };
    const ArgumentCase arguments[] = {
        {{"--version", "Comments=hi"}, kExitRefused, "--version knows no key Comments"},
        {{"--version", "ProductName"}, kExitUsage, "usage: "},
        {{"--version", "=x"}, kExitUsage, "usage: "},
        {{"--version"}, kExitUsage, "usage: "},
        {{"--icon", temp.Path("damaged.ico")}, kExitRefused, "damaged.ico is no usable icon: picture 1"},
        {{"--icon", temp.Path("missing.ico")}, kExitFiles, "cannot read"},
        {{"--version", "ProductName=\xFF\xFE"}, kExitRefused, "--version ProductName is not UTF-8"},
        {{"--version", "FileDescription=" + std::string(33000, 'x')}, kExitFiles, "too long for a version block"},
    };
    for (const ArgumentCase& c : arguments) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--stub", temp.Path("Tessaro.exe"), temp.Path("addon"), "-o", temp.Path("S.exe")});
        const PackRun run = Pack(args);
        EXPECT_EQ(run.status, c.status) << c.options.front();
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(temp.Path("S.exe"))) << c.options.front();
    }

    ResourceTree noVersion = StubTree();
    std::erase_if(noVersion.resources, [](const Resource& r) { return r.type == ResourceKey{{}, kRtVersion}; });
    ResourceTree noAppIcon = StubTree();
    std::erase_if(noAppIcon.resources, [](const Resource& r) { return r.type == ResourceKey{{}, kRtGroupIcon}; });
    struct StubCase {
        const char* name;
        std::function<std::string(std::string)> change;
    };
    const StubCase stubs[] = {
        {"no PE file", [](std::string s) { return s[kPeAt] = 'X', s; }},
        {"signed", [](std::string s) { return le::Put32(s, kDirectoriesAt + 4 * 8 + 4, 0x100), s; }},
        {"with a symbol table", [](std::string s) { return le::Put32(s, kPeAt + 12, 0x200), s; }},
        {"data after the last section", [](std::string s) { return s + "overlay"; }},
        {"resources not near the end", [](std::string s) { return le::Put32(s, kDirectoriesAt + 16, 0x1000), s; }},
        {"relocations not right after the resources",
         [](std::string s) { return le::Put32(s, kSectionsAt + 2 * 40 + 12, kRelocationRva + 0x1000), s; }},
        {"no relocation directory after them", [](std::string s) { return le::Put32(s, kDirectoriesAt + 40, 0), s; }},
        {"the TLS directory in the relocations",
         [](std::string s) {
             le::Put32(s, kDirectoriesAt + 9 * 8, kRelocationRva);
             return le::Put32(s, kDirectoriesAt + 9 * 8 + 4, 0x18), s;
         }},
        {"a damaged resource tree", [](std::string s) { return le::Put16(s, 0x400 + 14, 0x7FFF), s; }},
        {"resource data outside the section",
         [](std::string s) {
             const std::size_t entry = s.find(std::string("\x0C\0\0\0", 4), 0x400) - 4;  // "old icon one"
             return le::Put32(s, entry, 0x9000), s;
         }},
        {"no version block", [&](std::string) { return Stub(noVersion); }},
        {"no application icon", [&](std::string) { return Stub(noAppIcon); }},
    };
    // A tree whose entries all lead to one directory and one data block would otherwise multiply into 1600.
    std::string looped(24, '\0');
    le::Put16(looped, 14, 1);
    le::Put32(looped, 16, 1);
    le::Put32(looped, 20, 0x80000000u | 24);
    for (const std::uint32_t target : {0x80000000u | 360, 696u}) {
        looped.append(16, '\0');
        le::Put16(looped, looped.size() - 2, 40);
        for (std::uint32_t i = 1; i <= 40; ++i) {
            le::Append(looped, i, 4);
            le::Append(looped, target, 4);
        }
    }
    for (const std::uint32_t field : {kResourceRva + 712, 1000u, 0u, 0u}) {
        le::Append(looped, field, 4);
    }
    looped.append(1000, 'x');
    EXPECT_FALSE(ParseResourceTree(looped, kResourceRva, error));
    looped.replace(24 + 12, 4, std::string("\0\0\x01\0", 4));  // one name, one language: a sound tree
    looped.replace(360 + 12, 4, std::string("\0\0\x01\0", 4));
    EXPECT_TRUE(ParseResourceTree(looped, kResourceRva, error)) << error;

    Branding branding;
    branding.icon = *ReadIconFile(good, error);
    branding.versions = {{"ProductName", "x"}};
    ASSERT_TRUE(ApplyBranding(Stub(), branding, error)) << error;
    for (const StubCase& c : stubs) {
        error.clear();
        EXPECT_FALSE(ApplyBranding(c.change(Stub()), branding, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

}  // namespace
}  // namespace tessaro_pack

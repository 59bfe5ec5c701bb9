#include "tessaro_pack/pe_sections.h"

#include <vector>

#include "tessaro_pack/le_bytes.h"

namespace tessaro_pack {
namespace {

constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kDirectoryBytes = 8;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kSecurityDirectory = 4;
constexpr std::size_t kRelocationDirectory = 5;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;

// Fields of a section header, by offset.
constexpr std::size_t kVirtualSize = 8;
constexpr std::size_t kVirtualAddress = 12;
constexpr std::size_t kRawSize = 16;
constexpr std::size_t kRawPointer = 20;

// Offsets in the optional header, the same for PE32 and PE32+.
constexpr std::size_t kInitializedData = 8;
constexpr std::size_t kSectionAlignment = 32;
constexpr std::size_t kFileAlignment = 36;
constexpr std::size_t kImageSize = 56;
constexpr std::size_t kChecksum = 64;

struct Layout {
    std::size_t optionalAt = 0;
    std::size_t directoriesAt = 0;
    std::vector<std::size_t> sections;  // where each section header lies
    std::size_t resource = 0;           // index into `sections`
    bool relocationsFollow = false;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

bool Fail(std::string& error, std::string_view why) {
    error = "the stub cannot take a new icon or version: " + std::string(why);
    return false;
}

bool Headers(std::string_view exe, Layout& layout, std::string& error) {
    if (exe.size() < 0x40 || !exe.starts_with("MZ")) {
        return Fail(error, "it is no PE file");
    }
    const std::size_t pe = le::Get32(exe, 0x3C);
    if (pe > exe.size() || exe.size() - pe < 24 || exe.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
        return Fail(error, "it is no PE file");
    }
    const std::size_t coff = pe + 4;
    const std::size_t optionalSize = le::Get16(exe, coff + 16);
    layout.optionalAt = coff + 20;
    if (exe.size() - layout.optionalAt < optionalSize || optionalSize < 2) {
        return Fail(error, "its optional header is cut short");
    }
    const std::uint16_t magic = le::Get16(exe, layout.optionalAt);
    const std::size_t countAt = magic == kPe32 ? 92 : 108;
    if ((magic != kPe32 && magic != kPe32Plus) || optionalSize < countAt + 4) {
        return Fail(error, "its optional header is neither PE32 nor PE32+");
    }
    layout.directoriesAt = layout.optionalAt + countAt + 4;
    const std::uint64_t directories = le::Get32(exe, layout.optionalAt + countAt);
    if (directories <= kRelocationDirectory || countAt + 4 + directories * kDirectoryBytes > optionalSize) {
        return Fail(error, "its optional header lacks data directories");
    }
    layout.sectionAlignment = le::Get32(exe, layout.optionalAt + kSectionAlignment);
    layout.fileAlignment = le::Get32(exe, layout.optionalAt + kFileAlignment);
    if (layout.sectionAlignment == 0 || layout.fileAlignment == 0) {
        return Fail(error, "its alignments are zero");
    }
    if (le::Get32(exe, coff + 8) != 0) {
        return Fail(error, "it carries a symbol table");
    }
    if (le::Get32(exe, layout.directoriesAt + kSecurityDirectory * kDirectoryBytes + 4) != 0) {
        return Fail(error, "it is signed (sign the Setup.exe, not the stub)");
    }
    const std::size_t count = le::Get16(exe, coff + 2);
    const std::size_t tableAt = layout.optionalAt + optionalSize;
    if (count == 0 || (exe.size() - tableAt) / kSectionHeaderBytes < count) {
        return Fail(error, "its section table is cut short");
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = tableAt + i * kSectionHeaderBytes;
        const std::uint64_t rawEnd = std::uint64_t{le::Get32(exe, at + kRawPointer)} + le::Get32(exe, at + kRawSize);
        if (rawEnd > exe.size()) {
            return Fail(error, "a section lies outside the file");
        }
        layout.sections.push_back(at);
    }
    return true;
}

std::uint32_t Field(std::string_view exe, std::size_t at, std::size_t field) {
    return le::Get32(exe, at + field);
}

// The resource section comes last, or last but the base relocations, which follow it directly in the file and
// in memory; the file ends with the last section, and no other directory points into either of them.
bool Sections(std::string_view exe, Layout& layout, std::string& error) {
    const auto directory = [&](std::size_t index, std::size_t field) {
        return le::Get32(exe, layout.directoriesAt + index * kDirectoryBytes + field);
    };
    const std::uint32_t resourceRva = directory(kResourceDirectory, 0);
    const std::size_t count = layout.sections.size();
    std::size_t found = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (resourceRva != 0 && Field(exe, layout.sections[i], kVirtualAddress) == resourceRva) {
            found = i;
        }
    }
    if (found == count) {
        return Fail(error, "it has no resource section of its own");
    }
    layout.resource = found;
    layout.relocationsFollow = found + 1 < count;
    const std::size_t resource = layout.sections[found];
    const std::size_t last = layout.sections.back();
    if (found + 2 < count || directory(kResourceDirectory, 4) > Field(exe, resource, kRawSize) ||
        directory(kResourceDirectory, 4) > Field(exe, resource, kVirtualSize)) {
        return Fail(error, "its resource section is not last, or not all in the file");
    }
    if (layout.relocationsFollow) {
        const std::uint32_t relocationsRva = directory(kRelocationDirectory, 0);
        const std::uint32_t va = Field(exe, last, kVirtualAddress);
        const bool adjacent =
            Field(exe, last, kRawPointer) == Field(exe, resource, kRawPointer) + Field(exe, resource, kRawSize) &&
            va == AlignUp(std::uint64_t{resourceRva} + Field(exe, resource, kVirtualSize), layout.sectionAlignment);
        if (!adjacent || relocationsRva < va ||
            relocationsRva + std::uint64_t{directory(kRelocationDirectory, 4)} > va + Field(exe, last, kVirtualSize)) {
            return Fail(error, "the section after its resources is not the base relocations, right after them");
        }
    }
    if (Field(exe, last, kRawPointer) + std::uint64_t{Field(exe, last, kRawSize)} != exe.size()) {
        return Fail(error, "data follows its last section");
    }
    const std::size_t directories = le::Get32(exe, layout.directoriesAt - 4);
    for (std::size_t i = 0; i < directories; ++i) {
        const bool ours = i == kResourceDirectory || i == kRelocationDirectory || i == kSecurityDirectory;
        if (!ours && directory(i, 4) != 0 && directory(i, 0) >= resourceRva) {
            return Fail(error, "another data directory points into its last sections");
        }
    }
    return true;
}

std::optional<Layout> ReadLayout(std::string_view exe, std::string& error) {
    Layout layout;
    if (!Headers(exe, layout, error) || !Sections(exe, layout, error)) {
        return std::nullopt;
    }
    return layout;
}

}  // namespace

std::optional<ResourceSection> ReadResourceSection(std::string_view exe, std::string& error) {
    const std::optional<Layout> layout = ReadLayout(exe, error);
    if (!layout) {
        return std::nullopt;
    }
    const std::size_t header = layout->sections[layout->resource];
    const std::size_t directory = layout->directoriesAt + kResourceDirectory * kDirectoryBytes;
    return ResourceSection{std::string(exe.substr(Field(exe, header, kRawPointer), le::Get32(exe, directory + 4))),
                           le::Get32(exe, directory)};
}

std::optional<std::string> ReplaceResourceSection(std::string_view exe, std::string_view section, std::string& error) {
    const std::optional<Layout> layout = ReadLayout(exe, error);
    if (!layout) {
        return std::nullopt;
    }
    const std::size_t resource = layout->sections[layout->resource];
    const std::uint32_t rawAt = Field(exe, resource, kRawPointer);
    const std::uint32_t oldRaw = Field(exe, resource, kRawSize);
    const std::uint64_t newRaw = AlignUp(section.size(), layout->fileAlignment);
    const std::uint64_t newVirtualEnd = Field(exe, resource, kVirtualAddress) + std::uint64_t{section.size()};
    if (newVirtualEnd + newRaw + exe.size() > 0xFFFFFFFFu) {
        Fail(error, "the new resources would not fit a PE file");
        return std::nullopt;
    }
    std::string out(exe.substr(0, rawAt));
    out += section;
    out.resize(rawAt + newRaw, '\0');
    le::Put32(out, resource + kVirtualSize, static_cast<std::uint32_t>(section.size()));
    le::Put32(out, resource + kRawSize, static_cast<std::uint32_t>(newRaw));
    le::Put32(out, layout->directoriesAt + kResourceDirectory * kDirectoryBytes + 4,
              static_cast<std::uint32_t>(section.size()));
    std::size_t last = resource;
    if (layout->relocationsFollow) {
        last = layout->sections.back();
        const std::uint32_t oldVa = Field(exe, last, kVirtualAddress);
        const auto newVa = static_cast<std::uint32_t>(AlignUp(newVirtualEnd, layout->sectionAlignment));
        out += exe.substr(Field(exe, last, kRawPointer), Field(exe, last, kRawSize));
        le::Put32(out, last + kVirtualAddress, newVa);
        le::Put32(out, last + kRawPointer, static_cast<std::uint32_t>(rawAt + newRaw));
        const std::size_t relocations = layout->directoriesAt + kRelocationDirectory * kDirectoryBytes;
        le::Put32(out, relocations, le::Get32(exe, relocations) - oldVa + newVa);
    }
    const std::size_t optional = layout->optionalAt;
    le::Put32(out, optional + kInitializedData,
              le::Get32(exe, optional + kInitializedData) - oldRaw + static_cast<std::uint32_t>(newRaw));
    le::Put32(out, optional + kImageSize,
              static_cast<std::uint32_t>(
                  AlignUp(std::uint64_t{Field(out, last, kVirtualAddress)} + Field(out, last, kVirtualSize),
                          layout->sectionAlignment)));
    StampPeChecksum(out);
    return out;
}

void StampPeChecksum(std::string& exe) {
    if (exe.size() < 0x40 || exe.size() - 4 < std::size_t{le::Get32(exe, 0x3C)} + 24 + kChecksum) {
        return;
    }
    const std::size_t field = le::Get32(exe, 0x3C) + 24 + kChecksum;
    std::uint64_t sum = 0;
    for (std::size_t at = 0; at < exe.size(); at += 2) {
        if (at == field || at == field + 2) {
            continue;
        }
        sum += at + 1 < exe.size() ? le::Get16(exe, at) : static_cast<unsigned char>(exe[at]);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    le::Put32(exe, field, static_cast<std::uint32_t>(sum + exe.size()));
}

}  // namespace tessaro_pack

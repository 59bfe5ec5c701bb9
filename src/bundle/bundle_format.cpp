#include "bundle/bundle_format.h"

#include <algorithm>
#include <array>
#include <memory>

#include "platform/windows_paths.h"

namespace tessaro::bundle {
namespace {

// CRC-32 eight bytes at a step ("slicing by eight"): table k gives the CRC of a byte followed by k zero bytes.
// Setup.exe checks its whole payload before its window shows, so this is on the way to the window. The 8 KB of
// tables are made when first needed rather than carried in every Tessaro.exe.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

std::unique_ptr<CrcTables> MakeCrcTables() {
    auto tables = std::make_unique<CrcTables>();
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        (*tables)[0][n] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::uint32_t n = 0; n < 256; ++n) {
            const std::uint32_t previous = (*tables)[k - 1][n];
            (*tables)[k][n] = (*tables)[0][previous & 0xFF] ^ (previous >> 8);
        }
    }
    return tables;
}

// On the heap: a table of static storage, even one zero-initialised, would take its 8 KB in the file (the
// Windows builds place such data in .data), and one the compiler could work out would be carried finished.
const CrcTables& TheCrcTables() {
    static const std::unique_ptr<CrcTables> tables = MakeCrcTables();
    return *tables;
}

void PutLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Reads little-endian numbers from the front of a view; false once the bytes run out.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool Number(int width, std::uint64_t& value) {
        if (bytes_.size() < static_cast<std::size_t>(width)) {
            return false;
        }
        value = 0;
        for (int i = width; i-- > 0;) {
            value = value << 8 | static_cast<unsigned char>(bytes_[static_cast<std::size_t>(i)]);
        }
        bytes_.remove_prefix(static_cast<std::size_t>(width));
        return true;
    }

    bool Take(std::uint64_t count, std::string_view& taken) {
        if (bytes_.size() < count) {
            return false;
        }
        taken = bytes_.substr(0, static_cast<std::size_t>(count));
        bytes_.remove_prefix(static_cast<std::size_t>(count));
        return true;
    }

    std::size_t Remaining() const { return bytes_.size(); }

  private:
    std::string_view bytes_;
};

constexpr int kCountBytes = 4;
constexpr int kNameBytes = 2;
constexpr int kSizeBytes = 8;

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
    const CrcTables& t = TheCrcTables();
    const auto at = [&bytes](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
    };
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const std::uint32_t low = crc ^ (at(i) | at(i + 1) << 8 | at(i + 2) << 16 | at(i + 3) << 24);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][at(i + 4)] ^ t[2][at(i + 5)] ^ t[1][at(i + 6)] ^ t[0][at(i + 7)];
    }
    for (; i < bytes.size(); ++i) {
        crc = t[0][(crc ^ at(i)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

bool IsSafeRelativeName(std::string_view name) {
    if (name.empty() || ContainsNul(name) || IsAbsoluteWindowsPath(name) || name.front() == '\\' ||
        name.front() == '/' || name.find(':') != std::string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string EncodeMarker(const Marker& marker) {
    std::string bytes(marker.magic, sizeof(marker.magic));
    PutLe(bytes, marker.version, 4);
    PutLe(bytes, marker.crc32, 4);
    PutLe(bytes, marker.offset, 8);
    PutLe(bytes, marker.size, 8);
    return bytes;
}

std::string SerializeFiles(const std::vector<File>& files, std::uint32_t windowFiles) {
    std::string archive;
    PutLe(archive, files.size(), kCountBytes);
    PutLe(archive, windowFiles, kCountBytes);
    for (const File& file : files) {
        PutLe(archive, file.name.size(), kNameBytes);
        archive += file.name;
        PutLe(archive, file.bytes.size(), kSizeBytes);
    }
    for (const File& file : files) {
        archive += file.bytes;
    }
    return archive;
}

IndexState ParseIndex(std::string_view prefix, std::uint64_t archiveBytes, ArchiveIndex& index) {
    Reader reader(prefix);
    std::uint64_t count = 0;
    std::uint64_t windowFiles = 0;
    if (!reader.Number(kCountBytes, count) || !reader.Number(kCountBytes, windowFiles)) {
        return prefix.size() < archiveBytes ? IndexState::NeedMore : IndexState::Damaged;
    }
    // Every entry takes at least a one-byte name and its two numbers: a count beyond that is a lie. The count
    // has four bytes, so the product cannot overflow (and the 32-bit installer needs no 64-bit division).
    constexpr std::uint64_t kSmallestEntry = kNameBytes + 1 + kSizeBytes;
    static_assert(kCountBytes <= 4);
    if (windowFiles > count || count * kSmallestEntry > archiveBytes) {
        return IndexState::Damaged;
    }
    index = {};
    index.windowFiles = static_cast<std::uint32_t>(windowFiles);
    index.entries.reserve(static_cast<std::size_t>(count));
    std::uint64_t contents = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t nameBytes = 0;
        std::uint64_t size = 0;
        std::string_view name;
        if (!reader.Number(kNameBytes, nameBytes) || !reader.Take(nameBytes, name) ||
            !reader.Number(kSizeBytes, size)) {
            return prefix.size() < archiveBytes ? IndexState::NeedMore : IndexState::Damaged;
        }
        if (!IsSafeRelativeName(name) || size > archiveBytes - contents) {
            return IndexState::Damaged;
        }
        index.entries.push_back(ArchiveEntry{std::string(name), contents, size});
        contents += size;
    }
    const std::uint64_t indexBytes = prefix.size() - reader.Remaining();
    if (indexBytes + contents != archiveBytes) {
        return IndexState::Damaged;
    }
    for (ArchiveEntry& entry : index.entries) {
        entry.offset += indexBytes;
    }
    return IndexState::Complete;
}

std::optional<std::vector<File>> ParseFiles(std::string_view archive) {
    ArchiveIndex index;
    if (ParseIndex(archive, archive.size(), index) != IndexState::Complete) {
        return std::nullopt;
    }
    std::vector<File> files;
    files.reserve(index.entries.size());
    for (const ArchiveEntry& entry : index.entries) {
        files.push_back(File{entry.name, std::string(archive.substr(static_cast<std::size_t>(entry.offset),
                                                                    static_cast<std::size_t>(entry.size)))});
    }
    return files;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> CertificateTable(std::string_view exe) {
    constexpr std::size_t kPeOffsetAt = 0x3C;
    constexpr std::size_t kOptionalHeaderAt = 24;
    constexpr std::size_t kSecurityEntryPe32 = 128;
    constexpr std::size_t kSecurityEntryPe32Plus = 144;
    Reader header(exe.substr(std::min(exe.size(), kPeOffsetAt)));
    std::uint64_t pe = 0;
    if (!exe.starts_with("MZ") || !header.Number(4, pe) || pe > exe.size() ||
        exe.substr(static_cast<std::size_t>(pe)).substr(0, 4) != std::string_view("PE\0\0", 4)) {
        return std::nullopt;
    }
    const std::string_view optional = exe.substr(static_cast<std::size_t>(pe) + kOptionalHeaderAt);
    Reader magic(optional);
    std::uint64_t kind = 0;
    if (!magic.Number(2, kind) || (kind != 0x10B && kind != 0x20B)) {
        return std::nullopt;
    }
    Reader entry(
        optional.substr(std::min(optional.size(), kind == 0x10B ? kSecurityEntryPe32 : kSecurityEntryPe32Plus)));
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    if (!entry.Number(4, offset) || !entry.Number(4, size)) {
        return std::nullopt;
    }
    return std::pair{offset, size};
}

std::string_view FindPayload(std::string_view exe, const Marker& marker, BundleState& state) {
    state = BundleState::NotABundle;
    if (marker.version == 0) {
        return {};  // a plain Tessaro.exe
    }
    state = BundleState::Damaged;
    if (marker.version != kFormatVersion || marker.offset > exe.size() || marker.size > exe.size() - marker.offset) {
        return {};
    }
    // The payload ends the file, unless Authenticode signing put its certificate table after it: padded to eight
    // bytes, then the table the PE header names, up to the end. Anything else appended is foreign.
    const std::uint64_t payloadEnd = marker.offset + marker.size;
    if (payloadEnd != exe.size()) {
        const auto table = CertificateTable(exe);
        const bool signedTail =
            table && table->second != 0 && table->first >= payloadEnd && table->first - payloadEnd < 8 &&
            table->first + table->second == exe.size() &&
            exe.substr(static_cast<std::size_t>(payloadEnd), static_cast<std::size_t>(table->first - payloadEnd))
                    .find_first_not_of('\0') == std::string_view::npos;
        if (!signedTail) {
            return {};
        }
    }
    const std::string_view payload =
        exe.substr(static_cast<std::size_t>(marker.offset), static_cast<std::size_t>(marker.size));
    if (Crc32(payload) != marker.crc32) {
        return {};
    }
    state = BundleState::Ready;
    return payload;
}

OpenedBundle OpenBundle(std::string_view exe, const Marker& marker) {
    OpenedBundle opened;
    const std::string_view payload = FindPayload(exe, marker, opened.state);
    if (opened.state != BundleState::Ready) {
        return opened;
    }
    opened.state = BundleState::Damaged;
    const std::optional<std::string> archive = DecodePayload(payload);
    std::optional<std::vector<File>> files = archive ? ParseFiles(*archive) : std::nullopt;
    if (!files) {
        return opened;
    }
    opened.state = BundleState::Ready;
    opened.files = std::move(*files);
    return opened;
}

}  // namespace tessaro::bundle

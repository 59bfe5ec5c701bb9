#include "platform/picture_check.h"

#include <optional>
#include <string_view>

namespace tessaro {
namespace {

using Bytes = std::span<const std::uint8_t>;

// Whether `count` bytes from `at` lie inside `bytes`; every read below is guarded by it.
bool Fits(Bytes bytes, std::uint64_t at, std::uint64_t count) {
    return at <= bytes.size() && count <= bytes.size() - at;
}

std::uint16_t U16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
std::uint32_t U32(Bytes bytes, std::size_t at) {
    return U16(bytes, at) | static_cast<std::uint32_t>(U16(bytes, at + 2)) << 16;
}
std::uint16_t BigEndian16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

bool StartsWith(Bytes bytes, std::string_view magic) {
    if (bytes.size() < magic.size()) {
        return false;
    }
    for (std::size_t i = 0; i < magic.size(); ++i) {
        if (bytes[i] != static_cast<std::uint8_t>(magic[i])) {
            return false;
        }
    }
    return true;
}

PictureVerdict SizeVerdict(std::uint64_t width, std::uint64_t height) {
    const bool tooLarge = width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels;
    return tooLarge ? PictureVerdict::TooLarge : PictureVerdict::Sound;
}

// ---- Device-independent bitmaps: BMP files and the images inside icons.

constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;

struct DibHeader {
    std::uint32_t headerBytes = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kRgb;
    // The colour masks and the colour table that follow the header.
    std::uint64_t tableBytes = 0;
};

bool IsInfoHeaderSize(std::uint32_t bytes) {
    return bytes == kInfoHeaderBytes || bytes == 52 || bytes == 56 || bytes == 108 || bytes == 124;
}

// Reads the header at the start of `dib` and checks that it describes a bitmap GDI draws: one plane, a known
// depth, a compression that fits that depth, a colour table no longer than the depth allows.
std::optional<DibHeader> ReadDibHeader(Bytes dib) {
    if (!Fits(dib, 0, 4)) {
        return std::nullopt;
    }
    DibHeader header;
    header.headerBytes = U32(dib, 0);
    if (!Fits(dib, 0, header.headerBytes)) {
        return std::nullopt;
    }
    std::uint16_t planes = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t entryBytes = 4;
    if (header.headerBytes == kCoreHeaderBytes) {
        header.width = U16(dib, 4);
        header.height = U16(dib, 6);
        planes = U16(dib, 8);
        header.bitCount = U16(dib, 10);
        entryBytes = 3;
        if (header.bitCount != 1 && header.bitCount != 4 && header.bitCount != 8 && header.bitCount != 24) {
            return std::nullopt;
        }
    } else if (IsInfoHeaderSize(header.headerBytes)) {
        const auto width = static_cast<std::int32_t>(U32(dib, 4));
        const auto height = static_cast<std::int32_t>(U32(dib, 8));
        if (width <= 0 || height == 0 || height == INT32_MIN) {
            return std::nullopt;
        }
        header.width = static_cast<std::uint32_t>(width);
        header.topDown = height < 0;
        header.height = static_cast<std::uint32_t>(header.topDown ? -height : height);
        planes = U16(dib, 12);
        header.bitCount = U16(dib, 14);
        header.compression = U32(dib, 16);
        colorsUsed = U32(dib, 32);
        switch (header.bitCount) {
            case 1:
            case 4:
            case 8:
            case 16:
            case 24:
            case 32:
                break;
            default:
                return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (planes != 1 || header.width == 0 || header.height == 0) {
        return std::nullopt;
    }

    switch (header.compression) {
        case kRgb:
            break;
        case kRle8:
        case kRle4:
            // Run-length data runs bottom-up only, and each kind at its own depth.
            if (header.topDown || header.bitCount != (header.compression == kRle8 ? 8 : 4)) {
                return std::nullopt;
            }
            break;
        case kBitfields:
            if (header.bitCount != 16 && header.bitCount != 32) {
                return std::nullopt;
            }
            // The three masks follow the plain 40-byte header; later headers hold them.
            header.tableBytes = header.headerBytes == kInfoHeaderBytes ? 12 : 0;
            break;
        default:
            return std::nullopt;  // JPEG or PNG inside a BMP, which the loader does not draw
    }

    std::uint64_t entries = colorsUsed;
    if (header.bitCount <= 8) {
        const std::uint32_t most = 1u << header.bitCount;
        if (colorsUsed > most) {
            return std::nullopt;
        }
        entries = colorsUsed == 0 ? most : colorsUsed;
    }
    header.tableBytes += entries * entryBytes;
    return header;
}

std::uint64_t RowBytes(std::uint32_t width, std::uint16_t bitCount) {
    return (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
}

// Walks run-length data up to its end-of-bitmap code: every code and every literal run must be inside `data`,
// and no run may start below the last row. Runs past the end of a row are common (encoders that fill the row's
// padding) and clipped by the decoder.
bool RunLengthFits(Bytes data, const DibHeader& header) {
    const bool fourBit = header.compression == kRle4;
    std::uint64_t y = 0;
    std::size_t at = 0;
    while (Fits(data, at, 2)) {
        const std::uint8_t count = data[at];
        const std::uint8_t code = data[at + 1];
        at += 2;
        if (count > 0) {
            if (y >= header.height) {
                return false;
            }
            continue;
        }
        switch (code) {
            case 0:  // end of line
                if (++y > header.height) {
                    return false;
                }
                break;
            case 1:  // end of bitmap
                return true;
            case 2:  // move right and up by the next two bytes
                if (!Fits(data, at, 2)) {
                    return false;
                }
                y += data[at + 1];
                at += 2;
                if (y > header.height) {
                    return false;
                }
                break;
            default: {  // `code` literal pixels, padded to a whole word
                const std::size_t bytes = fourBit ? (code + 1u) / 2 : code;
                const std::size_t padded = bytes + (bytes & 1);
                if (!Fits(data, at, padded) || y >= header.height) {
                    return false;
                }
                at += padded;
            }
        }
    }
    return false;
}

bool PixelsFit(Bytes pixels, const DibHeader& header) {
    if (header.compression == kRle8 || header.compression == kRle4) {
        return RunLengthFits(pixels, header);
    }
    return RowBytes(header.width, header.bitCount) * header.height <= pixels.size();
}

constexpr std::size_t kFileHeaderBytes = 14;

PictureCheck CheckBitmap(Bytes file) {
    PictureCheck check{PictureFormat::Bitmap, PictureVerdict::Damaged};
    if (!Fits(file, 0, kFileHeaderBytes)) {
        return check;
    }
    const std::uint32_t pixelsAt = U32(file, 10);
    const std::optional<DibHeader> header = ReadDibHeader(file.subspan(kFileHeaderBytes));
    if (!header) {
        return check;
    }
    check.width = header->width;
    check.height = header->height;
    if (const PictureVerdict size = SizeVerdict(header->width, header->height); size != PictureVerdict::Sound) {
        check.verdict = size;
        return check;
    }
    const std::uint64_t tableAt = kFileHeaderBytes + header->headerBytes;
    if (!Fits(file, tableAt, header->tableBytes) || pixelsAt < tableAt || pixelsAt > file.size()) {
        return check;
    }
    if (PixelsFit(file.subspan(pixelsAt), *header)) {
        check.verdict = PictureVerdict::Sound;
    }
    return check;
}

// ---- Icons: a directory of bitmaps, each followed by its one-bit transparency mask.

PictureCheck CheckIcon(Bytes file) {
    PictureCheck check{PictureFormat::Icon, PictureVerdict::Damaged};
    constexpr std::size_t kDirectoryBytes = 6;
    constexpr std::size_t kEntryBytes = 16;
    if (!Fits(file, 0, kDirectoryBytes)) {
        return check;
    }
    const std::uint16_t count = U16(file, 4);
    const std::uint64_t imagesAt = kDirectoryBytes + std::uint64_t{kEntryBytes} * count;
    if (count == 0 || !Fits(file, 0, imagesAt)) {
        return check;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kDirectoryBytes + kEntryBytes * i;
        const std::uint32_t bytes = U32(file, entry + 8);
        const std::uint32_t offset = U32(file, entry + 12);
        if (offset < imagesAt || !Fits(file, offset, bytes)) {
            return check;
        }
        const Bytes image = file.subspan(offset, bytes);
        if (StartsWith(image, "\x89PNG")) {
            check.verdict = PictureVerdict::Unknown;  // Vista's compressed icons; older loaders cannot read them
            return check;
        }
        std::optional<DibHeader> header = ReadDibHeader(image);
        // The height counts the image and its mask together.
        if (!header || header->headerBytes != kInfoHeaderBytes || header->compression != kRgb || header->topDown ||
            header->height % 2 != 0) {
            return check;
        }
        header->height /= 2;
        if (i == 0) {
            check.width = header->width;
            check.height = header->height;
        }
        if (const PictureVerdict size = SizeVerdict(header->width, header->height); size != PictureVerdict::Sound) {
            check.verdict = size;
            return check;
        }
        const std::uint64_t needed = header->headerBytes + header->tableBytes +
                                     RowBytes(header->width, header->bitCount) * header->height +
                                     RowBytes(header->width, 1) * header->height;
        if (needed > image.size()) {
            return check;
        }
    }
    check.verdict = PictureVerdict::Sound;
    return check;
}

// ---- JPEG: marker segments, and after each scan header the entropy-coded data up to the next marker.

bool IsStartOfFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}
bool IsRestart(std::uint8_t marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// Moves `at` past entropy-coded data to the 0xFF of the marker that ends it.
bool SkipEntropyCodedData(Bytes file, std::size_t& at) {
    while (Fits(file, at, 2)) {
        if (file[at] != 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t next = file[at + 1];
        if (next != 0x00 && !IsRestart(next)) {
            return true;
        }
        at += 2;
    }
    return false;
}

PictureCheck CheckJpeg(Bytes file) {
    PictureCheck check{PictureFormat::Jpeg, PictureVerdict::Damaged};
    bool frame = false;
    bool scan = false;
    std::size_t at = 2;
    for (;;) {
        if (!Fits(file, at, 2) || file[at] != 0xFF) {
            return check;
        }
        while (Fits(file, at + 1, 2) && file[at + 1] == 0xFF) {
            ++at;  // fill bytes before a marker
        }
        const std::uint8_t marker = file[at + 1];
        at += 2;
        if (marker == 0xD9) {  // end of image
            if (frame && scan) {
                check.verdict = PictureVerdict::Sound;
            }
            return check;
        }
        if (marker == 0x01 || IsRestart(marker)) {
            continue;  // markers without a segment
        }
        if (marker == 0x00 || marker == 0xD8 || !Fits(file, at, 2)) {
            return check;
        }
        const std::uint16_t length = BigEndian16(file, at);
        if (length < 2 || !Fits(file, at, length)) {
            return check;
        }
        if (IsStartOfFrame(marker)) {
            if (frame || length < 8) {
                return check;
            }
            const std::uint16_t height = BigEndian16(file, at + 3);
            const std::uint16_t width = BigEndian16(file, at + 5);
            const std::uint8_t components = file[at + 7];
            // A height of 0 is declared later in the data, which the loader does not support.
            if (width == 0 || height == 0 || components == 0 || components > 4 || length < 8 + 3 * components) {
                return check;
            }
            frame = true;
            check.width = width;
            check.height = height;
            if (const PictureVerdict size = SizeVerdict(width, height); size != PictureVerdict::Sound) {
                check.verdict = size;
                return check;
            }
        }
        at += length;
        if (marker == 0xDA) {  // start of scan
            if (!frame || !SkipEntropyCodedData(file, at)) {
                return check;
            }
            scan = true;
        }
    }
}

// ---- GIF: blocks of counted sub-blocks, up to the trailer.

bool SkipSubBlocks(Bytes file, std::size_t& at) {
    for (;;) {
        if (!Fits(file, at, 1)) {
            return false;
        }
        const std::uint8_t count = file[at++];
        if (count == 0) {
            return true;
        }
        if (!Fits(file, at, count)) {
            return false;
        }
        at += count;
    }
}

std::size_t ColourTableBytes(std::uint8_t flags) {
    return (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7) + 1) : 0;
}

PictureCheck CheckGif(Bytes file) {
    PictureCheck check{PictureFormat::Gif, PictureVerdict::Damaged};
    constexpr std::size_t kScreenEnd = 13;
    if (!Fits(file, 0, kScreenEnd) || !(StartsWith(file, "GIF87a") || StartsWith(file, "GIF89a"))) {
        return check;
    }
    check.width = U16(file, 6);
    check.height = U16(file, 8);
    if (check.width == 0 || check.height == 0) {
        return check;
    }
    if (const PictureVerdict size = SizeVerdict(check.width, check.height); size != PictureVerdict::Sound) {
        check.verdict = size;
        return check;
    }
    std::size_t at = kScreenEnd + ColourTableBytes(file[10]);
    bool image = false;
    for (;;) {
        if (!Fits(file, at, 1)) {
            return check;
        }
        switch (file[at++]) {
            case 0x3B:  // trailer
                if (image) {
                    check.verdict = PictureVerdict::Sound;
                }
                return check;
            case 0x21:  // extension: a label, then sub-blocks
                if (!Fits(file, at, 1)) {
                    return check;
                }
                ++at;
                if (!SkipSubBlocks(file, at)) {
                    return check;
                }
                break;
            case 0x2C: {  // image: its descriptor, its colour table, the LZW code size, the data
                if (!Fits(file, at, 9)) {
                    return check;
                }
                const std::uint16_t width = U16(file, at + 4);
                const std::uint16_t height = U16(file, at + 6);
                const std::uint8_t flags = file[at + 8];
                if (width == 0 || height == 0) {
                    return check;
                }
                if (SizeVerdict(width, height) != PictureVerdict::Sound) {
                    check.verdict = PictureVerdict::TooLarge;
                    return check;
                }
                at += 9 + ColourTableBytes(flags);
                if (!Fits(file, at, 1) || file[at] < 2 || file[at] > 8) {
                    return check;
                }
                ++at;
                if (!SkipSubBlocks(file, at)) {
                    return check;
                }
                image = true;
                break;
            }
            default:
                return check;
        }
    }
}

// ---- Metafiles: records that carry their own size, up to the end record.

constexpr std::string_view kPlaceableKey("\xD7\xCD\xC6\x9A", 4);

PictureCheck CheckMetafile(Bytes file) {
    PictureCheck check{PictureFormat::Metafile, PictureVerdict::Damaged};
    constexpr std::size_t kPlaceableHeaderBytes = 22;
    constexpr std::size_t kHeaderBytes = 18;
    const Bytes metafile = StartsWith(file, kPlaceableKey) && file.size() >= kPlaceableHeaderBytes
                               ? file.subspan(kPlaceableHeaderBytes)
                               : file;
    if (!Fits(metafile, 0, kHeaderBytes)) {
        return check;
    }
    const std::uint16_t type = U16(metafile, 0);
    const std::uint64_t totalBytes = std::uint64_t{U32(metafile, 6)} * 2;
    const std::uint32_t largestRecord = U32(metafile, 12);
    if ((type != 1 && type != 2) || U16(metafile, 2) != kHeaderBytes / 2 || !Fits(metafile, 0, totalBytes)) {
        return check;
    }
    const Bytes records = metafile.first(totalBytes);
    std::uint64_t at = kHeaderBytes;
    while (Fits(records, at, 6)) {
        const std::uint32_t words = U32(records, at);
        if (words < 3 || words > largestRecord || !Fits(records, at, std::uint64_t{words} * 2)) {
            return check;
        }
        if (U16(records, at + 4) == 0) {  // the end record
            check.verdict = PictureVerdict::Sound;
            return check;
        }
        at += std::uint64_t{words} * 2;
    }
    return check;
}

PictureCheck CheckEnhancedMetafile(Bytes file) {
    PictureCheck check{PictureFormat::EnhancedMetafile, PictureVerdict::Damaged};
    constexpr std::size_t kHeaderBytes = 88;
    constexpr std::uint32_t kHeaderRecord = 1;
    constexpr std::uint32_t kEndRecord = 14;
    if (!Fits(file, 0, kHeaderBytes) || U32(file, 0) != kHeaderRecord || U32(file, 48) > file.size()) {
        return check;
    }
    const Bytes records = file.first(U32(file, 48));
    std::uint64_t at = 0;
    while (Fits(records, at, 8)) {
        const std::uint32_t bytes = U32(records, at + 4);
        if (bytes < 8 || bytes % 4 != 0 || !Fits(records, at, bytes)) {
            return check;
        }
        if (U32(records, at) == kEndRecord) {
            check.verdict = PictureVerdict::Sound;
            return check;
        }
        at += bytes;
    }
    return check;
}

PictureFormat FormatOf(Bytes file) {
    if (StartsWith(file, "BM")) {
        return PictureFormat::Bitmap;
    }
    if (StartsWith(file, "\xFF\xD8")) {
        return PictureFormat::Jpeg;
    }
    if (StartsWith(file, "GIF8")) {
        return PictureFormat::Gif;
    }
    if (StartsWith(file, std::string_view("\0\0\1\0", 4))) {
        return PictureFormat::Icon;
    }
    if (StartsWith(file, kPlaceableKey) || StartsWith(file, std::string_view("\1\0\x09\0", 4)) ||
        StartsWith(file, std::string_view("\2\0\x09\0", 4))) {
        return PictureFormat::Metafile;
    }
    if (file.size() >= 44 && StartsWith(file.subspan(40), " EMF")) {
        return PictureFormat::EnhancedMetafile;
    }
    return PictureFormat::Unknown;
}

}  // namespace

PictureCheck CheckPicture(Bytes file) {
    const PictureFormat format = FormatOf(file);
    if (file.size() > kMaxPictureFileBytes) {
        return PictureCheck{format, PictureVerdict::TooLarge};
    }
    switch (format) {
        case PictureFormat::Bitmap:
            return CheckBitmap(file);
        case PictureFormat::Jpeg:
            return CheckJpeg(file);
        case PictureFormat::Gif:
            return CheckGif(file);
        case PictureFormat::Icon:
            return CheckIcon(file);
        case PictureFormat::Metafile:
            return CheckMetafile(file);
        case PictureFormat::EnhancedMetafile:
            return CheckEnhancedMetafile(file);
        case PictureFormat::Unknown:
            break;
    }
    return {};
}

}  // namespace tessaro

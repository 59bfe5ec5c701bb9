#include "tessaro_pack/icon_file.h"

#include "tessaro_pack/le_bytes.h"

namespace tessaro_pack {
namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kBitmapInfoHeaderBytes = 40;
constexpr std::string_view kPngSignature{"\x89PNG\r\n\x1A\n", 8};

bool IsDib(std::string_view image) {
    return image.size() >= kBitmapInfoHeaderBytes && le::Get32(image, 0) == kBitmapInfoHeaderBytes;
}

}  // namespace

std::optional<std::vector<IconImage>> ReadIconFile(std::string_view file, std::string& error) {
    if (file.size() < kHeaderBytes || le::Get16(file, 0) != 0 || le::Get16(file, 2) != 1) {
        error = "it is no icon file (.ico)";
        return std::nullopt;
    }
    const std::size_t count = le::Get16(file, 4);
    const std::size_t directoryEnd = kHeaderBytes + count * kEntryBytes;
    if (count == 0 || directoryEnd > file.size()) {
        error = count == 0 ? "it holds no picture" : "its directory is cut short";
        return std::nullopt;
    }
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kHeaderBytes + i * kEntryBytes;
        const std::uint64_t size = le::Get32(file, entry + 8);
        const std::uint64_t offset = le::Get32(file, entry + 12);
        const std::string number = "picture " + std::to_string(i + 1);
        if (size == 0 || offset < directoryEnd || offset + size > file.size()) {
            error = number + " does not lie inside the file";
            return std::nullopt;
        }
        IconImage image;
        image.width = static_cast<std::uint8_t>(file[entry]);
        image.height = static_cast<std::uint8_t>(file[entry + 1]);
        image.colorCount = static_cast<std::uint8_t>(file[entry + 2]);
        image.planes = le::Get16(file, entry + 4);
        image.bitCount = le::Get16(file, entry + 6);
        image.bytes = file.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
        if (!IsDib(image.bytes) && !image.bytes.starts_with(kPngSignature)) {
            error = number + " is neither a bitmap nor a PNG";
            return std::nullopt;
        }
        // Some writers leave these to the picture; Windows picks an icon's size by them, so take them from it.
        if (IsDib(image.bytes) && image.planes == 0 && image.bitCount == 0) {
            image.planes = le::Get16(image.bytes, 12);
            image.bitCount = le::Get16(image.bytes, 14);
        }
        images.push_back(std::move(image));
    }
    return images;
}

}  // namespace tessaro_pack

// The cover picture check against real files written by ImageMagick, cut at every length, and against made-up
// headers that declare what the bytes cannot back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bundle/bundle_format.h"
#include "platform/picture_check.h"

namespace tessaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

PictureVerdict VerdictOf(const Bytes& bytes) {
    return CheckPicture(bytes).verdict;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ReadFixture(const std::string& name) {
    return ReadFile(std::string(TESSARO_PICTURES_DIR) + "/" + name);
}

struct Fixture {
    const char* file;
    PictureFormat format;
    std::uint32_t width;
    std::uint32_t height;
};

constexpr Fixture kFixtures[] = {
    {"bmp3-1bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp3-4bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp3-8bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp3-rle8.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp-16bit.bmp", PictureFormat::Bitmap, 13, 7},  // v5 header, 5-6-5 bit fields
    {"bmp3-24bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp5-32bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"bmp2-core-4bit.bmp", PictureFormat::Bitmap, 13, 7},  // OS/2 header, three-byte colour table
    {"bmp2-core-24bit.bmp", PictureFormat::Bitmap, 13, 7},
    {"jpeg-baseline.jpg", PictureFormat::Jpeg, 13, 7},
    {"jpeg-progressive.jpg", PictureFormat::Jpeg, 13, 7},
    {"jpeg-gray.jpg", PictureFormat::Jpeg, 13, 7},
    {"gif89a.gif", PictureFormat::Gif, 13, 7},
    {"gif-animated.gif", PictureFormat::Gif, 13, 7},
    {"icon-16.ico", PictureFormat::Icon, 16, 16},
    {"icon-two.ico", PictureFormat::Icon, 13, 7},
};

// A whole file passes with the size it declares; the same file cut at any length never does.
TEST(PictureCheck, WholeFilesPassAndEveryCutIsRefused) {
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(fixture.file);
        const Bytes file = ReadFixture(fixture.file);
        ASSERT_FALSE(file.empty());
        const PictureCheck whole = CheckPicture(file);
        EXPECT_EQ(whole.verdict, PictureVerdict::Sound);
        EXPECT_EQ(whole.format, fixture.format);
        EXPECT_EQ(whole.width, fixture.width);
        EXPECT_EQ(whole.height, fixture.height);
        for (std::size_t length = 0; length < file.size(); ++length) {
            const PictureVerdict cut = CheckPicture(std::span(file.data(), length)).verdict;
            ASSERT_TRUE(cut == PictureVerdict::Damaged || cut == PictureVerdict::Unknown)
                << "cut at " << length << " of " << file.size();
        }
    }
}

// The exe carries its banner packed; what the window unpacks must be the picture tools/make_resources.py drew,
// and pass the check the window applies before it makes a bitmap of it.
TEST(PictureCheck, PackedBannerUnpacksToTheBannerBitmap) {
    const std::string resources = TESSARO_RESOURCES_DIR;
    const Bytes packed = ReadFile(resources + "/banner.lzma");
    const Bytes bitmap = ReadFile(resources + "/banner.bmp");
    const auto unpacked =
        bundle::DecodePayload(std::string_view(reinterpret_cast<const char*>(packed.data()), packed.size()));
    ASSERT_TRUE(unpacked.has_value());
    ASSERT_EQ(Bytes(unpacked->begin(), unpacked->end()), bitmap);
    const PictureCheck check = CheckPicture(bitmap);
    EXPECT_EQ(check.verdict, PictureVerdict::Sound);
    EXPECT_EQ(check.format, PictureFormat::Bitmap);
    EXPECT_EQ(check.width, 420u);
    EXPECT_EQ(check.height, 78u);
}

// ---- Made-up files.

void Put16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
void PutBigEndian16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}
Bytes operator+(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct BitmapHeader {
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t bitCount = 32;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint16_t planes = 1;
    std::uint32_t tableBytes = 0;  // the colour table written after the header, zero-filled
    std::int64_t pixelsAtShift = 0;
};

// A BMP with a 40-byte header and `pixels` after its colour table.
Bytes Bitmap(const BitmapHeader& h, std::size_t pixelBytes, const Bytes& pixels = {}) {
    Bytes out{'B', 'M'};
    const std::uint32_t pixelsAt = 14 + 40 + h.tableBytes;
    Put32(out, static_cast<std::uint32_t>(pixelsAt + pixelBytes + pixels.size()));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(pixelsAt + h.pixelsAtShift));
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(h.width));
    Put32(out, static_cast<std::uint32_t>(h.height));
    Put16(out, h.planes);
    Put16(out, h.bitCount);
    Put32(out, h.compression);
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, h.colorsUsed);
    Put32(out, 0);
    out.resize(out.size() + h.tableBytes + pixelBytes);
    return out + pixels;
}

Bytes FourBitRunLength(const Bytes& codes) {
    return Bitmap({.width = 4, .height = 2, .bitCount = 4, .compression = 2, .tableBytes = 64}, 0, codes);
}

Bytes Jpeg(std::uint16_t width, std::uint16_t height) {
    Bytes out{0xFF, 0xD8, 0xFF, 0xC0};
    PutBigEndian16(out, 11);
    out.push_back(8);
    PutBigEndian16(out, height);
    PutBigEndian16(out, width);
    out.insert(out.end(), {1, 1, 0x11, 0});
    out.insert(out.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    out.insert(out.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xD9});
    return out;
}

Bytes Gif(std::uint16_t screenWidth, std::uint16_t screenHeight, std::uint16_t imageWidth, std::uint16_t imageHeight) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, screenWidth);
    Put16(out, screenHeight);
    out.insert(out.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});  // a two-colour global table
    out.insert(out.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});        // graphic control extension
    out.push_back(0x2C);
    Put32(out, 0);
    Put16(out, imageWidth);
    Put16(out, imageHeight);
    out.insert(out.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
    return out;
}

// A Windows metafile: its header, records of `words` words each, then the end record unless `ended` is false.
Bytes Metafile(std::vector<std::uint32_t> recordWords, bool ended = true, bool placeable = false) {
    constexpr std::uint32_t kEndRecordWords = 3;
    Bytes out;
    if (placeable) {
        out = {0xD7, 0xCD, 0xC6, 0x9A};
        out.resize(22);
    }
    if (ended) {
        recordWords.push_back(kEndRecordWords);
    }
    std::uint32_t total = 9;
    std::uint32_t largest = 0;
    for (const std::uint32_t words : recordWords) {
        total += words;
        largest = std::max(largest, words);
    }
    Put16(out, 1);
    Put16(out, 9);
    Put16(out, 0x300);
    Put32(out, total);
    Put16(out, 0);
    Put32(out, largest);
    Put16(out, 0);
    for (std::size_t i = 0; i < recordWords.size(); ++i) {
        const bool last = ended && i + 1 == recordWords.size();
        Put32(out, recordWords[i]);
        Put16(out, last ? 0 : 0x0103);  // the end record, or SetMapMode
        out.resize(out.size() + (recordWords[i] >= 3 ? (recordWords[i] - 3) * 2 : 0));
    }
    return out;
}

Bytes EnhancedMetafile(std::uint32_t declaredBytes) {
    Bytes out;
    Put32(out, 1);
    Put32(out, 88);
    out.resize(40);
    out.insert(out.end(), {' ', 'E', 'M', 'F'});
    Put32(out, 0x10000);
    Put32(out, declaredBytes);
    Put32(out, 2);
    out.resize(88);
    Put32(out, 14);
    Put32(out, 20);
    out.resize(108);
    return out;
}

Bytes Repeated(Bytes head, std::size_t size) {
    head.resize(size, 0);
    return head;
}

struct MadeUpCase {
    const char* name;
    Bytes file;
    PictureVerdict verdict;
};

TEST(PictureCheck, MadeUpFiles) {
    constexpr std::size_t kCoverPixelBytes = 420 * 78 * 4;
    const MadeUpCase cases[] = {
        // A broken download of the 420 x 78 cover: this one made the loader fault.
        {"32-bit cover whole", Bitmap({.width = 420, .height = 78}, kCoverPixelBytes), PictureVerdict::Sound},
        {"32-bit cover cut", Bitmap({.width = 420, .height = 78}, 120000), PictureVerdict::Damaged},
        {"top-down whole", Bitmap({.width = 420, .height = -78}, kCoverPixelBytes), PictureVerdict::Sound},
        {"top-down cut", Bitmap({.width = 420, .height = -78}, kCoverPixelBytes - 1), PictureVerdict::Damaged},
        // A small file declaring 1.8 GB of screen bitmap.
        {"15000 x 15000 at 1 bit", Bitmap({.width = 15000, .height = 15000, .bitCount = 1, .tableBytes = 8}, 4096),
         PictureVerdict::TooLarge},
        {"one side above the cap", Bitmap({.width = 8193, .height = 1, .bitCount = 8, .tableBytes = 1024}, 8196),
         PictureVerdict::TooLarge},
        {"2048 x 2048 at 1 bit", Bitmap({.width = 2048, .height = 2048, .bitCount = 1, .tableBytes = 8}, 256 * 2048),
         PictureVerdict::Sound},
        {"2049 x 2048 at 1 bit", Bitmap({.width = 2049, .height = 2048, .bitCount = 1, .tableBytes = 8}, 260 * 2048),
         PictureVerdict::TooLarge},
        {"pixels inside the header", Bitmap({.bitCount = 8, .tableBytes = 1024, .pixelsAtShift = -1028}, 16),
         PictureVerdict::Damaged},
        {"pixels after the end", Bitmap({.pixelsAtShift = 64}, 32), PictureVerdict::Damaged},
        {"more colours than 8 bits hold", Bitmap({.bitCount = 8, .colorsUsed = 257, .tableBytes = 1028}, 16),
         PictureVerdict::Damaged},
        {"colour table cut", Bitmap({.bitCount = 8, .colorsUsed = 0, .tableBytes = 1000}, 0), PictureVerdict::Damaged},
        {"two planes", Bitmap({.planes = 2}, 32), PictureVerdict::Damaged},
        {"depth 2", Bitmap({.bitCount = 2, .tableBytes = 16}, 8), PictureVerdict::Damaged},
        {"JPEG inside", Bitmap({.bitCount = 0, .compression = 4}, 32), PictureVerdict::Damaged},
        {"run lengths top-down",
         Bitmap({.height = -2, .bitCount = 8, .compression = 1, .tableBytes = 1024}, 0, {4, 1, 0, 0, 4, 2, 0, 1}),
         PictureVerdict::Damaged},
        {"bit fields at 24 bits", Bitmap({.bitCount = 24, .compression = 3}, 24), PictureVerdict::Damaged},
        // Four-bit run lengths, 4 x 2: runs, a literal run, a move, the end.
        {"RLE4 whole", FourBitRunLength({4, 0x12, 0, 0, 0, 4, 0x12, 0x34, 0, 1}), PictureVerdict::Sound},
        {"RLE4 move", FourBitRunLength({2, 0x12, 0, 2, 1, 1, 0, 1}), PictureVerdict::Sound},
        {"RLE4 without its end", FourBitRunLength({4, 0x12, 0, 0, 4, 0x12}), PictureVerdict::Damaged},
        {"RLE4 run past the row, clipped", FourBitRunLength({6, 0x12, 0, 1}), PictureVerdict::Sound},
        {"RLE4 run below the last row", FourBitRunLength({0, 0, 0, 0, 4, 0x12, 0, 1}), PictureVerdict::Damaged},
        {"RLE4 literal cut", FourBitRunLength({0, 8, 0x12, 0x34}), PictureVerdict::Damaged},
        {"RLE4 move below the bitmap", FourBitRunLength({0, 2, 0, 3, 0, 1}), PictureVerdict::Damaged},
        {"RLE4 line past the last", FourBitRunLength({0, 0, 0, 0, 0, 0, 0, 1}), PictureVerdict::Damaged},
        {"JPEG", Jpeg(13, 7), PictureVerdict::Sound},
        {"JPEG 9000 wide", Jpeg(9000, 7), PictureVerdict::TooLarge},
        {"JPEG height declared later", Jpeg(13, 0), PictureVerdict::Damaged},
        {"GIF", Gif(13, 7, 13, 7), PictureVerdict::Sound},
        {"GIF screen 10000 wide", Gif(10000, 1, 1, 1), PictureVerdict::TooLarge},
        {"GIF image of 3000 x 3000", Gif(13, 7, 3000, 3000), PictureVerdict::TooLarge},
        {"GIF image of no pixels", Gif(13, 7, 0, 7), PictureVerdict::Damaged},
        {"metafile", Metafile({4}), PictureVerdict::Sound},
        {"placeable metafile", Metafile({4}, true, true), PictureVerdict::Sound},
        {"metafile record of 2 words", Metafile({2}), PictureVerdict::Damaged},
        {"metafile without its end", Metafile({4}, false), PictureVerdict::Damaged},
        {"enhanced metafile", EnhancedMetafile(108), PictureVerdict::Sound},
        {"enhanced metafile longer than the file", EnhancedMetafile(4000), PictureVerdict::Damaged},
        {"PNG", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}, PictureVerdict::Unknown},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, PictureVerdict::Unknown},
        {"empty", Bytes{}, PictureVerdict::Unknown},
        {"above the file cap", Repeated({'B', 'M'}, kMaxPictureFileBytes + 1), PictureVerdict::TooLarge},
    };
    for (const MadeUpCase& c : cases) {
        EXPECT_EQ(VerdictOf(c.file), c.verdict) << c.name;
    }
}

}  // namespace
}  // namespace tessaro

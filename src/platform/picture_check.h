#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaro {

// The system's picture loader trusts the sizes a file declares: a bitmap cut short by a broken download makes
// it read past the end of the data, and a small file may declare a picture of gigabytes. So the cover picture
// is checked against what it declares before the loader sees it, and whatever fails shows the built-in banner.

// Files above this size are not read at all.
inline constexpr std::size_t kMaxPictureFileBytes = 32 * 1024 * 1024;
// The cover is 420 x 78 pixels; anything up to a large screen still shows, clipped to the window. The loader
// keeps a screen-deep copy, so 4 megapixels cost it about 16 MB.
inline constexpr std::uint32_t kMaxPictureSide = 8192;
inline constexpr std::uint64_t kMaxPicturePixels = 4 * 1024 * 1024;

enum class PictureFormat { Unknown, Bitmap, Jpeg, Gif, Icon, Metafile, EnhancedMetafile };

enum class PictureVerdict {
    Sound,     // every size it declares fits the bytes that are there
    Unknown,   // not a format the loader reads (PNG, text, an empty file)
    Damaged,   // cut short, or headers that contradict each other
    TooLarge,  // more pixels than kMaxPicturePixels, a side above kMaxPictureSide, or a file above the size cap
};

struct PictureCheck {
    PictureFormat format = PictureFormat::Unknown;
    PictureVerdict verdict = PictureVerdict::Unknown;
    // What the file declares, where it declares pixels (zero for metafiles).
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Checks a whole picture file: BMP (every header version, 1 to 32 bits, RLE, top-down), JPEG (baseline and
// progressive, up to its end marker), GIF (every block, up to its trailer), ICO (every image in it), WMF and EMF
// (every record inside the file, up to the end record).
PictureCheck CheckPicture(std::span<const std::uint8_t> file);

}  // namespace tessaro

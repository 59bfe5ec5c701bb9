// libFuzzer target: any bytes as a cover picture. The check must never read outside them, and what it passes must
// keep within the caps it promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/picture_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessaro;
    const PictureCheck check = CheckPicture(std::span(data, size));
    if (check.verdict == PictureVerdict::Sound) {
        const std::uint64_t pixels = std::uint64_t{check.width} * check.height;
        const bool hasPixels =
            check.format != PictureFormat::Metafile && check.format != PictureFormat::EnhancedMetafile;
        if (check.format == PictureFormat::Unknown || size > kMaxPictureFileBytes ||
            (hasPixels && (check.width == 0 || check.height == 0 || check.width > kMaxPictureSide ||
                           check.height > kMaxPictureSide || pixels > kMaxPicturePixels))) {
            std::abort();
        }
    }
    return 0;
}

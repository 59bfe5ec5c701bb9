#include "ui/packed_bitmap_win.h"

#include <cstdint>
#include <span>
#include <string_view>

#include "bundle/bundle_format.h"
#include "platform/picture_check.h"

namespace tessaro {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kPixelOffsetAt = 10;

std::string_view ResourceBytes(HINSTANCE instance, int resourceId) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    return data != nullptr ? std::string_view(static_cast<const char*>(data), SizeofResource(instance, found))
                           : std::string_view();
}

}  // namespace

win::UniqueBitmap LoadPackedBitmap(HINSTANCE instance, int resourceId) {
    const std::optional<std::string> file = bundle::DecodePayload(ResourceBytes(instance, resourceId));
    if (!file) {
        return {};
    }
    // The same check a cover picture passes: every size the headers declare lies inside the bytes.
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file->data()), file->size());
    if (const PictureCheck check = CheckPicture(bytes);
        check.verdict != PictureVerdict::Sound || check.format != PictureFormat::Bitmap) {
        return {};
    }
    const std::uint32_t pixelOffset = bytes[kPixelOffsetAt] | bytes[kPixelOffsetAt + 1] << 8 |
                                      bytes[kPixelOffsetAt + 2] << 16 |
                                      static_cast<std::uint32_t>(bytes[kPixelOffsetAt + 3]) << 24;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(file->data() + kFileHeaderBytes);
    HDC screen = GetDC(nullptr);
    win::UniqueBitmap bitmap(
        CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, file->data() + pixelOffset, info, DIB_RGB_COLORS));
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace tessaro

#include "ui/cover_picture_win.h"

#include <cstdint>
#include <span>

#include "platform/picture_check.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro {
namespace {

constexpr LONG kHimetricPerInch = 2540;

bool IsOrdinaryFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotOrdinary) == 0;
}

}  // namespace

bool CoverPicture::TryLoad(const std::wstring& path) {
    if (!IsOrdinaryFile(path)) {
        return false;
    }
    win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxPictureFileBytes) {
        return false;
    }
    const auto bytes = static_cast<DWORD>(size.QuadPart);
    // The stream takes the memory over and frees it when it is released.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void* data = GlobalLock(memory);
    DWORD read = 0;
    const bool complete = data != nullptr && ReadFile(file.Get(), data, bytes, &read, nullptr) && read == bytes;
    // The loader believes the sizes the file declares; what would make it read past the data is not shown.
    const bool sound = complete && CheckPicture(std::span(static_cast<const std::uint8_t*>(data), bytes)).verdict ==
                                       PictureVerdict::Sound;
    GlobalUnlock(memory);
    win::ComPtr<IStream> stream;
    if (!sound || FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
        GlobalFree(memory);
        return false;
    }
    win::ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(bytes), FALSE, IID_IPicture, picture.PutVoid()))) {
        return false;
    }
    picture_ = std::move(picture);
    return true;
}

void CoverPicture::Draw(HDC dc) const {
    if (!picture_) {
        return;
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    const int pixelsWide = MulDiv(width, GetDeviceCaps(dc, LOGPIXELSX), kHimetricPerInch);
    const int pixelsHigh = MulDiv(height, GetDeviceCaps(dc, LOGPIXELSY), kHimetricPerInch);
    // IPicture::Render takes the source rectangle in HIMETRIC with the y axis pointing up.
    picture_->Render(dc, 0, 0, pixelsWide, pixelsHigh, 0, height, width, -height, nullptr);
}

}  // namespace tessaro

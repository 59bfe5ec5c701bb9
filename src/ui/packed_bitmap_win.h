#pragma once

#include <windows.h>

#include "platform/win32/unique_handle_win.h"

namespace tessaro {

// A bitmap kept in the exe as an LZMA-packed BMP file (an RCDATA resource), the way the bundle's payload is
// packed: the built-in banner is 64 KiB as a BMP and a tenth of that packed. Empty when the resource is missing
// or does not unpack to a sound BMP.
win::UniqueBitmap LoadPackedBitmap(HINSTANCE instance, int resourceId);

}  // namespace tessaro

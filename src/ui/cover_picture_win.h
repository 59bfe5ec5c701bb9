#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "platform/win32/com_win.h"

namespace tessaro {

// A picture file loaded by the system's picture loader (BMP, JPEG, GIF, ICO, WMF and what else it reads).
class CoverPicture {
  public:
    // Loads `path` when it names an ordinary file: a folder, a hidden or a system file is passed over, as is a
    // file the loader cannot read and one that fails CheckPicture. False leaves the picture empty.
    bool TryLoad(const std::wstring& path);
    bool Empty() const { return !picture_; }
    // Draws the picture at its own size with its top left corner at (0, 0), clipped to the DC.
    void Draw(HDC dc) const;

  private:
    win::ComPtr<IPicture> picture_;
};

}  // namespace tessaro

#pragma once

#include "app/installer_state.h"
#include "app/texts.h"
#include "platform/platform.h"

namespace tessaro {

inline constexpr text::Text kConfigFileName = "InstInfo.ini";
inline constexpr text::Text kDefaultPicture = "flags.bmp";

// Reads AppPath + "InstInfo.ini" into SetupTitle, FlagsPicture and FileItems. True when the window may be shown,
// false when the program is to end (any message has been shown already).
bool ReadInstInfo(InstallerState& state, Platform& platform);

}  // namespace tessaro

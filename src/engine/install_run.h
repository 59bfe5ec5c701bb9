#pragma once

#include "app/installer_state.h"
#include "platform/platform.h"

namespace tessaro {

inline constexpr uint32_t kCorelShutdownPauseMs = 10000;

// The install run behind the Install button. Returns only when the user cancels the confirmation; every other
// path ends the program through the exit sequence.
void cmdInstall_Click(InstallerState& state, Platform& platform, InstallButton& cmdInstall);

}  // namespace tessaro

#pragma once

#include <string_view>

#include "app/installer_state.h"
#include "platform/platform.h"

namespace tessaro {

// The one way out once the window is shown: asks CorelDRAW X3 to quit, releases it and the log, and ends the
// program with `state.exitStatus`. Every step runs whatever became of the one before.
[[noreturn]] void ExitInstaller(InstallerState& state, Platform& platform);

// A file the task needs is missing: tells the user which, then exits.
[[noreturn]] void FatalMissingFile(InstallerState& state, Platform& platform, std::string_view path);

// A CorelDRAW folder the task needs is missing: tells the user which, then exits.
[[noreturn]] void FatalMissingCorelPath(InstallerState& state, Platform& platform, std::string_view path);

}  // namespace tessaro

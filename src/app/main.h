#pragma once

#include <functional>

#include "app/installer_state.h"
#include "platform/platform.h"

namespace tessaro {

enum class StartOutcome { NoConfiguration, Running };

// The start-up procedure: command line, single instance, AppPath, InstInfo.ini, then the main window through
// `showMainWindow`. A refused second start ends the program inside, and so does an unattended run, which takes the
// place of the window. With `Running` the window's events drive the program from here on; with `NoConfiguration`
// the program is to end.
StartOutcome Main(InstallerState& state, Platform& platform, const std::function<void()>& showMainWindow);

}  // namespace tessaro

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/installer_state.h"
#include "engine/run_failure.h"
#include "platform/platform.h"

namespace tessaro {

// Carries out task `taskIndex` of FileItems by its kind: "c" copy (or import a workspace), "k" delete, "r" run a
// program, "m" remove a toolbar; any other kind does nothing. Failures go through `handler`; a missing required
// file or folder ends the program through a fatal message.
void PerformTask(InstallerState& state, Platform& platform, FailureHandler& handler, std::size_t taskIndex);

// A target folder and a file name: one backslash between them, unless the folder already ends in one.
std::string JoinTargetPath(std::string_view folder, std::string_view fileName);

}  // namespace tessaro

#pragma once

#include "app/installer_state.h"
#include "platform/platform.h"

namespace tessaro {

// The install run's last word: the success box or the box for `failure`, the matching exit status, then the exit
// sequence. A failure number of 0 is the success report.
[[noreturn]] void ReportRunResult(InstallerState& state, Platform& platform, const RunFailure& failure);

}  // namespace tessaro

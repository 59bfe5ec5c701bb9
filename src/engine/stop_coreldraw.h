#pragma once

#include "app/texts.h"
#include "platform/host_services.h"

namespace tessaro {

inline constexpr text::Text kCorelProcessName = "coreldrw.exe";

// Ends the first running process whose program file is named "coreldrw.exe" (any letter case, whole name only)
// and returns at once; it does not wait for the process to go. Fails only when the process list cannot be
// reached at all.
Status StopCorelDraw(ProcessServices& processes);

// Whether StopCorelDraw would find a process to end.
Result<bool> CorelDrawRunning(ProcessServices& processes);

}  // namespace tessaro

#pragma once

#include <windows.h>

#include <cstdint>

namespace tessaro::win {

// Hands the thread's pending messages to their windows, dropping keyboard and mouse input.
void DispatchPendingMessagesWithoutInput();

// Waits for `event` at most `limitMs` while the thread's windows keep painting and answering other programs;
// input is dropped. True when the event was signalled in time.
bool WaitDispatchingWithoutInput(HANDLE event, uint32_t limitMs);

}  // namespace tessaro::win

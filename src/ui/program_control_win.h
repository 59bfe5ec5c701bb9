#pragma once

#include <windows.h>

#include "platform/host_services.h"

namespace tessaro {

// Pausing and ending for the one UI thread. While the install run pauses, the window keeps painting and
// Windows keeps seeing a thread that answers, but input is dropped and nothing of ours runs.
class ProgramControlWin final : public ProgramControl {
  public:
    void Pause(uint32_t milliseconds) override;
    [[noreturn]] void EndProgram(int exitStatus) override;

    // Runs right before the process ends, wherever it ends from.
    void AtEnd(void (*action)(void*), void* context) {
        atEnd_ = action;
        atEndContext_ = context;
    }

  private:
    void (*atEnd_)(void*) = nullptr;
    void* atEndContext_ = nullptr;
};

}  // namespace tessaro

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/installer_state.h"
#include "platform/platform.h"
#include "platform/result.h"

namespace tessaro {

namespace failure {
inline constexpr int32_t kDllNotLoaded = 48;
inline constexpr int32_t kInvalidArgument = -2147024809;  // 0x80070057
inline constexpr int32_t kCorelNotRegistered = 429;
inline constexpr int32_t kNoAutomation = 430;
inline constexpr int32_t kCopyFailed = -2147221503;    // 0x80040001
inline constexpr int32_t kDeleteFailed = -2147221502;  // 0x80040002
inline constexpr int32_t kUnspecified = -2147467259;   // 0x80004005
}  // namespace failure

// What the install run does with a failure is decided by its number alone.
enum class FailureClass { None, Tolerated, CorelMissing, CorelObjectFailed, Unexpected };

FailureClass ClassifyFailure(int32_t number);

// Plain decimal, a leading minus for negative numbers, no grouping.
std::string FailureNumberText(int32_t number);

// The install run's one failure handler. Every step that can fail goes through `Step`: on success it hands back
// the step's value; a tolerated failure is logged and the caller carries on with its next step (the value is
// simply absent); any other failure ends the run with its report, there and then, as a VB error handler would.
// Nothing after the failed step runs, and nothing has to pass the failure back up through the callers.
class FailureHandler {
  public:
    FailureHandler(InstallerState& state, Platform& platform) : state_(state), platform_(platform) {}

    template <class T>
    std::optional<T> Step(Result<T> result) {
        if (result) {
            return std::move(result).value();
        }
        Raise(result.failure());
        return std::nullopt;
    }

    // True when the step succeeded.
    bool Step(const Status& status) {
        if (status) {
            return true;
        }
        Raise(status.failure());
        return false;
    }

    // Returns only when the failure is tolerated.
    void Raise(const RunFailure& failure);

  private:
    InstallerState& state_;
    Platform& platform_;
};

}  // namespace tessaro

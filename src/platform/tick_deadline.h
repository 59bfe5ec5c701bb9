#pragma once

#include <cstdint>

namespace tessaro {

// A deadline on a 32-bit millisecond tick counter, which wraps to zero every 49.7 days (GetTickCount, the
// counter every supported Windows has). Elapsed time is taken modulo 2^32, so a wait that spans the wrap ends
// on time instead of at once or 49.7 days late. A wait must be shorter than the wrap itself.
class TickDeadline {
  public:
    TickDeadline(uint32_t now, uint32_t duration) : start_(now), duration_(duration) {}

    // Milliseconds still to wait at `now`; 0 once the deadline has passed.
    uint32_t Remaining(uint32_t now) const {
        const uint32_t elapsed = now - start_;
        return elapsed >= duration_ ? 0 : duration_ - elapsed;
    }

  private:
    uint32_t start_;
    uint32_t duration_;
};

}  // namespace tessaro

#include "platform/tick_deadline.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

// The 32-bit tick counter wraps every 49.7 days; the 10 s pause must last 10 s on either side of the wrap.
TEST(TickDeadline, CountsAcrossTheWrapOfTheTickCounter) {
    constexpr uint32_t kLast = 0xFFFFFFFFu;
    struct Case {
        uint32_t start, duration, now, remaining;
    } const cases[] = {
        {1000, 10000, 1000, 10000},
        {1000, 10000, 6000, 5000},
        {1000, 10000, 11000, 0},
        {1000, 10000, 90000, 0},
        {kLast - 4999, 10000, kLast, 5001},
        {kLast - 4999, 10000, 0, 5000},
        {kLast - 4999, 10000, 4999, 1},
        {kLast - 4999, 10000, 5000, 0},
        {kLast - 4999, 10000, 1000000, 0},
        {kLast, 10000, kLast, 10000},
        {0, 0, 0, 0},
        {kLast, 1, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TickDeadline(c.start, c.duration).Remaining(c.now), c.remaining)
            << "start " << c.start << ", duration " << c.duration << ", now " << c.now;
    }
}

}  // namespace
}  // namespace tessaro

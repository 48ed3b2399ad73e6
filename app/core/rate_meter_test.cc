#include "app/core/rate_meter.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

using std::chrono::milliseconds;

TEST(RateMeterTest, RateOverTheLastSecondsOnly) {
    RateMeter meter;
    const auto t0 = RateMeter::Clock::time_point();
    struct Step {
        int ms;
        int64_t total;
        int64_t rate;
    } steps[] = {
        {0, 0, 0},            // no time has passed yet
        {1000, 1000, 1000},   // 1000 in one second
        {2000, 3000, 1500},   // 3000 in two seconds
        {3000, 3000, 1000},   // a stall shows at once
        {5000, 3000, 0},      // samples older than three seconds drop out
        {6000, 13000, 3333},  // only the last three seconds count
    };
    for (const auto& s : steps) {
        EXPECT_EQ(meter.Sample(t0 + milliseconds(s.ms), s.total), s.rate) << s.ms;
    }
}

}  // namespace
}  // namespace corvalin

#include "engine/net/low_speed.h"

#include <vector>

#include <gtest/gtest.h>

namespace fw {
namespace {

using namespace std::chrono_literals;

TEST(LowSpeedWatch, EndsOnlyAWholeWindowBelowTheRate) {
    struct Arrival {
        std::chrono::milliseconds at;  // since the watch began
        uint64_t bytes;
        bool still_going;
    };
    const struct {
        const char* name;
        std::vector<Arrival> arrivals;
    } cases[] = {
        {"steady", {{10s, 20000, true}, {30s, 30000, true}, {61s, 20000, true}, {125s, 70000, true}}},
        {"a byte every five seconds", {{5s, 1, true}, {30s, 1, true}, {60s, 1, false}}},
        // A burst that makes up for the window when it comes.
        {"late burst", {{59s, 0, true}, {61s, 70000, true}}},
        {"just short of the rate", {{60s, 61439, false}}},
        {"at the rate", {{60s, 61440, true}}},
        // Each window on its own: a good one does not carry a bad one.
        {"good then bad", {{60s, 200000, true}, {90s, 100, true}, {121s, 100, false}}},
        // Once ended, it stays ended.
        {"stays ended", {{60s, 0, false}, {61s, 100000, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = LowSpeedWatch::Clock::now();
        LowSpeedWatch watch(LowSpeedRule{1024, 60s}, start);
        for (const Arrival& a : c.arrivals) {
            EXPECT_EQ(watch.Arrived(a.bytes, start + a.at), a.still_going) << a.at.count();
        }
    }
}

TEST(LowSpeedWatch, ReasonNamesTheRule) {
    EXPECT_EQ(LowSpeedWatch(LowSpeedRule{}).Reason(),
              "receive error: under 1024 bytes a second over 60 s");
    EXPECT_EQ(LowSpeedWatch(LowSpeedRule{10, 500ms}).Reason(),
              "receive error: under 10 bytes a second over 500 ms");
}

}  // namespace
}  // namespace fw

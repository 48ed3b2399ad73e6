#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(LocalTimeTest, RoundTripsThroughTheFieldsOfTheCurrentZone) {
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    std::tm winter = LocalTime(784111777);  // 1994-11-06 08:49:37 UTC
    EXPECT_EQ(winter.tm_hour, 9);
    std::tm summer = LocalTime(1752580800);  // 2025-07-15 12:00:00 UTC
    EXPECT_EQ(summer.tm_hour, 14);
    winter.tm_isdst = -1;
    EXPECT_EQ(MakeLocalTime(winter), std::optional<std::time_t>(784111777));
    std::tm impossible{};
    impossible.tm_year = INT_MAX;
    impossible.tm_mon = INT_MAX;  // beyond any year the fields can hold
    EXPECT_EQ(MakeLocalTime(impossible), std::nullopt);
    ::unsetenv("TZ");
    ::tzset();
}

TEST(LocalTimeTest, SafeFromManyThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                std::tm fields = LocalTime(1000000000 + t * 1000 + i);
                fields.tm_isdst = -1;
                EXPECT_EQ(MakeLocalTime(fields), std::optional<std::time_t>(1000000000 + t * 1000 + i));
            }
        });
    }
    for (auto& t : threads) t.join();
}

}  // namespace
}  // namespace platform

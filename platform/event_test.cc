#include "platform/event.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(EventTest, ManualResetStaysSetUntilReset) {
    Event e;
    EXPECT_FALSE(e.IsSet());
    EXPECT_FALSE(e.WaitFor(1ms));
    e.Set();
    EXPECT_TRUE(e.WaitFor(0ms));
    EXPECT_TRUE(e.WaitFor(0ms));  // still set: manual reset
    e.Reset();
    EXPECT_FALSE(e.WaitFor(1ms));
}

TEST(EventTest, WakesWaiterOnAnotherThread) {
    Event e;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        e.Set();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(e.WaitFor(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    setter.join();
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(StopEventTest, DescriptorIsReadableExactlyWhileSet) {
    StopEvent stop;
    ASSERT_GE(stop.descriptor(), 0);
    EXPECT_FALSE(Readable(stop.descriptor()));
    stop.Set();
    stop.Set();  // a second Set changes nothing
    EXPECT_TRUE(stop.IsSet());
    EXPECT_TRUE(Readable(stop.descriptor()));
    EXPECT_TRUE(Readable(stop.descriptor()));  // polling does not consume it
    stop.Reset();
    EXPECT_FALSE(stop.IsSet());
    EXPECT_FALSE(Readable(stop.descriptor()));
    // Reused, as a grab slot reuses its workers' event.
    stop.Reset();  // resetting a clear event changes nothing
    EXPECT_FALSE(Readable(stop.descriptor()));
    stop.Set();
    EXPECT_TRUE(Readable(stop.descriptor()));
    stop.Reset();
    EXPECT_FALSE(Readable(stop.descriptor()));
}

TEST(StopEventTest, PollWakesWhenAnotherThreadStops) {
    StopEvent stop;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        stop.Set();
    });
    pollfd p{stop.descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 10000), 1);
    setter.join();
}

}  // namespace
}  // namespace platform

#include "app/core/grab_monitor.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace corvalin {
namespace {

using std::chrono::seconds;

// Events from many engine threads arrive whole and in each thread's order,
// and the waiting thread wakes for them well before its time-out.
TEST(GrabMonitorTest, EventsFromEngineThreadsWakeTheWaiter) {
    auto monitor = fw::MakeObject<GrabMonitor>();
    constexpr int kThreads = 4, kPerThread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&monitor, t] {
            for (int i = 0; i < kPerThread; ++i) {
                monitor->Invoke(fw::kOnGrabUrlNew, t * kPerThread + i);
                monitor->Invoke(fw::kOnGrabUrlDone, t * kPerThread + i);
            }
        });
    }
    std::vector<int32_t> done;
    const auto give_up = std::chrono::steady_clock::now() + seconds(30);
    while (done.size() < kThreads * kPerThread && std::chrono::steady_clock::now() < give_up) {
        monitor->WaitFor(seconds(30));
        for (int32_t id : monitor->TakeDone()) done.push_back(id);
    }
    for (auto& w : workers) w.join();
    ASSERT_EQ(done.size(), size_t{kThreads * kPerThread});
    EXPECT_EQ(monitor->started(), kThreads * kPerThread);
    std::vector<int32_t> last(kThreads, -1);
    for (int32_t id : done) {
        const int t = id / kPerThread;
        EXPECT_GT(id, last[t]);
        last[t] = id;
    }
    EXPECT_FALSE(monitor->complete());

    std::thread ender([&monitor] { monitor->Invoke(fw::kOnGrabComplete, 0); });
    monitor->WaitFor(seconds(30));
    ender.join();
    EXPECT_TRUE(monitor->complete());
}

TEST(GrabMonitorTest, StopRequestWakesTheWaiter) {
    auto monitor = fw::MakeObject<GrabMonitor>();
    std::thread signaller([&monitor] { monitor->RequestStop(2); });
    monitor->WaitFor(seconds(30));
    signaller.join();
    EXPECT_TRUE(monitor->stop_requested());
    EXPECT_EQ(monitor->stop_code(), 2);
    // Unknown and begin events change nothing.
    monitor->Invoke(fw::kOnGrabBegin, 0);
    monitor->Invoke(fw::kOnGrabUrlUpdate, 5);
    EXPECT_TRUE(monitor->TakeDone().empty());
    EXPECT_EQ(monitor->started(), 0);
}

}  // namespace
}  // namespace corvalin

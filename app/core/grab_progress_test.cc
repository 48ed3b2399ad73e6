#include "app/core/grab_progress.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(GrabProgressTest, DoneOutOfDoneAndWaiting) {
    GrabProgress progress;
    const auto t0 = GrabProgress::Clock::time_point();
    progress.Start(t0);
    GrabProgressView view = progress.Tick(t0, 0, 0);
    EXPECT_EQ(view.percent, 0);
    EXPECT_EQ(view.text, "0 of 0 URLs, 0 URLs/s, 0 bytes received");
    for (int32_t id : {1, 2, 3, 2, 4, 1}) progress.UrlDone(id);  // pages come twice
    EXPECT_EQ(progress.done(), 4);
    view = progress.Tick(t0 + std::chrono::seconds(2), 12, 1048577);
    EXPECT_EQ(view.done, 4);
    EXPECT_EQ(view.total, 16);
    EXPECT_EQ(view.percent, 25);
    EXPECT_EQ(view.urls_per_second, 2);
    EXPECT_EQ(view.text, "4 of 16 URLs, 2 URLs/s, 1.000MB received");
    progress.Start(t0 + std::chrono::seconds(3));  // a new grab starts from nothing
    EXPECT_EQ(progress.done(), 0);
    progress.UrlDone(1);
    EXPECT_EQ(progress.done(), 1);
}

}  // namespace
}  // namespace corvalin

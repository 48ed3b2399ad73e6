// A whole grab with eight workers on one host, for the thread checker.
#include <gtest/gtest.h>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

class GrabConcurrencyTest : public fwtest::GrabHarness {};

TEST_F(GrabConcurrencyTest, EightWorkersGrabASiteTogether) {
    // Pages 0..39 each link to the next three, an image and a shared style sheet.
    constexpr int kPages = 40;
    for (int i = 0; i < kPages; ++i) {
        std::string body = "<html><head><title>p" + std::to_string(i) +
                           "</title><link rel=\"stylesheet\" type=\"text/css\" href=\"s.css\"></head>"
                           "<body><img src=\"i" + std::to_string(i % 5) + ".gif\">";
        for (int k = 1; k <= 3; ++k) {
            body += "<a href=\"p" + std::to_string((i + k) % kPages) + ".html\">n</a>";
        }
        server_->Script("/p" + std::to_string(i) + ".html", fwtest::Response::Html(body + "</body></html>"));
    }
    for (int i = 0; i < 5; ++i) {
        server_->Script("/i" + std::to_string(i) + ".gif", fwtest::Response::Text("image/gif", "GIF89a"));
    }
    server_->Script("/s.css", fwtest::Response::Text("text/css", "p { background: url(i0.gif) }"));
    Setting("Network", "MaxThreads", "8");
    Setting("Network", "PercentMaxThreads", "100");
    Setting("Network", "MaxThreadsPerServer", "8");
    engine_->EarlyNotify(1);
    AddStart(Url("/p0.html"), -1);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);

    for (int i = 0; i < kPages; ++i) {
        EXPECT_EQ(Row(Url("/p" + std::to_string(i) + ".html")).status, kStatusGrabbed) << i;
    }
    EXPECT_EQ(Row(Url("/s.css")).status, kStatusGrabbed);
    EXPECT_EQ(events_->Count(kOnGrabComplete), 1);
    ExpectOfflineCopyBrowses();
}

}  // namespace
}  // namespace fw

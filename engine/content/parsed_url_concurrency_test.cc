#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/content/parsed_url.h"

namespace fw {
namespace {

// Every thread resolves links at once; each must see only its own results.
TEST(ParsedUrlConcurrencyTest, ThreadsResolveIndependently) {
    constexpr int kThreads = 4;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            const std::string host = "h" + std::to_string(t) + ".org";
            ParsedUrl base;
            base.Parse("http://" + host + "/a/b/c.htm");
            ParsedUrl url;
            for (int i = 0; i < 2000; ++i) {
                const std::string link = "../p" + std::to_string(i) + ".htm?t=" + std::to_string(t);
                url.CopyFrom(base);
                url.ParseRelative(link);
                const std::string expected =
                    "http://" + host + "/a/p" + std::to_string(i) + ".htm?t=" + std::to_string(t);
                if (!url.Text() || url.Text() != expected) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace fw

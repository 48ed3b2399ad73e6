#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/content/local_path.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

// Fetch threads storing same-named files at once each get a file of their own.
TEST(FileNameLock, ThreadsChoosingTheSameNameGetDistinctFiles) {
    fwtest::TempDir data;
    constexpr int kThreads = 8;
    constexpr int kEach = 40;
    std::vector<std::vector<std::string>> chosen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                FileNameLock lock;
                std::string path;
                unsigned flags = i % 2 ? 4 : 5;
                if (ChooseLocalPath(lock, "http://h/d" + std::to_string(t) + "/longfilename.html",
                                    data.path(), flags, &path) &&
                    platform::OpenCreatingDirectories(path)) {
                    chosen[t].push_back(path);
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<std::string> all;
    for (const auto& paths : chosen) {
        EXPECT_EQ(paths.size(), static_cast<size_t>(kEach));
        all.insert(paths.begin(), paths.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace fw

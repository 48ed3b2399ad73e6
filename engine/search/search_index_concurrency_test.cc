#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/search/search_index.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

// Searches racing with grab starts that discard the index: every search
// either uses a complete index or builds one, and always finds the page.
TEST(SearchIndexConcurrencyTest, SearchesAndDiscardsInterleaveSafely) {
    fwtest::TempDir dir;
    fwtest::WriteFile(dir / "a.txt", "heron over the marsh");
    fwtest::WriteFile(dir / "b.txt", "a marsh without birds");
    const std::vector<IndexDocument> documents = {{"a.txt", false}, {"b.txt", false}};
    const auto list = [&] { return documents; };

    std::atomic<int> failures{0};
    std::atomic<bool> searching{true};
    std::vector<std::thread> threads;
    for (const char* expression : {"heron", "\"over the marsh\"", "mar*"}) {
        threads.emplace_back([&, expression] {
            for (int i = 0; i < 40; ++i) {
                const IndexSearchResult result = RunIndexSearch(dir.path(), expression, list);
                const size_t found = result.files.size();
                if (result.error != 0 || found == 0 || found > 2) ++failures;
            }
        });
    }
    std::thread discarder([&] {
        while (searching) {
            DiscardSearchIndex(dir.path());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (std::thread& t : threads) t.join();
    searching = false;
    discarder.join();
    EXPECT_EQ(failures, 0);
    EXPECT_THAT(RunIndexSearch(dir.path(), "heron", list).files, ::testing::ElementsAre("a.txt"));
}

// A large build is shared out between threads, each writing a database of
// its own; merged, they hold every document once, in the order given.
TEST(SearchIndexConcurrencyTest, ManyDocumentsAreIndexedOnSeveralThreads) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: one thread";
    fwtest::TempDir dir;
    std::vector<IndexDocument> documents;
    const size_t count = 2 * kDocumentsPerThread + 50;
    for (size_t i = 0; i < count; ++i) {
        const std::string name = "p" + std::to_string(i) + ".htm";
        fwtest::WriteFile(dir / name, "<title>page" + std::to_string(i) + "</title>common words");
        documents.push_back({name, true});
    }
    documents.push_back(documents.front());  // listed twice, indexed once
    SearchIndex index;
    ASSERT_TRUE(index.Open(dir.path()));
    ASSERT_TRUE(index.AddDocuments(documents));
    EXPECT_TRUE(std::filesystem::exists(dir / "index1.tmp/1"));  // a second thread's database
    ASSERT_TRUE(index.Commit());
    std::vector<std::string> files;
    ASSERT_EQ(index.Query("common", &files), 0);
    // Every page weighs the same for "common", so they come in index order.
    std::vector<std::string> in_order;
    for (size_t i = 0; i < count; ++i) in_order.push_back(documents[i].file);
    EXPECT_EQ(files, in_order);
    for (size_t i : {size_t{0}, count / 2, count - 1}) {
        ASSERT_EQ(index.Query("page" + std::to_string(i), &files), 0);
        EXPECT_THAT(files, ::testing::ElementsAre("p" + std::to_string(i) + ".htm"));
    }
}

}  // namespace
}  // namespace fw

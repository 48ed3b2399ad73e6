#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/store/project_store.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

TEST(ProjectStoreConcurrencyTest, WriterAndReadersShareTheStoreSafely) {
    fwtest::TempDir dir;
    ProjectStore store;
    ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    const int32_t root = store.AddUrl(0, 0, 0, "http://h/").id;
    constexpr int kUrls = 400;
    std::atomic<bool> done{false};

    std::thread writer([&] {
        for (int i = 0; i < kUrls; ++i) {
            auto added = store.AddUrl(root, 1, 0, "http://h/p" + std::to_string(i));
            // A find-change-write sequence holds the lock throughout.
            auto guard = store.Lock();
            UrlRecord r;
            ASSERT_TRUE(store.Load(added.id, &r));
            r.status = 71;
            r.title = "page " + std::to_string(i);
            ASSERT_TRUE(store.Write(&r));
        }
        done = true;
    });
    std::thread reader([&] {
        while (!done) {
            for (int32_t id : store.TreeChildren(root, false)) {
                UrlRecord r;
                if (store.Load(id, &r)) {
                    EXPECT_EQ(r.url.rfind("http://h/p", 0), 0u);
                }
            }
            store.FindByUrl("http://h/p7");
        }
    });
    std::thread queuer([&] {
        QueueEntry e;
        while (!done) {
            e.url_id = store.FindByUrl("http://h/p1");
            if (e.url_id > 0) store.QueueAppend(e);
            ProjectStore::QueueWalker walker(&store);
            for (uint32_t row = walker.First(); row; row = walker.Next()) store.QueueMarkDone(row);
        }
    });
    writer.join();
    reader.join();
    queuer.join();
    EXPECT_EQ(store.TreeChildren(root, false).size(), static_cast<size_t>(kUrls));
    UrlRecord last;
    ASSERT_TRUE(store.Load(store.FindByUrl("http://h/p399"), &last));
    EXPECT_EQ(last.status, 71);
    EXPECT_EQ(last.title, "page 399");
}

}  // namespace
}  // namespace fw

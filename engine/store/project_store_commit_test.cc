// What a process killed at any moment leaves of an exclusively opened
// project: every table as of one commit, never part of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "engine/store/project_store.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;

constexpr int kBatch = 10;  // URLs per commit

// One batch: each URL is a page linked from the previous one, queued, with a
// title and (every third) a long address that continues in its own table.
void AddBatch(ProjectStore& store, int batch, int32_t* previous) {
    for (int i = 0; i < kBatch; ++i) {
        std::string url = "http://h/b" + std::to_string(batch) + "/p" + std::to_string(i) + ".html";
        if (i % 3 == 0) url += "?" + std::string(300, 'q');
        const int32_t id = store.AddUrl(*previous, batch + 1, 0, url).id;
        store.SetTitle(id, "title " + std::to_string(id));
        QueueEntry entry;
        entry.url_id = id;
        entry.level = batch + 1;
        entry.levels = 1;
        store.QueueAppend(entry);
        *previous = id;
    }
}

// A child that commits a batch at a time, as fast as it can, until killed.
pid_t StartWriter(const std::string& dir) {
    const pid_t child = fork();
    if (child != 0) return child;
    ProjectStore store;
    if (!store.Open(dir, dir, true)) _exit(3);
    int32_t previous = store.AllUrls().empty() ? 0 : store.AllUrls().back();
    for (int batch = static_cast<int>(store.AllUrls().size()) / kBatch;; ++batch) {
        AddBatch(store, batch, &previous);
        // Rows of earlier commits change too, in place.
        if (previous > kBatch) store.SetStatus(previous - kBatch, 71);
        store.Commit();
    }
}

TEST(ProjectStoreCommitTest, AKilledWriterLeavesItsLastCommitWhole) {
    TempDir dir;
    std::mt19937 random(20261211);
    size_t last = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t child = StartWriter(dir.path());
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 120));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        ProjectStore store;
        ASSERT_TRUE(store.Open(dir.path(), dir.path(), true)) << "round " << round;
        const std::vector<int32_t> urls = store.AllUrls();
        // Whole batches only, and never fewer than before.
        EXPECT_EQ(urls.size() % kBatch, 0u) << "round " << round;
        EXPECT_GE(urls.size(), last);
        last = urls.size();
        int32_t queued = 0;
        for (int32_t id : urls) {
            UrlRecord row;
            ASSERT_TRUE(store.Load(id, &row));
            EXPECT_EQ(store.FindByUrl(row.url), id) << row.url.size();  // long ones whole
            EXPECT_EQ(row.title, "title " + std::to_string(id));
            EXPECT_EQ(store.Parents(id).size(), id == urls.front() ? 0u : 1u) << id;
            if (store.IsQueued(id)) ++queued;
        }
        EXPECT_EQ(queued, static_cast<int32_t>(urls.size()));
        EXPECT_FALSE(platform::FileExists(store.JournalPath()));
        store.Close();
    }
    EXPECT_GT(last, 0u);
}

// What was changed after the last commit is gone after a kill; what was
// committed is there, whether the kill came before the commit wrote the
// tables or after.
TEST(ProjectStoreCommitTest, ChangesAfterTheLastCommitAreLostAndNothingElse) {
    TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProjectStore store;
        if (!store.Open(dir.path(), dir.path(), true)) _exit(3);
        const int32_t kept = store.AddUrl(0, 0, 0, "http://h/kept").id;
        store.SetNotes(kept, "kept notes");
        store.Commit();
        store.SetNotes(kept, "lost notes");
        store.SetStatus(kept, 71);
        store.AddUrl(0, 0, 0, "http://h/lost");
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProjectStore store;
    ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    const int32_t kept = store.FindByUrl("http://h/kept");
    ASSERT_NE(kept, 0);
    UrlRecord row;
    ASSERT_TRUE(store.Load(kept, &row));
    EXPECT_EQ(row.status, 0);
    EXPECT_EQ(store.LoadProps(kept).notes, "kept notes");
    EXPECT_EQ(store.FindByUrl("http://h/lost"), 0);
}

}  // namespace
}  // namespace fw

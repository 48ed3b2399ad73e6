// The grab's building blocks on their own: the body sink, the fix step, the
// child-wait map and the per-host index of waiting entries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/content/link_fixer.h"
#include "engine/content/page_top.h"
#include "engine/content/link_test_project.h"
#include "engine/grab/body_sink.h"
#include "engine/grab/child_wait_map.h"
#include "engine/grab/fix_step.h"
#include "engine/grab/grab_options.h"
#include "engine/grab/waiting_index.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;

TEST(BodySinkTest, BuffersAndLeavesTheFileAloneWithoutBody) {
    TempDir dir;
    fwtest::WriteFile(dir / "kept", "saved earlier");
    { BodySink sink(dir / "kept"); }
    EXPECT_EQ(ReadFile(dir / "kept"), "saved earlier");

    const std::string big(BodySink::kBufferSize, 'b');
    {
        BodySink sink(dir / "new/file");
        sink.Write("abc", 3);
        EXPECT_FALSE(platform::FileExists(dir / "new/file"));  // still buffered
        sink.Write(big.data(), big.size());                    // passes the buffer: written through
        EXPECT_EQ(platform::FileSize(dir / "new/file"), static_cast<long long>(3 + big.size()));
        sink.Write("xyz", 3);
        EXPECT_TRUE(sink.wrote());
        EXPECT_TRUE(sink.ok());
    }
    EXPECT_EQ(ReadFile(dir / "new/file"), "abc" + big + "xyz");

    // The first bytes replace whatever the file held.
    {
        BodySink sink(dir / "kept");
        sink.Write("x", 1);
    }
    EXPECT_EQ(ReadFile(dir / "kept"), "x");
}

// The copy a page is parsed from must be the whole body or nothing.
TEST(BodySinkTest, KeepsACopyOnlyOfAWholeWantedBodyWithinTheLimit) {
    TempDir dir;
    const std::string big(BodySink::kBufferSize + 10, 'b');  // written through the buffer
    struct Case {
        bool wanted;
        size_t limit;
        std::vector<std::string> chunks;
        bool kept;
    };
    const Case cases[] = {
        {true, big.size() + 4, {"ab", "cd", big}, true},
        {true, 20, {"0123456789", "0123456789"}, true},        // exactly the limit
        {true, 20, {"0123456789", "0123456789", "x"}, false},  // one byte beyond
        {false, 20, {"ab"}, false},
        {true, 20, {}, false},  // no body: nothing to stand in for the file
    };
    for (const Case& c : cases) {
        BodySink sink(dir / "f");
        int asked = 0;
        sink.KeepCopy(c.limit, [&] {
            ++asked;
            return c.wanted;
        });
        std::string all;
        for (const std::string& chunk : c.chunks) {
            sink.Write(chunk.data(), chunk.size());
            all += chunk;
        }
        EXPECT_EQ(asked, c.chunks.empty() ? 0 : 1);
        const std::optional<std::string> copy = sink.TakeCopy();
        ASSERT_EQ(copy.has_value(), c.kept) << all.size();
        if (c.kept) {
            EXPECT_EQ(*copy, all);
        }
    }
}

// The fix replaces a stored page whole with its rewritten copy and marks it
// grabbed. A page already fixed whose row still says "F" (a process stopped
// between the two) is marked, not fixed twice; a page whose original was
// kept is fixed again from that; a page whose file has gone is marked all
// the same and nothing is created for it.
TEST(FixStepTest, FixesAPageWholeAndOnlyOnce) {
    fwtest::TestProject project;
    const int32_t page =
        project.Add(fwtest::Row("http://h/d/p.htm").File("h/d/p.htm").Status(fwtest::kFetched));
    const int32_t child =
        project.Add(fwtest::Row("http://h/d/sub/c.htm").File("h/d/sub/c.htm"), page);
    const std::string original =
        "<a href=\"http://h/d/sub/c.htm\">child</a>" + std::string(100, ' ');
    project.Write("h/d/p.htm", original);

    FixStoredPage(project.store, project.data_dir(), page, GrabOptions());
    const std::string fixed = project.Read("h/d/p.htm");
    EXPECT_EQ(fixed.rfind(FixedPageHeader("http://h/d/p.htm"), 0), 0u) << fixed;
    EXPECT_NE(fixed.find("<a href=\"sub/c.htm\">child</a>"), std::string::npos) << fixed;
    EXPECT_EQ(fixed.find("http://h/d/sub/c.htm\">"), std::string::npos) << fixed;
    UrlRecord row;
    ASSERT_TRUE(project.store.LoadRow(page, &row));
    EXPECT_EQ(row.status, kStatusGrabbed);

    project.store.SetStatus(page, kStatusFetched);
    FixStoredPage(project.store, project.data_dir(), page, GrabOptions());
    EXPECT_EQ(project.Read("h/d/p.htm"), fixed);
    ASSERT_TRUE(project.store.LoadRow(page, &row));
    EXPECT_EQ(row.status, kStatusGrabbed);

    // Fixed early while its child was still to come, from the page as it was
    // fetched, which is kept meanwhile.
    project.Write("h/d/p.htm", original);
    project.store.SetStatus(page, kStatusFetched);
    project.store.SetStatus(child, kStatusNone);
    FixStoredPage(project.store, project.data_dir(), page, GrabOptions(), true);
    EXPECT_NE(project.Read("h/d/p.htm").find("href=\"http://h/d/sub/c.htm\""), std::string::npos);
    EXPECT_EQ(KeptOriginals(project.data_dir()), std::vector<int32_t>{page});
    // Kept once: a second early fix does not take the first one's output
    // for what the server sent.
    FixStoredPage(project.store, project.data_dir(), page, GrabOptions(), true);
    EXPECT_EQ(fwtest::ReadFile(KeptOriginalPath(project.data_dir(), page)), original);
    project.store.SetStatus(child, kStatusGrabbed);
    FixStoredPage(project.store, project.data_dir(), page, GrabOptions());
    EXPECT_EQ(project.Read("h/d/p.htm"), fixed);
    EXPECT_TRUE(KeptOriginals(project.data_dir()).empty());

    const int32_t gone = project.Add(
        fwtest::Row("http://h/d/gone.htm").File("h/d/gone.htm").Status(fwtest::kFetched));
    platform::RemoveFile(project.PathOf("h/d/gone.htm"));
    FixStoredPage(project.store, project.data_dir(), gone, GrabOptions());
    ASSERT_TRUE(project.store.LoadRow(gone, &row));
    EXPECT_EQ(row.status, kStatusGrabbed);
    EXPECT_FALSE(platform::FileExists(project.PathOf("h/d/gone.htm")));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(project.PathOf("h/d"))) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("p.htm", "sub"));
}

TEST(ChildWaitMapTest, PageIsDoneWhenItsListEmpties) {
    ChildWaitMap map;
    std::lock_guard<std::mutex> guard(map.mutex());
    map.Wait(1, {{10, false}, {11, false}, {12, true}});
    EXPECT_FALSE(map.ChildFinished(1, 10, false).announce);
    EXPECT_FALSE(map.ChildFinished(1, 11, false).announce);
    auto last = map.ChildFinished(1, 12, false);
    EXPECT_TRUE(last.all_done);
    EXPECT_TRUE(last.announce);
    EXPECT_FALSE(map.IsWaiting(1));
    EXPECT_FALSE(map.ChildFinished(1, 12, false).all_done);  // no list: nothing
}

TEST(ChildWaitMapTest, EarlyNotificationAnnouncesOnceWhenResourcesAreIn) {
    ChildWaitMap map;
    std::lock_guard<std::mutex> guard(map.mutex());
    map.Wait(1, {{10, false}, {11, false}, {12, true}});
    EXPECT_FALSE(map.ChildFinished(1, 10, true).announce);
    auto resources_in = map.ChildFinished(1, 11, true);
    EXPECT_TRUE(resources_in.announce);
    EXPECT_FALSE(resources_in.all_done);
    auto last = map.ChildFinished(1, 12, true);
    EXPECT_TRUE(last.all_done);
    EXPECT_FALSE(last.announce);  // announced already
    map.MarkFinished(7);
    EXPECT_TRUE(map.HasFinished(7));
}

class WaitingIndexTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(store_.Open(dir_.path(), dir_.path(), true)); }
    int32_t Queue(const std::string& url, int32_t level, int32_t min_level = 0) {
        const int32_t id = store_.AddUrl(0, 0, 0, url).id;
        QueueEntry e;
        e.url_id = id;
        e.level = level;
        e.min_level = min_level;
        e.levels = 1;
        store_.QueueAppend(e);
        return id;
    }
    TempDir dir_;
    ProjectStore store_;
};

TEST_F(WaitingIndexTest, PicksTheFirstEntryWhoseHostIsBelowItsLimit) {
    WaitingIndex index(&store_, 2);
    std::vector<int32_t> a;
    for (int i = 0; i < 5; ++i) a.push_back(Queue("http://a/" + std::to_string(i), 1));
    index.Attach();
    const int32_t b = Queue("http://b/", 1);  // reported by the store after attaching
    const int32_t early = Queue("http://c/", 0);

    std::vector<int32_t> order;
    for (int i = 0; i < 4; ++i) {
        auto pick = index.First();
        ASSERT_TRUE(pick);
        order.push_back(pick->url_id);
        store_.QueueMarkTaken(pick->row);
        index.Taken(*pick);
    }
    // c (level 0) first, then two on a, then b; a is at its limit.
    EXPECT_EQ(order, (std::vector<int32_t>{early, a[0], a[1], b}));
    EXPECT_FALSE(index.First());
    EXPECT_EQ(index.Load("a"), 2);
    index.Finished("a");
    auto next = index.First();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url_id, a[2]);
    index.Detach();
}

TEST_F(WaitingIndexTest, WithoutALimitItFollowsQueueOrderAndDropsStaleEntries) {
    const int32_t x = Queue("http://a/x", 2);
    const int32_t y = Queue("http://a/y", 1, 1);
    const int32_t z = Queue("http://a/z", 1, 0);
    WaitingIndex index(&store_, 0);
    index.Attach();
    store_.DeleteUrl(z);  // its entry stays in the queue, its URL is gone
    auto pick = index.First();
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->url_id, y);
    index.Taken(*pick);
    pick = index.First();
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->url_id, x);
    store_.QueueEmpty();
    EXPECT_FALSE(index.First());
    index.Detach();
}

}  // namespace
}  // namespace fw

#include "engine/store/project_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine/store/table_schema.h"
#include "engine/store/xbase/table.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;
using fwtest::WriteFile;

class ProjectStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Reopen()); }

    bool Reopen(bool exclusive = true) {
        store_.Close();
        return store_.Open(dir_.path(), dir_.path(), exclusive);
    }

    int32_t AddPage(int32_t parent, int32_t level, const std::string& url, int32_t min_level = 0,
                    int32_t kind = 0) {
        return store_.AddUrl(parent, level, min_level, url, kind).id;
    }

    TempDir dir_;
    ProjectStore store_;
};

TEST_F(ProjectStoreTest, OpeningAnEmptyDirectoryCreatesEveryTable) {
    for (const char* name :
         {"ZQURL", "ZQPROPS", "ZQLINKS", "ZQTITLE", "ZQURLEXT", "ZQQUEUE", "ZQFILTER"}) {
        EXPECT_TRUE(platform::FileExists(dir_ / (std::string(name) + ".DBF"))) << name;
        EXPECT_TRUE(platform::FileExists(dir_ / (std::string(name) + ".CDX"))) << name;
    }
    EXPECT_TRUE(platform::FileExists(dir_ / "ZQPROPS.FPT"));
    EXPECT_EQ(store_.NewRecord().id, 1);
}

TEST_F(ProjectStoreTest, RecordsSurviveReopening) {
    UrlRecord r = store_.NewRecord();
    r.level = 3;
    r.min_level = 1;
    r.kind = 7;
    r.status = 70;
    r.url = "http://h/a.css";
    r.title = "A title";
    r.file = "h/a.css";
    r.content_type = "text/css";
    r.modified = 1000000000;
    r.grabbed = 2000000000;
    r.is_new = 1;
    r.error = 404;
    ASSERT_TRUE(store_.Write(&r));
    ASSERT_TRUE(Reopen());
    UrlRecord back;
    ASSERT_TRUE(store_.Load(r.id, &back));
    EXPECT_EQ(back.level, 3);
    EXPECT_EQ(back.min_level, 1);
    EXPECT_EQ(back.kind, 7);
    EXPECT_EQ(back.status, 70);
    EXPECT_EQ(back.url, "http://h/a.css");
    EXPECT_EQ(back.title, "A title");
    EXPECT_EQ(back.file, "h/a.css");
    EXPECT_EQ(back.content_type, "text/css");
    EXPECT_EQ(back.created, r.created);
    EXPECT_EQ(back.modified, 1000000000);
    EXPECT_EQ(back.grabbed, 2000000000);
    EXPECT_EQ(back.is_new, 1);
    EXPECT_EQ(back.error, 404);
    EXPECT_EQ(store_.FindByFile("h/a.css"), r.id);
    EXPECT_EQ(store_.FindByFile("h/b.css"), 0);
    EXPECT_EQ(store_.NewRecord().id, r.id + 1);
}

TEST_F(ProjectStoreTest, LongUrlsContinueInPiecesAndAreFoundWhole) {
    const std::string long_url = "http://h/" + std::string(491, 'x');  // 500 characters
    const std::string prefix = long_url.substr(0, 240);
    const int32_t id = AddPage(0, 0, long_url);
    ASSERT_GT(id, 0);
    EXPECT_EQ(store_.FindByUrl(long_url), id);
    EXPECT_EQ(store_.FindByUrl(prefix), 0);

    // A second URL sharing the first 240 characters is told apart.
    const std::string other = prefix + "other";
    const int32_t other_id = AddPage(0, 0, other);
    EXPECT_NE(other_id, id);
    EXPECT_EQ(store_.FindByUrl(other), other_id);
    EXPECT_EQ(store_.FindByUrl(long_url), id);
    // And so is the URL that is exactly the shared prefix.
    const int32_t prefix_id = AddPage(0, 0, prefix);
    EXPECT_EQ(store_.FindByUrl(prefix), prefix_id);
    EXPECT_EQ(store_.FindByUrl(long_url), id);

    // Shortening to 300 characters leaves exactly one piece.
    UrlRecord r;
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, long_url);
    r.url = long_url.substr(0, 300);
    ASSERT_TRUE(store_.Write(&r));
    ASSERT_TRUE(Reopen());
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, long_url.substr(0, 300));
    EXPECT_EQ(store_.FindByUrl(long_url.substr(0, 300)), id);
    EXPECT_EQ(store_.FindByUrl(long_url), 0);
    // Growing again reuses the pieces.
    r.url = long_url;
    ASSERT_TRUE(store_.Write(&r));
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, long_url);
}

// LoadRow and FindUrlRow read what Load reads, but the title; they find
// exactly what Load and FindByUrl find.
TEST_F(ProjectStoreTest, RowLookupsWithoutTitleReadWhatLoadReads) {
    const std::string long_url = "http://h/" + std::string(491, 'x');
    const std::string prefix = long_url.substr(0, 240);
    const std::vector<std::string> urls = {"http://h/short", long_url, prefix, prefix + "other"};
    std::vector<int32_t> ids;
    for (const std::string& url : urls) {
        UrlRecord r = store_.NewRecord();
        r.url = url;
        r.level = static_cast<int32_t>(ids.size()) + 1;
        r.status = 70;
        r.file = "h/file" + std::to_string(ids.size());
        r.content_type = "text/html";
        r.error = 302;
        r.title = "Title of " + url.substr(0, 12);
        ASSERT_TRUE(store_.Write(&r));
        ids.push_back(r.id);
    }
    const int32_t gone = AddPage(0, 1, "http://h/gone");
    ASSERT_TRUE(store_.DeleteUrl(gone));
    for (size_t i = 0; i < urls.size(); ++i) {
        SCOPED_TRACE(i);
        UrlRecord loaded, row, found;
        ASSERT_TRUE(store_.Load(ids[i], &loaded));
        EXPECT_FALSE(loaded.title.empty());
        ASSERT_TRUE(store_.LoadRow(ids[i], &row));
        ASSERT_TRUE(store_.FindUrlRow(urls[i], &found));
        for (const UrlRecord* r : {&row, &found}) {
            EXPECT_EQ(r->id, ids[i]);
            EXPECT_EQ(r->url, urls[i]);
            EXPECT_EQ(r->title, "");
            EXPECT_EQ(r->level, loaded.level);
            EXPECT_EQ(r->status, loaded.status);
            EXPECT_EQ(r->file, loaded.file);
            EXPECT_EQ(r->content_type, loaded.content_type);
            EXPECT_EQ(r->error, loaded.error);
            EXPECT_EQ(r->created, loaded.created);
            EXPECT_FALSE(r->not_appended);
        }
    }
    UrlRecord none;
    none.title = "untouched";
    for (const std::string& absent : {std::string(), std::string("http://h/gone"), long_url.substr(0, 300),
                                      std::string("http://h/never")}) {
        EXPECT_FALSE(store_.FindUrlRow(absent, &none)) << absent;
    }
    EXPECT_FALSE(store_.LoadRow(gone, &none));
    EXPECT_FALSE(store_.LoadRow(9999, &none));
    EXPECT_EQ(none.title, "untouched");
}

// A row first written short and then long gets its pieces, and loses them
// again when it is made short once more.
TEST_F(ProjectStoreTest, ShortRowsGrowPiecesAndLoseThem) {
    const std::string long_url = "http://h/" + std::string(600, 'y');
    const int32_t id = AddPage(0, 0, "http://h/short");
    UrlRecord r;
    ASSERT_TRUE(store_.Load(id, &r));
    r.url = long_url;
    ASSERT_TRUE(store_.Write(&r));
    EXPECT_EQ(store_.FindByUrl(long_url), id);
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, long_url);
    r.url = "http://h/short again";
    ASSERT_TRUE(store_.Write(&r));
    ASSERT_TRUE(Reopen());
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, "http://h/short again");
    EXPECT_EQ(store_.FindByUrl(long_url), 0);
    // The pieces are gone from their table, not only unread.
    store_.Close();
    xbase::Result result;
    auto pieces = xbase::Table::Open(dir_ / "ZQURLEXT", xbase::Access::kExclusive, &result);
    ASSERT_TRUE(pieces);
    int live = 0;
    for (uint32_t row = 1; row <= pieces->RecordCount(); ++row) {
        ASSERT_EQ(pieces->Go(row), xbase::Result::kSuccess);
        live += pieces->IsDeleted() ? 0 : 1;
    }
    EXPECT_EQ(pieces->RecordCount(), 2u);
    EXPECT_EQ(live, 0);
}

TEST_F(ProjectStoreTest, PiecesNeverLoseBlanksOrSplitCharacters) {
    // A blank and a two-byte character right at the piece boundaries.
    std::string url = "http://h/" + std::string(230, 'a') + " " + "\xC3\xA9" + std::string(300, 'b') +
                      " c";
    url[239] = ' ';
    const int32_t id = AddPage(0, 0, url);
    UrlRecord r;
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.url, url);
    EXPECT_EQ(store_.FindByUrl(url), id);
}

TEST_F(ProjectStoreTest, AddUrlReusesExistingRowsAndGivesStartUrlsOneLevel) {
    ProjectStore::Added first = store_.AddUrl(0, 0, 0, "http://h/");
    EXPECT_TRUE(first.created);
    EXPECT_EQ(store_.LoadProps(first.id).levels, 1);
    ProjectStore::Added again = store_.AddUrl(0, 0, 0, "http://h/");
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.id, first.id);
    const int32_t child = AddPage(first.id, 1, "http://h/c.htm");
    EXPECT_FALSE(store_.HasProps(child));  // not a start URL: no settings row
}

TEST_F(ProjectStoreTest, LinksAreUniqueAndComeBackAfterRemoval) {
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t b = AddPage(a, 1, "http://h/b");
    store_.AddLink(a, b);
    EXPECT_EQ(store_.PlainChildren(a, false), std::vector<int32_t>{b});
    store_.RemoveLinksFrom(a);
    EXPECT_TRUE(store_.PlainChildren(a, false).empty());
    EXPECT_TRUE(store_.Parents(b).empty());
    store_.AddLink(a, b);
    EXPECT_EQ(store_.PlainChildren(a, false), std::vector<int32_t>{b});
    EXPECT_EQ(store_.Parents(b), std::vector<int32_t>{a});
}

TEST_F(ProjectStoreTest, TreeChildrenSkipCrossLinks) {
    // a (0) -> b (1), c (1, requisite), a itself (cross link), d (1, page), e (0)
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t e = AddPage(0, 0, "http://h/e");
    const int32_t b = AddPage(a, 1, "http://h/b");
    const int32_t c = AddPage(b, 1, "http://h/c.gif", 1, 3);
    const int32_t d = AddPage(b, 1, "http://h/d");
    store_.AddLink(b, a);
    store_.AddLink(b, e);

    EXPECT_EQ(store_.TreeChildren(b, false), std::vector<int32_t>{c});
    EXPECT_EQ(store_.TreeChildren(b, true), (std::vector<int32_t>{c, d}));
    EXPECT_EQ(store_.TreeChildren(0, false), (std::vector<int32_t>{a, e}));
    // Links come in link-table order (by target id).
    EXPECT_EQ(store_.PlainChildren(b, false), (std::vector<int32_t>{a, e, c, d}));
    UrlRecord dr;
    ASSERT_TRUE(store_.Load(d, &dr));
    dr.kind = 1;
    ASSERT_TRUE(store_.Write(&dr));
    // Pages (kind Html) on the parent's level or above are left out.
    EXPECT_EQ(store_.PlainChildren(b, true), (std::vector<int32_t>{a, e, c}));
    EXPECT_EQ(store_.Parents(a), std::vector<int32_t>{b});
}

TEST_F(ProjectStoreTest, DeletingAUrlRemovesLinksBothWaysAndOrphansGoAtClean) {
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t b = AddPage(a, 1, "http://h/b");
    const int32_t c = AddPage(b, 2, "http://h/c");
    const int32_t shared = AddPage(b, 2, "http://h/shared");
    store_.AddLink(a, shared);
    UrlRecord rb;
    ASSERT_TRUE(store_.Load(b, &rb));
    rb.file = "h/b.htm";
    ASSERT_TRUE(store_.Write(&rb));
    WriteFile(dir_ / "h/b.htm", "page");

    ASSERT_TRUE(store_.DeleteUrl(b));
    EXPECT_FALSE(platform::FileExists(dir_ / "h/b.htm"));
    EXPECT_FALSE(store_.Exists(b));
    EXPECT_TRUE(store_.Parents(c).empty());
    EXPECT_EQ(store_.Parents(shared), std::vector<int32_t>{a});
    EXPECT_EQ(store_.PlainChildren(a, false), std::vector<int32_t>{shared});
    EXPECT_FALSE(store_.DeleteUrl(b));

    EXPECT_TRUE(store_.Exists(c));
    store_.Clean();
    EXPECT_FALSE(store_.Exists(c));
    EXPECT_TRUE(store_.Exists(shared));
    EXPECT_TRUE(store_.Exists(a));
}

TEST_F(ProjectStoreTest, CleanKeepsEverythingReachableWhateverItsLevel) {
    // A style sheet recorded at level 1 is now reached only from a deeper page;
    // its image must survive.
    const int32_t start = AddPage(0, 0, "http://h/");
    const int32_t p1 = AddPage(start, 1, "http://h/p1");
    const int32_t p2 = AddPage(p1, 2, "http://h/p2");
    const int32_t p3 = AddPage(p2, 3, "http://h/p3");
    const int32_t css = AddPage(p1, 1, "http://h/s.css", 1, 7);
    const int32_t img = AddPage(css, 1, "http://h/i.gif", 1, 3);
    store_.AddLink(p3, css);
    store_.RemoveLinksFrom(p1);
    store_.AddLink(p1, p2);
    store_.Clean();
    for (int32_t id : {start, p1, p2, p3, css, img}) EXPECT_TRUE(store_.Exists(id)) << id;
}

TEST_F(ProjectStoreTest, CleanWithoutStartUrlsDeletesEverything) {
    UrlRecord r = store_.NewRecord();
    r.url = "http://h/x";
    r.file = "h/x.htm";
    ASSERT_TRUE(store_.Write(&r));
    WriteFile(dir_ / "h/x.htm", "x");
    store_.AddLink(0, r.id);
    store_.Clean();
    EXPECT_FALSE(store_.Exists(r.id));
    EXPECT_FALSE(platform::FileExists(dir_ / "h/x.htm"));
}

TEST_F(ProjectStoreTest, IdsGrowPastDeletedRowsUntilCompaction) {
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t b = AddPage(0, 0, "http://h/b");
    const int32_t c = AddPage(0, 0, "http://h/c");
    ASSERT_TRUE(store_.DeleteUrl(c));
    ASSERT_TRUE(Reopen());
    EXPECT_EQ(store_.NewRecord().id, c + 1);
    store_.Compact();
    EXPECT_EQ(store_.NewRecord().id, b + 1);
    EXPECT_TRUE(store_.Exists(a));
    EXPECT_EQ(store_.FindByUrl("http://h/b"), b);
}

TEST_F(ProjectStoreTest, SettingsRowsAndTheirColumns) {
    const int32_t id = AddPage(0, 0, "http://h/");
    EXPECT_EQ(store_.LoadProps(id).schedule, 0);  // blank reads as 0
    store_.SetSchedule(id, 3);
    store_.SetNotes(id, "line one\nline two");
    store_.SetCredentials(id, "dXNlcjpwYXNz");
    store_.SetFilterId(id, 12);
    store_.SetLevels(id, -1);
    ASSERT_TRUE(Reopen());
    UrlProps p = store_.LoadProps(id);
    EXPECT_EQ(p.schedule, 3);
    EXPECT_EQ(p.notes, "line one\nline two");
    EXPECT_EQ(p.credentials, "dXNlcjpwYXNz");
    EXPECT_EQ(p.filter_id, 12);
    EXPECT_EQ(p.levels, -1);

    // Without a settings row, zero/empty values create none.
    const int32_t child = AddPage(id, 1, "http://h/c");
    store_.SetSchedule(child, 0);
    store_.SetNotes(child, "");
    store_.SetCredentials(child, "");
    EXPECT_FALSE(store_.HasProps(child));
    store_.SetFilterId(child, 0);
    EXPECT_TRUE(store_.HasProps(child));
}

TEST_F(ProjectStoreTest, ScheduleIsStoredAsItsDigitFollowedByBlanks) {
    const int32_t id = AddPage(0, 0, "http://h/");
    store_.SetSchedule(id, 3);
    store_.Close();
    xbase::Result r;
    auto props = xbase::Table::Open(dir_ / "ZQPROPS", xbase::Access::kShared, &r);
    ASSERT_TRUE(props) << static_cast<int>(r);
    ASSERT_EQ(props->Top(), xbase::Result::kSuccess);
    EXPECT_EQ(props->ReadText(props->FieldIndex("SCHEDULE")), "3");
    props->Close();
}

TEST_F(ProjectStoreTest, TitlesAreKeptInTheirOwnTable) {
    const int32_t id = AddPage(0, 0, "http://h/");
    EXPECT_EQ(store_.Title(id), "");
    store_.SetTitle(id, "First");
    store_.SetTitle(id, "Second");
    EXPECT_EQ(store_.Title(id), "Second");
    UrlRecord r;
    ASSERT_TRUE(store_.Load(id, &r));
    EXPECT_EQ(r.title, "Second");
}

TEST_F(ProjectStoreTest, FilterRowsLoadInOrderAndTakeNewIds) {
    EXPECT_EQ(store_.NextFilterId(), 1);
    const uint32_t r1 = store_.AppendFilterRow(1, 'U', "IIPcgi");
    const uint32_t r2 = store_.AppendFilterRow(1, 'S', "1000");
    store_.AppendFilterRow(2, 'U', "Sh");
    auto rows = store_.LoadFilterRows(1);  // in tag order: by set, then type letter
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].type, 'S');
    EXPECT_EQ(rows[0].text, "1000");
    EXPECT_EQ(rows[1].text, "IIPcgi");
    ASSERT_TRUE(store_.RewriteFilterRow(r1, 1, 'U', "EIPcgi"));
    ASSERT_TRUE(store_.DeleteFilterRow(r2));
    rows = store_.LoadFilterRows(1);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "EIPcgi");
    EXPECT_TRUE(store_.LoadFilterRows(-1).empty());
    ASSERT_TRUE(Reopen());
    EXPECT_EQ(store_.NextFilterId(), 3);
}

// --- Queue -------------------------------------------------------------------

QueueEntry Entry(int32_t url, int32_t level, int32_t min_level = 0, int32_t levels = 1) {
    QueueEntry e;
    e.url_id = url;
    e.level = level;
    e.min_level = min_level;
    e.levels = levels;
    return e;
}

std::vector<int32_t> WaitingUrls(ProjectStore& store) {
    std::vector<int32_t> urls;
    ProjectStore::QueueWalker walker(&store);
    for (uint32_t row = walker.First(); row != 0; row = walker.Next()) {
        QueueEntry e;
        store.QueueEntryAt(row, &e);
        urls.push_back(e.url_id);
    }
    return urls;
}

TEST_F(ProjectStoreTest, QueueOrderIsLevelThenRequisitesThenInsertion) {
    std::vector<int32_t> ids;
    for (int i = 0; i < 6; ++i) ids.push_back(AddPage(0, 0, "http://h/" + std::to_string(i)));
    ASSERT_TRUE(store_.QueueAppend(Entry(ids[0], 1, 1)));
    ASSERT_TRUE(store_.QueueAppend(Entry(ids[1], 1, 0)));
    ASSERT_TRUE(store_.QueueAppend(Entry(ids[2], 0, 0)));
    ASSERT_TRUE(store_.QueueAppend(Entry(ids[3], 2, 0)));
    ASSERT_TRUE(store_.QueueAppend(Entry(ids[4], 1, 0)));
    EXPECT_FALSE(store_.QueueAppend(Entry(ids[2], 3, 0)));  // already queued
    EXPECT_EQ(WaitingUrls(store_), (std::vector<int32_t>{ids[2], ids[1], ids[4], ids[0], ids[3]}));

    // Taken and done entries drop out; a done URL is not queued again.
    ProjectStore::Queued q = store_.QueueAppendUnlessQueued(Entry(ids[1], 0));
    EXPECT_FALSE(q.added);
    store_.QueueMarkTaken(q.row);
    QueueEntry e;
    ASSERT_TRUE(store_.QueueEntryAt(q.row, &e));
    EXPECT_EQ(e.status, '1');
    EXPECT_EQ(WaitingUrls(store_), (std::vector<int32_t>{ids[2], ids[4], ids[0], ids[3]}));
    store_.QueueMarkDone(q.row);
    EXPECT_FALSE(store_.QueueAppend(Entry(ids[1], 0)));
    EXPECT_TRUE(store_.IsQueued(ids[1]));
    EXPECT_FALSE(store_.IsQueued(ids[5]));

    // Entries whose URL is gone are skipped.
    store_.DeleteUrl(ids[4]);
    EXPECT_EQ(WaitingUrls(store_), (std::vector<int32_t>{ids[2], ids[0], ids[3]}));
    ASSERT_TRUE(store_.QueueEmpty());
    EXPECT_TRUE(WaitingUrls(store_).empty());
    EXPECT_TRUE(store_.QueueAppend(Entry(ids[1], 0)));
}

// QueueEntryOf finds a URL's entry as IsQueued does, waiting, taken or done,
// and reads what QueueEntryAt reads at that row.
TEST_F(ProjectStoreTest, QueueEntryOfAUrlInOneLookup) {
    std::vector<int32_t> ids;
    for (int i = 0; i < 4; ++i) ids.push_back(AddPage(0, 0, "http://h/q" + std::to_string(i)));
    for (int i = 0; i < 3; ++i) {
        QueueEntry e = Entry(ids[i], i % 2);
        e.levels = 10 + i;
        e.parent_id = 100 + i;
        ASSERT_TRUE(store_.QueueAppend(e));
    }
    uint32_t taken_row = 0, done_row = 0;
    QueueEntry e;
    ASSERT_TRUE(store_.QueueEntryOf(ids[1], &taken_row, &e));
    store_.QueueMarkTaken(taken_row);
    ASSERT_TRUE(store_.QueueEntryOf(ids[2], &done_row, &e));
    store_.QueueMarkDone(done_row);
    const struct {
        int index;
        bool queued;
        char status;
    } cases[] = {{0, true, '0'}, {1, true, '1'}, {2, true, '2'}, {3, false, 0}};
    for (const auto& c : cases) {
        uint32_t row = 0;
        QueueEntry of;
        EXPECT_EQ(store_.QueueEntryOf(ids[c.index], &row, &of), c.queued) << c.index;
        EXPECT_EQ(store_.IsQueued(ids[c.index]), c.queued) << c.index;
        if (!c.queued) continue;
        QueueEntry at;
        ASSERT_TRUE(store_.QueueEntryAt(row, &at));
        EXPECT_EQ(of.url_id, ids[c.index]);
        EXPECT_EQ(at.url_id, ids[c.index]);
        EXPECT_EQ(of.status, c.status);
        EXPECT_EQ(at.status, c.status);
        EXPECT_EQ(of.levels, 10 + c.index);
        EXPECT_EQ(of.parent_id, 100 + c.index);
    }
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{ids[0]});  // the queue order is untouched
}

TEST_F(ProjectStoreTest, WalkerMeetsEntriesAppendedBehindIt) {
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t b = AddPage(0, 0, "http://h/b");
    const int32_t c = AddPage(0, 0, "http://h/c");
    store_.QueueAppend(Entry(a, 1));
    ProjectStore::QueueWalker walker(&store_);
    ASSERT_NE(walker.First(), 0u);
    store_.QueueAppend(Entry(b, 2));   // sorts after: met
    store_.QueueAppend(Entry(c, 0));   // sorts before: not met
    uint32_t row = walker.Next();
    ASSERT_NE(row, 0u);
    QueueEntry e;
    store_.QueueEntryAt(row, &e);
    EXPECT_EQ(e.url_id, b);
    EXPECT_EQ(walker.Next(), 0u);
}

// What a stopped or killed grab left in the queue is there after reopening,
// for the next grab to resume; entries whose workers are gone wait again
// once released.
TEST_F(ProjectStoreTest, TheQueueSurvivesReopeningForResume) {
    const int32_t a = AddPage(0, 0, "http://h/a");
    const int32_t b = AddPage(a, 1, "http://h/b");
    const int32_t c = AddPage(a, 1, "http://h/c");
    store_.QueueAppend(Entry(a, 0));
    const uint32_t b_row = store_.QueueAppendUnlessQueued(Entry(b, 1)).row;
    const uint32_t c_row = store_.QueueAppendUnlessQueued(Entry(c, 1)).row;
    store_.QueueMarkTaken(b_row);
    store_.QueueMarkTaken(c_row);
    store_.QueueMarkDone(c_row);
    ASSERT_TRUE(Reopen());
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{a});
    EXPECT_EQ(store_.QueueUnfinished(), 2);
    EXPECT_EQ(store_.QueueReleaseTaken(), 1);
    EXPECT_EQ(WaitingUrls(store_), (std::vector<int32_t>{a, b}));
    EXPECT_TRUE(store_.IsQueued(c));  // done in this grab: not queued again
    EXPECT_FALSE(store_.QueueAppend(Entry(c, 1)));
    store_.QueueEmpty();
    EXPECT_EQ(store_.QueueUnfinished(), 0);
}

TEST_F(ProjectStoreTest, StartQueueSeedsStartUrlsByTheirSettings) {
    const int32_t one = AddPage(0, 0, "http://h/one");       // LEVELS 1
    const int32_t none = AddPage(0, 0, "http://h/none");
    store_.SetLevels(none, 0);
    const int32_t all = AddPage(0, 0, "http://h/all");
    store_.SetLevels(all, -1);
    store_.SetCredentials(all, "dTpw");
    store_.SetFilterId(all, 4);
    const int32_t folder = store_.AddSearchFolder("needle");
    const int32_t check = AddPage(0, 0, "http://h/check", 0, 6);

    ASSERT_TRUE(store_.StartQueue(0, true));
    EXPECT_EQ(WaitingUrls(store_), (std::vector<int32_t>{one, all}));
    ProjectStore::QueueWalker walker(&store_);
    walker.First();
    uint32_t row = walker.Next();
    QueueEntry e;
    store_.QueueEntryAt(row, &e);
    EXPECT_EQ(e.levels, kUnlimitedLevels);
    EXPECT_EQ(e.auth_id, all);
    EXPECT_EQ(e.filter_id, 4);
    EXPECT_EQ(e.parent_id, 0);

    EXPECT_FALSE(store_.StartQueue(none, true));
    EXPECT_FALSE(store_.StartQueue(check, true));
    EXPECT_FALSE(store_.StartQueue(folder, true));  // no settings row at all
    ASSERT_TRUE(store_.StartQueue(none, false));
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{none});

    ASSERT_TRUE(store_.LinkCheckQueue(0));
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{check});

    std::vector<int32_t> jobs{one, check, none};
    ASSERT_TRUE(store_.ListQueue(&jobs, 2));
    EXPECT_TRUE(jobs.empty());
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{one});
    std::vector<int32_t> empty;
    EXPECT_FALSE(store_.ListQueue(&empty, 2));
    EXPECT_EQ(WaitingUrls(store_), std::vector<int32_t>{one});  // untouched
}

TEST_F(ProjectStoreTest, SharedModeWritesAreVisibleToAnotherReader) {
    ASSERT_TRUE(Reopen(false));
    ProjectStore reader;
    ASSERT_TRUE(reader.Open(dir_.path(), dir_.path(), false));
    const int32_t id = AddPage(0, 0, "http://h/shared");
    EXPECT_EQ(reader.FindByUrl("http://h/shared"), id);

    // Rows the reader has read are read again once the writer changed them.
    UrlRecord seen;
    ASSERT_TRUE(reader.Load(id, &seen));
    EXPECT_EQ(seen.status, 0);
    UrlRecord r;
    ASSERT_TRUE(store_.Load(id, &r));
    r.file = "h/shared.html";
    r.title = "Shared";
    ASSERT_TRUE(store_.Write(&r));
    ASSERT_TRUE(store_.SetStatus(id, 71));
    ASSERT_TRUE(reader.Load(id, &seen));
    EXPECT_EQ(seen.status, 71);
    EXPECT_EQ(seen.file, "h/shared.html");
    EXPECT_EQ(seen.title, "Shared");
    ASSERT_TRUE(store_.DeleteUrl(id));
    EXPECT_FALSE(reader.LoadRow(id, &seen));
    EXPECT_EQ(reader.FindByUrl("http://h/shared"), 0);
}

TEST_F(ProjectStoreTest, ExclusiveModeKeepsOthersOut) {
    ProjectStore other;
    EXPECT_FALSE(other.Open(dir_.path(), dir_.path(), false));
}

// A row keeps its response's entity tag; one too long for the column is
// not kept cut.
TEST_F(ProjectStoreTest, EntityTagsAreKeptWhenTheyFit) {
    const std::string longest(kEtagWidth, 'e');
    for (const std::string& etag : {std::string("W/\"5f3e-1a2b\""), longest, longest + "x"}) {
        UrlRecord r = store_.NewRecord();
        r.url = "http://h/" + std::to_string(etag.size());
        r.etag = etag;
        ASSERT_TRUE(store_.Write(&r));
        ASSERT_TRUE(Reopen());
        UrlRecord back;
        ASSERT_TRUE(store_.Load(r.id, &back));
        EXPECT_EQ(back.etag, etag.size() <= kEtagWidth ? etag : "") << etag;
    }
}

// A project made before ZQURL had its ETAG column opens and works as
// before; it just keeps no entity tags.
TEST(ProjectStoreOpenTest, ATableWithoutTheEtagColumnOpens) {
    TempDir dir;
    {
        ProjectStore made;
        ASSERT_TRUE(made.Open(dir.path(), dir.path(), true));
    }
    {
        const TableSchema& url_table = ProjectTables().front();
        std::vector<xbase::FieldDef> fields = url_table.fields;
        ASSERT_EQ(fields.back().name, "ETAG");
        fields.pop_back();
        xbase::Result result;
        auto old = xbase::Table::Create(dir / "ZQURL", fields, xbase::Access::kExclusive, &result);
        ASSERT_TRUE(old) << xbase::ResultName(result);
        ASSERT_EQ(old->CreateIndex(url_table.tags), xbase::Result::kSuccess);
    }
    ProjectStore store;
    ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    UrlRecord r = store.NewRecord();
    r.url = "http://h/old";
    r.etag = "\"abc\"";
    r.error = 404;
    ASSERT_TRUE(store.Write(&r));
    UrlRecord back;
    ASSERT_TRUE(store.Load(r.id, &back));
    EXPECT_EQ(back.url, "http://h/old");
    EXPECT_EQ(back.error, 404);
    EXPECT_EQ(back.etag, "");
}

TEST(ProjectStoreOpenTest, DamagedTablesAreNotReplaced) {
    TempDir dir;
    WriteFile(dir / "ZQURL.DBF", "this is not a table");
    ProjectStore store;
    EXPECT_FALSE(store.Open(dir.path(), dir.path(), true));
    EXPECT_EQ(fwtest::ReadFile(dir / "ZQURL.DBF"), "this is not a table");
}

// A project of `rows` URLs in `dir`, closed.
void MakeProject(const TempDir& dir, int rows) {
    ProjectStore store;
    ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    store.AddUrl(0, 0, 0, "http://h/start", 0);
    for (int i = 1; i < rows; ++i) store.AddUrl(1, 1, 0, "http://h/p" + std::to_string(i), 0);
}

uint32_t HeaderRows(const std::string& table) {
    const std::string bytes = fwtest::ReadFile(table);
    uint32_t rows = 0;
    for (int i = 3; i >= 0; --i) rows = rows << 8 | static_cast<uint8_t>(bytes[4 + i]);
    return rows;
}

// Damage is reported with the table's name and leaves every file as it was;
// what a kill leaves (rows past the header's count, a partial last row, an
// emptying cut short) opens as it always did.
TEST(ProjectStoreOpenTest, DamagedTablesAreNamedAndLeftAsTheyAre) {
    struct Case {
        const char* name;
        std::function<void(const std::string& dir)> harm;
        const char* failure;  // nullptr: opens
        size_t live_rows;     // when it opens
    } cases[] = {
        {"cut in half",
         [](const std::string& dir) {
             std::filesystem::resize_file(dir + "ZQURL.DBF",
                                          std::filesystem::file_size(dir + "ZQURL.DBF") / 2);
         },
         "ZQURL.DBF is shorter than its header says: rows are missing", 0},
        {"header length off by a column",
         [](const std::string& dir) {
             std::string bytes = fwtest::ReadFile(dir + "ZQURL.DBF");
             bytes[8] = static_cast<char>(static_cast<uint8_t>(bytes[8]) + 32);
             WriteFile(dir + "ZQURL.DBF", bytes);
         },
         "ZQURL.DBF is damaged: its header does not describe a valid table", 0},
        {"settings table deleted",
         [](const std::string& dir) { std::filesystem::remove(dir + "ZQPROPS.DBF"); },
         "ZQPROPS.DBF is missing", 0},
        {"two tables deleted",
         [](const std::string& dir) {
             std::filesystem::remove(dir + "ZQLINKS.DBF");
             std::filesystem::remove(dir + "ZQTITLE.DBF");
         },
         "ZQLINKS.DBF, ZQTITLE.DBF are missing", 0},
        {"rows past the header's count",
         [](const std::string& dir) {
             std::string bytes = fwtest::ReadFile(dir + "ZQURL.DBF");
             bytes[4] = static_cast<char>(static_cast<uint8_t>(bytes[4]) - 5);
             WriteFile(dir + "ZQURL.DBF", bytes);
         },
         nullptr, 20},
        {"a partial last row",
         [](const std::string& dir) {
             std::string bytes = fwtest::ReadFile(dir + "ZQURL.DBF");
             bytes.pop_back();  // the end mark
             WriteFile(dir + "ZQURL.DBF", bytes + std::string(100, ' '));
         },
         nullptr, 20},
        {"an emptying cut short",
         [](const std::string& dir) {
             const std::string bytes = fwtest::ReadFile(dir + "ZQURL.DBF");
             const size_t header = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
             std::filesystem::resize_file(dir + "ZQURL.DBF", header);
         },
         nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        MakeProject(dir, 20);
        ASSERT_EQ(HeaderRows(dir / "ZQURL.DBF"), 20u);
        c.harm(dir.path());
        std::map<std::string, std::string> before;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            before[entry.path().filename().string()] = fwtest::ReadFile(entry.path().string());
        }
        ProjectStore store;
        const bool opened = store.Open(dir.path(), dir.path(), true);
        if (c.failure != nullptr) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(store.open_failure(), c.failure);
            std::map<std::string, std::string> after;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                after[entry.path().filename().string()] = fwtest::ReadFile(entry.path().string());
            }
            EXPECT_TRUE(after == before);  // nothing written, nothing created
        } else {
            ASSERT_TRUE(opened) << store.open_failure();
            EXPECT_EQ(store.open_failure(), "");
            EXPECT_EQ(store.AllUrls().size(), c.live_rows);
        }
    }
}

// Tables are made for a new project only: in an empty directory, or one
// holding nothing but the content directory; never among someone's files.
TEST(ProjectStoreOpenTest, TablesAreCreatedOnlyWhereThereIsNothingElse) {
    TempDir dir;
    WriteFile(dir / "home/notes.txt", "mine");
    WriteFile(dir / "fresh/src/old-copy/index.html", "<html>");
    std::filesystem::create_directories(dir / "empty");
    std::filesystem::create_directories(dir / "cut");
    {
        ProjectStore store;
        EXPECT_FALSE(store.Open(dir / "home/", dir / "home/", true));
        EXPECT_EQ(store.open_failure(), dir / "home/" +
                                            " holds no project tables but other files: it is "
                                            "not a project's data directory");
        EXPECT_FALSE(store.Open(dir / "home/", dir / "home/src/", true));
    }
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / "home")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);  // notes.txt alone
    // A creation that a kill cut short left some empty tables: the rest are
    // made.
    {
        ProjectStore made;
        ASSERT_TRUE(made.Open(dir / "cut/", dir / "cut/", true));
    }
    for (const char* name : {"ZQLINKS", "ZQTITLE", "ZQURLEXT", "ZQQUEUE", "ZQFILTER"}) {
        std::filesystem::remove(dir / "cut/" + name + ".DBF");
        std::filesystem::remove(dir / "cut/" + name + ".CDX");
    }
    for (const auto& [db, content] : {std::pair{dir / "fresh/", dir / "fresh/src/"},
                                      std::pair{dir / "empty/", dir / "empty/"},
                                      std::pair{dir / "cut/", dir / "cut/"}}) {
        ProjectStore store;
        EXPECT_TRUE(store.Open(db, content, true)) << db;
        EXPECT_TRUE(platform::FileExists(db + "ZQFILTER.DBF")) << db;
    }
}

// Tables and their indexes can hold credentials: made private, and a mode
// their owner chose survives rewriting them.
TEST(ProjectStoreOpenTest, TablesArePrivateAndKeepTheModeTheirOwnerGave) {
    TempDir dir;
    MakeProject(dir, 3);
    auto mode = [&](const std::string& name) {
        return std::filesystem::status(dir / name).permissions() & std::filesystem::perms::all;
    };
    using std::filesystem::perms;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(mode(name), perms::owner_read | perms::owner_write) << name;
    }
    std::filesystem::permissions(dir / "ZQURL.DBF", perms::group_read, std::filesystem::perm_options::add);
    std::filesystem::permissions(dir / "ZQURL.CDX", perms::group_read, std::filesystem::perm_options::add);
    {
        ProjectStore store;
        ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
        store.DeleteUrl(3);
        store.Compact();
    }
    WriteFile(dir / "ZQTITLE.CDX", "not an index");  // rebuilt at the next open
    std::filesystem::permissions(dir / "ZQTITLE.CDX", perms::owner_read | perms::owner_write | perms::group_read);
    {
        ProjectStore store;
        ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    }
    const perms shared = perms::owner_read | perms::owner_write | perms::group_read;
    EXPECT_EQ(mode("ZQURL.DBF"), shared);
    EXPECT_EQ(mode("ZQURL.CDX"), shared);
    EXPECT_EQ(mode("ZQTITLE.CDX"), shared);
    EXPECT_EQ(mode("ZQLINKS.DBF"), perms::owner_read | perms::owner_write);
}

TEST(ProjectStoreOpenTest, DamagedIndexIsRebuiltFromItsTable) {
    TempDir dir;
    int32_t id;
    {
        ProjectStore store;
        ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
        id = store.AddUrl(0, 0, 0, "http://h/kept").id;
    }
    WriteFile(dir / "ZQURL.CDX", std::string(1000, '\x7f'));
    ProjectStore store;
    ASSERT_TRUE(store.Open(dir.path(), dir.path(), true));
    EXPECT_EQ(store.FindByUrl("http://h/kept"), id);
}

}  // namespace
}  // namespace fw

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/interface/dizoziz.h"
#include "engine/interface/error_info.h"
#include "engine/interface/ref_counted.h"
#include "engine/search/search_index.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;
using fwtest::WriteFile;
using Ids = std::vector<int32_t>;

std::string LastError() {
    std::string description;
    TakeErrorInfo(&description, nullptr);
    return description;
}

Ids IdsOf(IDizozizEnumUrl* list) {
    int32_t count = 0;
    list->get_Count(&count);
    Ids ids;
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDizozizUrl> url;
        if (list->get_Item(i, url.Receive()) != S_OK) continue;
        int32_t id = 0;
        url->get_id(&id);
        ids.push_back(id);
    }
    return ids;
}

class DizozizSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = MakeObject<Dizoziz>();
        ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    }

    // A stored URL row with its file (none when `content` is null).
    int32_t AddPage(const std::string& file, int32_t kind, const char* content,
                    int32_t status = kStatusGrabbed) {
        ProjectStore& store = engine_->store();
        const int32_t id = store.AddUrl(0, 0, 0, "http://h/" + file, kind).id;
        UrlRecord record;
        store.Load(id, &record);
        record.status = status;
        record.file = "h/" + file;
        store.Write(&record);
        if (content) WriteFile(dir_ / record.file, content);
        return id;
    }

    Ids Search(const std::string& pattern) {
        ComPtr<IDizozizEnumUrl> found;
        EXPECT_EQ(engine_->Search(pattern, found.Receive()), S_OK) << LastError();
        return found ? IdsOf(found.get()) : Ids();
    }

    Ids IndexSearch(const std::string& expression) {
        ComPtr<IDizozizEnumUrl> found;
        EXPECT_EQ(engine_->IndexSearch(expression, found.Receive()), S_OK) << LastError();
        return found ? IdsOf(found.get()) : Ids();
    }

    TempDir dir_;
    ComPtr<Dizoziz> engine_;
};

TEST_F(DizozizSearchTest, SearchGrepsGrabbedPagesAndTextInTableOrder) {
    const int32_t page = AddPage("page.htm", kKindHtml, "<p>a needle here</p>");
    const int32_t text = AddPage("notes.txt", kKindText, "NEEDLE");
    AddPage("fetched.htm", kKindHtml, "needle", kStatusFetched);
    AddPage("image.gif", kKindImage, "needle");
    AddPage("style.css", kKindCss, "needle");
    AddPage("gone.htm", kKindHtml, nullptr);
    WriteFile(dir_ / "h/zero.htm", std::string("before\0needle", 13));
    AddPage("zero.htm", kKindHtml, nullptr);
    const std::string big = std::string(1048576 - 3, 'x') + "needle";
    AddPage("big.htm", kKindHtml, big.c_str());
    const int32_t last = AddPage("last.htm", kKindHtml, "needles");
    EXPECT_EQ(Search("needle"), (Ids{page, text, last}));
    EXPECT_EQ(Search("^a :a+le"), (Ids{}));
    EXPECT_EQ(Search("<p>a"), (Ids{page}));
}

TEST_F(DizozizSearchTest, SearchReportsARejectedPattern) {
    AddPage("page.htm", kKindHtml, "text");
    ComPtr<IDizozizEnumUrl> found;
    EXPECT_EQ(engine_->Search("[abc", found.Receive()), DISP_E_EXCEPTION);
    // The compiler's own three-line report.
    const std::string report = LastError();
    EXPECT_EQ(report.rfind("-GREP-E-Unterminated class, pattern is\"[abc\"\n", 0), 0u) << report;
    EXPECT_NE(report.find("\n?GREP-E-Bad pattern"), std::string::npos) << report;
    EXPECT_EQ(engine_->Search("x", nullptr), E_POINTER);
    engine_->Close();
    EXPECT_EQ(engine_->Search("x", found.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Storage is not open");
}

TEST_F(DizozizSearchTest, IndexSearchFindsOnlyGrabbedPagesAndText) {
    const int32_t page = AddPage("page.htm", kKindHtml, "<p>walrus</p>");
    const int32_t text = AddPage("notes.txt", kKindText, "Walrus");
    AddPage("fetched.htm", kKindHtml, "walrus", kStatusFetched);
    AddPage("never.htm", kKindHtml, "walrus", kStatusNone);
    AddPage("image.gif", kKindImage, "walrus");
    AddPage("style.css", kKindCss, "walrus");
    AddPage("other.bin", kKindOther, "walrus");
    AddPage("gone.htm", kKindHtml, nullptr);
    Ids found = IndexSearch("walrus");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Ids{page, text}));
}

TEST_F(DizozizSearchTest, IndexSearchKeepsTheRankedOrder) {
    const std::string filler = " with a few more words of text around it";
    const int32_t body = AddPage("body.htm", kKindHtml,
                                 ("<title>Notes</title><p>heron" + filler + "</p>").c_str());
    const int32_t title = AddPage("title.htm", kKindHtml,
                                  ("<title>Heron</title><p>notes" + filler + "</p>").c_str());
    EXPECT_EQ(IndexSearch("heron"), (Ids{title, body}));
}

TEST_F(DizozizSearchTest, IndexIsBuiltOnceUntilAGrabStarts) {
    const int32_t page = AddPage("page.htm", kKindHtml, "first words");
    EXPECT_EQ(IndexSearch("first"), Ids{page});
    WriteFile(dir_ / "h/page.htm", "second words");
    const int32_t later = AddPage("later.htm", kKindHtml, "second");
    EXPECT_EQ(IndexSearch("first"), Ids{page});  // still the index of before
    EXPECT_EQ(IndexSearch("second"), Ids{});
    std::string message = "unchanged";
    EXPECT_EQ(engine_->ValidIndexSearch("second", &message), S_OK);
    EXPECT_EQ(message, "");

    DiscardSearchIndex(engine_->data_dir());  // what a grab start does
    EXPECT_FALSE(platform::FileExists(dir_ / "search.in1"));
    Ids found = IndexSearch("second");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Ids{page, later}));
    EXPECT_EQ(IndexSearch("first"), Ids{});
}

// Every job that may store files leaves a stale index behind, so its start
// discards it; a link check stores nothing and keeps it.
TEST_F(DizozizSearchTest, JobsThatMayStoreFilesDiscardTheIndex) {
    const int32_t page = AddPage("page.htm", kKindHtml, "kept words");
    const struct {
        const char* job;
        std::function<void(Dizoziz&)> start;
        bool discards;
    } cases[] = {
        {"GrabBegin", [](Dizoziz& e) { e.GrabBegin(0, 0); }, true},
        {"Grab", [](Dizoziz& e) { e.Grab(0, 0); }, true},
        {"ResumeBegin", [](Dizoziz& e) { e.ResumeBegin(0); }, true},
        {"PreviewBegin", [&](Dizoziz& e) { e.PreviewBegin(page); }, true},
        {"BeginQueuedJobs", [&](Dizoziz& e) { e.QueueJob(page); e.BeginQueuedJobs(kJobTrawl); }, true},
        {"LinkCheckBegin", [&](Dizoziz& e) { e.LinkCheckBegin(page); }, false},
        {"queued link check",
         [&](Dizoziz& e) { e.QueueJob(page); e.BeginQueuedJobs(kJobLinkCheck); }, false},
        {"scheduled link check",
         [&](Dizoziz& e) {
             e.store().SetSchedule(page, kJobLinkCheck);
             e.BeginScheduled();
         },
         false},
        {"scheduled refresh",
         [&](Dizoziz& e) {
             e.store().SetSchedule(page, kJobRefresh);
             e.BeginScheduled();
         },
         true},
    };
    UrlRecord grabbed;
    ASSERT_TRUE(engine_->store().Load(page, &grabbed));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job);
        UrlRecord row = grabbed;  // as grabbed again: the jobs cannot reach h
        ASSERT_TRUE(engine_->store().Write(&row));
        ASSERT_EQ(IndexSearch("kept"), Ids{page});
        ASSERT_TRUE(platform::FileExists(dir_ / "search.in1"));
        c.start(*engine_);
        engine_->GrabEnd();
        EXPECT_EQ(platform::FileExists(dir_ / "search.in1"), !c.discards);
    }
}

TEST_F(DizozizSearchTest, DocumentsWithoutARowAreSkipped) {
    const int32_t kept = AddPage("kept.htm", kKindHtml, "otter");
    const int32_t deleted = AddPage("deleted.htm", kKindHtml, "otter");
    Ids found = IndexSearch("otter");
    EXPECT_EQ(found.size(), 2u);
    ASSERT_EQ(engine_->DeleteUrl(deleted), S_OK);  // its file goes too
    EXPECT_EQ(IndexSearch("otter"), Ids{kept});
}

TEST_F(DizozizSearchTest, ExpressionsAreCheckedAndBadOnesReported) {
    AddPage("page.htm", kKindHtml, "text");
    std::string message = "unchanged";
    EXPECT_EQ(engine_->ValidIndexSearch("\"abc", &message), S_OK);
    EXPECT_EQ(message, "Quotes don't match. Use parenthesis around quotes within quotes.");
    EXPECT_EQ(engine_->ValidIndexSearch("[text page]:5", &message), S_OK);
    EXPECT_EQ(message, "");
    ComPtr<IDizozizEnumUrl> found;
    EXPECT_EQ(engine_->IndexSearch("text AND", found.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "The boolean AND operator has been used incorrectly.");
    EXPECT_EQ(engine_->IndexSearch("x", nullptr), E_POINTER);
    EXPECT_EQ(engine_->ValidIndexSearch("x", nullptr), E_POINTER);
    engine_->Close();
    EXPECT_EQ(engine_->ValidIndexSearch("text", &message), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Storage is not open");
    EXPECT_EQ(engine_->IndexSearch("text", found.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Storage is not open");
}

TEST_F(DizozizSearchTest, AnIndexThatCannotBeBuiltFailsTheCall) {
    // A content directory that is not there: nowhere to put the index.
    engine_->Close();
    ASSERT_EQ(engine_->OpenPlus(dir_.path(), dir_ / "missing/content"), S_OK);
    std::string message = "unchanged";
    EXPECT_EQ(engine_->ValidIndexSearch("text", &message), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "The search index could not be built or read.");
    EXPECT_EQ(message, "unchanged");
    ComPtr<IDizozizEnumUrl> found;
    EXPECT_EQ(engine_->IndexSearch("text", found.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "The search index could not be built or read.");
}

}  // namespace
}  // namespace fw

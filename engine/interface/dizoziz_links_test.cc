#include <gtest/gtest.h>

#include <mutex>

#include "engine/content/link_fixer.h"
#include "engine/content/link_test_project.h"
#include "engine/interface/dizoziz.h"
#include "engine/interface/ref_counted.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;
using Events = std::vector<std::pair<int32_t, int32_t>>;

class EventLog : public RefCounted<IDizozizEvents> {
  public:
    void Invoke(int32_t event_id, int32_t url_id) override {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.emplace_back(event_id, url_id);
    }
    Events Take() {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(events_, {});
    }

  private:
    std::mutex mutex_;
    Events events_;
};

class DizozizLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_ = MakeObject<Dizoziz>();
        events_ = MakeObject<EventLog>();
        ASSERT_EQ(engine_->Advise(events_.get(), &cookie_), S_OK);
        ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    }

    int32_t AddRow(const std::string& url, int32_t status, const std::string& file, int32_t kind) {
        UrlRecord row = store().NewRecord();
        row.url = url;
        row.level = 1;
        row.status = status;
        row.file = file;
        row.kind = kind;
        EXPECT_TRUE(store().Write(&row));
        store().AddLink(0, row.id);
        return row.id;
    }

    ProjectStore& store() { return engine_->store(); }

    TempDir dir_;
    ComPtr<Dizoziz> engine_;
    ComPtr<EventLog> events_;
    uint32_t cookie_ = 0;
};

TEST_F(DizozizLinksTest, ImportOfABookmarkFileTakesItsAbsoluteWebLinks) {
    WriteFile(dir_ / "bookmarks.html",
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
              "<DT><A HREF=\"https://a.example/\" ADD_DATE=\"1\">A</A>\n"
              "<DT><A HREF=\"http://b.example/x?p=1&amp;q=2\">B</A>\n"
              "<DT><A HREF=\"ftp://c.example/pub/\">C</A>\n"
              "<DT><A HREF=\"#local\">skip</A> <A HREF=\"relative.htm\">skip</A>\n"
              "<DT><A HREF=\"HTTP://Upper.example/\">D</A> <A HREF=\"mailto:x@y\">skip</A>\n"
              "<DT><A HREF=\"https://a.example/\">again</A>\n");
    ASSERT_EQ(engine_->Import(dir_ / "bookmarks.html"), S_OK);
    std::vector<int32_t> ids;
    for (const char* url : {"https://a.example/", "http://b.example/x?p=1&q=2",
                            "ftp://c.example/pub/", "http://upper.example/"}) {
        const int32_t id = store().FindByUrl(url);
        ASSERT_GT(id, 0) << url;
        EXPECT_EQ(store().LoadProps(id).levels, 1) << url;
        ids.push_back(id);
    }
    EXPECT_EQ(store().AllUrls().size(), 4u);
    EXPECT_EQ(store().TreeChildren(0, true), ids);
    EXPECT_EQ(events_->Take(), (Events{{kOnGrabUrlAdd, ids[0]},
                                       {kOnGrabUrlAdd, ids[1]},
                                       {kOnGrabUrlAdd, ids[2]},
                                       {kOnGrabUrlAdd, ids[3]},
                                       {kOnGrabUrlAdd, ids[0]}}));
}

TEST_F(DizozizLinksTest, RefixRewritesGrabbedPagesAndAnnouncesEach) {
    const int32_t page = AddRow("http://h/p.htm", kStatusGrabbed, "h/p.htm", kKindHtml);
    const int32_t target = AddRow("http://h/t.htm", kStatusGrabbed, "h/t.htm", kKindHtml);
    AddRow("http://h/f.htm", kStatusFetched, "h/f.htm", kKindHtml);
    AddRow("http://h/i.gif", kStatusGrabbed, "h/i.gif", kKindImage);
    const int32_t gone = AddRow("http://h/gone.htm", kStatusGrabbed, "h/gone.htm", kKindHtml);
    WriteFile(dir_ / "h/t.htm", "<a href=\"p.htm\">back</a>");
    WriteFile(dir_ / "h/f.htm", "<a href=\"t.htm\">untouched</a>");
    WriteFile(dir_ / "h/i.gif", "<a href=\"t.htm\">not a page</a>");
    WriteFile(dir_ / "in.htm", "<a href=\"t.htm\">t</a>");
    ASSERT_TRUE(
        FixPageFile(dir_ / "in.htm", dir_ / "h/p.htm", store(), "h/p.htm", "http://h/p.htm", ""));
    store().SetStatus(target, 0);

    ASSERT_EQ(engine_->Refix(), S_OK);
    EXPECT_EQ(ReadFile(dir_ / "h/p.htm"),
              FixedPageHeader("http://h/p.htm") + "<a href=\"http://h/t.htm\">t</a>");
    EXPECT_EQ(ReadFile(dir_ / "h/f.htm"), "<a href=\"t.htm\">untouched</a>");
    EXPECT_EQ(ReadFile(dir_ / "h/i.gif"), "<a href=\"t.htm\">not a page</a>");
    // Statuses stay; only grabbed pages are rewritten and announced, one
    // whose file is missing too (nothing is made for it).
    UrlRecord row;
    store().Load(target, &row);
    EXPECT_EQ(row.status, 0);
    EXPECT_EQ(events_->Take(), (Events{{kOnGrabUrlDone, page}, {kOnGrabUrlDone, gone}}));
    EXPECT_FALSE(platform::FileExists(dir_ / "h/gone.htm"));
}

TEST_F(DizozizLinksTest, GetInternetFileRestoresPagesAndNamesOtherFiles) {
    AddRow("http://h/p.htm", kStatusGrabbed, "h/p.htm", kKindHtml);
    AddRow("http://h/d/t.htm", kStatusGrabbed, "h/d/t.htm", kKindHtml);
    AddRow("http://h/i.gif", kStatusGrabbed, "h/i.gif", kKindImage);
    WriteFile(dir_ / "h/i.gif", "GIF");
    WriteFile(dir_ / "in.htm", "<a href=\"d/t.htm\">t</a><img src=\"i.gif\">");
    ASSERT_TRUE(
        FixPageFile(dir_ / "in.htm", dir_ / "h/p.htm", store(), "h/p.htm", "http://h/p.htm", ""));
    const std::string stored = ReadFile(dir_ / "h/p.htm");

    for (bool from_get_url : {true, false}) {
        ComPtr<IDizozizUrl> url;
        if (from_get_url) {
            ASSERT_EQ(engine_->GetUrl("http://h/p.htm", url.Receive()), S_OK);
        } else {
            ASSERT_EQ(engine_->ReadUrl(1, url.Receive()), S_OK);
        }
        std::string file;
        int32_t delete_file = -1;
        ASSERT_EQ(url->GetInternetFile("http://h/p.htm", &file, &delete_file), S_OK);
        EXPECT_EQ(delete_file, 1);
        EXPECT_EQ(ReadFile(file), FixedPageHeader("http://h/p.htm") +
                                      "<a href=\"d/t.htm\">t</a><img src=\"i.gif\">");
        EXPECT_TRUE(platform::RemoveFile(file));
        EXPECT_EQ(ReadFile(dir_ / "h/p.htm"), stored);

        ASSERT_EQ(url->GetInternetFile("http://h/i.gif", &file, &delete_file), S_OK);
        EXPECT_EQ(file, dir_ / "h/i.gif");
        EXPECT_EQ(delete_file, 0);

        std::string none = "unchanged";
        int32_t flag = 7;
        ASSERT_EQ(url->GetInternetFile("http://elsewhere/", &none, &flag), S_OK);
        EXPECT_EQ(none, "unchanged");
        EXPECT_EQ(flag, 7);
        EXPECT_EQ(url->GetInternetFile("http://h/p.htm", nullptr, &flag), E_POINTER);
    }
}

TEST_F(DizozizLinksTest, ClosedStorageIsReported) {
    ASSERT_EQ(engine_->Close(), S_OK);
    EXPECT_EQ(engine_->Refix(), DISP_E_EXCEPTION);
}

}  // namespace
}  // namespace fw

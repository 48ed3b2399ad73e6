#include "engine/content/link_extractor.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/content/link_test_project.h"
#include "engine/filter/filter.h"
#include "engine/store/filter_sets.h"
#include "tests/support/log_capture.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

constexpr char kPageUrl[] = "http://h/d/p.htm";
constexpr char kPrefix[] = "http://h/d/";

class ExtractTest : public ::testing::Test {
  protected:
    void SetUp() override { page_ = project_.Add(Row(kPageUrl).Level(1).File("h/d/p.htm")); }

    // Through ExtractLinks, or (two_step_) the way a grab parses a page: the
    // links found first, without the store, then recorded.
    std::vector<PendingChild> Extract(const std::string& html, int32_t levels = 3,
                                      const ExtractOptions& options = {}, int32_t filter_id = 0) {
        project_.Write("h/d/p.htm", html);
        if (two_step_) {
            const FoundLinks found = FindLinksInText(html, kPageUrl, options);
            EXPECT_TRUE(found.complete);
            auto guard = project_.store.Lock();
            return RecordLinks(found, page_, levels, project_.store, filter_id, kAuthId, options);
        }
        auto guard = project_.store.Lock();
        return ExtractLinks(project_.PathOf("h/d/p.htm"), page_, levels, project_.store, kPageUrl,
                            filter_id, kAuthId, options);
    }

    // Every waiting queue entry by URL id.
    std::map<int32_t, QueueEntry> Queue() {
        std::map<int32_t, QueueEntry> entries;
        ProjectStore::QueueWalker walker(&project_.store);
        for (uint32_t row = walker.First(); row; row = walker.Next()) {
            QueueEntry entry;
            project_.store.QueueEntryAt(row, &entry);
            entries[entry.url_id] = entry;
        }
        return entries;
    }

    // One line per child of the page: its URL (short when below the page's
    // directory), LEVEL/MINLEVEL, its queue levels (or "-" when not queued)
    // and its place in the pending list ("page", "resource" or "-").
    std::vector<std::string> Children(const std::vector<PendingChild>& pending) {
        std::map<int32_t, QueueEntry> queue = Queue();
        std::vector<std::string> lines;
        for (int32_t id : project_.store.PlainChildren(page_, false)) {
            UrlRecord row;
            project_.store.Load(id, &row);
            std::string url = row.url;
            if (url.starts_with(kPrefix)) url = url.substr(sizeof kPrefix - 1);
            std::string line =
                url + " L" + std::to_string(row.level) + "/" + std::to_string(row.min_level);
            auto queued = queue.find(id);
            line += queued == queue.end() ? " q-" : " q" + std::to_string(queued->second.levels);
            std::string wait = " -";
            for (const PendingChild& child : pending) {
                if (child.id == id) wait = child.page ? " page" : " resource";
            }
            lines.push_back(line + wait);
        }
        return lines;
    }

    static constexpr int32_t kAuthId = 9;
    TestProject project_;
    int32_t page_ = 0;
    bool two_step_ = false;
};

// The tests that run both ways of parsing.
class ExtractBothWaysTest : public ExtractTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        ExtractTest::SetUp();
        two_step_ = GetParam();
    }
};
INSTANTIATE_TEST_SUITE_P(Ways, ExtractBothWaysTest, ::testing::Bool());

struct ConstructCase {
    const char* html;
    std::vector<std::string> children;
};

class ExtractConstructTest
    : public ExtractTest,
      public ::testing::WithParamInterface<std::tuple<ConstructCase, bool>> {};

// The page is on level 1 with 3 levels left: page links go one level deeper
// with 2 levels, frames keep 3, resources stay on level 1 with 1 level.
TEST_P(ExtractConstructTest, TakesTheLinksOfEachConstruct) {
    const ConstructCase& c = std::get<0>(GetParam());
    two_step_ = std::get<1>(GetParam());
    const auto pending = Extract(c.html);
    EXPECT_THAT(Children(pending), UnorderedElementsAreArray(c.children)) << c.html;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Constructs, ExtractConstructTest, ::testing::Combine(::testing::Values(
    ConstructCase{"<a href=\"x.htm\">X</a>", {"x.htm L2/0 q2 page"}},
    ConstructCase{"<A HREF='s.htm'>S</A> <a href=b%20c.htm>B</a>",
                  {"s.htm L2/0 q2 page", "b%20c.htm L2/0 q2 page"}},
    ConstructCase{"<a href=\" my page.htm \">M</a> <a href=\"q.htm?a=1&amp;b=2\">Q</a>",
                  {"my%20page.htm L2/0 q2 page", "q.htm?a=1&b=2 L2/0 q2 page"}},
    ConstructCase{"<a href=\"#top\">T</a><a href=\"javascript:void(0)\">V</a><a href=\"\">E</a>", {}},
    ConstructCase{"<a href=\"javascript:window.open('w.htm')\">W</a>", {"w.htm L2/0 q2 page"}},
    ConstructCase{"<a href=\"x.htm\" onclick=\"go('y.htm'); show('img/z.gif', 'a b.gif')\">X</a>",
                  {"x.htm L2/0 q2 page", "y.htm L2/0 q2 page", "img/z.gif L1/1 q1 resource"}},
    ConstructCase{"<area shape=rect href=\"map.htm\">", {"map.htm L2/0 q2 page"}},
    ConstructCase{"<a href=\"mailto:me@h\">mail</a><a href=\"tel:123\">t</a>",
                  {"mailto:me@h L2/0 q- -"}},
    ConstructCase{"<img src=\"i.gif\" alt=\"I\"><img src=\"data:image/png;base64,AAAA\">",
                  {"i.gif L1/1 q1 resource"}},
    ConstructCase{"<embed src=\"e.swf\"><input type=image src=\"in.gif\"><bgsound src=\"s.wav\">",
                  {"e.swf L1/1 q1 resource", "in.gif L1/1 q1 resource", "s.wav L1/1 q1 resource"}},
    ConstructCase{"<frameset><frame src=\"f.htm\"><iframe src=\"i.htm\"></iframe></frameset>",
                  {"f.htm L2/0 q3 page", "i.htm L2/0 q3 page"}},
    ConstructCase{"<body background=\"bg.gif\"><table background='t.gif'><th background=\"th.gif\">",
                  {"bg.gif L1/1 q1 resource", "t.gif L1/1 q1 resource"}},
    ConstructCase{"<link rel=stylesheet type=\"text/css\" href=\"Css/Site.css\">"
                  "<link rel=icon type=\"image/x-icon\" href=\"fav.ico\">"
                  "<link rel=next type=\"text/html\" href=\"n.htm\"><link href=\"untyped.htm\">",
                  {"Css/Site.css L1/1 q1 resource", "fav.ico L1/1 q1 resource"}},
    ConstructCase{"<meta http-equiv=\"refresh\" content=\"0; url=r.htm\">"
                  "<meta http-equiv='refresh' content=\"0; url=single.htm\">",
                  {"r.htm L2/0 q2 page"}},
    ConstructCase{"<script>var a = \"img/s.gif\"; var p = 'next.htm'; var n = \"a b.gif\";"
                  " var w = 'word';</script><style>x { }</style>",
                  {"img/s.gif L1/1 q1 resource", "next.htm L2/0 q2 page"}},
    ConstructCase{"<param name=movie value=\"m.swf\"><param name=x value=\"y.txt\">",
                  {"m.swf L1/1 q1 resource"}},
    ConstructCase{"<!-- <a href=\"c.htm\">C</a> <img src=\"c.gif\"> -->", {}},
    ConstructCase{"<applet code=\"Main\" codebase=\"classes/\" width=1></applet>"
                  "<applet code=\"lib/Tool.class\"></applet>",
                  {"classes/Main.class L1/1 q1 resource", "lib/Tool.class L1/1 q1 resource"}},
    ConstructCase{"<object codebase=\"ob/x.cab\" classid=\"c\"></object>", {"ob/x.cab L1/1 q1 resource"}},
    ConstructCase{"<form action=\"post.cgi\"><input name=q></form>", {}},
    ConstructCase{"<a href=\"http://other/o.htm\">O</a><a href=\"ftp://f/file.zip\">F</a>",
                  {"http://other/o.htm L2/0 q2 page", "ftp://f/file.zip L2/0 q2 page"}},
    // Pages of today: every candidate of a source set, media and their
    // posters, object data, lazy-loading attributes.
    ConstructCase{"<img srcset=\"s1.jpg 1x, img/s2.jpg 2x\" src=\"s.jpg\">"
                  "<picture><source srcset=\"p.webp 480w,\n p2.webp 800w\"></picture>",
                  {"s1.jpg L1/1 q1 resource", "img/s2.jpg L1/1 q1 resource", "s.jpg L1/1 q1 resource",
                   "p.webp L1/1 q1 resource", "p2.webp L1/1 q1 resource"}},
    ConstructCase{"<img src=\"ph.gif\" data-src=\"lazy.jpg\""
                  " data-srcset=\"lazy2.jpg 2x, data:image/png;base64,AA== 1x\">",
                  {"ph.gif L1/1 q1 resource", "lazy.jpg L1/1 q1 resource", "lazy2.jpg L1/1 q1 resource"}},
    ConstructCase{"<video poster=\"v.jpg\" src=\"v.mp4\"><source src=\"v.webm\"><track src=\"v.vtt\"></video>"
                  "<audio src=\"a.mp3\"></audio><object data=\"o.pdf\" type=\"application/pdf\"></object>",
                  {"v.jpg L1/1 q1 resource", "v.mp4 L1/1 q1 resource", "v.webm L1/1 q1 resource",
                   "v.vtt L1/1 q1 resource", "a.mp3 L1/1 q1 resource", "o.pdf L1/1 q1 resource"}},
    // Link tags whose rel names a file the page needs, whatever their type.
    ConstructCase{"<link rel=\"stylesheet\" href=\"s.css\"><link rel=\"Shortcut Icon\" href=\"F.ico\">"
                  "<link rel=apple-touch-icon href=t.png><link rel=\"preload\" as=font href=\"f.woff2\">"
                  "<link rel=modulepreload href=m.js><link rel=\"alternate stylesheet\" href=alt.css>"
                  "<link rel=canonical href=c.htm><link rel=\"stylesheets\" href=\"no.css\">",
                  {"s.css L1/1 q1 resource", "F.ico L1/1 q1 resource", "t.png L1/1 q1 resource",
                   "f.woff2 L1/1 q1 resource", "m.js L1/1 q1 resource", "alt.css L1/1 q1 resource"}},
    // Style sheet text in a page: every url() and imported name.
    ConstructCase{"<style>@import \"i.css\"; @import url(u.css);\n.a{background:url(a.png)}"
                  " .b{background:url('b.png'),url(\"c.png\")} .d{x:url(data:image/gif;base64,R0=)}"
                  " .e{filter:url(#f)}</style>",
                  {"i.css L1/1 q1 resource", "u.css L1/1 q1 resource", "a.png L1/1 q1 resource",
                   "b.png L1/1 q1 resource", "c.png L1/1 q1 resource"}},
    ConstructCase{"<div style=\"background:url(d.png)\"></div><p style='x:url(\"e.png\")'>"
                  "<a href=\"x.htm\" style=\"background:url(f.png)\">X</a>",
                  {"d.png L1/1 q1 resource", "e.png L1/1 q1 resource", "x.htm L2/0 q2 page",
                   "f.png L1/1 q1 resource"}}), ::testing::Bool()));
// clang-format on

TEST_F(ExtractTest, BaseTagChangesTheBaseForLaterLinksOnly) {
    const auto pending = Extract(
        "<a href=\"before.htm\">B</a><base href=\"http://o/base/\" target=_top>"
        "<a href=\"after.htm\">A</a><img src=\"../i.gif\">");
    EXPECT_THAT(Children(pending), UnorderedElementsAre("before.htm L2/0 q2 page",
                                                        "http://o/base/after.htm L2/0 q2 page",
                                                        "http://o/i.gif L1/1 q1 resource"));
}

TEST_F(ExtractTest, LastLevelMarksPageLinksInsteadOfQueueingThem) {
    const int32_t own = project_.Add(Row("http://h/d/own.htm").Level(2).Status(0));
    project_.store.SetLevels(own, 4);
    const auto pending = Extract(
        "<a href=\"x.htm\">X</a><a href=\"own.htm\">O</a><frame src=\"f.htm\">"
        "<meta http-equiv=\"refresh\" content=\"5;URL=r.htm\"><img src=\"i.gif\">",
        /*levels=*/1);
    EXPECT_THAT(
        Children(pending),
        UnorderedElementsAre("x.htm L2/0 q- page", "own.htm L2/0 q4 page", "f.htm L2/0 q1 page",
                             "r.htm L2/0 q- page", "i.gif L1/1 q1 resource"));
}

TEST_F(ExtractTest, ChildSettingsAndFiltersDecideWhatIsQueued) {
    FilterSet set;
    set.filters.push_back(DecodeFilter('U', "EIPprivate"));
    set.filters.push_back(DecodeFilter('Z', "IIP.gif,.htm"));
    {
        auto guard = project_.store.Lock();
        SaveFilterSet(project_.store, page_, &set, false);
    }
    const int32_t never = project_.Add(Row("http://h/d/never.htm").Level(2).Status(0));
    project_.store.SetLevels(never, -2);
    const int32_t filtered = project_.Add(Row("http://h/d/own.htm").Level(2).Status(0));
    project_.store.SetFilterId(filtered, 77);

    Extract(
        "<a href=\"private/a.htm\">P</a><a href=\"never.htm\">N</a><a href=\"own.htm\">O</a>"
        "<img src=\"ok.gif\"><img src=\"no.png\"><img src=\"private/x.gif\">",
        3, {}, set.id);
    std::map<int32_t, QueueEntry> queue = Queue();
    std::map<std::string, int32_t> queued_filter;
    for (const auto& [id, entry] : queue) {
        UrlRecord row;
        project_.store.Load(id, &row);
        queued_filter[row.url.substr(sizeof kPrefix - 1)] = entry.filter_id;
        EXPECT_EQ(entry.parent_id, page_);
        EXPECT_EQ(entry.auth_id, kAuthId);
    }
    EXPECT_EQ(queued_filter, (std::map<std::string, int32_t>{{"own.htm", 77}, {"ok.gif", set.id}}));
    // Filtered links are still recorded as the page's children.
    EXPECT_EQ(project_.store.PlainChildren(page_, false).size(), 6u);
}

TEST_F(ExtractTest, PendingListWaitsForEveryChildThatWillStillFinish) {
    const auto child = [&](const char* name, char status) {
        const int32_t id = project_.Add(Row(std::string(kPrefix) + name).Level(2).Status(0));
        QueueEntry entry;
        entry.url_id = id;
        entry.level = 2;
        entry.levels = 1;
        const auto queued = project_.store.QueueAppendUnlessQueued(entry);
        if (status == '1') project_.store.QueueMarkTaken(queued.row);
        if (status == '2') project_.store.QueueMarkDone(queued.row);
        return id;
    };
    const int32_t waiting = child("waiting.htm", '0');
    const int32_t taken = child("taken.htm", '1');
    child("done.htm", '2');
    child("done.gif", '2');

    const auto pending = Extract(
        "<a href=\"waiting.htm\">W</a><a href=\"taken.htm\">T</a><a href=\"done.htm\">D</a>"
        "<img src=\"done.gif\"><a href=\"p.htm\">self</a><img src=\"p.htm\">"
        "<a href=\"new.htm\">N</a><a href=\"new.htm\">again</a><img src=\"new.htm\">");
    const int32_t fresh = project_.store.FindByUrl("http://h/d/new.htm");
    std::map<int32_t, bool> got;
    for (const PendingChild& c : pending) {
        EXPECT_TRUE(got.emplace(c.id, c.page).second) << "twice: " << c.id;
    }
    EXPECT_EQ(got, (std::map<int32_t, bool>{{waiting, true}, {taken, true}, {fresh, false}}));
}

TEST_F(ExtractTest, BeyondTheLevelLimitSkipsChildrenAlreadyDone) {
    const int32_t done = project_.Add(Row("http://h/d/done.htm").Level(2).Status(0));
    QueueEntry entry;
    entry.url_id = done;
    project_.store.QueueMarkDone(project_.store.QueueAppendUnlessQueued(entry).row);
    const auto pending = Extract("<a href=\"done.htm\">D</a><a href=\"later.htm\">L</a>", 1);
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].id, project_.store.FindByUrl("http://h/d/later.htm"));
    EXPECT_TRUE(pending[0].page);
}

TEST_F(ExtractTest, OptionsNarrowWhatIsTaken) {
    ExtractOptions preview;
    preview.pages_only = true;
    EXPECT_THAT(Children(Extract("<a href=\"x.htm\" onclick=\"go('y.gif')\">X</a>"
                                 "<a href=\"ftp://f/a.htm\">F</a><img src=\"i.gif\">"
                                 "<body background=\"b.gif\"><script>s = 'img/s.gif';</script>"
                                 "<link rel=s type=text/css href=s.css>"
                                 "<link rel=stylesheet href=r.css><img srcset=\"s.jpg\">"
                                 "<div style=\"background:url(d.png)\"><video poster=p.jpg>",
                                 3, preview)),
                UnorderedElementsAre("x.htm L2/0 q2 page", "ftp://f/a.htm L2/0 q- -"));
}

TEST_F(ExtractTest, ErrorPageIgnoresScriptStringsOnly) {
    ExtractOptions error_page;
    error_page.page_is_error = true;
    EXPECT_THAT(Children(Extract("<script>s = 'img/s.gif';</script><img src=\"i.gif\">"
                                 "<a href=\"home.htm\">Home</a>",
                                 3, error_page)),
                UnorderedElementsAre("i.gif L1/1 q1 resource", "home.htm L2/0 q2 page"));
}

TEST_F(ExtractTest, PageOrderQueuesResourcesBeforePagesOfTheirDepth) {
    ExtractOptions order;
    order.page_order = true;
    Extract("<a href=\"x.htm\">X</a><img src=\"i.gif\">", 3, order);
    std::map<std::string, int32_t> min_level;
    for (const auto& [id, entry] : Queue()) {
        UrlRecord row;
        project_.store.Load(id, &row);
        min_level[row.url] = entry.min_level;
    }
    EXPECT_EQ(min_level,
              (std::map<std::string, int32_t>{{"http://h/d/x.htm", 1}, {"http://h/d/i.gif", 0}}));
}

TEST_P(ExtractBothWaysTest, AnchorTextBecomesTheTitleOfPagesWithoutOne) {
    const int32_t titled = project_.Add(Row("http://h/d/titled.htm").Level(2).Status(0));
    project_.store.SetTitle(titled, "Kept");
    const std::string long_text(100, 'w');
    Extract(
        "<a href=\"a.htm\">  Some <b>bold</b>\n\t text &amp; more </a>"
        "<a href=\"img.htm\"><img src=\"i.gif\" alt=\"Home\"></a>"
        "<a href=\"titled.htm\">New</a>"
        "<a href=\"long.htm\">" +
        long_text +
        "</a>"
        "<a href=\"#top\">Top</a>"
        "<a href=\"empty.htm\"></a>"
        "<a href=\"javascript:go()\">Script</a>"
        "<a href=\"same.htm\"><img src=\"same.htm\">Same</a>");
    const auto title = [&](const char* name) {
        return project_.store.Title(project_.store.FindByUrl(std::string(kPrefix) + name));
    };
    EXPECT_EQ(title("a.htm"), "Some bold text & more");
    EXPECT_EQ(title("img.htm"), "Home");
    EXPECT_EQ(title("titled.htm"), "Kept");
    EXPECT_EQ(title("long.htm"), long_text.substr(0, 64));
    EXPECT_EQ(title("empty.htm"), "");
    EXPECT_EQ(title("same.htm"), "Same");
}

TEST_F(ExtractTest, APageWithMoreLinksThanTheListHoldsIsMarked) {
    std::string html;
    for (size_t i = 0; i <= kMaxFoundLinks; ++i) html += "<a href=p" + std::to_string(i) + ">x</a>";
    const FoundLinks found = FindLinksInText(html, kPageUrl, {});
    EXPECT_FALSE(found.complete);
    EXPECT_EQ(found.links.size(), kMaxFoundLinks);
    EXPECT_TRUE(FindLinksInText("<a href=a>A</a>", kPageUrl, {}).complete);
}

TEST_F(ExtractTest, WritesTheTwoLogLines) {
    fwtest::LogCapture log;
    Extract("<a href=\"x.htm\">X</a>");
    const std::string id = std::to_string(page_);
    EXPECT_THAT(log.Lines(), ElementsAre(id + " - parsing", id + " - done parsing"));
}

TEST_F(ExtractTest, HostileInputRecordsWhatItCanAndStaysBounded) {
    std::string html = "<a href=\"ok.htm\">";
    html += std::string(3 * 1024 * 1024, 'x');  // anchor text without an end
    html += std::string("\0<a href=\"\xff\xfe.htm\">", 18);
    html += "<applet code=\"" + std::string(200000, 'c');
    html += "<img src=" + std::string(5000, '/') + "\n";
    const auto pending = Extract(html);
    EXPECT_NE(project_.store.FindByUrl("http://h/d/ok.htm"), 0);
    // The scan went on past the endless anchor text: the next link is a
    // child too (its bytes that are not text dropped), and the applet and
    // image values that never end add nothing.
    std::vector<std::string> urls;
    project_.store.ForEachUrl([&](const UrlRecord& r) {
        urls.push_back(r.url);
        EXPECT_LE(project_.store.Title(r.id).size(), 64u) << r.url;
        return true;
    });
    EXPECT_THAT(urls, ElementsAre("http://h/d/p.htm", "http://h/d/ok.htm", "http://h/d/.htm"));
    EXPECT_EQ(pending.size(), 2u);
}

TEST_F(ExtractTest, MissingFileOrPageGivesNoChildren) {
    auto guard = project_.store.Lock();
    EXPECT_THAT(
        ExtractLinks(project_.PathOf("nothing.htm"), page_, 3, project_.store, kPageUrl, 0, 0, {}),
        IsEmpty());
    project_.Write("other.htm", "<a href=\"x.htm\">X</a>");
    EXPECT_THAT(
        ExtractLinks(project_.PathOf("other.htm"), 999, 3, project_.store, kPageUrl, 0, 0, {}),
        IsEmpty());
    EXPECT_EQ(project_.store.FindByUrl("http://h/d/x.htm"), 0);
}

}  // namespace
}  // namespace fw

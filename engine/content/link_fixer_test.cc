#include "engine/content/link_fixer.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/content/link_test_project.h"
#include "platform/file_ops.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;

std::string Fixture(const std::string& name) {
    return fwtest::ReadFile(std::string(FW_SOURCE_DIR) + "/tests/fixtures/links/" + name);
}

// A project on host h: the page d/p.htm and what it links to, in every
// state the Fix step tells apart.
class FixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        project_.Add(Row("http://h/d/p.htm").File("h/d/p.htm"));
        project_.Add(Row("http://h/d/b/c.htm").Level(2).File("h/d/b/c.htm"));
        project_.Add(Row("http://h/x/y.htm").Level(2).File("h/x/y.htm"));
        project_.Add(Row("http://h/d/f.htm").Level(2).Status(fwtest::kFetched).File("h/d/f.htm"));
        project_.Add(Row("http://h/d/gone.htm").Level(2).Status(0));
        project_.Add(Row("http://h/d/err.htm").Level(2).Error(404).File("h/d/err.htm"));
        project_.Add(Row("http://h/d/err.gif").MinLevel(1).Error(404).File("h/d/err.gif").Kind(3));
        const int32_t r302 =
            project_.Add(Row("http://h/d/r302.htm").Level(2).Error(302).File("h/d/r302.htm"));
        project_.Add(Row("http://h/t/target.htm").Level(3).File("h/t/target.htm"), r302);
        const int32_t r301 =
            project_.Add(Row("http://h/d/r301.htm").Level(2).Error(301).File("h/d/r301.htm"));
        project_.Add(Row("http://h/t/moved.htm").Level(3).File("h/t/moved.htm"), r301);
        project_.Add(Row("http://h/d/my%20page.htm").Level(2).File("h/d/my page.htm"));
        project_.Add(Row("http://h/d/i.gif").MinLevel(1).File("h/d/i.gif").Kind(3));
        project_.Add(Row("http://h/d/missing.gif").MinLevel(1).Status(0));
        project_.Add(Row("http://h/d/bg.gif").MinLevel(1).File("h/d/bg.gif").Kind(3));
        project_.Add(Row("http://h/d/site.css").MinLevel(1).File("h/d/site.css").Kind(7));
        project_.Add(Row("http://h/d/classes/Main.class")
                         .MinLevel(1)
                         .File("h/d/classes/Main.class")
                         .Kind(4));
        project_.Add(Row("http://h/d/Tool.class").MinLevel(1).File("h/lib/Tool.class").Kind(4));
        project_.Add(Row("http://h/d/img/photo.jpg").MinLevel(1).File("h/pics/photo.jpg").Kind(3));
        project_.Add(Row("http://h/d/%2Cc.jpg").MinLevel(1).File("h/d/,c.jpg").Kind(3));
    }

    // Fixes `html` as the page h/d/p.htm and returns the page written.
    std::string Fix(const std::string& html, const std::string& edge_file = "") {
        project_.Write("in.htm", html);
        EXPECT_TRUE(FixPageFile(project_.PathOf("in.htm"), project_.PathOf("h/d/p.htm"),
                                project_.store, "h/d/p.htm", "http://h/d/p.htm", edge_file));
        return project_.Read("h/d/p.htm");
    }

    // The page written for `html`, without the two header lines.
    std::string FixBody(const std::string& html, const std::string& edge_file = "") {
        const std::string page = Fix(html, edge_file);
        const std::string header = FixedPageHeader("http://h/d/p.htm");
        EXPECT_EQ(page.substr(0, header.size()), header);
        return page.substr(std::min(page.size(), header.size()));
    }

    TestProject project_;
};

TEST_F(FixTest, RewritesEveryKindOfLinkOfAPage) {
    EXPECT_EQ(Fix(Fixture("page.html")), Fixture("page.fixed.html"));
}

struct LinkCase {
    const char* html;
    const char* fixed;
};

class FixLinkTest : public FixTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(FixLinkTest, WritesTheLinkForItsTarget) {
    EXPECT_EQ(FixBody(GetParam().html), GetParam().fixed);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Links, FixLinkTest, ::testing::Values(
    // stored pages by relative path, from the page's directory
    LinkCase{"<a href=\"b/c.htm\">", "<a href=\"b/c.htm\">"},
    LinkCase{"<a href=\"http://h/x/y.htm#f\">", "<a href=\"../x/y.htm#f\">"},
    // not stored: absolute
    LinkCase{"<a href=\"../d/gone.htm?q=1#s\">", "<a href=\"http://h/d/gone.htm?q=1#s\">"},
    LinkCase{"<a href=\"other.htm\">", "<a href=\"http://h/d/other.htm\">"},
    // a redirect on a lower level, permanent or not, stands for its target
    LinkCase{"<a href=\"r302.htm\">", "<a href=\"../t/target.htm\">"},
    LinkCase{"<a href=\"r301.htm\">", "<a href=\"../t/moved.htm\">"},
    // written as decoded, trimmed and escaped when not a web link
    LinkCase{"<a href=\" mailto:me@h?a=1&amp;b=2 \">", "<a href=\"mailto:me@h?a=1&b=2\">"},
    LinkCase{"<a href=\"tel:+1 23\">", "<a href=\"tel:+1%2023\">"},
    LinkCase{"<a href=\"#top\">", "<a href=\"#top\">"},
    // resources: the stored file, else the web; a background is dropped
    LinkCase{"<img src=\"missing.gif\">", "<img src=\"http://h/d/missing.gif\">"},
    LinkCase{"<img src=\"err.gif\">", "<img src=\"http://h/d/err.gif\">"},
    LinkCase{"<body background=\"missing.gif\">", "<body background=\"\">"},
    LinkCase{"<body background=\"data:image/gif;base64,R0lG\">",
             "<body background=\"data:image/gif;base64,R0lG\">"},
    LinkCase{"<img src=data:image/gif;base64,R0lG>", "<img src=data:image/gif;base64,R0lG>"},
    // forms keep posting to the web
    LinkCase{"<form method=post action=\"/cgi/post\">", "<form method=post action=\"http://h/cgi/post\">"},
    // a base tag goes, and links after it resolve against it
    LinkCase{"<a href=\"b/c.htm\">1</a><base href=\"http://h/x/\"><a href=\"y.htm\">2</a>",
             "<a href=\"b/c.htm\">1</a><a href=\"../x/y.htm\">2</a>"},
    // meta refresh: the stored page, else the web
    LinkCase{"<meta http-equiv=\"Refresh\" content=\"0; URL=b/c.htm\">",
             "<meta http-equiv=\"Refresh\" content=\"0; URL=b/c.htm\">"},
    LinkCase{"<meta http-equiv=\"refresh\" content=\"0; url=gone.htm\">",
             "<meta http-equiv=\"refresh\" content=\"0; url=http://h/d/gone.htm\">"},
    LinkCase{"<meta name=\"keywords\" content=\"a, b\">", "<meta name=\"keywords\" content=\"a, b\">"},
    // link tags: the stored file, else the web, case kept
    LinkCase{"<LINK REL=x HREF='site.css' TYPE=text/css>", "<LINK REL=x HREF='site.css' TYPE=text/css>"},
    LinkCase{"<link rel=next href=\"Gone.htm\">", "<link rel=next href=\"http://h/d/Gone.htm\">"},
    // script strings: pages like links, other files only when stored
    LinkCase{"<script>a = 'gone.htm'; b = \"missing.gif\"; c = \"b/c.htm\\\"; d = '../d/i.gif'</script>",
             "<script>a = 'gone.htm'; b = \"missing.gif\"; c = \"b/c.htm\\\"; d = 'i.gif'</script>"},
    LinkCase{"<a onmouseover=\"swap('i.gif', 'b/c.htm', 'word')\">",
             "<a onmouseover=\"swap('i.gif', 'b/c.htm', 'word')\">"},
    LinkCase{"<a onclick=\"go('gone.htm')\">", "<a onclick=\"go('http://h/d/gone.htm')\">"},
    // applets: codebase and code written together
    LinkCase{"<applet codebase=\"classes/\" code=\"Main\" width=1>",
             "<applet codebase=\"classes/\" code=\"Main.class\" width=1>"},
    LinkCase{"<applet code=Tool.class>", "<applet code=../lib/Tool.class>"},
    LinkCase{"<applet code=\"Gone\" codebase=\"http://o/j/\">",
             "<applet code=\"Gone.class\" codebase=\"http://o/j/\">"},
    LinkCase{"<object codebase=\"gone.cab\" classid=\"x\"></object>", "<object codebase=\"\" classid=\"x\"></object>"},
    // source sets: each candidate like an image, the rest as written
    LinkCase{"<img srcset=\"img/photo.jpg 1x,\n  missing.gif 2x, data:image/png;base64,AA== 3x\" src=i.gif>",
             "<img srcset=\"../pics/photo.jpg 1x,\n  http://h/d/missing.gif 2x, data:image/png;base64,AA== 3x\" src=i.gif>"},
    LinkCase{"<source srcset='%2Cc.jpg 2x,img/photo.jpg'>", "<source srcset='%2Cc.jpg 2x,../pics/photo.jpg'>"},
    LinkCase{"<img data-src=\"img/photo.jpg\" data-srcset=\"missing.gif\">",
             "<img data-src=\"../pics/photo.jpg\" data-srcset=\"http://h/d/missing.gif\">"},
    // media, posters and object data like images
    LinkCase{"<video poster=\"img/photo.jpg\" src=\"missing.gif\"><track src=\"img/photo.jpg\">",
             "<video poster=\"../pics/photo.jpg\" src=\"http://h/d/missing.gif\"><track src=\"../pics/photo.jpg\">"},
    LinkCase{"<object data=\"img/photo.jpg\" type=\"image/jpeg\">", "<object data=\"../pics/photo.jpg\" type=\"image/jpeg\">"},
    // style text: every reference, as one url() value even when absolute
    LinkCase{"<div style=\"background:url('img/photo.jpg') , url( missing.gif ), url(data:image/gif;base64,R0=)\">",
             "<div style=\"background:url(../pics/photo.jpg) , url(http://h/d/missing.gif), url(data:image/gif;base64,R0=)\">"},
    LinkCase{"<style>@import \"site.css\";@import url(gone.css);a{b:url(img/photo.jpg#x)} c{d:url(\"http://o/a b(1)'.png\")}</style>",
             "<style>@import \"site.css\";@import url(http://h/d/gone.css);a{b:url(../pics/photo.jpg#x)} c{d:url(http://o/a%20b%281%29%27.png)}</style>"}));
// clang-format on

TEST_F(FixTest, RelativePathsDependOnThePagesOwnDirectory) {
    project_.Write("in.htm", "<a href=\"http://h/d/b/c.htm\">");
    const struct {
        const char* current;
        const char* link;
    } cases[] = {{"h/d/a.htm", "b/c.htm"},
                 {"h/d/x/y.htm", "../b/c.htm"},
                 {"h/d/b/c.htm", "c.htm"},
                 {"top.htm", "h/d/b/c.htm"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(FixPageFile(project_.PathOf("in.htm"), project_.PathOf("out.htm"),
                                project_.store, c.current, "http://h/d/p.htm", ""));
        EXPECT_EQ(project_.Read("out.htm"),
                  FixedPageHeader("http://h/d/p.htm") + "<a href=\"" + c.link + "\">")
            << c.current;
    }
}

TEST_F(FixTest, EdgeLinksCarryTheWebAddressWithoutTheFragment) {
    EXPECT_EQ(
        FixBody("<a href=\"gone.htm#s\">g</a><a href=\"b/c.htm#t\">c</a><img src=\"missing.gif\">",
                "edge/edge.htm"),
        "<a href=\"../../edge/edge.htm?U=http://h/d/gone.htm\">g</a>"
        "<a href=\"b/c.htm#t\">c</a><img src=\"http://h/d/missing.gif\">");
}

TEST_F(FixTest, RedirectsAreFollowedAFewStepsOnly) {
    // r302 -> a -> b -> ... each a 302 on a lower level; the last one stored.
    int32_t parent =
        project_.Add(Row("http://h/d/chain.htm").Level(2).Error(302).File("h/d/chain.htm"));
    for (int i = 1; i <= 5; ++i) {
        const bool last = i == 5;
        parent = project_.Add(Row("http://h/d/hop" + std::to_string(i) + ".htm")
                                  .Level(2 + i)
                                  .Error(last ? 0 : 302)
                                  .File("h/d/hop" + std::to_string(i) + ".htm"),
                              parent);
    }
    EXPECT_EQ(FixBody("<a href=\"chain.htm\">"), "<a href=\"hop5.htm\">");
    // A resource gives up after two steps, and so does a start URL's redirect.
    EXPECT_EQ(FixBody("<img src=\"chain.htm\">"), "<img src=\"http://h/d/chain.htm\">");
    const int32_t start =
        project_.Add(Row("http://h/start.htm").Level(0).Error(302).File("h/start.htm"));
    project_.Add(Row("http://h/d/landing.htm").Level(1).File("h/d/landing.htm"), start);
    EXPECT_EQ(FixBody("<a href=\"../start.htm\">"), "<a href=\"../start.htm\">");
}

TEST_F(FixTest, UnsafeFileNamesAndAddressesStayOneValue) {
    project_.Add(Row("http://h/d/a%23b.htm").Level(2).File("h/d/it's #1 (100%).htm"));
    EXPECT_EQ(FixBody("<a href='a%23b.htm'>x</a><link rel=x href=\"a b.css\">"),
              "<a href='it%27s%20%231%20%28100%25%29.htm'>x</a>"
              "<link rel=x href=\"http://h/d/a%20b.css\">");
    const std::string page = Fix("", "");
    EXPECT_EQ(FixedPageHeader("http://h/--><script>x</script>"),
              "<html>\n<!-- http://h/%2D-><script>x</script> -->\n");
    EXPECT_NE(page.find("<!-- http://h/d/p.htm -->"), std::string::npos);
}

TEST_F(FixTest, HeldBackAppletWithoutAnEndIsStillWritten) {
    const std::string tail = std::string(100 * 1024, 'z');
    EXPECT_EQ(FixBody("<applet code=\"Main\" codebase=\"classes/\" " + tail),
              "<applet code=\"Main\" codebase=\"classes/\" " + tail);
    EXPECT_EQ(FixBody("<applet code=\"Main\" codebase=\"classes/\""),
              "<applet code=\"Main\" codebase=\"classes/\"");
}

// Whatever cannot be parsed is copied as it stands: a page that ends inside a
// value keeps every byte, also past the scanner's 1 MiB window, and so does a
// link too long for a URL.
TEST_F(FixTest, PageEndingInsideAValueKeepsEveryByte) {
    for (size_t tail_bytes : {size_t{8} * 1024, size_t{3} * 1024 * 1024}) {
        const std::string tail = "b/c.htm\n" + std::string(tail_bytes, 't');
        for (const char* open :
             {"<a href=\"", "<a href=", "<img src='", "<a onclick=\"go('", "<frame src=\"",
              "<td background=\"", "<img srcset=\"", "<div style=\"", "<applet code=\""}) {
            SCOPED_TRACE(open);
            const std::string page = std::string("<a href=\"b/c.htm\">c</a>") + open + tail;
            const std::string fixed = FixBody(page);
            ASSERT_EQ(fixed.size(), page.size());
            EXPECT_EQ(fixed, page);
        }
    }  // A link longer than a URL can hold is no link: it stays as written.
    const std::string long_link = "<a href=\"" + std::string(3000, 'x') + ".htm\">x</a>";
    EXPECT_EQ(FixBody(long_link), long_link);
}

TEST_F(FixTest, FailsWithoutTouchingTheTargetWhenTheSourceIsMissing) {
    project_.Write("h/d/p.htm", "stored");
    EXPECT_FALSE(FixPageFile(project_.PathOf("absent.htm"), project_.PathOf("h/d/p.htm"),
                             project_.store, "h/d/p.htm", "http://h/d/p.htm", ""));
    EXPECT_EQ(project_.Read("h/d/p.htm"), "stored");
    EXPECT_FALSE(FixPageFile(project_.PathOf("h/d/p.htm"), project_.PathOf("no/such/dir/p.htm"),
                             project_.store, "h/d/p.htm", "http://h/d/p.htm", ""));
}

}  // namespace
}  // namespace fw

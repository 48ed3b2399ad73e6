#include "engine/content/css_links.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/content/link_test_project.h"
#include "tests/support/log_capture.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr char kCssUrl[] = "http://h/css/site.css";

class CssTest : public ::testing::Test {
  protected:
    void SetUp() override {
        css_ = project_.Add(Row(kCssUrl).MinLevel(1).File("h/css/site.css").Kind(7));
    }

    std::vector<PendingChild> Extract(const std::string& css) {
        project_.Write("h/css/site.css", css);
        auto guard = project_.store.Lock();
        return ExtractCssLinks(project_.PathOf("h/css/site.css"), css_, 1, project_.store, kCssUrl,
                               0, 0, {});
    }

    // The URLs the style sheet links to.
    std::vector<std::string> Children() {
        std::vector<std::string> urls;
        for (int32_t id : project_.store.PlainChildren(css_, false)) {
            UrlRecord row;
            project_.store.Load(id, &row);
            urls.push_back(row.url + " L" + std::to_string(row.level) + "/" +
                           std::to_string(row.min_level));
        }
        return urls;
    }

    std::string Fix(const std::string& css) {
        project_.Write("in.css", css);
        EXPECT_TRUE(FixCssFile(project_.PathOf("in.css"), project_.PathOf("h/css/site.css"),
                               project_.store, "h/css/site.css", kCssUrl));
        return project_.Read("h/css/site.css");
    }

    TestProject project_;
    int32_t css_ = 0;
};

TEST_F(CssTest, TakesEveryReferenceAsAResourceOfTheStyleSheet) {
    const auto pending = Extract(
        "body { background: URL( \"../img/bg.gif\" ) }\n"
        "a { b: url(a.png) } p { c: url('q.png') } i { d: url(a.png) }\n"
        "@import \"other.css\";\n@import url(print.css);\n"
        "x { e: url(data:image/png;base64,AAAA) f: url(#filter) g: url() h: url( ) }\n"
        "y { i: url(unclosed.png }\n");
    EXPECT_THAT(Children(),
                UnorderedElementsAre("http://h/img/bg.gif L1/1", "http://h/css/a.png L1/1",
                                     "http://h/css/q.png L1/1", "http://h/css/other.css L1/1",
                                     "http://h/css/print.css L1/1"));
    EXPECT_EQ(pending.size(), 5u);
    for (const PendingChild& child : pending) EXPECT_FALSE(child.page);
}

TEST_F(CssTest, ALongLineIsReadWhole) {
    std::string css;
    for (int i = 0; i < 2000; ++i) css += ".c" + std::to_string(i) + "{color:red}";
    css += ".z{background:url(far.gif)}";
    ASSERT_GT(css.size(), 8191u);
    Extract(css);
    EXPECT_THAT(Children(), ElementsAre("http://h/css/far.gif L1/1"));
}

TEST_F(CssTest, WritesTheTwoLogLines) {
    fwtest::LogCapture log;
    Extract("a { b: url(a.png) }\n");
    const std::string id = std::to_string(css_);
    EXPECT_THAT(log.Lines(), ElementsAre(id + " - parsing(css)", id + " - done parsing(css)"));
}

TEST_F(CssTest, FixRewritesReferencesToStoredFilesAndEmptiesTheRest) {
    project_.Add(Row("http://h/img/bg.gif").MinLevel(1).File("h/img/bg.gif").Kind(3));
    project_.Add(Row("http://h/css/a.png").MinLevel(1).File("h/css/a png.png").Kind(3));
    project_.Add(Row("http://h/css/err.png").MinLevel(1).Error(404).File("h/css/err.png").Kind(3));
    const int32_t moved =
        project_.Add(Row("http://h/css/moved.png").Level(0).Error(302).File("h/css/moved.png"));
    project_.Add(Row("http://h/img/new.png").MinLevel(1).File("h/img/new.png").Kind(3), moved);

    EXPECT_EQ(Fix("body { background: URL( \"../img/bg.gif\" ) }\r\n"
                  "a { b: url(a.png) } p { c: url('gone.png') } i { d: url(a.png#x) }\n"
                  "\n"
                  "e { f: url(err.png) g: url(moved.png) h: url(data:image/png;base64,AA==) }\n"
                  "@import \"other.css\";\n"
                  "last { line: url(../img/bg.gif) }"),
              "/* http://h/css/site.css */\n"
              "body { background: URL(../img/bg.gif) }\r\n"
              "a { b: url(a%20png.png) } p { c: url() } i { d: url(a%20png.png#x) }\n"
              "\n"
              "e { f: url() g: url(../img/new.png) h: url(data:image/png;base64,AA==) }\n"
              "@import \"\";\n"
              "last { line: url(../img/bg.gif) }\n");
}

TEST_F(CssTest, FixOfAnEmptyOrMissingStyleSheet) {
    EXPECT_EQ(Fix(""), "/* http://h/css/site.css */\n");
    project_.Write("h/css/site.css", "kept");
    EXPECT_FALSE(FixCssFile(project_.PathOf("absent.css"), project_.PathOf("h/css/site.css"),
                            project_.store, "h/css/site.css", kCssUrl));
    EXPECT_EQ(project_.Read("h/css/site.css"), "kept");
}

}  // namespace
}  // namespace fw

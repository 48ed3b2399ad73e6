#include "engine/content/link_refixer.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/content/link_fixer.h"
#include "engine/content/link_test_project.h"

namespace fw {
namespace {

using fwtest::Row;
using fwtest::TestProject;

// A fixed page h/d/p.htm linking to stored pages on its own host and
// another, a stored image, and a file the project does not know.
class RefixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        page_ = project_.Add(Row("http://h/d/p.htm").File("h/d/p.htm"));
        sibling_ = project_.Add(Row("http://h/d/sub/s.htm?id=3").Level(2).File("h/d/sub/s.htm"));
        other_ = project_.Add(Row("http://o/x.htm").Level(2).File("o/x.htm"));
        image_ = project_.Add(Row("http://h/i.gif").MinLevel(1).File("h/i.gif").Kind(3));
        project_.Add(Row("http://h/d/my%20page.htm").Level(2).File("h/d/my page.htm"));
        project_.Write("h/stray.htm", "");
    }

    // Fixes `html` as the page, then runs `pass` over the stored page.
    std::string FixThen(const std::string& html) {
        project_.Write("in.htm", html);
        EXPECT_TRUE(FixPageFile(project_.PathOf("in.htm"), project_.PathOf("h/d/p.htm"),
                                project_.store, "h/d/p.htm", "http://h/d/p.htm", ""));
        return project_.Read("h/d/p.htm");
    }

    std::string Refix() {
        EXPECT_TRUE(
            RefixPageFile(project_.PathOf("h/d/p.htm"), project_.store, project_.data_dir()));
        return project_.Read("h/d/p.htm");
    }

    std::string Restore() {
        EXPECT_TRUE(RestorePageFile(project_.PathOf("h/d/p.htm"), project_.PathOf("copy.htm"),
                                    project_.store, project_.data_dir(), "http://h/d/p.htm"));
        return project_.Read("copy.htm");
    }

    TestProject project_;
    int32_t page_ = 0, sibling_ = 0, other_ = 0, image_ = 0;
};

constexpr char kPage[] =
    "<a href=\"sub/s.htm?id=3#k\">s</a>"
    "<a href=\"http://o/x.htm\">o</a>"
    "<a href=\"my page.htm\">m</a>"
    "<a href=\"http://w/web.htm\">w</a>"
    "<a href=\"#top\">t</a>"
    "<img src=\"/i.gif\">"
    "<a onclick=\"go('sub/s.htm?id=3')\">e</a>"
    "<meta http-equiv=\"refresh\" content=\"1; url=http://o/x.htm\">";

TEST_F(RefixTest, RefixPointsLinksToUngrabbedFilesBackToTheWeb) {
    const std::string fixed = FixThen(kPage);
    ASSERT_EQ(fixed, FixedPageHeader("http://h/d/p.htm") +
                         "<a href=\"sub/s.htm#k\">s</a>"
                         "<a href=\"../../o/x.htm\">o</a>"
                         "<a href=\"my%20page.htm\">m</a>"
                         "<a href=\"http://w/web.htm\">w</a>"
                         "<a href=\"#top\">t</a>"
                         "<img src=\"../i.gif\">"
                         "<a onclick=\"go('sub/s.htm')\">e</a>"
                         "<meta http-equiv=\"refresh\" content=\"1; url=../../o/x.htm\">");
    // Nothing changed: the page stays as it is.
    EXPECT_EQ(Refix(), fixed);

    project_.store.SetStatus(sibling_, 0);
    project_.store.SetStatus(other_, fwtest::kFetched);
    project_.store.SetStatus(project_.store.FindByUrl("http://h/d/my%20page.htm"), 0);
    project_.store.SetStatus(image_, 0);
    EXPECT_EQ(Refix(), FixedPageHeader("http://h/d/p.htm") +
                           "<a href=\"http://h/d/sub/s.htm?id=3#k\">s</a>"
                           "<a href=\"http://o/x.htm\">o</a>"
                           "<a href=\"http://h/d/my%20page.htm\">m</a>"
                           "<a href=\"http://w/web.htm\">w</a>"
                           "<a href=\"#top\">t</a>"
                           "<img src=\"http://h/i.gif\">"
                           "<a onclick=\"go('http://h/d/sub/s.htm?id=3')\">e</a>"
                           "<meta http-equiv=\"refresh\" content=\"1; url=http://o/x.htm\">");
}

TEST_F(RefixTest, RestoredCopyLinksToTheWebRelativeOnTheSameSite) {
    FixThen(kPage);
    project_.Write("h/d/p.htm", project_.Read("h/d/p.htm") +
                                    "<a href=\"../stray.htm\">f</a><img src=\"../stray.htm\">"
                                    "<script>x = \"../stray.htm\";</script>"
                                    "<body background=\"../stray.htm\">");
    const std::string stored = project_.Read("h/d/p.htm");
    EXPECT_EQ(Restore(), FixedPageHeader("http://h/d/p.htm") +
                             "<a href=\"sub/s.htm?id=3#k\">s</a>"
                             "<a href=\"http://o/x.htm\">o</a>"
                             "<a href=\"my%20page.htm\">m</a>"
                             "<a href=\"http://w/web.htm\">w</a>"
                             "<a href=\"#top\">t</a>"
                             "<img src=\"../i.gif\">"
                             "<a onclick=\"go('sub/s.htm?id=3')\">e</a>"
                             "<meta http-equiv=\"refresh\" content=\"1; url=http://o/x.htm\">"
                             "<a href=\"file:" +
                             project_.data_dir() +
                             "h/stray.htm\">f</a>"
                             "<img src=\"file:" +
                             project_.data_dir() +
                             "h/stray.htm\">"
                             "<script>x = \"../stray.htm\";</script>"
                             "<body background=\"\">");
    // The stored page and the statuses are left as they were.
    EXPECT_EQ(project_.Read("h/d/p.htm"), stored);
    UrlRecord row;
    project_.store.Load(sibling_, &row);
    EXPECT_EQ(row.status, fwtest::kGrabbed);
}

TEST_F(RefixTest, SourceSetsAndStyleTextGoBackToTheWebToo) {
    const std::string fixed = FixThen(
        "<img srcset=\"/i.gif 1x, http://w/web.gif 2x\">"
        "<div style=\"background:url('/i.gif'),url(http://w/web.gif)\">");
    ASSERT_EQ(fixed, FixedPageHeader("http://h/d/p.htm") +
                         "<img srcset=\"../i.gif 1x, http://w/web.gif 2x\">"
                         "<div style=\"background:url(../i.gif),url(http://w/web.gif)\">");
    EXPECT_EQ(Restore(), fixed);

    project_.store.SetStatus(image_, 0);
    EXPECT_EQ(Refix(), FixedPageHeader("http://h/d/p.htm") +
                           "<img srcset=\"http://h/i.gif 1x, http://w/web.gif 2x\">"
                           "<div style=\"background:url(http://h/i.gif),url(http://w/web.gif)\">");
}

// A page with a doctype keeps it first, so browsers do not fall back to
// quirks mode; a page fixed with the header before its doctype is repaired.
TEST_F(RefixTest, TheDoctypeStaysFirstAndOldHeadersMoveAfterIt) {
    const std::string fixed =
        FixThen("<!DOCTYPE html>\n<html><a href=\"sub/s.htm?id=3\">s</a></html>");
    EXPECT_EQ(fixed,
              "<!DOCTYPE html>\n<!-- http://h/d/p.htm -->\n<html><a href=\"sub/s.htm\">s</a></html>");
    EXPECT_EQ(Refix(), fixed);

    project_.Write("h/d/p.htm", FixedPageHeader("http://h/d/p.htm") + "<!DOCTYPE html>\n<html></html>");
    EXPECT_EQ(Refix(), "<!DOCTYPE html>\n<!-- http://h/d/p.htm -->\n<html></html>");
    project_.Write("h/d/p.htm", FixedPageHeader("http://h/d/p.htm") + "<!DOCTYPE html>\n<html></html>");
    EXPECT_EQ(Restore(), "<!DOCTYPE html>\n<!-- http://h/d/p.htm -->\n<html></html>");
}

TEST_F(RefixTest, UnreadablePagesFailAndLeaveTheTargetAlone) {
    project_.Write("copy.htm", "old");
    EXPECT_FALSE(RefixPageFile(project_.PathOf("none.htm"), project_.store, project_.data_dir()));
    EXPECT_FALSE(RestorePageFile(project_.PathOf("none.htm"), project_.PathOf("copy.htm"),
                                 project_.store, project_.data_dir(), "http://h/d/p.htm"));
    EXPECT_EQ(project_.Read("copy.htm"), "old");
}

}  // namespace
}  // namespace fw

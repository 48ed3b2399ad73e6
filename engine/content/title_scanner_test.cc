#include "engine/content/title_scanner.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace fw {
namespace {

TEST(TitleScanner, TakesTheFirstTitleAsWritten) {
    struct Case {
        const char* page;
        const char* title;
    } cases[] = {
        {"<html><head><title>My Page</title></head>", "My Page"},
        {"< TITLE\t>  Spaced  </TITLE>", "Spaced  "},  // blanks after ">" skipped, trailing kept
        {"<title>\n  Next line</title>", "Next line"},
        {"<title>First\nSecond</title>", "First"},      // a line feed ends it
        {"<title>A &amp; B\r</title>", "A &amp; B\r"},  // not decoded; CR is text
        {"<title>a > b</title>", "a > b"},
        {"<title>One</title><title>Two</title>", "One"},
        {"<title></title><title>Two</title>", ""},  // the first title decides
        {"<p>no title here</p>", ""},
        {"<titles>x</titles>", ""},
        {"<title>open to the end", "open to the end"},
        {"", ""},
    };
    TitleScanner scanner;  // one scanner for all: each scan starts afresh
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(scanner.ScanText(c.page), c.title);
    }
}

// Runs the generated tables would scan again and again (NUL bytes) or that
// keep the title's start open are skipped in linear time.
TEST(TitleScanner, HostileRunsBeforeTheTitleAreSkipped) {
    using namespace std::string_literals;
    for (const std::string& run : {"\0"s, "<"s, "< "s, "<tit"s, "\t"s}) {
        std::string page;
        while (page.size() < 1024 * 1024) page += run;
        SCOPED_TRACE(run);
        EXPECT_EQ(TitleScanner().ScanText(page + "<title>T</title>"), "T");
    }
    EXPECT_EQ(TitleScanner().ScanText("<title>A\0B</title>"s), "A");  // a NUL ends the title
}

TEST(TitleScanner, LongTitleIsCutWithoutSplittingACharacter) {
    std::string text(TitleScanner::kMaxTitleBytes - 1, 'a');
    text += "\xc3\xa9 and more";  // a two-byte character across the limit
    std::string title = TitleScanner().ScanText("<title>" + text + "</title>");
    EXPECT_EQ(title, std::string(TitleScanner::kMaxTitleBytes - 1, 'a'));

    // The title ends at the cut, even if a later piece would still fit.
    std::string broken(TitleScanner::kMaxTitleBytes - 2, '>');
    broken += "\xe2\x82\xac>>";  // a three-byte character across the limit, then more
    title = TitleScanner().ScanText("<title>" + broken + "</title>");
    EXPECT_EQ(title, std::string(TitleScanner::kMaxTitleBytes - 2, '>'));
}

TEST(TitleScanner, TitleOfReadsAStoredPage) {
    fwtest::TempDir dir;
    std::string page = std::string(50000, ' ') + "<TITLE>Deep</TITLE>";
    fwtest::WriteFile(dir / "p.htm", page);
    EXPECT_EQ(TitleOf(dir / "p.htm"), "Deep");
    EXPECT_EQ(TitleOf(dir / "missing.htm"), "");
}

}  // namespace
}  // namespace fw

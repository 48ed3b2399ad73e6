#include "engine/content/html_text.h"

#include <string>

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(HtmlText, DecodeEntitiesDecodesAmpersandThenNbspOnly) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a.htm?x=1&amp;y=2", "a.htm?x=1&y=2"},
        {"A&nbsp;B", "A B"},
        {"&amp;nbsp;", " "},  // decoded in that order
        {"&lt;&gt;&quot;&#32;", "&lt;&gt;&quot;&#32;"},
        {"&AMP; &amp", "&AMP; &amp"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeEntities(c.in), c.out) << c.in;
}

TEST(HtmlText, WhitespaceOperations) {
    EXPECT_EQ(SpacesToEscapes(" my page .htm"), "%20my%20page%20.htm");
    EXPECT_EQ(SpacesToEscapes("a\tb"), "a\tb");
    EXPECT_EQ(CollapseWhitespace(" a \t\r\n b\n"), " a b ");
    EXPECT_EQ(CollapseWhitespace("ab"), "ab");
    for (const char* s : {"a b", "a\tb", "a\rb", "a\nb"}) EXPECT_TRUE(HasWhitespace(s)) << s;
    EXPECT_FALSE(HasWhitespace("a\vb\fc"));
}

TEST(HtmlText, LinkAttributeTextDecodesThenTrimsThenEscapesSpaces) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"page.htm", "page.htm"},
        {" \t my page.htm \r\n", "my%20page.htm"},
        {"a.htm?x=1&amp;y=2", "a.htm?x=1&y=2"},
        // A space from an entity at either end is trimmed, one inside escaped.
        {"&nbsp;a&nbsp;b.htm&nbsp;", "a%20b.htm"},
        {" &amp;nbsp;x", "x"},
        {"a&b c", "a&b%20c"},
        {"", ""},
        {" \t ", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(LinkAttributeText(c.in), c.out) << c.in;
}

TEST(HtmlText, RefreshPartsSplitsTheTagAsWritten) {
    auto parts = RefreshParts("<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5;URL=Next.htm\">");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->head, "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5;URL=");
    EXPECT_EQ(parts->url, "Next.htm");
    EXPECT_EQ(parts->tail, "\">");

    // Unquoted: the URL ends before the tag's ">".
    parts = RefreshParts("<meta http-equiv=\"refresh\" content=0;url=n.htm>");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->url, "n.htm");
    EXPECT_EQ(parts->tail, ">");

    EXPECT_FALSE(RefreshParts("<meta http-equiv='refresh' content=\"0;url=x\">"));
    EXPECT_FALSE(RefreshParts("<meta http-equiv=refresh content=\"0;url=x\">"));
    EXPECT_FALSE(RefreshParts("<meta http-equiv=\"refresh\" content=\"5\">"));
    EXPECT_FALSE(RefreshParts("<meta name=\"keywords\" content=\"url=x\">"));
}

TEST(HtmlText, TagValueTakesTheLowerCasedValueAfterTheWord) {
    struct Case {
        const char* tag;
        const char* word;
        const char* value;
    } cases[] = {
        {"<link rel=stylesheet TYPE=\"Text/CSS\" href=\"A.css\">", "type=", "text/css"},
        {"<link rel=stylesheet TYPE=\"Text/CSS\" href=\"A.css\">", "href=", "a.css"},
        {"<link href='x y.css'>", "href=", "x y.css"},
        {"<link href=  plain.css rel=x>", "href=", "plain.css"},
        {"<link href=\tend.css>", "href=", "end.css"},
        {"<link href=\"open.css", "href=", "open.css"},
        {"<link href=>", "href=", ""},
        {"<link rel=icon>", "type=", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TagValue(c.tag, c.word), c.value) << c.tag;
}

TEST(HtmlText, TagValueAsWrittenKeepsCaseAndPointsIntoTheTag) {
    const std::string_view tag = "<link TYPE=text/css HREF='Css/A.css' rel=x>";
    const std::string_view href = TagValueAsWritten(tag, "href=");
    EXPECT_EQ(href, "Css/A.css");
    EXPECT_EQ(href.data(), tag.data() + tag.find("Css/"));
    EXPECT_EQ(TagValueAsWritten(tag, "title="), "");
}

TEST(HtmlText, ScriptLinkTestUsesTheExtensionBeforeTheQuery) {
    ScriptLinkTest test("gif,jpg,htm,html,js,swf,class,xml,jar,asp,pl,cfm,css",
                        "htm,html,asp,pl,cfm");
    struct Case {
        const char* text;
        bool link;
        bool page;
    } cases[] = {
        // clang-format off
        {"img/a.gif", true, false},
        {"page.htm", true, true},
        {"Page.HTML", true, true},
        {"script.js", true, false},
        {"search.asp?q=1.5", true, true},  // by the text before "?"
        {"a.b/run.pl?x=y?z", true, true},
        {"noextension", false, false},
        {"file.exe", false, false},
        {"dir.htm/file", false, false},
        {"x.gif.", false, false},
        {"?q=a.gif", true, false},
        // clang-format on
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test.IsLink(c.text, false), c.link) << c.text;
        EXPECT_EQ(test.IsLink(c.text, true), c.page) << c.text;
    }
}

TEST(HtmlText, ScriptLinkListsAreTrimmedAndMatchAnyCase) {
    ScriptLinkTest test(" GIF , ,png,", "");
    EXPECT_TRUE(test.IsLink("a.gif", false));
    EXPECT_TRUE(test.IsLink("a.PNG", false));
    EXPECT_FALSE(test.IsLink("a.", false));  // no empty extension from ", ,"
    EXPECT_FALSE(test.IsLink("a.gif", true));
}

}  // namespace
}  // namespace fw

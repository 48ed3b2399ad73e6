#include "engine/search/page_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace fw {
namespace {

// The body with runs of white space made single blanks, trimmed.
std::string Body(std::string_view html) {
    std::string body = HtmlText(html).body;
    std::string out;
    for (char c : body) {
        if (platform::IsLineWhite(c)) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return platform::Trim(out);
}

TEST(PageTextTest, KeepsOnlyTheTextThatShows) {
    const struct {
        const char* html;
        const char* body;
    } cases[] = {
        {"<p>one</p><p>two</p>", "one two"},
        {"<td>one</td><td>two</td>", "one two"},
        {"gla<b>ss</b> <A HREF=x>li</A>nk", "glass link"},
        {"a<!-- hidden -->b", "ab"},  // as a browser shows it
        {"a<!-- never closed", "a"},
        {"a<!DOCTYPE html>b<?xml x?>c", "abc"},
        {"<script>var s = '</p>';</script>shown", "shown"},
        {"<SCRIPT>x</SCRIPTED></Script >shown", "shown"},
        {"<style>p { }</style>shown<style>never closed", "shown"},
        {"<a title=\"x > y\" href='p>q'>link</a>", "link"},
        {"<img alt=\"unterminated>gone", ""},
        {"a < b <3 >", "a < b <3 >"},
        {"<p", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Body(c.html), c.body) << c.html;
}

TEST(PageTextTest, DecodesCharacterReferences) {
    const struct {
        const char* html;
        const char* body;
    } cases[] = {
        {"caf&eacute; &Eacute;t&eacute;", "caf\xC3\xA9 \xC3\x89t\xC3\xA9"},
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        {"&#233;&#xE9;&#XE9", "\xC3\xA9\xC3\xA9\xC3\xA9"},
        {"&#150;&#128;", "\xE2\x80\x93\xE2\x82\xAC"},  // read as windows-1252
        {"&#0;&#xD800;&#99999999;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"&Omega;&omega;&sigmaf;", "\xCE\xA9\xCF\x89\xCF\x82"},
        {"AT&amp;T &amp T&nbspx", "AT&T & T&nbspx"},
        {"&unknown; & &# &#x;", "&unknown; & &# &#x;"},
    };
    for (const auto& c : cases) EXPECT_EQ(Body(c.html), c.body) << c.html;
}

TEST(PageTextTest, SeparatesTheFirstTitle) {
    const PageText page =
        HtmlText("<head><title>Main &amp; <i>only</i></title></head><body>text"
                 "<title>second</title></body>");
    EXPECT_EQ(platform::Trim(page.title), "Main & only");
    EXPECT_EQ(platform::Trim(page.body), "text second");
}

TEST(PageTextTest, StoredFilesAreDecodedBeforeReading) {
    const PageText page = StoredPageText(
        "<meta charset=windows-1252><title>Caf\xE9</title>&lt;\xE9&gt;", true);
    EXPECT_EQ(platform::Trim(page.title), "Caf\xC3\xA9");
    EXPECT_EQ(platform::Trim(page.body), "<\xC3\xA9>");
    const PageText text = StoredPageText("<b>plain &amp; \xE9</b>", false);
    EXPECT_EQ(text.title, "");
    EXPECT_EQ(text.body, "<b>plain &amp; \xC3\xA9</b>");
}

}  // namespace
}  // namespace fw

#include "engine/search/charset.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

TEST(CharsetTest, DetectsTheCharsetOfAFile) {
    const struct {
        std::string bytes;
        bool html;
        const char* charset;
    } cases[] = {
        {"\xEF\xBB\xBFplain", false, "utf-8"},
        {"\xFF\xFEp\0", false, "utf-16le"},
        {"\xFE\xFF\0p", true, "utf-16be"},
        {"\xEF\xBB\xBF<meta charset=koi8-r>", true, "utf-8"},  // the mark wins
        {"<meta charset=\"KOI8-R\">", true, "koi8-r"},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">", true,
         "shift_jis"},
        {"<meta content='text/html;charset=iso-8859-1' http-equiv='content-type'>\xC3\xA9", true,
         "windows-1252"},
        {"<meta charset=us-ascii>", true, "windows-1252"},
        {"<meta charset=utf-16>", true, "utf-8"},
        {"<meta charset=\"no-such-charset\">caf\xE9", true, "windows-1252"},
        {"<meta charset=\"no-such-charset\">caf\xC3\xA9", true, "utf-8"},
        {"<meta charset=koi8-r>", false, "utf-8"},  // only pages declare
        {"<meta name=\"charset\" content=x>caf\xE9", true, "windows-1252"},
        {"caf\xC3\xA9", false, "utf-8"},
        {"caf\xE9", false, "windows-1252"},
        {"\xC0\xAF", false, "windows-1252"},      // overlong
        {"\xED\xA0\x80", false, "windows-1252"},  // surrogate
        {"", true, "utf-8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectCharset(c.bytes, c.html), c.charset) << c.bytes;
    }
    const std::string late = std::string(5000, ' ') + "<meta charset=koi8-r>";
    EXPECT_EQ(DetectCharset(late, true), "utf-8");  // too far in to count
}

TEST(CharsetTest, TextAsUtf8IsDetectionThenConversion) {
    const std::string pages[] = {
        "plain ascii",
        "caf\xC3\xA9 valid utf-8",
        "caf\xE9 latin-1",
        "\xEF\xBB\xBF""bom utf-8",
        "<meta charset=\"windows-1252\">caf\xC3\xA9",
        std::string("\xFF\xFEh\0i\0", 6),
        "broken \xC3 utf-8 \xF0\x9F",
    };
    for (const std::string& page : pages) {
        for (bool html : {false, true}) {
            EXPECT_EQ(TextAsUtf8(page, html), ConvertToUtf8(page, DetectCharset(page, html)))
                << page << " html " << html;
        }
    }
}

TEST(CharsetTest, ConvertsToUtf8) {
    const struct {
        std::string bytes;
        const char* charset;
        std::string utf8;
    } cases[] = {
        {"caf\xE9 \x93q\x94 \x80", "windows-1252",
         "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC"},
        {"\xEF\xBB\xBF" "abc", "utf-8", "abc"},
        {"a\xFF" "b", "utf-8", "a\xEF\xBF\xBD" "b"},
        {std::string("\xFF\xFEK\0\xF6\0", 6), "utf-16le", "K\xC3\xB6"},
        {std::string("\xFE\xFF\0K\0\xF6", 6), "utf-16be", "K\xC3\xB6"},
        {std::string("K\0\x00\xD8", 4), "utf-16le", "K\xEF\xBF\xBD"},  // lone surrogate
        {"\xEB\xCF\xD4", "koi8-r", "\xD0\x9A\xD0\xBE\xD1\x82"},
        {"\x93\xFA\x96\x7B", "shift_jis", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"caf\xE9", "no-such-charset", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertToUtf8(c.bytes, c.charset), c.utf8) << c.charset;
    }
}

}  // namespace
}  // namespace fw

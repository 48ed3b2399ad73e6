#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TextTest, LeadingInteger) {
    struct Case {
        const char* text;
        long value;
    } cases[] = {{"42", 42},   {"  17x", 17}, {"-3", -3}, {"+8", 8},   {"abc", 0},
                 {"", 0},      {"-", 0},      {"12 34", 12}, {"99999999999999999999999", LONG_MAX}};
    for (const auto& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << c.text;
}

TEST(TextTest, TrimAndCase) {
    EXPECT_EQ(Trim(" \t\r\nab c\n "), "ab c");
    EXPECT_EQ(TrimRightBlanks("ab  "), "ab");
    EXPECT_EQ(TrimRightBlanks("a\tb \t "), "a\tb \t");  // blanks only
    EXPECT_EQ(TrimRightBlanks("ab" + std::string(19, ' ')), "ab");  // padding by words
    EXPECT_EQ(TrimRightBlanks("a       b" + std::string(8, ' ')), "a       b");
    EXPECT_EQ(TrimRightBlanks(std::string(16, ' ')), "");
    EXPECT_EQ(HexDigitValue('7') + HexDigitValue('b') + HexDigitValue('F'), 7 + 11 + 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
    EXPECT_EQ(WithoutLineBreaks("a\r\nX-Injected: 1\rb\n"), "aX-Injected: 1b");
    EXPECT_EQ(ToLowerAscii("AbC-\xC3\x84"), "abc-\xC3\x84");
    EXPECT_TRUE(EqualsIgnoreCase("Proxy", "pROXY"));
    EXPECT_EQ(FindIgnoreCase("xxURL(", "url("), 2u);
    EXPECT_EQ(FindIgnoreCase("abc", "abcd"), std::string_view::npos);
}

TEST(TextTest, CutUtf8NeverSplitsACharacter) {
    const std::string text = "ab\xC3\xA9" "cd";  // "abécd"
    EXPECT_EQ(CutUtf8(text, 10), text);
    EXPECT_EQ(CutUtf8(text, 4), "ab\xC3\xA9");
    EXPECT_EQ(CutUtf8(text, 3), "ab");  // would split é
    EXPECT_EQ(CutUtf8("\x80\x80\x80\x80\x80", 4).size(), 1u);  // invalid input: bounded step back
}

}  // namespace
}  // namespace platform

#include "app/core/replacement_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "app/core/page_rules.h"

namespace corvalin {
namespace {

// One rule over one text, as a page would see it.
std::string ApplyRule(const char* type, const std::string& search, const std::string& replace,
                      const std::string& text) {
    return PageRules({{type, search, replace}}).Apply(text);
}

TEST(ReplacementPatternTest, RulesReplaceEveryMatch) {
    struct Case {
        const char* type;
        const char* search;
        const char* replace;
        const char* text;
        const char* expected;
    } cases[] = {
        // Letter case: "f" and "l" ignore it, "F" and "L" do not; any other
        // type works as "f".
        {"f", "Hello", "Bye", "hello HELLO", "Bye Bye"},
        {"F", "Hello", "Bye", "hello HELLO", "hello HELLO"},
        {"F", "Hello", "Bye", "Hello hello", "Bye hello"},
        {"x", "Hello", "Bye", "hello", "Bye"},
        // "^" anchors at the start of what remains after each replacement.
        {"l", "^a", "X", "aaa", "XXX\n"},
        {"l", "^a", "X", "aba", "Xba\n"},
        {"f", "a^", "X", "a^a", "Xa"},  // "^" later on is itself
        // A leading "?" run: the rest begins within that many characters of
        // where the search starts, and the skipped characters are replaced.
        {"f", "?b", "X", "xbxb", "XX"},
        {"f", "?b", "X", "b xb", "X xb"},
        {"f", "??c", "X", "abc", "X"},
        {"f", "??c", "X", "c", "X"},
        {"f", "??c", "X", "xyzc", "xyzc"},
        // Only wildcards: "*" takes everything, a "?" run that many characters.
        {"f", "*", "X", "abc", "X"},
        {"f", "???", "X", "abcdefg", "XXX"},
        {"f", "^*b", "X", "abab", "XX"},  // "*" undoes the "^"
        // "*" and "?" after the literal part: the tail.
        {"f", "a*b", "X", "a12b a3b", "X X"},
        {"f", "a*b", "X", "a12", "a12"},
        {"f", "a*", "X", "ba", "bX"},
        {"f", "a?c", "X", "abc ac axxc", "X X axxc"},
        {"f", "a*b*c", "X", "a1b2c a3c", "X a3c"},
        {"f", "a*B", "X", "a1b", "X"},  // the tail ignores case as its rule does
        {"F", "a*B", "X", "a1b", "a1b"},
        {"f", "a?b?c", "X", "axbyyc abc", "axbyyc X"},
        // "$" anchors the end of the whole match; escaped it is itself.
        {"f", "b$", "X", "abab", "abaX"},
        {"f", "b\\$", "X", "b$b", "Xb"},
        {"f", "b\\\\$", "X", "b\\ b\\", "b\\ X"},
        {"f", "a*b$", "X", "ab ab", "X"},
        {"f", "a*b$", "X", "ab ac", "ab ac"},
        {"f", "a?$", "X", "ab", "X"},
        {"f", "a?$", "X", "abc", "abc"},
        {"f", "^ab$", "X", "ab", "X"},
        {"f", "^ab$", "X", "abab", "abab"},
        // Escapes and sets.
        {"f", "a\\*b", "X", "a*b a12b", "X a12b"},
        {"f", "\\?", "!", "why?", "why!"},
        {"f", "[abc]x", "Y", "ax bx cx dx", "Y Y Y dx"},
        {"f", "[A]", "Y", "a", "Y"},
        {"F", "[A]", "Y", "a", "a"},
        {"f", "[\\]]", "Y", "a]b", "aYb"},
        {"f", "[-*?]", "Y", "a-b*c?", "aYbYcY"},
        {"f", "a\\", "Y", "a\\b", "Yb"},  // a "\" at the end is itself
        // Invalid or empty patterns leave the text alone.
        {"f", "[ab", "X", "a[ab", "a[ab"},
        {"f", "", "X", "abc", "abc"},
        {"f", "^", "X", "abc", "abc"},
        {"f", "$", "X", "abc", "abc"},
        // The scan over bytes: overlaps, repeats, bytes above 127.
        {"F", "abab", "X", "cbabab", "cbX"},
        {"F", "aab", "X", "aaaab", "aaX"},
        {"F", "aa", "X", "aaaaa", "XXa"},
        {"f", "caf\xc3\xa9", "X", "CAF\xc3\xa9 caf\xc3\xa9", "X X"},
        {"F", "\xff", "X", "a\xff\xfe", "aX\xfe"},
        // The replacement may be empty or longer than the match.
        {"f", "<b>", "", "<b>bold<B>", "bold"},
        {"F", "b", "<b>", "abc", "a<b>c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplyRule(c.type, c.search, c.replace, c.text), c.expected)
            << c.type << " \"" << c.search << "\" in \"" << c.text << "\"";
    }
}

TEST(ReplacementPatternTest, LineAndWholeFileModesKeepEveryByte) {
    struct Case {
        const char* type;
        const char* search;
        std::string text;
        std::string expected;
    } cases[] = {
        // A last line without a line feed gains one under a line rule...
        {"l", "nothing", "one\ntwo", "one\ntwo\n"},
        {"l", "nothing", "", ""},
        // ...and a whole-file rule that does not match changes no byte.
        {"f", "nothing", "one\ntwo", "one\ntwo"},
        // Lines end at line feeds; "$" anchors before a carriage return, and
        // the page keeps its line ends.
        {"l", "b$", "ab\nab\n", "aX\naX\n"},
        {"l", "b$", "ab\r\nab\r\n", "aX\r\naX\r\n"},
        {"l", "^a", "ab\n\nab", "Xb\n\nXb\n"},
        {"l", "*", "ab\ncd", "X\nX\n"},
        {"f", "b$", "ab\nab\n", "ab\nab\n"},
        {"f", "b*a", "ab\nab", "aXb"},
        // Lines far longer than any read buffer lose nothing.
        {"l", "needle", std::string(2000, 'x') + "needle" + std::string(3000, 'y') + "\nend",
         std::string(2000, 'x') + "X" + std::string(3000, 'y') + "\nend\n"},
        {"l", "y$", std::string(600, 'y') + "\n" + std::string(600, 'y'),
         std::string(599, 'y') + "X\n" + std::string(599, 'y') + "X\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplyRule(c.type, c.search, "X", c.text), c.expected)
            << c.type << " \"" << c.search << "\" in \"" << c.text.substr(0, 40) << "\"";
    }
}

TEST(ReplacementPatternTest, RulesRunInOrderAndTextRulesAreLeftOut) {
    const std::vector<ReplacementRule> rules = {
        {"f", "cat", "dog"},
        {"t", "dog", "never"},
        {"F", "dog", "wolf"},
        {"T", "wolf", "never"},
    };
    EXPECT_EQ(PageRules(rules).Apply("Cat cat"), "wolf wolf");
    EXPECT_TRUE(PageRules({{"t", "a", "b"}, {"T", "a", "b"}}).empty());
}

TEST(ReplacementPatternTest, SearchGivesTheMatchAndLeavesThePatternAsItWas) {
    auto pattern = ReplacementPattern::Compile("?b*d", true);
    ASSERT_TRUE(pattern.has_value());
    using Match = ReplacementPattern::Match;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(pattern->Search("xbcdd"), (Match{0, 4}));
        EXPECT_EQ(pattern->Search("bd"), (Match{0, 2}));
        EXPECT_EQ(pattern->Search("xxbd"), std::nullopt);
    }
    auto plain = ReplacementPattern::Compile("needle", false);
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->Search("haystack with a needle in it"), (Match{16, 6}));
    EXPECT_EQ(plain->Search("needl"), std::nullopt);
    EXPECT_EQ(plain->Search(""), std::nullopt);
    EXPECT_FALSE(ReplacementPattern::Compile("a[b", false).has_value());
    // Every "?" part nests a level: a text of thousands of them is refused.
    std::string deep;
    for (int i = 0; i < 3000; ++i) deep += "?a";
    EXPECT_FALSE(ReplacementPattern::Compile(deep, false).has_value());
    EXPECT_TRUE(ReplacementPattern::Compile(deep.substr(0, 1000), false).has_value());
}

TEST(ReplacementPatternTest, ManyQuestionMarkPartsDoNotSearchForever) {
    // Every "?a" part can start at two places: tried blindly, 2^40 ways.
    std::string search;
    for (int i = 0; i < 40; ++i) search += "?a";
    search += "c";
    const std::string text(200, 'a');
    EXPECT_EQ(ApplyRule("f", search, "X", text), text);
    // Each part takes one or two characters, so "c" is in reach up to 80.
    EXPECT_EQ(ApplyRule("f", search, "X", std::string(80, 'a') + "c"), "X");
    EXPECT_EQ(ApplyRule("f", search, "X", std::string(81, 'a') + "c"), std::string(81, 'a') + "c");
}

TEST(ReplacementPatternTest, ARuleThatWouldGrowAPageBeyondTheLimitIsPassedOver) {
    const std::string text = "a" + std::string(1000, 'b');
    const PageRules rules({{"F", "b", "bbbb"}, {"F", "a", "A"}, {"l", "b$", "c"}}, 2000);
    EXPECT_EQ(rules.Apply(text), "A" + std::string(999, 'b') + "c\n");
}

}  // namespace
}  // namespace corvalin

#include "engine/filter/grep_pattern.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fw {
namespace {

TEST(GrepPatternTest, Finds) {
    const struct {
        const char* pattern;
        std::string text;
        int64_t at;
    } cases[] = {
        {"ab*c", "ac", 0},           {"ab*c", "xabbbc", 1},       {"ab*c", "abd", -1},
        {"[a-c]+x", "zzbbx", 2},     {"[a-c]+x", "dx", -1},       {"^abc", "abcdef", 0},
        {"^abc", "xabc", -1},        {":d:d", "a1b23", 3},        {":d:d", "a1b2", -1},
        {":0:9", "x42", 1},          {"a.c", "abc", 0},           {"a.c", "ac", -1},
        {"c$", "abc", 2},            {"c$", "abcd", -1},          {"$", "abc", 3},
        {"$", "", 0},                {"", "abc", 0},              {"x*", "abc", 0},
        {"HeLLo", "say hello", 4},   {"hello", "SAY HELLO", 4},   {"[A-C]x", "bX", 0},
        {":a+", "12ab", 2},          {":A", "1b", 1},             {":n", "--x", 2},
        {":n", "-7", 1},             {": ", "ab c", 2},           {":.", "a\tb", 1},
        {": ", "a\xC3\xA9", 1},      {": ", std::string("a\0b", 3), -1},
        {"[^a-c]", "abcd", 3},       {"[^a-c]", "abc", -1},       {"[^a]$", "ba", -1},
        {"a-b", "b", 0},             {"a-b", "ab", 0},            {"ab-c", "abbc", -1},
        {"a+", "baa", 1},            {"a*ab", "aaab", 0},         {".*x", "abcx", 0},
        {"a*^b", "b", 0},            {"a*^b", "ab", -1},          {"\\.", "a.b", 1},
        {"\\*", "a*", 1},            {"a\\", "xa\\", 1},          {"[\\]]", "a]", 1},
        {"[a\\-z]", "-", 0},         {"[a\\-z]", "m", -1},        {"[-a]", "x-", 1},
        {"[a-]", "x-", 1},           {"[^-]", "-a", 1},           {".", "", -1},
        {"corvalin", "xx CORVALIN", 3}, {"ab", "AaAb", 2},        {"ab", "aAaA", -1},
        {"1+2", "11112", 0},         {"e", "E", 0},
        // Literal starts are found by their rarest character ("q" or "z"
        // here), which need not be the first one.
        {"xqz", "xqxqz", 2},         {"aqz", "qz", -1},           {"aqz", "aqz", 0},
        {"aqz", "aqaqz", 2},         {"zq", "zqzq", 0},           {"QZ", "aqZ", 1},
        {"thex*y", "they", 0},       {"thex*y", "the thexxy", 4}, {"ab:d", "abxab1", 3},
        {"eqe", "eqeqe", 0},         {"aqz", "aq", -1},
        // After a failed try inside a run of a leading repeated element, a
        // later start still finds the leftmost match.
        {"[a-c]+x", "aaaaaay aaax", 8}, {"a*b", "aaac b", 5},     {"[ab]+b", "aab", 0},
        {"a+$", "aab aa", 4},        {"a*$", "aab", 3},           {"a-b", "aab", 1},
        {":d+:d:d", "1 12 123", 5},
    };
    for (const auto& c : cases) {
        GrepPattern pattern;
        std::string error;
        ASSERT_TRUE(pattern.Compile(c.pattern, &error)) << c.pattern << "\n" << error;
        EXPECT_EQ(pattern.Find(c.text), c.at) << c.pattern << " in " << c.text;
    }
}

TEST(GrepPatternTest, FindsALiteralAtEveryOffset) {
    // Long enough for the block-wise scan, with near misses before the match.
    for (const char* literal : {"QuIz", "Ends", "a-z!"}) {
        GrepPattern pattern;
        ASSERT_TRUE(pattern.Compile(literal[1] == '-' ? "a\\-z!" : literal, nullptr));
        for (size_t at = 0; at + 4 <= 70; ++at) {
            std::string text(70, '.');
            for (size_t i = 0; i + 3 < at; i += 5) text.replace(i, 3, std::string(literal, 3));
            text.replace(at, 4, literal);
            EXPECT_EQ(pattern.Find(text), static_cast<int64_t>(at)) << literal << " at " << at;
            text[at + 3] = '.';
            EXPECT_EQ(pattern.Find(text), -1) << literal << " at " << at;
        }
    }
}

// The matcher as first described: try each position in turn, repetitions
// longest first, backing off one character at a time.
struct ReferenceElement {
    std::function<bool(int)> matches;  // the character, or -1 at the end
    char kind;                         // '1' once, '*', '+', '-', '^', '$'
};

bool ReferenceMatch(const std::vector<ReferenceElement>& p, size_t k, size_t pos,
                    const std::string& text) {
    if (k == p.size()) return true;
    const ReferenceElement& e = p[k];
    const int c = pos < text.size() ? static_cast<unsigned char>(text[pos]) : -1;
    switch (e.kind) {
        case '^': return pos == 0 && ReferenceMatch(p, k + 1, pos, text);
        case '$': return pos == text.size() && ReferenceMatch(p, k + 1, pos, text);
        case '1': return e.matches(c) && ReferenceMatch(p, k + 1, pos + 1, text);
    }
    size_t most = 0;
    while (pos + most < text.size() && e.matches(static_cast<unsigned char>(text[pos + most])) &&
           (e.kind != '-' || most < 1)) {
        ++most;
    }
    const size_t least = e.kind == '+' ? 1 : 0;
    for (size_t take = most + 1; take-- > least;) {
        if (ReferenceMatch(p, k + 1, pos + take, text)) return true;
    }
    return false;
}

int64_t ReferenceFind(const std::vector<ReferenceElement>& p, const std::string& text) {
    for (size_t pos = 0; pos <= text.size(); ++pos) {
        if (ReferenceMatch(p, 0, pos, text)) return static_cast<int64_t>(pos);
    }
    return -1;
}

TEST(GrepPatternTest, AgreesWithPlainBacktrackingOnRandomPatterns) {
    auto lower = [](int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    const struct {
        const char* text;
        std::function<bool(int)> matches;
    } atoms[] = {
        {"a", [&](int c) { return lower(c) == 'a'; }},
        {"B", [&](int c) { return lower(c) == 'b'; }},
        {"1", [](int c) { return c == '1'; }},
        {".", [](int c) { return c >= 0; }},
        {":d", [](int c) { return c >= '0' && c <= '9'; }},
        {":a", [&](int c) { return lower(c) >= 'a' && lower(c) <= 'z'; }},
        {"[ab]", [&](int c) { return lower(c) == 'a' || lower(c) == 'b'; }},
        {"[^a]", [&](int c) { return c >= 0 && lower(c) != 'a'; }},
        {"[b-c1]", [&](int c) { return lower(c) == 'b' || lower(c) == 'c' || c == '1'; }},
    };
    std::mt19937 random(2024);
    GrepPattern fast;
    GrepPattern threads_only;
    threads_only.LimitBacktrackingForTesting(0);
    GrepPattern handing_over;
    handing_over.LimitBacktrackingForTesting(5);
    for (int round = 0; round < 20000; ++round) {
        std::string pattern;
        std::vector<ReferenceElement> reference;
        const int elements = 1 + random() % 5;
        for (int i = 0; i < elements; ++i) {
            const unsigned pick = random() % 12;
            if (pick >= 10) {
                pattern += pick == 10 ? "^" : "$";
                reference.push_back({nullptr, pick == 10 ? '^' : '$'});
                continue;
            }
            const auto& atom = atoms[pick % 9];
            const char kind = "1*+-11"[random() % 6];
            pattern += atom.text;
            if (kind != '1') pattern += kind;
            reference.push_back({atom.matches, kind});
        }
        std::string text;
        const int length = random() % 15;
        for (int i = 0; i < length; ++i) text += "aAbB1c "[random() % 7];

        const int64_t expected = ReferenceFind(reference, text);
        for (GrepPattern* pattern_object : {&fast, &threads_only, &handing_over}) {
            ASSERT_TRUE(pattern_object->Compile(pattern, nullptr)) << pattern;
            ASSERT_EQ(pattern_object->Find(text), expected) << pattern << " in \"" << text << "\"";
        }
    }
}

TEST(GrepPatternTest, NestedRepetitionsStayLinear) {
    // Plain backtracking would take about n^3 steps here; a search must
    // still end at once.
    const std::string text(1 << 20, 'a');
    GrepPattern pattern;
    ASSERT_TRUE(pattern.Compile("a*a*a*b", nullptr));
    EXPECT_EQ(pattern.Find(text), -1);
    ASSERT_TRUE(pattern.Compile("a.*a.*a.*:d", nullptr));
    EXPECT_EQ(pattern.Find(text + "x1"), 0);
}

TEST(GrepPatternTest, ReportsCompileErrorsInThreeLines) {
    GrepPattern pattern;
    std::string error;
    EXPECT_FALSE(pattern.Compile("*abc", &error));
    EXPECT_EQ(error,
              "-GREP-E-Illegal occurrance op., pattern is\"*abc\"\n"
              "-GREP-E-Stopped at byte 0, '*'\n"
              "?GREP-E-Bad pattern");

    const std::string large_class = "[" + std::string(255, 'x') + "]";
    std::string ranges;
    for (int i = 0; i < 85; ++i) ranges += "a-b";
    const struct {
        std::string pattern;
        const char* message;
        const char* stopped;  // the second line after "-GREP-E-Stopped at byte "
    } cases[] = {
        {"^*", "Illegal occurrance op.", "1, '*'"},
        {"a$+", "Illegal occurrance op.", "2, '+'"},
        {"ab**", "Illegal occurrance op.", "3, '*'"},
        {"-x", "Illegal occurrance op.", "0, '-'"},
        {"ab:", "No : type", "3, ''"},
        {":x", "Unknown : type", "1, 'x'"},
        {"[abc", "Unterminated class", "4, ''"},
        {"[a-", "Unterminated class", "3, ''"},
        {"[ab\\", "Class terminates badly", "3, '\\'"},
        {"[]", "Empty class", "1, ']'"},
        {"[^]", "Empty class", "2, ']'"},
        {large_class, "Class too large", "255, 'x'"},
        {"[" + ranges + "]", "Class too large", "255, 'b'"},
        {std::string(1025, 'a'), "Pattern too complex", "1024, 'a'"},
        {std::string(1023, 'a') + "...", "Pattern too complex", "1025, '.'"},
        {std::string(1023, 'a') + "b*", "Pattern too complex", "1024, '*'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern.substr(0, 40));
        ASSERT_FALSE(pattern.Compile(c.pattern, &error));
        EXPECT_EQ(error, std::string("-GREP-E-") + c.message + ", pattern is\"" + c.pattern +
                             "\"\n-GREP-E-Stopped at byte " + c.stopped +
                             "\n?GREP-E-Bad pattern");
        // A rejected pattern finds nothing.
        EXPECT_EQ(pattern.Find("aaaa"), -1);
    }
}

TEST(GrepPatternTest, ProgramLimitIsInclusive) {
    GrepPattern pattern;
    EXPECT_TRUE(pattern.Compile(std::string(1024, 'a'), nullptr));                  // 2048 bytes
    EXPECT_TRUE(pattern.Compile(std::string(1023, 'a') + "..", nullptr));           // 2048
    EXPECT_TRUE(pattern.Compile("[" + std::string(254, 'x') + "]", nullptr));       // 254 members
    EXPECT_TRUE(pattern.Compile("x[" + std::string(254, 'y') + "]*", nullptr));
    EXPECT_EQ(pattern.Find("xyyyz"), 0);
}

TEST(GrepPatternTest, RecompilingReplacesThePattern) {
    GrepPattern pattern;
    ASSERT_TRUE(pattern.Compile("^a", nullptr));
    EXPECT_EQ(pattern.Find("ba"), -1);
    ASSERT_TRUE(pattern.Compile("a", nullptr));
    EXPECT_EQ(pattern.Find("ba"), 1);
}

}  // namespace
}  // namespace fw

#include "engine/search/query_expression.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

// A compact form of a parse: words as they are, wildcards with their "*",
// "a..b" ranges ("#" for numeric ones), "..."/window-expendable phrases,
// [...]/window-expendable groups, and parenthesised AND / OR.
std::string Describe(const QueryNode& node) {
    std::string out;
    const auto list = [&](const char* separator) {
        std::string items;
        for (const QueryNode& child : node.children) {
            if (!items.empty()) items += separator;
            items += Describe(child);
        }
        return items;
    };
    const auto tail = [&] {
        return "/" + std::to_string(node.window) +
               (node.expendable ? "-" + std::to_string(node.expendable) : "");
    };
    switch (node.kind) {
        case QueryNode::Kind::Term:
        case QueryNode::Kind::Wildcard: return node.text;
        case QueryNode::Kind::Range:
            return (node.numeric ? "#" : "") + node.text + ".." + node.high;
        case QueryNode::Kind::Phrase: return "\"" + list(" ") + "\"" + tail();
        case QueryNode::Kind::Near: return "[" + list(" ") + "]" + tail();
        case QueryNode::Kind::And: return "(" + list(" AND ") + ")";
        case QueryNode::Kind::Or: return "(" + list(" OR ") + ")";
    }
    return out;
}

TEST(QueryExpressionTest, ParsesTheLanguage) {
    const struct {
        const char* expression;
        const char* parsed;
    } cases[] = {
        {"Word", "word"},
        {"a b", "(a AND b)"},
        {"a AND b c", "(a AND b AND c)"},
        {"a AND b OR c", "((a AND b) OR c)"},
        {"a OR b c", "(a OR (b AND c))"},
        {"(a OR b) c", "((a OR b) AND c)"},
        {"and or range", "(and AND or AND range)"},  // operators only in capitals
        {"range(a b)", "(range AND (a AND b))"},
        {"e-mail", "\"e mail\"/2"},
        {"a & b", "(a AND b)"},  // punctuation alone is no word
        {"\"Quick, brown (fox)\"", "\"quick brown fox\"/3"},
        {"\"a OR b\"", "\"a or b\"/3"},
        {"\"one\"", "\"one\"/1"},
        {"[a b]", "[a b]/10"},
        {"[a b c d e f g h i j k l]", "[a b c d e f g h i j k l]/12"},
        {"[a b c]:3", "[a b c]/3"},
        {"\"a b c\":5:1", "\"a b c\"/5-1"},
        {"\"a b\": 7", "\"a b\"/7"},
        {"[a b c]:10:0", "[a b c]/10"},
        {"col*r", "col*r"},
        {"\"quick br*\"", "\"quick br*\"/2"},
        {"a\\*b", "\"a b\"/2"},
        {"\\AND", "and"},
        {"a\\\\", "a"},
        {"RANGE(1999, 2005)", "#1999..2005"},
        {"RANGE(10 9)", "#9..10"},
        {"RANGE(zeta alpha)", "alpha..zeta"},
        {"RANGE(10 b)", "10..b"},
        {"\xC3\x89" "cole", "\xC3\xA9" "cole"},
    };
    for (const auto& c : cases) {
        const ParsedQuery parsed = ParseQueryExpression(c.expression);
        ASSERT_EQ(parsed.error, kSearchOk) << c.expression;
        EXPECT_EQ(Describe(parsed.root), c.parsed) << c.expression;
    }
}

TEST(QueryExpressionTest, ReportsEachMistake) {
    const std::string deep = std::string(kMaxNesting + 1, '(') + "a" +
                             std::string(kMaxNesting + 1, ')');
    const std::string nested_enough = std::string(kMaxNesting, '(') + "a" +
                                      std::string(kMaxNesting, ')');
    const struct {
        std::string expression;
        int error;
    } cases[] = {
        {"", kExpressionInvalid},
        {"   ", kExpressionInvalid},
        {"&&", kExpressionInvalid},
        {"\"\"", kExpressionInvalid},
        {"a \"!\"", kExpressionInvalid},
        {"[a (b)]", kExpressionInvalid},
        {"[a \"b\"]", kExpressionInvalid},
        {deep, kExpressionInvalid},
        {std::string(kMaxExpressionBytes + 1, 'a'), kExpressionInvalid},
        {"*", kAsteriskMisused},
        {"*ing", kAsteriskMisused},
        {"foo-*", kAsteriskMisused},
        {"\"a *\"", kAsteriskMisused},
        {"[*a b]", kAsteriskMisused},
        {"a\\", kTrailingBackslash},
        {"\"a\\", kTrailingBackslash},
        {"a \\\\\\", kTrailingBackslash},
        {"[a b]:5:1", kExpendableLeavesOne},
        {"\"a b c\":5:2", kExpendableLeavesOne},
        {"[a b c]:5:7", kExpendableLeavesOne},
        {"[a b c d e f g h i j k l m n o p]:20:5", kExpendableTooBig},
        {"[a b c]:2", kSpanTooSmall},
        {"\"a b\":1", kSpanTooSmall},
        {"\"a\":0", kSpanTooSmall},
        {"[a b c d]:2:1", kSpanTooSmall},
        {"RANGE(a)", kRangeParameters},
        {"RANGE()", kRangeParameters},
        {"RANGE(a b c)", kRangeParameters},
        {"RANGE(a* b)", kRangeParameters},
        {"RANGE(\"a\" b)", kRangeParameters},
        {"RANGE(e-mail z)", kRangeParameters},
        {"(", kExpressionIncomplete},
        {"(a", kExpressionIncomplete},
        {"(a OR (b c)", kExpressionIncomplete},
        {"[a b", kExpressionIncomplete},
        {"RANGE(a b", kExpressionIncomplete},
        {"AND a", kAndMisused},
        {"a AND", kAndMisused},
        {"a AND AND b", kAndMisused},
        {"a AND OR b", kAndMisused},
        {"a OR AND b", kAndMisused},
        {"(AND a)", kAndMisused},
        {"OR a", kOrMisused},
        {"a OR", kOrMisused},
        {"a OR OR b", kOrMisused},
        {"(a OR)", kOrMisused},
        {":", kColonMisplaced},
        {"a:5", kColonMisplaced},
        {"http://example", kColonMisplaced},
        {"(a b):5", kColonMisplaced},
        {"\"a b c\":5:1:2", kColonMisplaced},
        {"[a:5 b]", kColonMisplaced},
        {"RANGE(a b):5", kColonMisplaced},
        {"\"a b c\":5:", kExpendableExpected},
        {"[a b c]:5:x", kExpendableExpected},
        {"\"a b\":", kSpanExpected},
        {"[a b]:x", kSpanExpected},
        {"\"a b\":-1", kSpanExpected},
        {"\"a b\":\\5", kSpanExpected},
        {"\"a b", kQuotesUnmatched},
        {"(a \"b)", kQuotesUnmatched},
        {"a)", kBracketsUnmatched},
        {"a]", kBracketsUnmatched},
        {"(a]", kBracketsUnmatched},
        {"[a)", kBracketsUnmatched},
        {"RANGE(a b]", kBracketsUnmatched},
        {"()", kEmptyParentheses},
        {"a ( )", kEmptyParentheses},
        {"[]", kEmptyBrackets},
        {"[ & ]", kEmptyBrackets},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseQueryExpression(c.expression).error, c.error) << c.expression.substr(0, 80);
    }
    EXPECT_EQ(ParseQueryExpression(nested_enough).error, kSearchOk);
}

TEST(QueryExpressionTest, MessagesAreTheUsersTexts) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {kExpressionInvalid, "The expression was invalid."},
        {kAsteriskMisused, "Invalid use of asterisk.  Try backslash asterisk."},
        {kTrailingBackslash, "Search expression should not conclude with a backslash."},
        {kExpendableLeavesOne,
         "Expendable Count is too big, decrease it or just use OR on the list."},
        {kExpendableTooBig, "The expendable count is too big."},
        {kSpanTooSmall, "The span was too small to be useful."},
        {kRangeParameters, "The Range expression should have two parameters, words or numbers."},
        {kExpressionIncomplete,
         "Expression is incomplete. May need a closing ), ], \",  or maybe an OR."},
        {kAndMisused, "The boolean AND operator has been used incorrectly."},
        {kOrMisused, "OR was misused. An OR can be used between any two expressions."},
        {kColonMisplaced, "Colons are to be used only at the end of quotes and proximity."},
        {kExpendableExpected, "A number, the expendable count, was expected after second colon."},
        {kSpanExpected, "A number, the span, was expected after the colon."},
        {kQuotesUnmatched, "Quotes don't match. Use parenthesis around quotes within quotes."},
        {kBracketsUnmatched, "Brackets, parenthesis, or quotes do not match"},
        {kEmptyParentheses, "Parenthesis misused. Nothing between the parenthesis."},
        {kEmptyBrackets, "Bracket misused. Nothing between the brackets."},
        {kDocumentModified, "Cannot find expression.  Document may have been modified."},
        {kSearchOk, "This error code is not recognized."},
        {-3, "This error code is not recognized."},
        {kIndexUnavailable + 1, "This error code is not recognized."},
    };
    for (const auto& c : cases) EXPECT_EQ(SearchErrorMessage(c.code), c.text) << c.code;
}

TEST(QueryExpressionTest, ComparesNumbersByValue) {
    EXPECT_EQ(CompareNumbers("9", "10"), -1);
    EXPECT_EQ(CompareNumbers("007", "7"), 0);
    EXPECT_EQ(CompareNumbers("100", "099"), 1);
    EXPECT_EQ(CompareNumbers("0", "000"), 0);
}

}  // namespace
}  // namespace fw

#include "engine/store/xbase/key_expression.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace fw::xbase {
namespace {

// A record: deleted flag, NAME C 8, N N 6, CODE C 2.
const std::vector<ColumnLayout> kColumns = {
    {"NAME", 'C', 1, 8}, {"N", 'N', 9, 6}, {"CODE", 'C', 15, 2}, {"NOTES", 'M', 17, 10}};

std::vector<uint8_t> Row(bool deleted, const char* name, const char* n, const char* code) {
    std::vector<uint8_t> row(27, ' ');
    row[0] = deleted ? '*' : ' ';
    std::memcpy(&row[1], name, std::min<size_t>(8, std::strlen(name)));
    std::memcpy(&row[9], n, std::min<size_t>(6, std::strlen(n)));
    std::memcpy(&row[15], code, std::min<size_t>(2, std::strlen(code)));
    return row;
}

TEST(KeyExpressionTest, BuildsKeysOfTheExpressionsTablesUse) {
    const auto row = Row(false, "alpha", "    42", "XY");
    const struct {
        const char* text;
        ValueType type;
        int length;
        std::string key;
    } cases[] = {
        {"NAME", ValueType::kCharacter, 8, "alpha   "},
        {"name + code", ValueType::kCharacter, 10, "alpha   XY"},
        {"STR(N)", ValueType::kCharacter, 10, "        42"},
        {"STR(N)+CODE", ValueType::kCharacter, 12, "        42XY"},
        {"STR(RECNO())", ValueType::kCharacter, 10, "         7"},
        {"STR(N)+STR(N)+STR(RECNO())", ValueType::kCharacter, 30, "        42        42         7"},
        {"N", ValueType::kNumeric, 8, NumberKey(42)},
        {"RECNO()", ValueType::kNumeric, 8, NumberKey(7)},
    };
    for (const auto& c : cases) {
        KeyExpression e;
        ASSERT_TRUE(e.Compile(c.text, kColumns)) << c.text;
        EXPECT_EQ(e.type(), c.type) << c.text;
        EXPECT_EQ(e.key_length(), c.length) << c.text;
        std::string key;
        e.BuildKey(row.data(), 7, &key);
        EXPECT_EQ(key, c.key) << c.text;
    }
}

TEST(KeyExpressionTest, RejectsWhatItDoesNotKnow) {
    for (const char* text : {"", "NOPE", "NOTES", "N+N", "NAME+N", "STR(NAME)", "STR(N", "STR()", "RECNO(", "NAME CODE",
                             "NAME+", ".NOT.NAME", "DELETED", "STR(N,5)", "(NAME)", "NAME+NAME+NAME+NAME+NAME+NAME+NAME+"
                             "NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+"
                             "NAME+NAME+NAME+NAME+NAME+NAME"}) {
        KeyExpression e;
        EXPECT_FALSE(e.Compile(text, kColumns)) << text;
    }
    // Deep nesting is refused, not recursed into without end.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += ".NOT.";
    KeyExpression e;
    EXPECT_FALSE(e.Compile(deep + "DELETED()", kColumns));
}

TEST(KeyExpressionTest, FiltersSeeTheDeletedFlag) {
    KeyExpression live, dead;
    ASSERT_TRUE(live.Compile(".NOT.DELETED()", kColumns));
    ASSERT_TRUE(dead.Compile(" deleted( ) ", kColumns));
    EXPECT_EQ(live.type(), ValueType::kLogical);
    const auto kept = Row(false, "a", "1", "b");
    const auto gone = Row(true, "a", "1", "b");
    EXPECT_TRUE(live.Test(kept.data(), 1));
    EXPECT_FALSE(live.Test(gone.data(), 1));
    EXPECT_TRUE(dead.Test(gone.data(), 1));
}

TEST(KeyExpressionTest, NumbersAndTheirKeys) {
    const struct {
        const char* text;
        double value;
    } parsed[] = {{"    42", 42}, {"  -7", -7}, {"+3", 3}, {"1.5", 1.5}, {"", 0}, {"   ", 0}, {"12ab", 12}, {"x", 0}};
    for (const auto& c : parsed) EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.value) << c.text;

    EXPECT_EQ(StrOfNumber(42), "        42");
    EXPECT_EQ(StrOfNumber(-2147483648.0), "**********");  // 11 characters do not fit
    EXPECT_EQ(StrOfNumber(9999999999.0), "9999999999");
    EXPECT_EQ(StrOfNumber(2.5), "         3");  // half away from zero
    EXPECT_EQ(StrOfNumber(-2.5), "        -3");
    EXPECT_EQ(StrOfNumber(0), "         0");
    EXPECT_EQ(StrOfNumber(-999999999.0), "-999999999");

    const struct {
        long long value;
        const char* text;
    } formatted[] = {{0, "0"},
                     {7, "7"},
                     {-7, "-7"},
                     {1000000000, "1000000000"},
                     {LLONG_MAX, "9223372036854775807"},
                     {LLONG_MIN, "-9223372036854775808"}};
    for (const auto& c : formatted) {
        char text[kMaxIntegerText];
        EXPECT_EQ(std::string(text, FormatInteger(c.value, text)), c.text);
    }

    // Byte order of number keys is numeric order, negatives included.
    const double values[] = {-1e9, -2.5, -1, 0, 0.5, 1, 2, 10, 255, 256, 1e9};
    for (size_t i = 1; i < std::size(values); ++i) {
        EXPECT_LT(NumberKey(values[i - 1]), NumberKey(values[i])) << values[i];
    }
    EXPECT_EQ(NumberKey(-0.0), NumberKey(0));
}

}  // namespace
}  // namespace fw::xbase

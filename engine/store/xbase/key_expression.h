// Index key and filter expressions: the small xBase subset the project tables
// use. Grammar (names are case-insensitive, blanks allowed between tokens):
//
//   expr := term { "+" term }            "+" joins character values only
//   term := ".NOT." term | "STR(" expr ")" | "RECNO()" | "DELETED()" | column
//
// Types: a character column has its width; a numeric column and RECNO() are
// numbers; STR(n) is n as 10-character right-aligned decimal text (rounded,
// "**********" when it does not fit); DELETED() and .NOT. are logical. Memo
// columns cannot be used.
//
// A key expression of character type builds keys of its width; one of numeric
// type builds 8-byte keys whose byte order is the numeric order
// (NumberKey). A filter expression must be logical.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::xbase {

// Where one column lies inside a record image (byte 0 is the deleted flag).
struct ColumnLayout {
    std::string name;  // upper case
    char type;         // 'C', 'N' or 'M'
    int offset;
    int width;
};

enum class ValueType { kCharacter, kNumeric, kLogical };

// The largest key an index tag holds.
inline constexpr int kMaxKeyLength = 240;

class KeyExpression {
public:
    KeyExpression() = default;

    // Compiles `text` against the columns. False (and *this unchanged) when
    // the text is not in the grammar, names an unknown or memo column, mixes
    // types, or builds a character key longer than kMaxKeyLength.
    bool Compile(std::string_view text, const std::vector<ColumnLayout>& columns);

    bool empty() const { return nodes_.empty(); }
    ValueType type() const { return type_; }
    const std::string& text() const { return text_; }

    // Bytes of a key: the character width, or 8 for numbers.
    int key_length() const;

    // REQUIRES: type() is kCharacter or kNumeric; `row` is a whole record.
    void BuildKey(const uint8_t* row, uint32_t recno, std::string* out) const;
    // REQUIRES: type() is kLogical.
    bool Test(const uint8_t* row, uint32_t recno) const;

private:
    enum class Op : uint8_t { kColumn, kConcat, kStr, kRecno, kDeleted, kNot };
    struct Node {
        Op op;
        ValueType type;
        int width = 0;   // character width (kColumn of type C, kConcat, kStr)
        int a = -1;      // operand nodes
        int b = -1;
        int offset = 0;  // kColumn
    };
    class Parser;

    void AppendText(int node, const uint8_t* row, uint32_t recno, std::string* out) const;
    double Number(int node, const uint8_t* row, uint32_t recno) const;
    bool Logical(int node, const uint8_t* row, uint32_t recno) const;

    std::vector<Node> nodes_;
    int root_ = -1;
    ValueType type_ = ValueType::kCharacter;
    std::string text_;
};

// Value of a numeric column's text: blanks, optional sign, digits, optional
// fraction. Text that is not a number reads as its leading valid part (0
// when there is none).
double ParseNumber(std::string_view text);

// Longest decimal text of a long long, sign included.
inline constexpr size_t kMaxIntegerText = 20;
// Writes the decimal text of `value` (no padding) to `out`, which has room
// for kMaxIntegerText characters; returns its length.
size_t FormatInteger(long long value, char* out);

// STR(value): 10 characters, right-aligned, rounded half away from zero.
std::string StrOfNumber(double value);

// The 8-byte key of a number: big-endian IEEE bits with the sign bit flipped
// (all bits for negatives), so that byte order equals numeric order.
std::string NumberKey(double value);

}  // namespace fw::xbase

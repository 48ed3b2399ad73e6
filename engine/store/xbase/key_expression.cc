#include "engine/store/xbase/key_expression.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace fw::xbase {

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

// Recursive descent over the expression text; builds nodes into `nodes`.
class KeyExpression::Parser {
public:
    Parser(std::string_view text, const std::vector<ColumnLayout>& columns, std::vector<Node>* nodes)
        : text_(text), columns_(columns), nodes_(*nodes) {}

    // Root node index or -1.
    int ParseAll() {
        int root = ParseExpr();
        SkipBlanks();
        if (root < 0 || pos_ != text_.size()) return -1;
        return root;
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && platform::IsLineWhite(text_[pos_])) ++pos_;
    }
    bool Accept(std::string_view token) {
        SkipBlanks();
        if (text_.size() - pos_ < token.size()) return false;
        if (!platform::EqualsIgnoreCase(text_.substr(pos_, token.size()), token)) return false;
        pos_ += token.size();
        return true;
    }
    std::string Name() {
        SkipBlanks();
        size_t start = pos_;
        if (pos_ < text_.size() && IsNameStart(text_[pos_])) {
            while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
        }
        std::string name(text_.substr(start, pos_ - start));
        for (char& c : name) c = platform::ToUpperAscii(c);
        return name;
    }
    int Add(Node node) {
        nodes_.push_back(node);
        return static_cast<int>(nodes_.size()) - 1;
    }

    int ParseExpr() {
        int left = ParseTerm();
        while (left >= 0 && Accept("+")) {
            int right = ParseTerm();
            if (right < 0) return -1;
            const Node& l = nodes_[left];
            const Node& r = nodes_[right];
            if (l.type != ValueType::kCharacter || r.type != ValueType::kCharacter) return -1;
            if (l.width + r.width > kMaxKeyLength) return -1;
            left = Add({Op::kConcat, ValueType::kCharacter, l.width + r.width, left, right, 0});
        }
        return left;
    }

    int ParseTerm() {
        if (++depth_ > 32) return -1;  // bounds recursion on hostile text
        int node = ParseTermInner();
        --depth_;
        return node;
    }

    int ParseTermInner() {
        if (Accept(".NOT.")) {
            int operand = ParseTerm();
            if (operand < 0 || nodes_[operand].type != ValueType::kLogical) return -1;
            return Add({Op::kNot, ValueType::kLogical, 0, operand, -1, 0});
        }
        std::string name = Name();
        if (name.empty()) return -1;
        if (name == "STR" && Accept("(")) {
            int operand = ParseExpr();
            if (operand < 0 || !Accept(")") || nodes_[operand].type != ValueType::kNumeric) return -1;
            return Add({Op::kStr, ValueType::kCharacter, 10, operand, -1, 0});
        }
        if (name == "RECNO" && Accept("(")) {
            if (!Accept(")")) return -1;
            return Add({Op::kRecno, ValueType::kNumeric, 0, -1, -1, 0});
        }
        if (name == "DELETED" && Accept("(")) {
            if (!Accept(")")) return -1;
            return Add({Op::kDeleted, ValueType::kLogical, 0, -1, -1, 0});
        }
        for (const ColumnLayout& c : columns_) {
            if (c.name != name) continue;
            if (c.type == 'C') return Add({Op::kColumn, ValueType::kCharacter, c.width, -1, -1, c.offset});
            if (c.type == 'N') return Add({Op::kColumn, ValueType::kNumeric, c.width, -1, -1, c.offset});
            return -1;
        }
        return -1;
    }

    std::string_view text_;
    const std::vector<ColumnLayout>& columns_;
    std::vector<Node>& nodes_;
    size_t pos_ = 0;
    int depth_ = 0;
};

bool KeyExpression::Compile(std::string_view text, const std::vector<ColumnLayout>& columns) {
    std::vector<Node> nodes;
    Parser parser(text, columns, &nodes);
    int root = parser.ParseAll();
    if (root < 0) return false;
    if (nodes[root].type == ValueType::kCharacter && nodes[root].width > kMaxKeyLength) return false;
    nodes_ = std::move(nodes);
    root_ = root;
    type_ = nodes_[root].type;
    text_ = std::string(text);
    return true;
}

int KeyExpression::key_length() const {
    if (root_ < 0) return 0;
    return type_ == ValueType::kNumeric ? 8 : nodes_[root_].width;
}

void KeyExpression::BuildKey(const uint8_t* row, uint32_t recno, std::string* out) const {
    out->clear();
    if (type_ == ValueType::kNumeric) {
        *out = NumberKey(Number(root_, row, recno));
    } else {
        AppendText(root_, row, recno, out);
    }
}

bool KeyExpression::Test(const uint8_t* row, uint32_t recno) const { return Logical(root_, row, recno); }

void KeyExpression::AppendText(int index, const uint8_t* row, uint32_t recno, std::string* out) const {
    const Node& n = nodes_[index];
    switch (n.op) {
        case Op::kColumn:
            out->append(reinterpret_cast<const char*>(row + n.offset), n.width);
            return;
        case Op::kConcat:
            AppendText(n.a, row, recno, out);
            AppendText(n.b, row, recno, out);
            return;
        case Op::kStr:
            out->append(StrOfNumber(Number(n.a, row, recno)));
            return;
        default:
            return;
    }
}

double KeyExpression::Number(int index, const uint8_t* row, uint32_t recno) const {
    const Node& n = nodes_[index];
    if (n.op == Op::kRecno) return recno;
    if (n.op == Op::kColumn) {
        return ParseNumber(std::string_view(reinterpret_cast<const char*>(row + n.offset), n.width));
    }
    return 0;
}

bool KeyExpression::Logical(int index, const uint8_t* row, uint32_t recno) const {
    const Node& n = nodes_[index];
    if (n.op == Op::kDeleted) return row[0] == '*';
    if (n.op == Op::kNot) return !Logical(n.a, row, recno);
    return false;
}

double ParseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    double value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
            value += (text[i] - '0') * scale;
        }
    }
    return negative ? -value : value;
}

size_t FormatInteger(long long value, char* out) {
    char digits[20];
    size_t n = 0;
    // Digits of the magnitude, computed as unsigned so the most negative
    // value has one too.
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t length = 0;
    if (value < 0) out[length++] = '-';
    while (n > 0) out[length++] = digits[--n];
    return length;
}

std::string StrOfNumber(double value) {
    if (!(std::fabs(value) < 1e10)) return std::string(10, '*');
    char text[kMaxIntegerText];
    const size_t n = FormatInteger(std::llround(value), text);
    if (n > 10) return std::string(10, '*');
    std::string str(10 - n, ' ');
    str.append(text, n);
    return str;
}

std::string NumberKey(double value) {
    if (value == 0) value = 0;  // -0 and +0 are one key
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    bits = (bits >> 63) ? ~bits : bits ^ (1ull << 63);
    std::string key(8, '\0');
    for (int i = 7; i >= 0; --i) {
        key[i] = static_cast<char>(bits & 0xFF);
        bits >>= 8;
    }
    return key;
}

}  // namespace fw::xbase

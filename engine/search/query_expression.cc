#include "engine/search/query_expression.h"

#include <algorithm>
#include <utility>

#include "engine/search/word_breaker.h"

namespace fw {

namespace {

struct ParseFailure {
    int code;
};

[[noreturn]] void Fail(int code) { throw ParseFailure{code}; }

enum class TokenKind { End, Word, And, Or, RangeOpen, LParen, RParen, LBracket, RBracket, Quote,
                       Colon };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string raw;                   // Word: the text with escapes applied
    std::vector<std::string> pieces;   // Word: SplitQueryWord(raw)
    bool escaped = false;              // Word: held a backslash escape
    size_t end = 0;                    // offset just past the token
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsSpecial(char c) {
    return c == '(' || c == ')' || c == '[' || c == ']' || c == '"' || c == ':';
}

// Reads the expression one token at a time, with one token of look-ahead.
// Quoted text is read separately (ReadQuoted), because inside quotes the
// operators are plain text.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    const Token& Peek() {
        if (!peeked_) {
            token_ = Scan(pos_);
            peeked_ = true;
        }
        return token_;
    }

    TokenKind PeekKind() { return Peek().kind; }

    Token Take() {
        Peek();
        peeked_ = false;
        pos_ = token_.end;
        return std::move(token_);
    }

    // The text up to the next unescaped '"' (which is consumed), escapes
    // applied. REQUIRES: the opening quote was just taken.
    std::string ReadQuoted() {
        std::string raw;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return raw;
            if (c == '\\' && pos_ < text_.size()) {
                AppendEscaped(text_[pos_++], &raw);
            } else {
                raw.push_back(c);
            }
        }
        Fail(kQuotesUnmatched);
    }

private:
    static void AppendEscaped(char c, std::string* raw) {
        // An escaped "*" is no wildcard; as text it only separates words.
        raw->push_back(c == '*' ? ' ' : c);
    }

    Token Scan(size_t pos) const {
        for (;;) {
            while (pos < text_.size() && IsBlank(text_[pos])) ++pos;
            Token t;
            if (pos >= text_.size()) {
                t.end = pos;
                return t;
            }
            const char c = text_[pos];
            if (IsSpecial(c)) {
                t.kind = c == '('   ? TokenKind::LParen
                         : c == ')' ? TokenKind::RParen
                         : c == '[' ? TokenKind::LBracket
                         : c == ']' ? TokenKind::RBracket
                         : c == '"' ? TokenKind::Quote
                                    : TokenKind::Colon;
                t.end = pos + 1;
                return t;
            }
            t.kind = TokenKind::Word;
            while (pos < text_.size() && !IsBlank(text_[pos]) && !IsSpecial(text_[pos])) {
                if (text_[pos] == '\\' && pos + 1 < text_.size()) {
                    AppendEscaped(text_[pos + 1], &t.raw);
                    t.escaped = true;
                    pos += 2;
                } else {
                    t.raw.push_back(text_[pos++]);
                }
            }
            t.end = pos;
            if (!t.escaped) {
                if (t.raw == "AND") t.kind = TokenKind::And;
                if (t.raw == "OR") t.kind = TokenKind::Or;
                if (t.raw == "RANGE" && pos < text_.size() && text_[pos] == '(') {
                    t.kind = TokenKind::RangeOpen;
                    t.end = pos + 1;
                }
                if (t.kind != TokenKind::Word) return t;
            }
            t.pieces = SplitQueryWord(t.raw);
            // Punctuation alone holds nothing to search for.
            if (!t.pieces.empty()) return t;
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    bool peeked_ = false;
    Token token_;
};

bool StartsOperand(TokenKind kind) {
    return kind == TokenKind::Word || kind == TokenKind::Quote || kind == TokenKind::LParen ||
           kind == TokenKind::LBracket || kind == TokenKind::RangeOpen;
}

QueryNode Item(std::string piece) {
    if (piece.front() == '*') Fail(kAsteriskMisused);
    QueryNode node;
    node.kind = piece.find('*') == std::string::npos ? QueryNode::Kind::Term
                                                     : QueryNode::Kind::Wildcard;
    node.text = std::move(piece);
    return node;
}

void AppendItems(std::vector<std::string> pieces, std::vector<QueryNode>* items) {
    for (std::string& piece : pieces) items->push_back(Item(std::move(piece)));
}

// n choose k, or kMaxExpendableChoices + 1 when it is larger.
uint64_t Choices(uint64_t n, uint64_t k) {
    k = std::min(k, n - k);
    uint64_t result = 1;
    for (uint64_t i = 1; i <= k; ++i) {
        result = result * (n - k + i) / i;
        if (result > kMaxExpendableChoices) return kMaxExpendableChoices + 1;
    }
    return result;
}

uint32_t NumberValue(const std::string& digits) {
    constexpr uint32_t kCap = 1000000;  // far beyond any useful span
    uint32_t value = 0;
    for (char c : digits) value = std::min(kCap, value * 10 + static_cast<uint32_t>(c - '0'));
    return value;
}

class Parser {
public:
    explicit Parser(std::string_view text) : scanner_(text) {}

    QueryNode Parse() {
        if (scanner_.PeekKind() == TokenKind::End) Fail(kExpressionInvalid);
        QueryNode root = ParseOr(0);
        switch (scanner_.PeekKind()) {
            case TokenKind::End: return root;
            case TokenKind::RParen:
            case TokenKind::RBracket: Fail(kBracketsUnmatched);
            default: Fail(kExpressionInvalid);
        }
    }

private:
    QueryNode ParseOr(int depth) {
        if (scanner_.PeekKind() == TokenKind::Or) Fail(kOrMisused);
        QueryNode node = ParseAnd(depth);
        while (scanner_.PeekKind() == TokenKind::Or) {
            scanner_.Take();
            const TokenKind next = scanner_.PeekKind();
            if (!StartsOperand(next) && next != TokenKind::And) Fail(kOrMisused);
            node = Combine(QueryNode::Kind::Or, std::move(node), ParseAnd(depth));
        }
        return node;
    }

    QueryNode ParseAnd(int depth) {
        if (scanner_.PeekKind() == TokenKind::And) Fail(kAndMisused);
        QueryNode node = ParseOperand(depth);
        for (;;) {
            const TokenKind next = scanner_.PeekKind();
            if (next == TokenKind::And) {
                scanner_.Take();
                if (!StartsOperand(scanner_.PeekKind())) Fail(kAndMisused);
            } else if (next == TokenKind::Colon) {
                Fail(kColonMisplaced);
            } else if (!StartsOperand(next)) {
                return node;
            }
            node = Combine(QueryNode::Kind::And, std::move(node), ParseOperand(depth));
        }
    }

    QueryNode ParseOperand(int depth) {
        Token token = scanner_.Take();
        switch (token.kind) {
            case TokenKind::Word: return WordNode(std::move(token.pieces));
            case TokenKind::Quote: {
                std::vector<QueryNode> items;
                AppendItems(SplitQueryWord(scanner_.ReadQuoted()), &items);
                if (items.empty()) Fail(kExpressionInvalid);
                return Group(QueryNode::Kind::Phrase, std::move(items));
            }
            case TokenKind::LBracket: return Group(QueryNode::Kind::Near, BracketItems());
            case TokenKind::LParen: return Parenthesized(depth + 1);
            case TokenKind::RangeOpen: return Range();
            case TokenKind::RParen:
            case TokenKind::RBracket: Fail(kBracketsUnmatched);
            case TokenKind::Colon: Fail(kColonMisplaced);
            case TokenKind::End: Fail(kExpressionIncomplete);
            default: Fail(kExpressionInvalid);
        }
    }

    QueryNode Parenthesized(int depth) {
        if (depth > kMaxNesting) Fail(kExpressionInvalid);
        if (scanner_.PeekKind() == TokenKind::RParen) Fail(kEmptyParentheses);
        QueryNode node = ParseOr(depth);
        switch (scanner_.Take().kind) {
            case TokenKind::RParen: return node;
            case TokenKind::End: Fail(kExpressionIncomplete);
            case TokenKind::RBracket: Fail(kBracketsUnmatched);
            default: Fail(kExpressionInvalid);
        }
    }

    std::vector<QueryNode> BracketItems() {
        std::vector<QueryNode> items;
        for (;;) {
            Token token = scanner_.Take();
            switch (token.kind) {
                case TokenKind::Word: AppendItems(std::move(token.pieces), &items); break;
                case TokenKind::RBracket:
                    if (items.empty()) Fail(kEmptyBrackets);
                    return items;
                case TokenKind::End: Fail(kExpressionIncomplete);
                case TokenKind::RParen: Fail(kBracketsUnmatched);
                case TokenKind::Colon: Fail(kColonMisplaced);
                default: Fail(kExpressionInvalid);
            }
        }
    }

    QueryNode Range() {
        std::vector<std::string> ends;
        for (;;) {
            Token token = scanner_.Take();
            if (token.kind == TokenKind::RParen) break;
            if (token.kind == TokenKind::End) Fail(kExpressionIncomplete);
            if (token.kind == TokenKind::RBracket) Fail(kBracketsUnmatched);
            if (token.kind != TokenKind::Word) Fail(kRangeParameters);
            for (std::string& piece : token.pieces) ends.push_back(std::move(piece));
        }
        if (ends.size() != 2) Fail(kRangeParameters);
        for (const std::string& end : ends) {
            if (end.find('*') != std::string::npos) Fail(kRangeParameters);
        }
        QueryNode node;
        node.kind = QueryNode::Kind::Range;
        node.numeric = IsNumber(ends[0]) && IsNumber(ends[1]);
        const bool reversed =
            node.numeric ? CompareNumbers(ends[0], ends[1]) > 0 : ends[0] > ends[1];
        if (reversed) std::swap(ends[0], ends[1]);
        node.text = std::move(ends[0]);
        node.high = std::move(ends[1]);
        return node;
    }

    // A phrase or proximity group with the span and expendable count that
    // may follow it.
    QueryNode Group(QueryNode::Kind kind, std::vector<QueryNode> items) {
        const uint32_t n = static_cast<uint32_t>(items.size());
        bool has_span = false;
        uint32_t span = 0;
        uint32_t expendable = 0;
        if (scanner_.PeekKind() == TokenKind::Colon) {
            scanner_.Take();
            if (!NextIsNumber()) Fail(kSpanExpected);
            span = NumberValue(scanner_.Take().raw);
            has_span = true;
            if (scanner_.PeekKind() == TokenKind::Colon) {
                scanner_.Take();
                if (!NextIsNumber()) Fail(kExpendableExpected);
                expendable = NumberValue(scanner_.Take().raw);
            }
        }
        if (expendable > 0) {
            if (expendable + 1 >= n) Fail(kExpendableLeavesOne);
            if (Choices(n, expendable) > kMaxExpendableChoices) Fail(kExpendableTooBig);
        }
        if (has_span && span < n - expendable) Fail(kSpanTooSmall);
        QueryNode node;
        node.kind = kind;
        node.children = std::move(items);
        node.expendable = expendable;
        node.window = has_span ? span
                      : kind == QueryNode::Kind::Phrase ? n
                                                        : std::max(kDefaultNearWindow, n);
        return node;
    }

    bool NextIsNumber() {
        const Token& next = scanner_.Peek();
        return next.kind == TokenKind::Word && !next.escaped && IsNumber(next.raw);
    }

    static QueryNode WordNode(std::vector<std::string> pieces) {
        if (pieces.size() == 1) return Item(std::move(pieces.front()));
        QueryNode node;
        node.kind = QueryNode::Kind::Phrase;
        AppendItems(std::move(pieces), &node.children);
        node.window = static_cast<uint32_t>(node.children.size());
        return node;
    }

    static QueryNode Combine(QueryNode::Kind kind, QueryNode left, QueryNode right) {
        if (left.kind != kind) {
            QueryNode joined;
            joined.kind = kind;
            joined.children.push_back(std::move(left));
            left = std::move(joined);
        }
        left.children.push_back(std::move(right));
        return left;
    }

    Scanner scanner_;
};

bool EndsInLoneBackslash(std::string_view text) {
    size_t run = 0;
    while (run < text.size() && text[text.size() - 1 - run] == '\\') ++run;
    return run % 2 == 1;
}

}  // namespace

bool IsNumber(std::string_view word) {
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int CompareNumbers(std::string_view a, std::string_view b) {
    const auto significant = [](std::string_view digits) {
        const size_t first = digits.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : digits.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

ParsedQuery ParseQueryExpression(std::string_view expression) {
    ParsedQuery parsed;
    if (expression.size() > kMaxExpressionBytes) {
        parsed.error = kExpressionInvalid;
        return parsed;
    }
    if (EndsInLoneBackslash(expression)) {
        parsed.error = kTrailingBackslash;
        return parsed;
    }
    try {
        parsed.root = Parser(expression).Parse();
    } catch (const ParseFailure& failure) {
        parsed.error = failure.code;
    }
    return parsed;
}

}  // namespace fw

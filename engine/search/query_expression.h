// Query expressions of the full-text index: the language, and its parser,
// which turns an expression into a tree of words and operators or into the
// SearchError that explains what is wrong with it.
//
// The language:
//   word         a word. Words are cut and case-folded as indexed text is
//                (word_breaker.h), so "e-mail" is the phrase "e mail".
//   wo*d         "*" stands for any characters; a word may not start with
//                one. "\*" is a literal asterisk, which (like other
//                punctuation) only separates words.
//   a b, a AND b both.         a OR b   either; AND binds more tightly.
//   ( ... )      grouping.
//   "w1 w2 ..."  the words next to each other in this order. Inside the
//                quotes only '"', "\" and "*" are special.
//   [w1 w2 ...]  the words in any order, within a window of
//                kDefaultNearWindow words (or as many as there are words).
//   "...":s  [...]:s     the words within a span of s words.
//   "...":s:e  [...]:s:e as above, but any e of the words may be missing.
//   RANGE(x y)   any indexed word from x to y: numerically among words that
//                are numbers when both are numbers, otherwise
//                alphabetically. A comma may separate the two.
//   \c           the character c itself, never an operator.
// AND, OR and RANGE are operators only when written in capitals; otherwise
// they are words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/search/search_error.h"

namespace fw {

inline constexpr uint32_t kDefaultNearWindow = 10;
inline constexpr size_t kMaxExpressionBytes = 65536;
inline constexpr int kMaxNesting = 64;
// A group with expendable words becomes one alternative per choice of the
// words left out; more choices than this are refused.
inline constexpr uint64_t kMaxExpendableChoices = 1000;

struct QueryNode {
    enum class Kind { Term, Wildcard, Range, Phrase, Near, And, Or };
    Kind kind = Kind::Term;
    std::string text;   // Term: the word; Wildcard: the pattern; Range: the low end
    std::string high;   // Range: the high end (never below the low end)
    bool numeric = false;             // Range: compare as numbers
    std::vector<QueryNode> children;  // Phrase, Near: Term and Wildcard items;
                                      // And, Or: two or more operands
    uint32_t window = 0;              // Phrase, Near: positions the words must fit in
    uint32_t expendable = 0;          // Phrase, Near: words that may be missing
};

struct ParsedQuery {
    int error = kSearchOk;  // a SearchError; root is meaningful only for kSearchOk
    QueryNode root;
};

ParsedQuery ParseQueryExpression(std::string_view expression);

// True when `word` is a non-empty run of ASCII digits.
bool IsNumber(std::string_view word);

// Compares two numbers written in ASCII digits by value (-1, 0, 1).
int CompareNumbers(std::string_view a, std::string_view b);

}  // namespace fw

// GrepPattern: the small regular-expression matcher of the text search.
//
// Pattern language (letters match regardless of case, A-Z only):
//   x       the character x            \x      x literally ("\" last: itself)
//   .       any character              ^       the start of the text
//   $       the end of the text        :a      a letter A-Z or a-z
//   :d :0 :9  a digit                  :n      a letter or a digit
//   ": " ":."  a character of code 1 to 32 or 128 and above
//   [..]    one of the listed characters; "a-z" inside is a range, a "-"
//           first, last or before "]" is literal, "\x" is x
//   [^..]   one character not listed (never the end of the text)
//   e*  e+  e-   element e zero or more times, one or more times, or
//           optionally; longest first, backing off one character at a time
//
// The compiled program is limited to 2048 bytes, counting 2 per character,
// 1 per ".", "^", "$" and ":" element, 2 + members (3 per range) per class and
// 2 per repetition mark.
//
// A pattern object is used by one search at a time; Find is const and may be
// called repeatedly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class GrepPattern {
public:
    static constexpr size_t kProgramLimit = 2048;

    GrepPattern() = default;

    // Compiles `pattern`. On failure returns false, sets *error (when given)
    // to the three-line report ("-GREP-E-<message>, pattern is\"<pattern>\"",
    // "-GREP-E-Stopped at byte <offset>, '<character>'", "?GREP-E-Bad
    // pattern", joined by line feeds) and leaves a pattern that finds nothing.
    bool Compile(std::string_view pattern, std::string* error);

    // Offset of the first position of `text` at which the pattern matches, or
    // -1. The end of the view is the end of the text. Runs in time linear in
    // the text: backtracking that takes too long hands over to a matcher
    // that follows every try at once.
    int64_t Find(std::string_view text) const;

    // Tests: the backtracking steps Find may take before handing over.
    void LimitBacktrackingForTesting(size_t steps) { backtrack_limit_ = steps; }

private:
    enum class Op : uint8_t { Char, Any, Start, End, Letter, Digit, LetterOrDigit, Blank, Class,
                              NotClass };
    enum class Repeat : uint8_t { Once, ZeroOrMore, OneOrMore, Optional };
    struct Element {
        Op op;
        Repeat repeat;
        uint8_t ch;        // Char: the lower-case character
        uint16_t members;  // Class, NotClass: index into classes_
    };
    using CharSet = std::array<bool, 256>;

    enum class Outcome { NoMatch, Match, GaveUp };
    static constexpr size_t kBacktrackStepsPerByte = 8;
    static constexpr size_t kDefaultLimit = SIZE_MAX;

    // Matches the program from element k at pos by backtracking, spending
    // one unit of *budget per element tried and per character repeated.
    Outcome Backtrack(size_t k, size_t pos, std::string_view text, size_t* budget) const;
    // The leftmost match starting at or after `from`, with all tries
    // advancing through the text together.
    int64_t RunThreads(std::string_view text, size_t from) const;
    bool MatchesChar(const Element& e, unsigned char c) const;
    void PrepareScan();
    // The first offset at or after `from` where a match could start, judged
    // by the literal start or the first element; -1 when there is none.
    int64_t NextStart(std::string_view text, size_t from) const;

    std::vector<Element> program_;
    std::vector<CharSet> classes_;  // members in lower case
    bool compiled_ = false;
    bool anchored_ = false;         // holds "^": only offset 0 can match
    CharSet first_{};               // what the first element matches, if it consumes
    bool scan_first_ = false;       // ... and a match must start with one of these
    bool first_repeats_ = false;    // the pattern starts with "e*" or "e+"
    size_t backtrack_limit_ = kDefaultLimit;
    std::string prefix_;            // lower-case literal characters the pattern starts with
    size_t anchor_ = 0;             // the prefix character expected to be rarest in text
};

}  // namespace fw

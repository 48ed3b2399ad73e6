// ReplacementPattern: the compiled search text of a page replacement rule.
//
// Syntax:
//   \c      the character c itself
//   [...]   one character out of the set; "\" inside makes the next character
//           literal; a set without its "]" makes the pattern invalid
//   ?       a run of n "?" anchors what follows: it must begin within n
//           characters of where that part of the search starts, and the
//           characters skipped belong to the match
//   *       any run of characters, including none
//   ^       (first character) the match starts where the searched text starts
//   $       (last character) the match ends where the searched text ends
//   other   itself; with case ignored, both letter cases of an ASCII letter
//
// The pattern is the literal part before the first "*" or "?" (found with a
// Boyer-Moore-Horspool scan over a 256-entry skip table) and a tail, the rest
// from that wildcard on, compiled the same way and searched in the text that
// follows the literal part. The tail ignores case as the rule does, and a
// final "$" anchors the end of the whole match, tail included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace corvalin {

class ReplacementPattern {
  public:
    struct Match {
        size_t start = 0;   // offset in the searched text
        size_t length = 0;  // at least 1
        friend bool operator==(const Match&, const Match&) = default;
    };

    // Longer search texts are invalid: every wildcard part nests one level
    // deeper. (A project file holds at most 1023 bytes per text.)
    static constexpr size_t kMaxPatternBytes = 4096;

    // The compiled pattern, or nullopt when `text` is invalid.
    static std::optional<ReplacementPattern> Compile(std::string_view text, bool ignore_case);

    // The first match in `text`, or nullopt. Matches never have length 0, so
    // a caller that continues after each match always moves on.
    std::optional<Match> Search(std::string_view text) const;

    ReplacementPattern(ReplacementPattern&&) = default;
    ReplacementPattern& operator=(ReplacementPattern&&) = default;

  private:
    // One element of the literal part: the set of bytes it matches.
    using ByteSet = std::array<uint64_t, 4>;
    struct SearchState;
    static constexpr size_t kNone = static_cast<size_t>(-1);

    ReplacementPattern() = default;

    // Compiles one part; `depth` counts the tails above it, `anchored_end`
    // is the end anchor the last part keeps.
    static bool CompilePart(std::string_view text, bool ignore_case, bool anchored_end,
                            uint32_t depth, ReplacementPattern* part);
    static bool Contains(const ByteSet& set, unsigned char c) {
        return (set[c >> 6] >> (c & 63)) & 1;
    }
    static void Add(ByteSet* set, unsigned char c, bool ignore_case);

    // This part's match in text[begin, end), with literal parts starting
    // before `below` only. Offsets are absolute.
    std::optional<Match> Find(std::string_view text, size_t begin, size_t below,
                              SearchState* state) const;
    // The end of this part's match when it is a tail that starts at `begin`;
    // remembers failures so that no tail is searched twice from one place.
    std::optional<size_t> FindTail(std::string_view text, size_t begin, SearchState* state) const;
    // The start of the first alignment at or after `from` (and before
    // `below`) where every literal element matches; kNone when none does.
    size_t FindLiteral(std::string_view text, size_t begin, size_t from, size_t below) const;
    bool LiteralMatchesAt(std::string_view text, size_t start) const;

    std::vector<ByteSet> elements_;
    std::array<uint32_t, 256> skip_{};
    std::unique_ptr<const ReplacementPattern> tail_;
    size_t start_limit_ = 0;  // leading "?" count, when anchored
    uint32_t depth_ = 0;      // 0 for the first part
    bool unbounded_ = false;  // a leading "*": the match starts anywhere
    bool anchored_start_ = false;
    bool anchored_end_ = false;
};

}  // namespace corvalin

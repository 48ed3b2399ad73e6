#include "app/core/replacement_pattern.h"

#include <algorithm>
#include <unordered_set>

#include "platform/text.h"

namespace corvalin {

// What one Search learns about its tails. A tail that fails from one place
// is never searched from there again, and a tail starting with "*" that
// fails from a place fails from every later one too; without this a pattern
// of many "?" parts could search the same places exponentially often.
struct ReplacementPattern::SearchState {
    std::unordered_set<uint64_t> failed;  // (depth, begin) of "?" tails
    std::vector<size_t> star_failed;      // per depth: a "*" tail failed from here on

    static uint64_t Key(uint32_t depth, size_t begin) {
        return (static_cast<uint64_t>(depth) << 44) | static_cast<uint64_t>(begin);
    }
    size_t StarFailedFrom(uint32_t depth) const {
        return depth < star_failed.size() ? star_failed[depth] : kNone;
    }
};

namespace {

// A final "$" is an anchor unless a "\" escapes it (an odd run of them).
bool EndsWithAnchor(std::string_view text) {
    if (text.empty() || text.back() != '$') return false;
    size_t backslashes = 0;
    for (size_t i = text.size() - 1; i > 0 && text[i - 1] == '\\'; --i) ++backslashes;
    return backslashes % 2 == 0;
}

}  // namespace

void ReplacementPattern::Add(ByteSet* set, unsigned char c, bool ignore_case) {
    auto put = [set](unsigned char b) { (*set)[b >> 6] |= uint64_t{1} << (b & 63); };
    put(c);
    if (ignore_case) {
        put(static_cast<unsigned char>(platform::ToLowerAscii(static_cast<char>(c))));
        put(static_cast<unsigned char>(platform::ToUpperAscii(static_cast<char>(c))));
    }
}

std::optional<ReplacementPattern> ReplacementPattern::Compile(std::string_view text,
                                                              bool ignore_case) {
    if (text.size() > kMaxPatternBytes) return std::nullopt;
    const bool anchored_end = EndsWithAnchor(text);
    if (anchored_end) text.remove_suffix(1);
    bool anchored_start = false;
    if (!text.empty() && text.front() == '^') {
        anchored_start = true;
        text.remove_prefix(1);
    }
    ReplacementPattern pattern;
    pattern.anchored_start_ = anchored_start;
    if (!CompilePart(text, ignore_case, anchored_end, 0, &pattern)) return std::nullopt;
    return pattern;
}

bool ReplacementPattern::CompilePart(std::string_view text, bool ignore_case, bool anchored_end,
                                     uint32_t depth, ReplacementPattern* part) {
    part->depth_ = depth;
    size_t i = 0;
    for (; i < text.size() && (text[i] == '?' || text[i] == '*'); ++i) {
        if (part->unbounded_) continue;
        if (text[i] == '*') {
            part->anchored_start_ = false;
            part->unbounded_ = true;
        } else {
            part->anchored_start_ = true;
            ++part->start_limit_;
        }
    }
    part->anchored_end_ = anchored_end;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '*' || c == '?') {
            // The rest, from this wildcard on, is the tail; the end anchor
            // belongs to the last part.
            ReplacementPattern tail;
            if (!CompilePart(text.substr(i), ignore_case, anchored_end, depth + 1, &tail)) {
                return false;
            }
            part->tail_ = std::make_unique<const ReplacementPattern>(std::move(tail));
            part->anchored_end_ = false;
            break;
        }
        ByteSet set{};
        if (c == '[') {
            size_t j = i + 1;
            for (; j < text.size() && text[j] != ']'; ++j) {
                if (text[j] == '\\' && j + 1 < text.size()) ++j;
                Add(&set, static_cast<unsigned char>(text[j]), ignore_case);
            }
            if (j >= text.size()) return false;  // no "]"
            i = j + 1;
        } else if (c == '\\' && i + 1 < text.size()) {
            Add(&set, static_cast<unsigned char>(text[i + 1]), ignore_case);
            i += 2;
        } else {
            Add(&set, static_cast<unsigned char>(c), ignore_case);
            ++i;
        }
        part->elements_.push_back(set);
    }
    // Boyer-Moore-Horspool: a byte shifts the scan so that the last element
    // that can match it comes under it; the last element's bytes get 0.
    const auto count = static_cast<uint32_t>(part->elements_.size());
    part->skip_.fill(count);
    for (uint32_t j = 0; j < count; ++j) {
        for (unsigned b = 0; b < 256; ++b) {
            if (Contains(part->elements_[j], static_cast<unsigned char>(b))) {
                part->skip_[b] = count - 1 - j;
            }
        }
    }
    return true;
}

std::optional<ReplacementPattern::Match> ReplacementPattern::Search(std::string_view text) const {
    // Only tails need to remember what they tried.
    std::optional<SearchState> state;
    if (tail_) state.emplace();
    auto match = Find(text, 0, kNone, state ? &*state : nullptr);
    if (!match || match->length == 0) return std::nullopt;
    return match;
}

std::optional<ReplacementPattern::Match> ReplacementPattern::Find(std::string_view text,
                                                                  size_t begin, size_t below,
                                                                  SearchState* state) const {
    const size_t rest = text.size() - begin;
    if (elements_.empty()) {
        // Only wildcards: "*" takes everything, "?" runs up to their count.
        if (unbounded_) return Match{begin, rest};
        if (start_limit_ == 0) return std::nullopt;
        if (anchored_end_) {
            if (rest > start_limit_) return std::nullopt;
            return Match{begin, rest};
        }
        return Match{begin, std::min(rest, start_limit_)};
    }
    const size_t count = elements_.size();
    for (size_t from = begin;;) {
        const size_t start = FindLiteral(text, begin, from, below);
        if (start == kNone) return std::nullopt;
        size_t end = start + count;
        if (tail_) {
            auto tail_end = tail_->FindTail(text, end, state);
            if (!tail_end) {
                // A "*" tail that fails here fails after every later start.
                if (tail_->unbounded_) return std::nullopt;
                from = start + 1;
                continue;
            }
            end = *tail_end;
        }
        // Leading wildcards take the characters before the literal part.
        const size_t match_start = (unbounded_ || start_limit_ > 0) ? begin : start;
        return Match{match_start, end - match_start};
    }
}

std::optional<size_t> ReplacementPattern::FindTail(std::string_view text, size_t begin,
                                                   SearchState* state) const {
    size_t below = kNone;
    if (unbounded_) {
        // Literal parts at or after an earlier failure's start were tried then.
        below = state->StarFailedFrom(depth_);
        if (begin >= below) return std::nullopt;
    } else if (state->failed.count(SearchState::Key(depth_, begin))) {
        return std::nullopt;
    }
    if (auto match = Find(text, begin, below, state)) return match->start + match->length;
    if (unbounded_) {
        if (state->star_failed.size() <= depth_) state->star_failed.resize(depth_ + 1, kNone);
        state->star_failed[depth_] = begin;
    } else {
        state->failed.insert(SearchState::Key(depth_, begin));
    }
    return std::nullopt;
}

bool ReplacementPattern::LiteralMatchesAt(std::string_view text, size_t start) const {
    for (size_t j = 0; j < elements_.size(); ++j) {
        if (!Contains(elements_[j], static_cast<unsigned char>(text[start + j]))) return false;
    }
    return true;
}

size_t ReplacementPattern::FindLiteral(std::string_view text, size_t begin, size_t from,
                                       size_t below) const {
    const size_t count = elements_.size();
    const size_t size = text.size();
    if (size < count || from > size - count) return kNone;
    // The last start allowed, inclusive.
    size_t last_start = size - count;
    if (anchored_start_) last_start = std::min(last_start, begin + start_limit_);
    if (below != kNone) {
        if (below == 0) return kNone;
        last_start = std::min(last_start, below - 1);
    }
    if (from > last_start) return kNone;
    if (anchored_end_) {
        const size_t start = size - count;
        return start >= from && start <= last_start && LiteralMatchesAt(text, start) ? start
                                                                                     : kNone;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const uint32_t* skip = skip_.data();
    // `pos` is the text position under comparison; it starts under the last
    // element. A byte the last element cannot match has a skip above 0.
    const size_t end = last_start + count;  // exclusive bound for the last element
    size_t pos = from + count - 1;
    while (pos < end) {
        if (const uint32_t shift = skip[bytes[pos]]; shift != 0) {
            pos += shift;
            continue;
        }
        size_t q = pos;
        size_t j = count - 1;
        while (j > 0 && Contains(elements_[j - 1], bytes[q - 1])) {
            --j;
            --q;
        }
        if (j == 0) return q;
        // Mismatch at element j - 1, text position q - 1.
        --j;
        --q;
        pos = q + std::max<size_t>(skip[bytes[q]], count - j);
    }
    return kNone;
}

}  // namespace corvalin

#include "engine/filter/grep_pattern.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/text.h"

namespace fw {
namespace {

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
unsigned char Lower(unsigned char c) { return static_cast<unsigned char>(platform::ToLowerAscii(c)); }

struct CompileError {
    const char* message;
    size_t offset;
};

std::string Report(std::string_view pattern, const CompileError& e) {
    std::string out = "-GREP-E-";
    out += e.message;
    out += ", pattern is\"";
    out += pattern;
    out += "\"\n-GREP-E-Stopped at byte ";
    out += std::to_string(e.offset);
    out += ", '";
    // At the end of the pattern there is no character to show (a zero byte
    // would cut the message short).
    if (e.offset < pattern.size()) out += pattern[e.offset];
    out += "'\n?GREP-E-Bad pattern";
    return out;
}

// The first byte at or after `from` that equals `c`, a letter matching in
// either case; null when there is none.
const char* FindFolded(const char* from, const char* end, unsigned char c) {
    if (!IsLetter(c)) return static_cast<const char*>(std::memchr(from, c, end - from));
    // Setting bit 5 maps exactly the two cases of a letter onto its lower case.
#ifdef __SSE2__
    const __m128i needle = _mm_set1_epi8(static_cast<char>(c));
    const __m128i fold = _mm_set1_epi8(0x20);
    for (; end - from >= 16; from += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(chunk, fold), needle));
        if (hits) return from + __builtin_ctz(static_cast<unsigned>(hits));
    }
#endif
    for (; from < end; ++from) {
        if ((static_cast<unsigned char>(*from) | 0x20) == c) return from;
    }
    return nullptr;
}

// How common a byte is in HTML and English text, roughly, so a literal is
// looked for by its rarest character.
int Commonness(unsigned char c) {
    // Letter frequencies per thousand in English text.
    static constexpr int kLetters[26] = {82, 15, 28, 43, 127, 22, 20, 61, 70, 2,  8,  40, 24,
                                         67, 75, 19, 1,  60, 63, 91, 28, 10, 24, 2,  20, 1};
    if (c >= 'a' && c <= 'z') return kLetters[c - 'a'];
    if (c == ' ') return 180;
    if (c == '<' || c == '>' || c == '/' || c == '"' || c == '=') return 40;
    if (IsDigit(c)) return 10;
    return 5;
}

}  // namespace

bool GrepPattern::Compile(std::string_view pattern, std::string* error) {
    program_.clear();
    classes_.clear();
    compiled_ = false;
    anchored_ = false;
    size_t bytes = 0;
    const size_t n = pattern.size();
    auto fail = [&](const char* message, size_t offset) {
        program_.clear();
        classes_.clear();
        if (error) *error = Report(pattern, {message, offset});
        return false;
    };

    for (size_t i = 0; i < n; ++i) {
        const size_t start = i;
        const unsigned char c = pattern[i];
        if (c == '*' || c == '+' || c == '-') {
            // Only a character-consuming element can repeat, and only once.
            if (program_.empty() || program_.back().op == Op::Start ||
                program_.back().op == Op::End || program_.back().repeat != Repeat::Once) {
                return fail("Illegal occurrance op.", i);
            }
            program_.back().repeat = c == '*'   ? Repeat::ZeroOrMore
                                     : c == '+' ? Repeat::OneOrMore
                                                : Repeat::Optional;
            bytes += 2;
        } else if (c == '^' || c == '$' || c == '.') {
            program_.push_back({c == '^' ? Op::Start : c == '$' ? Op::End : Op::Any,
                                Repeat::Once, 0, 0});
            if (c == '^') anchored_ = true;
            bytes += 1;
        } else if (c == ':') {
            if (++i == n) return fail("No : type", i);
            Op op;
            switch (Lower(pattern[i])) {
                case 'a': op = Op::Letter; break;
                case 'd': case '0': case '9': op = Op::Digit; break;
                case 'n': op = Op::LetterOrDigit; break;
                case ' ': case '.': op = Op::Blank; break;
                default: return fail("Unknown : type", i);
            }
            program_.push_back({op, Repeat::Once, 0, 0});
            bytes += 1;
        } else if (c == '[') {
            CharSet members{};
            size_t member_bytes = 0;
            bool negate = false;
            if (++i < n && pattern[i] == '^') {
                negate = true;
                ++i;
            }
            // Reads one member character at i, "\x" as x; false at a
            // backslash that ends the pattern.
            auto take = [&](unsigned char* out) {
                if (pattern[i] == '\\') {
                    if (i + 1 == n) return false;
                    ++i;
                }
                *out = Lower(pattern[i]);
                return true;
            };
            for (;; ++i) {
                if (i >= n) return fail("Unterminated class", n);
                if (pattern[i] == ']') {
                    if (member_bytes == 0) return fail("Empty class", i);
                    break;
                }
                unsigned char low;
                if (!take(&low)) return fail("Class terminates badly", i);
                if (i + 2 < n && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
                    i += 2;
                    unsigned char high;
                    if (!take(&high)) return fail("Class terminates badly", i);
                    for (unsigned v = low; v <= high; ++v) members[v] = true;
                    member_bytes += 3;
                } else {
                    members[low] = true;
                    member_bytes += 1;
                }
                if (member_bytes >= 255) return fail("Class too large", i);
            }
            program_.push_back({negate ? Op::NotClass : Op::Class, Repeat::Once, 0,
                                static_cast<uint16_t>(classes_.size())});
            classes_.push_back(members);
            bytes += 2 + member_bytes;
        } else {
            unsigned char literal = c;
            if (c == '\\' && i + 1 < n) literal = pattern[++i];
            program_.push_back({Op::Char, Repeat::Once, Lower(literal), 0});
            bytes += 2;
        }
        if (bytes > kProgramLimit) return fail("Pattern too complex", start);
    }
    compiled_ = true;
    PrepareScan();
    return true;
}

void GrepPattern::PrepareScan() {
    first_repeats_ = !program_.empty() && (program_[0].repeat == Repeat::ZeroOrMore ||
                                           program_[0].repeat == Repeat::OneOrMore);
    prefix_.clear();
    for (const Element& e : program_) {
        if (e.op != Op::Char || e.repeat != Repeat::Once) break;
        prefix_.push_back(static_cast<char>(e.ch));
    }
    anchor_ = 0;
    for (size_t i = 1; i < prefix_.size(); ++i) {
        if (Commonness(prefix_[i]) < Commonness(prefix_[anchor_])) anchor_ = i;
    }
    scan_first_ = false;
    if (program_.empty()) return;
    const Element& first = program_.front();
    if (first.op == Op::Start || first.op == Op::End) return;
    for (unsigned c = 0; c < 256; ++c) first_[c] = MatchesChar(first, static_cast<unsigned char>(c));
    scan_first_ = first.repeat == Repeat::Once || first.repeat == Repeat::OneOrMore;
}

bool GrepPattern::MatchesChar(const Element& e, unsigned char c) const {
    switch (e.op) {
        case Op::Char: return Lower(c) == e.ch;
        case Op::Any: return true;
        case Op::Letter: return IsLetter(c);
        case Op::Digit: return IsDigit(c);
        case Op::LetterOrDigit: return IsLetter(c) || IsDigit(c);
        case Op::Blank: return (c >= 1 && c <= 32) || c >= 128;
        case Op::Class: return classes_[e.members][Lower(c)];
        case Op::NotClass: return !classes_[e.members][Lower(c)];
        case Op::Start:
        case Op::End: break;
    }
    return false;
}

namespace {

// The threads of the linear matcher at one text position: per program state
// the earliest start of a thread in it (-1: none), and the states in use.
class Threads {
public:
    explicit Threads(size_t states) : start_(states, -1) { used_.reserve(states); }

    // Adds a thread; of two in the same state the earlier start survives. A
    // state whose start improves is listed once more, which is harmless: the
    // walks over the list read each state's current start.
    void Add(uint32_t state, int64_t start) {
        int64_t& held = start_[state];
        if (held >= 0 && held <= start) return;
        held = start;
        used_.push_back(state);
    }
    int64_t StartOf(uint32_t state) const { return start_[state]; }
    const std::vector<uint32_t>& used() const { return used_; }
    bool empty() const { return used_.empty(); }
    void Clear() {
        for (uint32_t state : used_) start_[state] = -1;
        used_.clear();
    }

private:
    std::vector<int64_t> start_;
    std::vector<uint32_t> used_;
};

}  // namespace

int64_t GrepPattern::NextStart(std::string_view text, size_t from) const {
    const size_t n = text.size();
    if (!prefix_.empty()) {
        // Jump from one occurrence of the literal start's rarest character to
        // the next and check the whole literal in place.
        const size_t length = prefix_.size();
        if (n < length || from > n - length) return -1;
        const char* base = text.data();
        const char* last_start = base + (n - length);
        const unsigned char anchor = static_cast<unsigned char>(prefix_[anchor_]);
        for (const char* start = base + from; start <= last_start; ++start) {
            const char* hit = FindFolded(start + anchor_, last_start + anchor_ + 1, anchor);
            if (!hit) return -1;
            start = hit - anchor_;
            size_t i = 0;
            while (i < length && Lower(start[i]) == static_cast<unsigned char>(prefix_[i])) ++i;
            if (i == length) return start - base;
        }
        return -1;
    }
    if (scan_first_) {
        for (size_t pos = from; pos < n; ++pos) {
            if (first_[static_cast<unsigned char>(text[pos])]) return static_cast<int64_t>(pos);
        }
        return -1;
    }
    return from <= n ? static_cast<int64_t>(from) : -1;
}

GrepPattern::Outcome GrepPattern::Backtrack(size_t k, size_t pos, std::string_view text,
                                            size_t* budget) const {
    const size_t n = text.size();
    for (; k < program_.size(); ++k) {
        if (*budget == 0) return Outcome::GaveUp;
        --*budget;
        const Element& e = program_[k];
        if (e.op == Op::Start || e.op == Op::End) {
            if (pos != (e.op == Op::Start ? 0 : n)) return Outcome::NoMatch;
            continue;
        }
        if (e.repeat == Repeat::Once) {
            if (pos == n || !MatchesChar(e, text[pos])) return Outcome::NoMatch;
            ++pos;
            continue;
        }
        const size_t most = e.repeat == Repeat::Optional ? 1 : n - pos;
        const size_t least = e.repeat == Repeat::OneOrMore ? 1 : 0;
        size_t count = 0;
        while (count < most && pos + count < n && MatchesChar(e, text[pos + count])) ++count;
        if (count < least) return Outcome::NoMatch;
        *budget -= count < *budget ? count : *budget;
        // Longest first, backing off one character at a time. Ends where the
        // next element cannot match are passed over without a full try.
        const Element* next = k + 1 < program_.size() ? &program_[k + 1] : nullptr;
        const bool next_consumes = next && next->repeat == Repeat::Once &&
                                   next->op != Op::Start && next->op != Op::End;
        for (size_t take = count;; --take) {
            const size_t end = pos + take;
            if (!next_consumes || (end < n && MatchesChar(*next, text[end]))) {
                const Outcome rest = Backtrack(k + 1, end, text, budget);
                if (rest != Outcome::NoMatch) return rest;
            }
            if (take == least) return Outcome::NoMatch;
        }
    }
    return Outcome::Match;
}

int64_t GrepPattern::RunThreads(std::string_view text, size_t from) const {
    const size_t n = text.size();
    // States: 0 to m - 1 wait for element k, m is the match, and m + 1 + k
    // has matched element k ("e+") at least once.
    const uint32_t accept = static_cast<uint32_t>(program_.size());
    Threads now(2 * accept + 1);
    Threads next(2 * accept + 1);
    auto element_of = [accept](uint32_t state) { return state < accept ? state : state - accept - 1; };
    int64_t best = -1;
    for (size_t pos = from;; ++pos) {
        if (best < 0) {
            if (anchored_) {
                // "^" holds only at the start, so only a try from there counts.
                if (pos == 0) now.Add(0, 0);
                if (now.empty()) return -1;
            } else if (now.empty()) {
                const int64_t start = NextStart(text, pos);
                if (start < 0) return -1;
                pos = static_cast<size_t>(start);
                now.Add(0, start);
            } else if (!scan_first_ || (pos < n && first_[static_cast<unsigned char>(text[pos])])) {
                now.Add(0, static_cast<int64_t>(pos));
            }
        }
        // Moves that consume nothing lead from element k to k + 1 only, so
        // making them in element order gives every state its earliest start
        // before its own moves are made.
        uint32_t low = accept;
        uint32_t high = 0;
        for (uint32_t state : now.used()) {
            if (state == accept) continue;
            const uint32_t k = element_of(state);
            low = std::min(low, k);
            high = std::max(high, k);
        }
        for (uint32_t k = low; k < accept && k <= high; ++k) {
            const Element& e = program_[k];
            const bool passes = e.op == Op::Start ? pos == 0
                                : e.op == Op::End ? pos == n
                                                  : e.repeat == Repeat::ZeroOrMore ||
                                                        e.repeat == Repeat::Optional;
            int64_t start = passes ? now.StartOf(k) : -1;
            const int64_t repeated = now.StartOf(accept + 1 + k);  // "e+" seen at least once
            if (repeated >= 0 && (start < 0 || repeated < start)) start = repeated;
            if (start < 0) continue;
            now.Add(k + 1, start);
            high = std::max(high, k + 1);
        }
        const int64_t matched = now.StartOf(accept);
        if (matched >= 0 && (best < 0 || matched < best)) best = matched;
        if (pos == n) return best;
        // Consume one character; threads that cannot beat a found match stop.
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        for (uint32_t state : now.used()) {
            if (state == accept) continue;
            const int64_t start = now.StartOf(state);
            if (best >= 0 && start >= best) continue;
            const uint32_t k = element_of(state);
            const Element& e = program_[k];
            if (e.op == Op::Start || e.op == Op::End || !MatchesChar(e, c)) continue;
            switch (e.repeat) {
                case Repeat::Once:
                case Repeat::Optional: next.Add(k + 1, start); break;
                case Repeat::ZeroOrMore: next.Add(k, start); break;
                case Repeat::OneOrMore: next.Add(accept + 1 + k, start); break;
            }
        }
        now.Clear();
        std::swap(now, next);
        if (best >= 0 && now.empty()) return best;
    }
}

int64_t GrepPattern::Find(std::string_view text) const {
    if (!compiled_) return -1;
    if (program_.empty()) return 0;
    if (prefix_.size() == program_.size()) return NextStart(text, 0);
    const size_t n = text.size();
    size_t budget = backtrack_limit_ != kDefaultLimit ? backtrack_limit_
                                                      : kBacktrackStepsPerByte * (n + 1);
    for (size_t pos = 0; pos <= n; ++pos) {
        if (anchored_ && pos > 0) return -1;
        const int64_t start = NextStart(text, pos);
        if (start < 0) return -1;
        pos = static_cast<size_t>(start);
        switch (Backtrack(0, pos, text, &budget)) {
            case Outcome::Match: return static_cast<int64_t>(pos);
            case Outcome::GaveUp: return RunThreads(text, pos);
            case Outcome::NoMatch: break;
        }
        // A later start inside the run of a leading repeated element would
        // try a subset of the same ends for the rest of the pattern.
        if (first_repeats_) {
            while (pos < n && first_[static_cast<unsigned char>(text[pos])]) ++pos;
        }
    }
    return -1;
}

}  // namespace fw

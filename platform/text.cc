#include "platform/text.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace platform {

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = ToLowerAscii(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    }
    return true;
}

size_t FindIgnoreCase(std::string_view hay, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
    if (needle.size() > hay.size()) return std::string_view::npos;
    const char first = ToLowerAscii(needle[0]);
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (ToLowerAscii(hay[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && ToLowerAscii(hay[i + k]) == ToLowerAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::string_view TrimView(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsLineWhite(text[b])) ++b;
    while (e > b && IsLineWhite(text[e - 1])) --e;
    return text.substr(b, e - b);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string WithoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string_view TrimRightBlanks(std::string_view text) {
    // Eight bytes at a time: fixed-width columns and keys are mostly padding.
    constexpr uint64_t kBlanks = 0x2020202020202020ull;
    size_t e = text.size();
    while (e >= 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + e - 8, 8);
        if (word != kBlanks) break;
        e -= 8;
    }
    while (e > 0 && text[e - 1] == ' ') --e;
    return text.substr(0, e);
}

long LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpaceOrTab(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::string_view CutUtf8(std::string_view text, size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    size_t cut = max_bytes;
    // Step back over continuation bytes to the start of the cut sequence; a
    // sequence has at most three, so invalid input cannot make us cut more.
    while (cut > 0 && max_bytes - cut < 3 &&
           (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return text.substr(0, cut);
}

}  // namespace platform

// Small ASCII text helpers shared by every layer. Nothing here depends on the
// locale: "letters" are A-Z and a-z only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline constexpr char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ToLowerAscii(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Position of `needle` in `hay` comparing letters case-insensitively, or npos.
size_t FindIgnoreCase(std::string_view hay, std::string_view needle, size_t from = 0);

inline bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// Space, tab, carriage return and line feed.
inline bool IsLineWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Removes blanks, tabs, carriage returns and line feeds at both ends.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Removes trailing blanks only (the padding of fixed-width columns).
std::string_view TrimRightBlanks(std::string_view text);

// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// `text` with every "%" and two hexadecimal digits turned into that byte;
// any other "%" stays.
std::string PercentDecoded(std::string_view text);

// `text` without its carriage returns and line feeds: what goes into one
// line of a protocol (a header value, a command) cannot start another.
std::string WithoutLineBreaks(std::string_view text);

// Value of an optional sign followed by leading decimal digits (after leading
// blanks); 0 when there are none. Saturates at the limits of long.
long LeadingInteger(std::string_view text);

// Cuts `text` to at most `max_bytes` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t max_bytes);

}  // namespace platform

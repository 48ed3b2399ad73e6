// Reading a Set-Cookie header value the way RFC 6265 (section 5.2) reads it:
// the name-value pair, then the attributes the cookie store acts on. Pure
// functions of the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

struct SetCookieValue {
    std::string name;   // trimmed
    std::string value;  // trimmed
    // Domain attribute lower-cased, one leading "." dropped; nullopt when
    // absent or empty (a host-only cookie).
    std::optional<std::string> domain;
    // Path attribute when it starts with "/"; nullopt otherwise.
    std::optional<std::string> path;
    std::optional<int64_t> expires;  // Expires as a calendar time, when it parses
    std::optional<int64_t> max_age;  // Max-Age in seconds, when it is an integer
    bool secure = false;
    bool http_only = false;
};

// Longest name plus value accepted, as browsers limit them.
inline constexpr size_t kMaxCookieBytes = 4096;

// nullopt when the value has no "=" before its first ";", an empty name, a
// control character in name or value (a tab, a line end, ...) or more than
// kMaxCookieBytes of name and value. Unknown attributes are ignored; a later
// attribute of the same name wins.
std::optional<SetCookieValue> ParseSetCookie(std::string_view header);

// The cookie-date of RFC 6265 section 5.1.1 (what Expires holds: RFC 1123,
// RFC 850 and asctime forms and the variations browsers meet), read as UTC.
// nullopt when a field is missing or out of range, or the day does not exist
// in that month.
std::optional<int64_t> ParseCookieDate(std::string_view text);

// Whether `text` holds a control character (below 0x20, or DEL): such a
// cookie part is refused wherever it comes from.
bool HasControl(std::string_view text);

}  // namespace fw

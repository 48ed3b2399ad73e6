#include "engine/net/set_cookie.h"

#include <ctime>
#include <limits>

#include "platform/text.h"

namespace fw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsDateDelimiter(unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2f) || (c >= 0x3b && c <= 0x40) ||
           (c >= 0x5b && c <= 0x60) || (c >= 0x7b && c <= 0x7e);
}

// Reads `min` to `max` digits at `*pos`, which must then be at the end or at
// a non-digit.
bool Digits(std::string_view token, size_t* pos, size_t min, size_t max, int* out) {
    size_t start = *pos;
    int value = 0;
    while (*pos < token.size() && IsDigit(token[*pos]) && *pos - start < max) {
        value = value * 10 + (token[*pos] - '0');
        ++*pos;
    }
    size_t count = *pos - start;
    if (count < min || (*pos < token.size() && IsDigit(token[*pos]))) return false;
    *out = value;
    return true;
}

// hms-time = time-field ":" time-field ":" time-field, then anything not a digit.
bool TimeToken(std::string_view token, int* h, int* m, int* s) {
    size_t pos = 0;
    if (!Digits(token, &pos, 1, 2, h) || pos >= token.size() || token[pos++] != ':') return false;
    if (!Digits(token, &pos, 1, 2, m) || pos >= token.size() || token[pos++] != ':') return false;
    return Digits(token, &pos, 1, 2, s);
}

bool NumberToken(std::string_view token, size_t min, size_t max, int* out) {
    size_t pos = 0;
    return Digits(token, &pos, min, max, out);
}

int MonthOf(std::string_view token) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) return -1;
    for (int i = 0; i < 12; ++i) {
        if (platform::EqualsIgnoreCase(token.substr(0, 3), kMonths[i])) return i;
    }
    return -1;
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int month, int year) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 1 && IsLeap(year) ? 29 : kDays[month];
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && platform::IsSpaceOrTab(text.front())) text.remove_prefix(1);
    while (!text.empty() && platform::IsSpaceOrTab(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<int64_t> MaxAge(std::string_view value) {
    size_t pos = value.empty() || value[0] != '-' ? 0 : 1;
    if (pos == value.size()) return std::nullopt;
    int64_t seconds = 0;
    for (size_t i = pos; i < value.size(); ++i) {
        if (!IsDigit(value[i])) return std::nullopt;
        // Anything beyond a century is as good as forever.
        if (seconds < int64_t{100} * 365 * 24 * 3600) seconds = seconds * 10 + (value[i] - '0');
    }
    return pos == 1 ? -seconds : seconds;
}

}  // namespace

std::optional<int64_t> ParseCookieDate(std::string_view text) {
    bool have_time = false, have_day = false, have_month = false, have_year = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[pos]))) ++pos;
        size_t end = pos;
        while (end < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[end]))) ++end;
        std::string_view token = text.substr(pos, end - pos);
        pos = end;
        if (token.empty()) continue;
        int h, m, s, n;
        if (!have_time && TimeToken(token, &h, &m, &s)) {
            have_time = true;
            hour = h, minute = m, second = s;
        } else if (!have_day && NumberToken(token, 1, 2, &n)) {
            have_day = true;
            day = n;
        } else if (!have_month && MonthOf(token) >= 0) {
            have_month = true;
            month = MonthOf(token);
        } else if (!have_year && NumberToken(token, 2, 4, &n)) {
            have_year = true;
            year = n;
        }
    }
    if (year >= 70 && year <= 99) year += 1900;
    if (year >= 0 && year <= 69) year += 2000;
    if (!have_time || !have_day || !have_month || !have_year) return std::nullopt;
    if (day < 1 || year < 1601 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (day > DaysIn(month, year)) return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<int64_t>(::timegm(&tm));
}

bool HasControl(std::string_view text) {
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) return true;
    }
    return false;
}

std::optional<SetCookieValue> ParseSetCookie(std::string_view header) {
    size_t semicolon = header.find(';');
    std::string_view pair = header.substr(0, semicolon);
    size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    SetCookieValue cookie;
    std::string_view name = TrimBlanks(pair.substr(0, equals));
    std::string_view value = TrimBlanks(pair.substr(equals + 1));
    if (name.empty() || HasControl(name) || HasControl(value) ||
        name.size() + value.size() > kMaxCookieBytes) {
        return std::nullopt;
    }
    cookie.name = std::string(name);
    cookie.value = std::string(value);

    std::string_view rest = semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
    while (!rest.empty()) {
        size_t next = rest.find(';');
        std::string_view attribute = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        size_t eq = attribute.find('=');
        std::string_view key = TrimBlanks(attribute.substr(0, eq));
        std::string_view val = eq == std::string_view::npos ? std::string_view() : TrimBlanks(attribute.substr(eq + 1));
        if (platform::EqualsIgnoreCase(key, "expires")) {
            if (auto t = ParseCookieDate(val)) cookie.expires = *t;
        } else if (platform::EqualsIgnoreCase(key, "max-age")) {
            if (auto seconds = MaxAge(val)) cookie.max_age = *seconds;
        } else if (platform::EqualsIgnoreCase(key, "domain")) {
            if (!val.empty() && val.front() == '.') val.remove_prefix(1);
            if (val.empty()) {
                cookie.domain.reset();
            } else {
                cookie.domain = platform::ToLowerAscii(val);
            }
        } else if (platform::EqualsIgnoreCase(key, "path")) {
            if (!val.empty() && val.front() == '/' && !HasControl(val)) {
                cookie.path = std::string(val);
            } else {
                cookie.path.reset();
            }
        } else if (platform::EqualsIgnoreCase(key, "secure")) {
            cookie.secure = true;
        } else if (platform::EqualsIgnoreCase(key, "httponly")) {
            cookie.http_only = true;
        }
    }
    return cookie;
}

}  // namespace fw

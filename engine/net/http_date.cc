#include "engine/net/http_date.h"

#include <cstdio>
#include <ctime>

#include "platform/local_time.h"
#include "platform/text.h"

namespace fw {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLowerMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};

// Fields beyond this many digits cannot name a date; refusing them keeps the
// arithmetic below in range.
constexpr size_t kMaxDigits = 9;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the digits at the start of `s`; nullopt when there are none or
// too many.
std::optional<int> LeadingDigits(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && IsDigit(s[n])) ++n;
    if (n == 0 || n > kMaxDigits) return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < n; ++i) value = value * 10 + (s[i] - '0');
    return value;
}

std::optional<int> TrailingDigits(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && IsDigit(s[s.size() - 1 - n])) ++n;
    if (n == 0) return std::nullopt;
    return LeadingDigits(s.substr(s.size() - n));
}

// The "value" of a time field: its leading digits, 0 when there are none.
std::optional<int> FieldValue(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && IsDigit(s[n])) ++n;
    if (n == 0) return 0;
    return LeadingDigits(s);
}

}  // namespace

std::string HttpDate::Format(int64_t t) {
    std::tm tm = platform::LocalTime(static_cast<std::time_t>(t));
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7],
                  tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

std::optional<int64_t> HttpDate::Parse(std::string_view text) {
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(comma + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    // Drop the zone word, then the spaces before it.
    if (size_t last = rest.rfind(' '); last != std::string_view::npos) rest = rest.substr(0, last);
    rest = platform::TrimRightBlanks(rest);

    size_t split = rest.rfind(' ');
    if (split == std::string_view::npos) return std::nullopt;
    std::string_view date = platform::TrimRightBlanks(rest.substr(0, split));
    std::string_view time = rest.substr(split + 1);

    std::optional<int> day = LeadingDigits(date);
    std::optional<int> year = TrailingDigits(date);
    if (!day || !year) return std::nullopt;
    int years_since_1900 = *year >= 1900 ? *year - 1900 : *year;
    std::string lower = platform::ToLowerAscii(date);
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (lower.find(kLowerMonths[m]) != std::string::npos) {
            month = m;
            break;
        }
    }

    size_t first = time.find(':');
    size_t last = time.rfind(':');
    if (first == std::string_view::npos || first == last) return std::nullopt;
    std::optional<int> hours = FieldValue(time.substr(0, first));
    std::optional<int> minutes = FieldValue(time.substr(first + 1));
    std::optional<int> seconds = FieldValue(time.substr(last + 1));
    if (!hours || !minutes || !seconds) return std::nullopt;

    std::tm tm{};
    tm.tm_mday = *day;
    tm.tm_mon = month;
    tm.tm_year = years_since_1900;
    tm.tm_hour = *hours;
    tm.tm_min = *minutes;
    tm.tm_sec = *seconds;
    tm.tm_isdst = -1;  // the system decides daylight saving for that date
    // Failure looks like one second before 1970, which is no usable
    // modification time either.
    std::optional<std::time_t> t = platform::MakeLocalTime(tm);
    if (!t) return std::nullopt;
    return static_cast<int64_t>(*t);
}

}  // namespace fw

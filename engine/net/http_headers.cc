#include "engine/net/http_headers.h"

#include <cstdint>

#include "engine/net/http_date.h"
#include "platform/text.h"

namespace fw {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The status of a status line, "HTTP/" version, blanks, three digits and an
// optional reason, that starts the response (after blank lines, if any);
// 0 when there is none, or its code is not 100 to 599.
int32_t StatusCode(std::string_view lower) {
    size_t at = lower.find_first_not_of(" \t\r\n");
    if (at == std::string_view::npos || lower.substr(at, 5) != "http/") return 0;
    at += 5;
    const size_t version = at;
    while (at < lower.size() && (IsDigit(lower[at]) || lower[at] == '.')) ++at;
    if (at == version || at >= lower.size() || lower[at] != ' ') return 0;
    while (at < lower.size() && lower[at] == ' ') ++at;
    if (lower.size() - at < 3 || !IsDigit(lower[at]) || !IsDigit(lower[at + 1]) ||
        !IsDigit(lower[at + 2])) {
        return 0;
    }
    if (at + 3 < lower.size() && std::string_view(" \r\n").find(lower[at + 3]) == std::string_view::npos) {
        return 0;
    }
    const int32_t code = (lower[at] - '0') * 100 + (lower[at + 1] - '0') * 10 + (lower[at + 2] - '0');
    return code >= 100 && code <= 599 ? code : 0;
}

}  // namespace

ContentKind ClassifyContentType(std::string_view type) {
    if (type.empty()) return ContentKind::kNone;
    if (StartsWith(type, "text/html")) return ContentKind::kHtml;
    if (StartsWith(type, "text/css")) return ContentKind::kCss;
    if (StartsWith(type, "text/")) return ContentKind::kText;
    if (StartsWith(type, "image/")) return ContentKind::kImage;
    return ContentKind::kOther;
}

namespace {

// Where the value of the header starting at `at` (the name's position) begins
// and ends.
std::pair<size_t, size_t> ValueAt(std::string_view lower, size_t at, size_t name_size) {
    size_t start = at + name_size;
    while (start < lower.size() && lower[start] == ' ') ++start;
    size_t end = lower.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = lower.size();
    return {start, end};
}

// The next place at or after `from` where `lower_name` starts a line: a name
// inside another header's name or value ("Content-Location:" holds
// "location:") is not that header.
size_t NextHeader(std::string_view lower, std::string_view lower_name, size_t from) {
    size_t at = lower.find(lower_name, from);
    while (at != std::string_view::npos && at > 0 && lower[at - 1] != '\n') {
        at = lower.find(lower_name, at + 1);
    }
    return at;
}

}  // namespace

std::string HeaderValue(std::string_view raw, std::string_view lower, std::string_view lower_name) {
    const size_t at = NextHeader(lower, lower_name, 0);
    if (at == std::string_view::npos) return std::string();
    const auto [start, end] = ValueAt(lower, at, lower_name.size());
    return std::string(raw.substr(start, end - start));
}

std::vector<std::string> HeaderValues(std::string_view raw, std::string_view lower,
                                      std::string_view lower_name) {
    std::vector<std::string> values;
    for (size_t at = NextHeader(lower, lower_name, 0); at != std::string_view::npos;
         at = NextHeader(lower, lower_name, at + lower_name.size())) {
        const auto [start, end] = ValueAt(lower, at, lower_name.size());
        if (end > start) values.emplace_back(raw.substr(start, end - start));
    }
    return values;
}

ResponseHead ParseResponseHead(std::string_view raw) {
    ResponseHead head;
    const std::string lower = platform::ToLowerAscii(raw);
    head.status_code = StatusCode(lower);

    head.content_type = HeaderValue(raw, lower, "content-type:");
    head.content_kind = ClassifyContentType(head.content_type);

    std::string length = HeaderValue(raw, lower, "content-length:");
    if (!length.empty()) head.content_length = platform::LeadingInteger(length);

    if (IsRedirectStatus(head.status_code)) {
        head.location = HeaderValue(raw, lower, "location:");
    }

    std::string modified = HeaderValue(raw, lower, "last-modified:");
    if (!modified.empty()) {
        // A date before 1970 has no calendar time: recorded as absent.
        std::optional<int64_t> t = HttpDate::Parse(modified);
        if (t && *t > 0) head.last_modified = *t;
    }

    head.etag = HeaderValue(raw, lower, "etag:");
    head.set_cookies = HeaderValues(raw, lower, "set-cookie:");
    return head;
}

}  // namespace fw

// Reading a response's header block: the status, the content classification
// and the few headers the engine acts on. Pure functions of the text, shared
// by the plain and the secure fetch path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// What a Content-Type says the body is. Values are the ones callers see.
enum class ContentKind : int32_t {
    kNone = 0,  // no Content-Type header
    kHtml = 1,
    kText = 2,
    kImage = 3,
    kOther = 4,
    kCss = 5,
};

// By case-sensitive prefix, in this order: "text/html" Html, "text/css" Css,
// "text/" Text, "image/" Image, anything else Other; an empty type is None.
ContentKind ClassifyContentType(std::string_view content_type);

// The statuses whose Location names where the content moved: 301 and 302,
// and 303, 307 and 308, which today's servers send just as often (a site
// answering with 308 would otherwise end at the redirect).
inline bool IsRedirectStatus(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The value of a header: the first line of `lower` that starts with
// `lower_name` (lower case, colon included, e.g. "content-type:"), spaces after it
// skipped, up to the next line feed, carriage return or the end; cut from
// `raw` at the same place, so it keeps the case it was sent in. Empty when
// the name does not occur. REQUIRES: `lower` is `raw` lower-cased.
std::string HeaderValue(std::string_view raw, std::string_view lower, std::string_view lower_name);

// Every value of a header that may come more than once (Set-Cookie), in the
// order sent, each taken as HeaderValue takes the first; empty values are
// left out.
std::vector<std::string> HeaderValues(std::string_view raw, std::string_view lower,
                                      std::string_view lower_name);

// What the engine takes from a header block.
struct ResponseHead {
    int32_t status_code = 0;        // 0 without "HTTP/"
    std::string content_type;       // as sent
    ContentKind content_kind = ContentKind::kNone;
    int64_t content_length = 0;     // 0 when absent
    std::string location;           // only for redirects (IsRedirectStatus)
    int64_t last_modified = 0;      // 0 when absent, unparsable or before 1970
    std::string etag;               // the ETag value as sent; empty when absent
    std::vector<std::string> set_cookies;  // every Set-Cookie value, in order
};

// Parses a header block (status line included) as received.
ResponseHead ParseResponseHead(std::string_view raw);

}  // namespace fw

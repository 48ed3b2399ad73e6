// The date text of HTTP headers (If-Modified-Since, Last-Modified).
//
// Both directions work on local-time fields: Format writes the local time of
// t under a "GMT" label, and Parse reads the fields back as local time. A
// Last-Modified text stored by Parse and sent back by Format therefore
// reproduces the server's text exactly, whatever the zone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

class HttpDate {
public:
    // "Sun, 06 Nov 1994 08:49:37 GMT" (RFC 1123 layout) of the local-time
    // fields of `t`.
    static std::string Format(int64_t t);

    // Accepts the RFC 1123 form and the RFC 850 form ("Sunday, 06-Nov-94
    // 08:49:37 GMT"): text after the first ",", without its last word (the
    // zone), split into a date part (leading digits: day; trailing digits:
    // year, below 1900 counted from 1900; the first month name found, else
    // January) and a time part "h:m:s". Fails without a comma (the asctime
    // form), without day, year or two distinct colons, or when the fields
    // name no representable time.
    static std::optional<int64_t> Parse(std::string_view text);
};

}  // namespace fw

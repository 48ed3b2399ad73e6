// libFuzzer target for what a server's response head holds: the status line
// and headers, dates, Set-Cookie values and the cookie store they feed.
// Besides crashes and sanitizer reports it checks that a header value is a
// piece of the head (one line at most), that a redirect's Location only
// comes with a redirect status, and that a cookie the parser accepts holds
// no control character and keeps to its size limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/net/cookie_store.h"
#include "engine/net/http_date.h"
#include "engine/net/http_headers.h"
#include "engine/net/set_cookie.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const fw::ResponseHead head = fw::ParseResponseHead(raw);
    if (!head.location.empty() && !fw::IsRedirectStatus(head.status_code)) std::abort();

    const std::string lower = platform::ToLowerAscii(raw);
    for (const char* name : {"content-type", "location", "etag"}) {
        const std::string value = fw::HeaderValue(raw, lower, name);
        if (value.find('\n') != std::string::npos || value.size() > size) std::abort();
    }
    fw::HttpDate::Parse(raw);
    fw::ParseCookieDate(raw);

    fw::CookieStore store;  // in memory: no file
    for (const std::string& set_cookie : head.set_cookies) {
        if (auto cookie = fw::ParseSetCookie(set_cookie)) {
            if (cookie->name.empty() || fw::HasControl(cookie->name) || fw::HasControl(cookie->value))
                std::abort();
            if (cookie->name.size() + cookie->value.size() > fw::kMaxCookieBytes) std::abort();
        }
        store.SetCookie("http://fuzz.example/dir/page.html", set_cookie);
    }
    fw::ParseSetCookie(raw);
    store.CookiesFor("http://fuzz.example/dir/other.html");
    store.CookiesFor("https://sub.fuzz.example/");
    return 0;
}

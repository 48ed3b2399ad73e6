#include "engine/net/http_headers.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/zone_scope.h"

namespace fw {
namespace {

TEST(HttpHeadersTest, ClassifiesContentTypeByCaseSensitivePrefix) {
    struct Case {
        const char* type;
        ContentKind kind;
    } cases[] = {
        {"", ContentKind::kNone},
        {"text/html", ContentKind::kHtml},
        {"text/html; charset=utf-8", ContentKind::kHtml},
        {"text/css;charset=UTF-8", ContentKind::kCss},
        {"text/plain", ContentKind::kText},
        {"text/javascript", ContentKind::kText},
        {"image/gif", ContentKind::kImage},
        {"application/pdf", ContentKind::kOther},
        {"TEXT/HTML", ContentKind::kOther},  // values keep their case
        {"Text/Html", ContentKind::kOther},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyContentType(c.type), c.kind) << c.type;
}

TEST(HttpHeadersTest, ParsesATableOfResponses) {
    fwtest::ZoneScope zone("UTC0");
    struct Case {
        const char* raw;
        int32_t status;
        const char* type;
        ContentKind kind;
        int64_t length;
        const char* location;
        int64_t modified;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 42\r\n\r\n", 200,
         "text/html", ContentKind::kHtml, 42, "", 0},
        {"HTTP/1.1 404 Not Found\nContent-Type: text/plain\n\n", 404, "text/plain",
         ContentKind::kText, 0, "", 0},
        {"http/1.0    302\r\nLOCATION:   /Next.html  \r\ncontent-type: image/PNG\r\n\r\n", 302,
         "image/PNG", ContentKind::kImage, 0, "/Next.html  ", 0},
        // Location counts on redirects only (301, 302, 303, 307, 308).
        {"HTTP/1.0 200 OK\r\nLocation: /elsewhere\r\n\r\n", 200, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 303 See Other\r\nLocation: /x\r\n\r\n", 303, "", ContentKind::kNone, 0, "/x", 0},
        {"HTTP/1.0 308 Permanent Redirect\r\nLocation: /p\r\n\r\n", 308, "", ContentKind::kNone, 0,
         "/p", 0},
        {"HTTP/1.0 304 Not Modified\r\nLocation: /no\r\n\r\n", 304, "", ContentKind::kNone, 0, "",
         0},
        // A name inside another header's name is not that header.
        {"HTTP/1.0 301 Moved\r\nContent-Location: /wrong\r\nLocation: /right\r\n\r\n", 301, "",
         ContentKind::kNone, 0, "/right", 0},
        {"HTTP/1.0 200 OK\r\nLast-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n", 200, "",
         ContentKind::kNone, 0, "", 784111777},
        {"HTTP/1.0 200 OK\r\nLast-Modified: Sun Nov  6 08:49:37 1994\r\n\r\n",  // no comma
         200, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 200 OK\r\nLast-Modified: Fri, 01 Jan 1960 00:00:00 GMT\r\n\r\n",  // before 1970
         200, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 200 OK\r\nLast-Modified: Wed, 01 Jan 2070 00:00:00 GMT\r\n\r\n",  // after 2038
         200, "", ContentKind::kNone, 0, "", 3155760000},
        {"no status line here\r\nContent-Length: 7\r\n\r\n", 0, "", ContentKind::kNone, 7, "", 0},
        {"HTTP/1.0\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 99999999999999999999 Huge\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        // The status line starts the response and carries a code of 100 to 599.
        {"\r\nHTTP/2 200\r\n\r\n", 200, "", ContentKind::kNone, 0, "", 0},
        {"X-Junk: HTTP/1.0 200 OK\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"<html>HTTP/1.0 200 OK\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/ 200 OK\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 2000 OK\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 20x OK\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 099 Low\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 600 High\r\n\r\n", 0, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 599", 599, "", ContentKind::kNone, 0, "", 0},
        {"HTTP/1.0 200 OK\r\nContent-Length: 5000000000\r\n\r\n",
         200, "", ContentKind::kNone, 5000000000, "", 0},
    };
    for (const Case& c : cases) {
        ResponseHead head = ParseResponseHead(c.raw);
        EXPECT_EQ(head.status_code, c.status) << c.raw;
        EXPECT_EQ(head.content_type, c.type) << c.raw;
        EXPECT_EQ(head.content_kind, c.kind) << c.raw;
        EXPECT_EQ(head.content_length, c.length) << c.raw;
        EXPECT_EQ(head.location, c.location) << c.raw;
        EXPECT_EQ(head.last_modified, c.modified) << c.raw;
    }
}

TEST(HttpHeadersTest, EverySetCookieCounts) {
    struct Case {
        const char* raw;
        std::vector<std::string> cookies;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n\r\n",
         {"a=1; Path=/", "b=2"}},
        // Other headers between them, any case, bare line feeds.
        {"HTTP/1.1 302 Found\nset-cookie: sid=9; HttpOnly; Secure\nLocation: /x\n"
         "SET-COOKIE:   theme=dark; Max-Age=60; Domain=example.org\n\n",
         {"sid=9; HttpOnly; Secure", "theme=dark; Max-Age=60; Domain=example.org"}},
        // Not a Set-Cookie header: inside another name, or empty.
        {"HTTP/1.0 200 OK\r\nX-Set-Cookie: no=1\r\nSet-Cookie:\r\nSet-Cookie: yes=1\r\n\r\n",
         {"yes=1"}},
        {"HTTP/1.0 200 OK\r\n\r\n", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseResponseHead(c.raw).set_cookies, c.cookies) << c.raw;
}

TEST(HttpHeadersTest, EntityTagIsTakenAsSent) {
    EXPECT_EQ(ParseResponseHead("HTTP/1.0 200 OK\r\nETag: \"5f3e-1a\"\r\n\r\n").etag, "\"5f3e-1a\"");
    EXPECT_EQ(ParseResponseHead("HTTP/1.0 304 Not Modified\netag:   W/\"x\"\n\n").etag, "W/\"x\"");
    EXPECT_EQ(ParseResponseHead("HTTP/1.0 200 OK\r\nX-ETag: no\r\n\r\n").etag, "");
}

TEST(HttpHeadersTest, HeaderValueKeepsCaseAndStopsAtLineEnd) {
    std::string raw = "HTTP/1.0 200 OK\r\nX-Name:   Mixed Case Value\r\nOther: v";
    std::string lower = "http/1.0 200 ok\r\nx-name:   mixed case value\r\nother: v";
    EXPECT_EQ(HeaderValue(raw, lower, "x-name:"), "Mixed Case Value");
    EXPECT_EQ(HeaderValue(raw, lower, "other:"), "v");
    EXPECT_EQ(HeaderValue(raw, lower, "missing:"), "");
}

}  // namespace
}  // namespace fw

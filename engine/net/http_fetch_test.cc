#include "engine/net/http_fetch.h"
#include "engine/net/low_speed.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>

#include "engine/net/cookie_jar.h"
#include "engine/net/http_date.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/socket.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/child_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"
#include "tests/support/zone_scope.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::LogCapture;
using fwtest::Response;
using fwtest::TestWebServer;

class FakeCookieJar : public CookieJar {
public:
    std::string CookiesFor(const std::string& url) override {
        std::lock_guard<std::mutex> guard(mutex);
        asked.push_back(url);
        return url.find("/private") != std::string::npos ? "" : cookies;
    }
    void SetCookie(const std::string& url, const std::string& value) override {
        std::lock_guard<std::mutex> guard(mutex);
        stored.emplace_back(url, value);
    }
    std::mutex mutex;
    std::string cookies;
    std::vector<std::string> asked;
    std::vector<std::pair<std::string, std::string>> stored;
};

// ---------------------------------------------------------------------------
// The request text.

TEST(HttpRequestTest, BuildsTheRequestByteForByte) {
    fwtest::ZoneScope zone("UTC0");
    ProxySettings http_proxy;
    http_proxy.set_protocol(kProxyHttp);
    http_proxy.set_server("proxy.test");
    ProxySettings http_proxy_auth;
    http_proxy_auth.set_protocol(kProxyHttp);
    http_proxy_auth.set_user_name("pu");
    http_proxy_auth.set_password("pp");
    ProxySettings socks5_auth;
    socks5_auth.set_protocol(kProxySocks5);
    socks5_auth.set_user_name("pu");
    socks5_auth.set_password("pp");
    ProxySettings socks4;
    socks4.set_protocol(kProxySocks4);
    ProxySettings no_user;  // a password alone makes no credentials
    no_user.set_password("secret");

    const std::string ua = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1.)\r\n";
    struct Case {
        const char* name;
        std::function<void(HttpFetch&)> setup;
        std::string expected;
    } cases[] = {
        {"direct, relative request line",
         [](HttpFetch& f) { f.SetTarget("example.com", 80, "/a/b.html?x=1"); },
         "GET /a/b.html?x=1 HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com\r\n\r\n"},
        {"direct on another port: the Host header names it",
         [](HttpFetch& f) { f.SetTarget("example.com", 8080, "/"); },
         "GET / HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com:8080\r\n\r\n"},
        {"HTTP proxy, port 80: absolute URL without port",
         [&](HttpFetch& f) { f.SetTarget("example.com", 80, "/p"); f.set_proxy(&http_proxy); },
         "GET http://example.com/p HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com\r\n\r\n"},
        {"HTTP proxy, port 8080: absolute URL and Host with the port",
         [&](HttpFetch& f) { f.SetTarget("example.com", 8080, "/p"); f.set_proxy(&http_proxy); },
         "GET http://example.com:8080/p HTTP/1.0\r\nAccept: */*\r\n" + ua +
             "Host: example.com:8080\r\n\r\n"},
        {"HTTP proxy with credentials and site credentials",
         [&](HttpFetch& f) {
             f.SetTarget("example.com", 80, "/");
             f.set_proxy(&http_proxy_auth);
             f.set_credentials("dXNlcjpwdw==");
         },
         "GET http://example.com/ HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com\r\n"
         "Proxy-Authorization: Basic cHU6cHA=\r\nAuthorization: Basic dXNlcjpwdw==\r\n\r\n"},
        {"SOCKS proxy: relative line, Proxy-Authorization still sent",
         [&](HttpFetch& f) { f.SetTarget("example.com", 8080, "/s"); f.set_proxy(&socks5_auth); },
         "GET /s HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com:8080\r\n"
         "Proxy-Authorization: Basic cHU6cHA=\r\n\r\n"},
        {"SOCKS4 without credentials looks like a direct request",
         [&](HttpFetch& f) { f.SetTarget("example.com", 80, "/s"); f.set_proxy(&socks4); },
         "GET /s HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com\r\n\r\n"},
        {"proxy with a password but no user name sends no Proxy-Authorization",
         [&](HttpFetch& f) { f.SetTarget("example.com", 80, "/"); f.set_proxy(&no_user); },
         "GET http://example.com/ HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: example.com\r\n\r\n"},
        {"conditional GET with a configured user agent",
         [](HttpFetch& f) {
             f.SetTarget("h", 80, "/");
             f.set_user_agent("Corvalin/1.0");
             f.set_if_modified_since(784111777);
         },
         "GET / HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Corvalin/1.0\r\nHost: h\r\n"
         "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n"},
        {"conditional GET with an entity tag",
         [](HttpFetch& f) {
             f.SetTarget("h", 80, "/");
             f.set_if_modified_since(784111777);
             f.set_if_none_match("W/\"5f3e-1a\"\r\nX-Evil: 1");
         },
         "GET / HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: h\r\n"
         "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
         "If-None-Match: W/\"5f3e-1a\"X-Evil: 1\r\n\r\n"},
        {"HEAD never sends If-Modified-Since",
         [](HttpFetch& f) {
             f.SetTarget("h", 80, "/");
             f.set_method(HttpMethod::kHead);
             f.set_if_modified_since(784111777);
         },
         "HEAD / HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: h\r\n\r\n"},
        {"POST carries type, length and body, and no If-Modified-Since",
         [](HttpFetch& f) {
             f.SetTarget("h", 80, "/form");
             f.set_method(HttpMethod::kPost);
             f.set_post_data("a=1&b=2");
             f.set_if_modified_since(784111777);
         },
         "POST /form HTTP/1.0\r\nAccept: */*\r\n" + ua + "Host: h\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\na=1&b=2"},
        {"line breaks cannot smuggle headers in",
         [](HttpFetch& f) {
             f.SetTarget("h", 80, "/a\r\nX-Evil: 1");
             f.set_user_agent("UA\r\nX-Evil: 2");
         },
         "GET /a%0D%0AX-Evil:%201 HTTP/1.0\r\nAccept: */*\r\nUser-Agent: UAX-Evil: 2\r\nHost: h\r\n"
         "\r\n"},
        {"what may not stand on a request line goes percent-encoded",
         [](HttpFetch& f) { f.SetTarget("h", 80, "/caf\xC3\xA9/a b\"<c>.html?q=\xC3\xBC|x"); },
         "GET /caf%C3%A9/a%20b%22%3Cc%3E.html?q=%C3%BC%7Cx HTTP/1.0\r\nAccept: */*\r\n" + ua +
             "Host: h\r\n\r\n"},
        {"also in the absolute form an HTTP proxy gets",
         [&](HttpFetch& f) { f.SetTarget("example.com", 80, "/\xC3\xA9 t"); f.set_proxy(&http_proxy); },
         "GET http://example.com/%C3%A9%20t HTTP/1.0\r\nAccept: */*\r\n" + ua +
             "Host: example.com\r\n\r\n"},
    };
    for (const Case& c : cases) {
        HttpFetch fetch(nullptr);
        fetch.set_cookie_jar(nullptr);
        c.setup(fetch);
        EXPECT_EQ(fetch.BuildRequest(), c.expected) << c.name;
    }
}

TEST(HttpRequestTest, AsksTheCookieJarForTheRequestUrl) {
    FakeCookieJar jar;
    jar.cookies = "a=1; b=2";
    HttpFetch fetch(nullptr);
    fetch.set_cookie_jar(&jar);
    fetch.SetTarget("example.com", 8080, "/dir/page?q");
    EXPECT_EQ(fetch.BuildRequest(),
              "GET /dir/page?q HTTP/1.0\r\nAccept: */*\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1.)\r\n"
              "Host: example.com:8080\r\nCookie: a=1; b=2\r\n\r\n");
    EXPECT_EQ(jar.asked, std::vector<std::string>{"http://example.com:8080/dir/page?q"});

    fetch.SetTarget("example.com", 80, "/private");  // the jar has nothing for it
    EXPECT_EQ(fetch.BuildRequest().find("Cookie:"), std::string::npos);
    EXPECT_EQ(jar.asked.back(), "http://example.com/private");
}

TEST(HttpRequestTest, UsesTheInstalledJarUnlessToldOtherwise) {
    FakeCookieJar jar;
    InstallCookieJar(&jar);
    HttpFetch with(nullptr);
    InstallCookieJar(nullptr);
    HttpFetch without(nullptr);
    EXPECT_EQ(with.cookie_jar(), &jar);
    EXPECT_EQ(without.cookie_jar(), nullptr);
}

// ---------------------------------------------------------------------------
// The response consumer, fed bytes directly.

TEST(HttpResponseTest, HeaderEndIsTwoLineFeedsWithOnlyCarriageReturnsBetween) {
    struct Case {
        std::string raw;
        std::string headers;
        std::string body;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nbody", "HTTP/1.0 200 OK\r\n\r\n", "body"},
        {"HTTP/1.0 200 OK\n\nbody", "HTTP/1.0 200 OK\n\n", "body"},
        {"HTTP/1.0 200 OK\n\r\nbody", "HTTP/1.0 200 OK\n\r\n", "body"},
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\n\r\nbody\n\n", "HTTP/1.0 200 OK\r\nA: b\r\n\r\n",
         "\r\nbody\n\n"},
        {"HTTP/1.0 200 OK\r\nA: b\r\n \r\nstill headers\r\n\r\n",
         "HTTP/1.0 200 OK\r\nA: b\r\n \r\nstill headers\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        // Whole, and one byte at a time: the split must not matter.
        for (size_t piece : {c.raw.size(), size_t{1}}) {
            StringSink sink;
            HttpFetch fetch(&sink);
            for (size_t i = 0; i < c.raw.size(); i += piece) {
                fetch.Consume(c.raw.data() + i, std::min(piece, c.raw.size() - i));
            }
            EXPECT_FALSE(fetch.in_headers()) << c.raw;
            EXPECT_EQ(fetch.raw_headers(), c.headers) << c.raw;
            EXPECT_EQ(sink.body, c.body) << c.raw;
            EXPECT_EQ(fetch.body_bytes(), c.body.size());
            EXPECT_EQ(fetch.status_code(), 200);
        }
    }
}

TEST(HttpResponseTest, BodyOfARedirectBelowTheLimitIsDropped) {
    // Before Run the limit is still 3, as it stays on the secure path, where
    // a 301 or 302 reaching the consumer is one the library followed. Run
    // lowers it to 0 (see RedirectReportsLocationAndKeepsTheBody).
    StringSink sink;
    HttpFetch fetch(&sink);
    EXPECT_EQ(fetch.redirect_limit(), 3);
    std::string raw = "HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\nmoved";
    fetch.Consume(raw.data(), raw.size());
    EXPECT_EQ(fetch.location(), "/next");
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(fetch.body_bytes(), 0u);
}

TEST(HttpResponseTest, CallbacksSeeLengthThenTypeAndCanAbort) {
    struct Case {
        const char* raw;
        bool abort_on_length;
        bool abort_on_type;
        std::vector<std::string> calls;
        bool aborted;
        std::string body;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Type: text/html\r\n\r\nbody", false,
         false, {"length 4", "type text/html"}, false, "body"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Type: image/gif\r\n\r\nbody", true,
         false, {"length 4"}, true, ""},
        {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Type: image/gif\r\n\r\nbody", false,
         true, {"length 4", "type image/gif"}, true, ""},
        {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", true, true, {}, false, ""},
        {"HTTP/1.0 200 OK\r\n\r\nbody", true, true, {}, false, "body"},
    };
    for (const Case& c : cases) {
        StringSink sink;
        HttpFetch fetch(&sink);
        std::vector<std::string> calls;
        fetch.SetLengthCallback([&](int64_t n) {
            calls.push_back("length " + std::to_string(n));
            return c.abort_on_length;
        });
        fetch.SetTypeCallback([&](const std::string& type) {
            calls.push_back("type " + type);
            return c.abort_on_type;
        });
        std::string raw = c.raw;
        EXPECT_EQ(fetch.Consume(raw.data(), raw.size()), !c.aborted) << c.raw;
        std::string more = "more";
        fetch.Consume(more.data(), more.size());
        EXPECT_EQ(calls, c.calls) << c.raw;
        EXPECT_EQ(fetch.aborted(), c.aborted) << c.raw;
        EXPECT_EQ(sink.body, c.aborted ? "" : c.body + "more") << c.raw;
    }
}

// The body limit holds whatever the server announced: a body that passes it
// ends the fetch as a rejected one, keeping only what came before.
TEST(HttpResponseTest, BodyPastTheBodyLimitAbortsTheFetch) {
    struct Case {
        const char* head;
        uint64_t limit;
        bool aborted;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\n", 8, false},                      // exactly the limit
        {"HTTP/1.0 200 OK\r\n\r\n", 7, true},                       // no length announced
        {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n", 7, true},  // a false length
    };
    for (const Case& c : cases) {
        StringSink sink;
        HttpFetch fetch(&sink);
        fetch.set_body_limit(c.limit);
        const std::string head = c.head + std::string("body");
        EXPECT_TRUE(fetch.Consume(head.data(), head.size())) << c.head;
        EXPECT_EQ(fetch.Consume("more", 4), !c.aborted) << c.head << c.limit;
        EXPECT_EQ(fetch.aborted(), c.aborted);
        EXPECT_EQ(fetch.body_limit_passed(), c.aborted);
        EXPECT_EQ(sink.body, c.aborted ? "body" : "bodymore");
    }
}

// Whether a response that ended here was cut short of its announced body.
TEST(HttpResponseTest, BodiesShortOfTheirAnnouncedLengthAreCutShort) {
    struct Case {
        HttpMethod method;
        const char* raw;
        bool cut;
    } cases[] = {
        {HttpMethod::kGet, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nbody", true},
        {HttpMethod::kGet, "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody", false},
        {HttpMethod::kGet, "HTTP/1.0 200 OK\r\n\r\nbody", false},  // no length: the close ends it
        {HttpMethod::kGet, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n", false},  // still in headers
        {HttpMethod::kHead, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n", false},
        {HttpMethod::kGet, "HTTP/1.0 304 Not Modified\r\nContent-Length: 5\r\n\r\n", false},
        {HttpMethod::kGet, "HTTP/1.0 204 No Content\r\nContent-Length: 5\r\n\r\n", false},
        {HttpMethod::kGet, "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot", true},
    };
    for (const Case& c : cases) {
        HttpFetch fetch(nullptr);
        fetch.set_method(c.method);
        fetch.Consume(c.raw, std::strlen(c.raw));
        EXPECT_EQ(fetch.body_cut_short(), c.cut) << c.raw;
    }
}

TEST(HttpResponseTest, StoresEverySetCookieUnderTheRequestUrl) {
    FakeCookieJar jar;
    HttpFetch fetch(nullptr);
    fetch.set_cookie_jar(&jar);
    fetch.SetTarget("example.com", 80, "/shop/cart");
    std::string raw = "HTTP/1.0 200 OK\r\nSet-Cookie: id=7; path=/\r\nSet-Cookie: x=1\r\n\r\n";
    fetch.Consume(raw.data(), raw.size());
    ASSERT_EQ(jar.stored.size(), 2u);
    EXPECT_EQ(jar.stored[0].first, "http://example.com/shop/cart");
    EXPECT_EQ(jar.stored[0].second, "id=7; path=/");
    EXPECT_EQ(jar.stored[1].first, "http://example.com/shop/cart");
    EXPECT_EQ(jar.stored[1].second, "x=1");
}

TEST(HttpResponseTest, HeaderBlockOverTheLimitStopsEverything) {
    LogCapture log;
    StringSink sink;
    HttpFetch fetch(&sink);
    fetch.SetTarget("h", 80, "/big");
    std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    bool accepted = fetch.Consume("HTTP/1.0 200 OK\r\n", 17);
    while (accepted && fetch.raw_headers().size() < 2 * HttpFetchBase::kMaxHeaderBytes) {
        accepted = fetch.Consume(line.data(), line.size());
    }
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(fetch.headers_too_long());
    EXPECT_LE(fetch.raw_headers().size(), HttpFetchBase::kMaxHeaderBytes);
    EXPECT_FALSE(fetch.Consume("\r\n\r\nbody", 8));
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"response headers too long: http://h/big"});
}

// ---------------------------------------------------------------------------
// Whole fetches against the local test web server.

class HttpFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fwtest::WriteFile(root_ / "index.html", "<html>index</html>");
        fwtest::WriteFile(root_ / "big.bin", std::string(3 << 20, 'b'));
        ASSERT_TRUE(server_.Start());
    }

    // Runs a fetch of `path` on the test server.
    void Fetch(HttpFetch& fetch, const std::string& path) {
        fetch.SetTarget("127.0.0.1", server_.port(), path);
        fetch.set_stop_event(&stop_);
        fetch.Run();
    }

    fwtest::TempDir root_;
    TestWebServer server_{root_.path()};
    platform::StopEvent stop_;
    LogCapture log_;
};

TEST_F(HttpFetchTest, FetchesAFileIntoTheSink) {
    StringSink sink;
    HttpFetch fetch(&sink);
    Fetch(fetch, "/index.html");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 200);
    EXPECT_EQ(fetch.content_kind(), ContentKind::kHtml);
    EXPECT_EQ(fetch.content_type(), "text/html");
    EXPECT_EQ(fetch.content_length(), 18);
    EXPECT_GT(fetch.last_modified(), 0);
    EXPECT_EQ(sink.body, "<html>index</html>");
    EXPECT_EQ(fetch.body_bytes(), 18u);
    EXPECT_EQ(fetch.bytes_received(), fetch.raw_headers().size() + 18);
    EXPECT_EQ(fetch.bytes_sent(), fetch.BuildRequest().size());
    EXPECT_EQ(fetch.redirect_limit(), 0);
    EXPECT_EQ(server_.LastRequest().head, fetch.BuildRequest());
    EXPECT_TRUE(log_.Lines().empty());

    StringSink big_sink;
    HttpFetch big(&big_sink);
    Fetch(big, "/big.bin");
    EXPECT_EQ(big.state(), kFetchDone);
    EXPECT_EQ(big_sink.body.size(), size_t{3} << 20);
    EXPECT_EQ(big.body_bytes(), uint64_t{3} << 20);
}

TEST_F(HttpFetchTest, LastModifiedComesBackAsIfModifiedSinceAndGets304) {
    StringSink first_sink;
    HttpFetch first(&first_sink);
    Fetch(first, "/index.html");
    ASSERT_GT(first.last_modified(), 0);

    StringSink sink;
    HttpFetch again(&sink);
    again.set_if_modified_since(first.last_modified());
    Fetch(again, "/index.html");
    EXPECT_EQ(again.state(), kFetchDone);
    EXPECT_EQ(again.status_code(), 304);
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(server_.LastRequest().Header("If-Modified-Since"),
              HttpDate::Format(first.last_modified()));
}

TEST_F(HttpFetchTest, RedirectReportsLocationAndKeepsTheBody) {
    server_.Script("/old", Response::Redirect(301, "http://elsewhere.test/new"));
    StringSink sink;
    HttpFetch fetch(&sink);
    Fetch(fetch, "/old");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 301);
    EXPECT_EQ(fetch.location(), "http://elsewhere.test/new");
    EXPECT_EQ(sink.body, "<html><body>Moved</body></html>");
}

TEST_F(HttpFetchTest, SendsCookiesAndKeepsTheOneItGets) {
    FakeCookieJar jar;
    jar.cookies = "session=abc";
    Response r = Response::Html("ok");
    r.headers.emplace_back("Set-Cookie", "session=def; Path=/");
    server_.Script("/login", r);
    HttpFetch fetch(nullptr);
    fetch.set_cookie_jar(&jar);
    Fetch(fetch, "/login");
    EXPECT_EQ(server_.LastRequest().Header("Cookie"), "session=abc");
    ASSERT_EQ(jar.stored.size(), 1u);
    EXPECT_EQ(jar.stored[0].second, "session=def; Path=/");
    EXPECT_EQ(jar.stored[0].first, "http://127.0.0.1:" + std::to_string(server_.port()) + "/login");
}

TEST_F(HttpFetchTest, OddResponsesEndAsTheirBytesSay) {
    struct Case {
        const char* name;
        Response response;
        FetchState state;
        FetchState failed_at;
        int32_t status;
        std::string body;
        const char* logged;  // the line the failure writes, or null
    };
    Response no_blank = Response::Raw("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n<html>");
    Response early = Response::Html(std::string(5000, 'e'));
    early.send_only = 1000;
    Response reset = Response::Html(std::string(100000, 'r'));
    reset.send_only = 70000;
    reset.ending = fwtest::Ending::Reset;
    Response empty = Response::Raw("");
    empty.send_only = 0;
    Response huge_headers = Response::Html("never seen");
    huge_headers.header_padding = 3 << 20;
    Response http09 = Response::Raw("<html>\n\n<p>an HTTP/0.9 reply</p></html>");
    Response http09_one_line = Response::Raw("<html><p>no line ends</p></html>");
    Response garbage = Response::Raw("FOO 200 OK\r\nContent-Type: text/html\r\n\r\n<p>x</p>");
    Response bad_code = Response::Raw("HTTP/1.0 20 OK\r\n\r\n<p>x</p>");
    // Whatever is not an HTTP response is a failed fetch, never an empty
    // page recorded as a success.
    const std::string kNoStatusLine =
        "receive error: no HTTP status line from http://127.0.0.1:" +
        std::to_string(server_.port()) + "/odd";
    Case cases[] = {
        {"no blank line: the response ended inside its headers", no_blank, kFetchError,
         kFetchReceive, 0, "", "receive error: the response ended inside its headers"},
        {"an HTTP/0.9 reply", http09, kFetchError, kFetchReceive, 0, "", kNoStatusLine.c_str()},
        {"an HTTP/0.9 reply without a blank line", http09_one_line, kFetchError, kFetchReceive, 0,
         "", "receive error: the response ended inside its headers"},
        {"a garbage status line", garbage, kFetchError, kFetchReceive, 0, "", kNoStatusLine.c_str()},
        {"a status code of two digits", bad_code, kFetchError, kFetchReceive, 0, "",
         kNoStatusLine.c_str()},
        // Short of its Content-Length: what came reached the sink, but the
        // fetch is a broken transfer, never a complete copy.
        {"closed early: a broken transfer", early, kFetchError, kFetchReceive, 200, "",
         "receive error"},
        {"reset mid-body: a broken transfer", reset, kFetchError, kFetchReceive, 200, "",
         "receive error"},
        {"closed without a byte", empty, kFetchError, kFetchReceive, 0, "",
         "receive error: closed without a response"},
        {"megabytes of headers", huge_headers, kFetchError, kFetchReceive, 0, "", nullptr},
    };
    for (Case& c : cases) {
        server_.Script("/odd", c.response);
        LogCapture log;
        StringSink sink;
        HttpFetch fetch(&sink);
        Fetch(fetch, "/odd");
        EXPECT_EQ(fetch.state(), c.state) << c.name;
        if (c.state == kFetchError) {
            EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.name;
        }
        EXPECT_EQ(fetch.status_code(), c.status) << c.name;
        if (c.logged) {
            EXPECT_TRUE(log.Has(c.logged)) << c.name;
        } else {
            EXPECT_FALSE(log.Has("receive error")) << c.name;
        }
        if (c.response.ending == fwtest::Ending::Reset) continue;  // body size depends on timing
        if (c.response.send_only == 1000) {
            EXPECT_EQ(sink.body.size() + fetch.raw_headers().size(), 1000u) << c.name;
        } else {
            EXPECT_EQ(sink.body, c.body) << c.name;
        }
    }
}

TEST_F(HttpFetchTest, SilenceEndsTheFetchAsABrokenTransfer) {
    ScopedSocketSilenceLimit limit(300ms);
    Response silent = Response::Html("x");
    silent.send_only = 10;
    silent.ending = fwtest::Ending::Silence;
    server_.Script("/silent", silent);
    HttpFetch fetch(nullptr);
    auto start = std::chrono::steady_clock::now();
    Fetch(fetch, "/silent");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(fetch.failed_at(), kFetchReceive);
    EXPECT_EQ(fetch.bytes_received(), 10u);
    EXPECT_EQ(log_.Lines(),
              (std::vector<std::string>{"BSocket::Receive ERROR: WSAETIMEDOUT", "receive error"}));
}

// A response that comes a byte now and then, or never ends, holds the fetch
// no longer than the low-speed rule or the response cap allow: it ends as a
// broken transfer with the reason in the log. The body limit of the filters
// still turns a long file away instead.
TEST_F(HttpFetchTest, TrickleAndEndlessBodiesEndAsBrokenTransfers) {
    ScopedLowSpeedRule rule({1000, 300ms});
    Response trickle = Response::Html(std::string(5000, 't'));
    trickle.send_only = 200;
    trickle.ending = fwtest::Ending::Trickle;
    trickle.trickle = 20ms;
    server_.Script("/trickle", trickle);
    Response endless = Response::Html("x");
    endless.content_length = false;
    endless.ending = fwtest::Ending::Endless;
    server_.Script("/endless", endless);
    struct Case {
        const char* path;
        uint64_t cap;
        const char* line;
    } cases[] = {
        {"/trickle", UINT64_MAX, "receive error: under 1000 bytes a second over 300 ms"},
        {"/endless", 100000, "receive error: the response passed its cap of 100000 bytes"},
        {"/big.bin", 100000, "receive error: the response passed its cap of 100000 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LogCapture log;
        StringSink sink;
        HttpFetch fetch(&sink);
        fetch.set_response_cap(c.cap);
        Fetch(fetch, c.path);
        EXPECT_EQ(fetch.state(), kFetchError);
        EXPECT_EQ(fetch.failed_at(), kFetchReceive);
        EXPECT_FALSE(fetch.aborted());
        EXPECT_LE(sink.body.size(), c.cap == UINT64_MAX ? 5000 : c.cap);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
    // At the cap exactly, a response is whole.
    StringSink sink;
    HttpFetch whole(&sink);
    whole.set_response_cap(3 << 20);
    Fetch(whole, "/big.bin");
    EXPECT_EQ(whole.state(), kFetchDone);
    EXPECT_EQ(sink.body.size(), size_t{3} << 20);
}

TEST_F(HttpFetchTest, UnreachableHostsFailAtLookupOrConnect) {
    HttpFetch refused(nullptr);
    refused.SetTarget("127.0.0.1", fwtest::FreeLoopbackPort(), "/");
    refused.set_stop_event(&stop_);
    refused.Run();
    EXPECT_EQ(refused.state(), kFetchError);
    EXPECT_EQ(refused.failed_at(), kFetchConnect);
    EXPECT_EQ(refused.bytes_sent(), 0u);

    HttpFetch unknown(nullptr);
    unknown.SetTarget("no-such-host.invalid", 80, "/");
    unknown.Run();
    EXPECT_EQ(unknown.state(), kFetchError);
    EXPECT_EQ(unknown.failed_at(), kFetchLookup);
}

TEST_F(HttpFetchTest, CallbackAbortStopsReadingAndKeepsNothing) {
    StringSink sink;
    HttpFetch typed(&sink);
    typed.SetTypeCallback([](const std::string& type) { return type != "text/html"; });
    Fetch(typed, "/big.bin");
    EXPECT_TRUE(typed.aborted());
    EXPECT_EQ(typed.state(), kFetchReceive);
    EXPECT_EQ(typed.content_type(), "application/octet-stream");
    EXPECT_EQ(sink.body, "");
    EXPECT_LT(typed.bytes_received(), uint64_t{3} << 20);
}

TEST_F(HttpFetchTest, PostSendsItsBody) {
    server_.Script("/form", Response::Text("text/plain", "thanks"));
    StringSink sink;
    HttpFetch fetch(&sink);
    fetch.SetTarget("127.0.0.1", server_.port(), "/form");
    fetch.set_method(HttpMethod::kPost);
    fetch.set_post_data("name=value");
    fetch.Run();
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(server_.LastRequest().body, "name=value");
    EXPECT_EQ(sink.body, "thanks");
}

}  // namespace
}  // namespace fw

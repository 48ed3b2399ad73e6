#include "engine/net/secure_http_fetch.h"
#include "engine/net/low_speed.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "engine/net/cookie_jar.h"
#include "engine/net/http_date.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/socket.h"
#include "engine/net/test_sinks.h"
#include "engine/net/untrusted_hosts.h"
#include "tests/support/child_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_web_server.h"
#include "tests/support/tls_front.h"
#include "tests/support/zone_scope.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::CertificateOptions;
using fwtest::LogCapture;
using fwtest::Response;
using fwtest::TlsFront;

constexpr int64_t kPageTime = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

class RecordingJar : public CookieJar {
public:
    std::string CookiesFor(const std::string& url) override {
        std::lock_guard<std::mutex> guard(mutex);
        asked.push_back(url);
        return cookies;
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

class SecureHttpFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(authority_.ok());
        fwtest::WriteFile(dir_ / "site/page.html", "<html>secure page</html>");
        utimbuf times{kPageTime, kPageTime};
        ::utime((dir_ / "site/page.html").c_str(), &times);
        ASSERT_TRUE(server_.Start());
        front_ = StartFront(authority_.Issue("server"));
        ASSERT_TRUE(front_);
    }

    std::unique_ptr<TlsFront> StartFront(const fwtest::CertificateFiles& files) {
        auto front = std::make_unique<TlsFront>(server_.port(), files.cert, files.key);
        if (!front->Start()) return nullptr;
        return front;
    }

    // Fetches `path` from `front` (the authority's front when null), trusting
    // the test authority.
    void Fetch(SecureHttpFetch& fetch, const std::string& path, TlsFront* front = nullptr) {
        if (fetch.cookie_jar() == InstalledCookieJar()) fetch.set_cookie_jar(nullptr);
        if (fetch.ca_file().empty()) fetch.set_ca_file(authority_.ca_file());
        fetch.SetTarget("127.0.0.1", (front ? front : front_.get())->port(), path);
        fetch.Run();
    }

    std::string Url(const std::string& path) const { return front_->BaseUrl() + path; }

    fwtest::TempDir dir_;
    fwtest::TestAuthority authority_{dir_.path()};
    fwtest::TestWebServer server_{dir_ / "site"};
    std::unique_ptr<TlsFront> front_;
    LogCapture log_;
};

TEST_F(SecureHttpFetchTest, FetchesAPageThroughTheSharedConsumer) {
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    Fetch(fetch, "/page.html");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 200);
    EXPECT_EQ(fetch.content_kind(), ContentKind::kHtml);
    EXPECT_EQ(fetch.content_type(), "text/html");
    EXPECT_EQ(fetch.content_length(), 24);
    EXPECT_EQ(fetch.last_modified(), HttpDate::Parse("Sun, 06 Nov 1994 08:49:37 GMT"));
    EXPECT_EQ(sink.body, "<html>secure page</html>");
    EXPECT_EQ(fetch.body_bytes(), 24u);
    EXPECT_EQ(fetch.bytes_received(), fetch.raw_headers().size() + 24);
    EXPECT_EQ(fetch.raw_headers().substr(0, 17), "HTTP/1.0 200 OK\r\n");
    EXPECT_GT(fetch.bytes_sent(), 0u);
    EXPECT_EQ(fetch.redirects_followed(), 0);
    EXPECT_EQ(fetch.location(), "");
    EXPECT_TRUE(log_.Lines().empty());

    fwtest::Request request = server_.LastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/page.html");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("User-Agent"), SecureHttpFetch::kDefaultUserAgent);
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(front_->port()));
}

TEST_F(SecureHttpFetchTest, SendsTheRequestFieldsItIsGiven) {
    fwtest::ZoneScope zone("UTC0");
    server_.Script("/form", Response::Html("ok"));
    struct Case {
        const char* name;
        std::function<void(SecureHttpFetch&)> setup;
        std::string method;
        std::vector<std::pair<std::string, std::string>> headers;  // name, value ("" absent)
        std::string body;
    } cases[] = {
        {"credentials go as Basic authorization",
         [](SecureHttpFetch& f) { f.set_credentials("dXNlcjpwdw=="); }, "GET",
         {{"Authorization", "Basic dXNlcjpwdw=="}}, ""},
        {"a refresh asks If-Modified-Since",
         [](SecureHttpFetch& f) { f.set_if_modified_since(kPageTime); }, "GET",
         {{"If-Modified-Since", "Sun, 06 Nov 1994 08:49:37 GMT"}}, ""},
        {"a configured user agent, free of line breaks",
         [](SecureHttpFetch& f) { f.set_user_agent("Corvalin/1.0\r\nX-Evil: 1"); }, "GET",
         {{"User-Agent", "Corvalin/1.0X-Evil: 1"}, {"X-Evil", ""}}, ""},
        {"POST carries the form and no If-Modified-Since",
         [](SecureHttpFetch& f) {
             f.set_method(HttpMethod::kPost);
             f.set_post_data("a=1&b=2");
             f.set_if_modified_since(kPageTime);
         },
         "POST",
         {{"Content-Type", "application/x-www-form-urlencoded"}, {"Content-Length", "7"},
          {"If-Modified-Since", ""}},
         "a=1&b=2"},
        {"HEAD goes as GET", [](SecureHttpFetch& f) { f.set_method(HttpMethod::kHead); }, "GET",
         {{"Authorization", ""}}, ""},
    };
    for (const Case& c : cases) {
        SecureHttpFetch fetch(nullptr);
        fetch.SetTarget("127.0.0.1", front_->port(), "/form");
        c.setup(fetch);  // SetTarget resets the method, so it goes first
        fetch.set_cookie_jar(nullptr);
        fetch.set_ca_file(authority_.ca_file());
        fetch.Run();
        EXPECT_EQ(fetch.state(), kFetchDone) << c.name;
        fwtest::Request request = server_.LastRequest();
        EXPECT_EQ(request.method, c.method) << c.name;
        for (const auto& [name, value] : c.headers) {
            bool found = false;
            EXPECT_EQ(request.Header(name, &found), value) << c.name << ": " << name;
            EXPECT_EQ(found, !value.empty()) << c.name << ": " << name;
        }
        EXPECT_EQ(request.body, c.body) << c.name;
    }
}

TEST_F(SecureHttpFetchTest, ARefreshOfAnUnchangedPageGets304) {
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_if_modified_since(*HttpDate::Parse("Sun, 06 Nov 1994 08:49:37 GMT"));
    Fetch(fetch, "/page.html");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 304);
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(fetch.body_bytes(), 0u);
}

TEST_F(SecureHttpFetchTest, UrlKeepsAnExplicitPortAndEscapesWhatCurlWouldRefuse) {
    struct Case {
        std::string host;
        int port;
        std::string path;
        std::string url;
    } cases[] = {
        {"example.com", 443, "/a?b=1", "https://example.com/a?b=1"},
        {"example.com", 0, "/", "https://example.com/"},
        {"example.com", 8443, "/", "https://example.com:8443/"},
        {"example.com", 80, "/", "https://example.com:80/"},
        {"example.com", 443, "", "https://example.com/"},
        {"example.com", 443, "/a b/\xc3\xa9\r\n", "https://example.com/a%20b/%C3%A9%0D%0A"},
        {"::1", 8443, "/", "https://[::1]:8443/"},
    };
    for (const Case& c : cases) {
        SecureHttpFetch fetch(nullptr);
        fetch.SetTarget(c.host, c.port, c.path);
        EXPECT_EQ(fetch.Url(), c.url);
    }
}

TEST_F(SecureHttpFetchTest, FollowsRedirectsAndReportsWhereItEnded) {
    server_.Script("/r1", Response::Redirect(302, "/r2"));
    Response second = Response::Redirect(301, Url("/page.html"));
    second.headers.emplace_back("Set-Cookie", "hop=2");
    server_.Script("/r2", second);
    RecordingJar jar;
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_cookie_jar(&jar);
    Fetch(fetch, "/r1");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 200);
    EXPECT_EQ(sink.body, "<html>secure page</html>");  // no redirect body
    EXPECT_EQ(fetch.redirects_followed(), 2);
    EXPECT_EQ(fetch.location(), Url("/page.html"));
    EXPECT_EQ(fetch.raw_headers().substr(0, 17), "HTTP/1.0 200 OK\r\n");
    // A cookie met on the way is kept under the URL that set it.
    EXPECT_EQ(jar.stored, (std::vector<std::pair<std::string, std::string>>{{Url("/r2"), "hop=2"}}));
    EXPECT_EQ(server_.RequestCount(), 3u);
}

TEST_F(SecureHttpFetchTest, AChainLongerThanTheLimitComesBackAsARedirect) {
    for (int i = 1; i <= 5; ++i) {
        server_.Script("/c" + std::to_string(i), Response::Redirect(302, "/c" + std::to_string(i + 1)));
    }
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    Fetch(fetch, "/c1");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 302);
    EXPECT_EQ(fetch.location(), Url("/c5"));
    EXPECT_EQ(fetch.redirects_followed(), 0);
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(server_.RequestCount(), 4u);  // the limit of 3 followed, the 4th handed back
}

TEST_F(SecureHttpFetchTest, ARedirectMayLeadToPlainHttp) {
    server_.Script("/down", Response::Redirect(302, server_.BaseUrl() + "/page.html"));
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    Fetch(fetch, "/down");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.status_code(), 200);
    EXPECT_EQ(fetch.location(), server_.BaseUrl() + "/page.html");
    EXPECT_EQ(sink.body, "<html>secure page</html>");
}

size_t LinesStartingWith(const LogCapture& log, const std::string& prefix) {
    size_t count = 0;
    for (const std::string& line : log.Lines()) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

// Certificates that fail verification, and the fault each one is.
struct BadCertificate {
    const char* name;
    fwtest::CertificateFiles files;
    int32_t fault;
};

std::vector<BadCertificate> BadCertificates(fwtest::TestAuthority& trusted,
                                            fwtest::TestAuthority& stranger) {
    const long hour = 3600;
    return {
        {"self-signed", trusted.Issue("self", {{"127.0.0.1"}, true}), kErrorCertificateSelfSigned},
        {"another authority", stranger.Issue("other"), kErrorCertificateUnknownAuthority},
        {"for another name", trusted.Issue("name", {{"192.0.2.1", "example.test"}}),
         kErrorCertificateNameMismatch},
        {"expired", trusted.Issue("old", {{"127.0.0.1"}, false, -2 * hour, -hour}),
         kErrorCertificateExpired},
        {"not yet valid", trusted.Issue("early", {{"127.0.0.1"}, false, hour, 2 * hour}),
         kErrorCertificateRefused},
        {"self-signed and expired",
         trusted.Issue("oldself", {{"127.0.0.1"}, true, -2 * hour, -hour}),
         kErrorCertificateSelfSigned},
    };
}

// A certificate that fails verification fails the fetch before a byte of
// the request (its cookies and credentials) is sent, with the fault as its
// code; one from a trusted authority is fetched on the first handshake.
TEST_F(SecureHttpFetchTest, ACertificateThatFailsVerificationFailsTheFetchWithItsFault) {
    fwtest::TestAuthority stranger(dir_ / "stranger-");
    ASSERT_TRUE(stranger.ok());
    std::vector<BadCertificate> cases = BadCertificates(authority_, stranger);
    cases.push_back({"trusted", authority_.Issue("good"), 0});
    for (const BadCertificate& c : cases) {
        std::unique_ptr<TlsFront> front = StartFront(c.files);
        ASSERT_TRUE(front) << c.name;
        LogCapture log;
        RecordingJar jar;
        jar.cookies = "sid=secret";
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        fetch.set_cookie_jar(&jar);
        fetch.set_credentials("dXNlcjpwdw==");
        const size_t requests = server_.RequestCount();
        Fetch(fetch, "/page.html", front.get());
        EXPECT_EQ(front->Connections(), 1u) << c.name;
        EXPECT_EQ(fetch.failure_code(), c.fault) << c.name;
        if (c.fault == 0) {
            EXPECT_EQ(fetch.state(), kFetchDone) << c.name;
            EXPECT_EQ(sink.body, "<html>secure page</html>") << c.name;
            continue;
        }
        EXPECT_EQ(fetch.state(), kFetchError) << c.name;
        EXPECT_EQ(fetch.failed_at(), kFetchConnect) << c.name;
        EXPECT_TRUE(log.Has("ERROR: HttpSendRequest")) << c.name;
        EXPECT_EQ(server_.RequestCount(), requests) << c.name;
        EXPECT_EQ(sink.body, "") << c.name;
    }
}

// Allowed, a certificate that fails verification costs its host one failed
// handshake, which is logged once: the host's later fetches connect without
// verification at once.
TEST_F(SecureHttpFetchTest, AllowedUntrustedCertificatesCostOneFailedHandshakePerHost) {
    fwtest::TestAuthority stranger(dir_ / "stranger-");
    ASSERT_TRUE(stranger.ok());
    for (const BadCertificate& c : BadCertificates(authority_, stranger)) {
        std::unique_ptr<TlsFront> front = StartFront(c.files);
        ASSERT_TRUE(front) << c.name;
        LogCapture log;
        UntrustedHosts hosts;
        for (int round = 1; round <= 3; ++round) {
            StringSink sink;
            SecureHttpFetch fetch(&sink);
            fetch.set_untrusted_hosts(&hosts);
            Fetch(fetch, "/page.html", front.get());
            EXPECT_EQ(fetch.state(), kFetchDone) << c.name << " " << round;
            EXPECT_EQ(sink.body, "<html>secure page</html>") << c.name << " " << round;
            EXPECT_EQ(front->Connections(), static_cast<size_t>(round + 1)) << c.name;
        }
        std::string host;
        int32_t reason = 0;
        ASSERT_TRUE(hosts.At(0, &host, &reason)) << c.name;
        EXPECT_EQ(host, "127.0.0.1") << c.name;
        EXPECT_EQ(reason, c.fault) << c.name;
        EXPECT_FALSE(hosts.At(1, &host, &reason)) << c.name;
        EXPECT_EQ(LinesStartingWith(log, "Certificate of 127.0.0.1 not verified ("), 1u) << c.name;
    }

    // A trusted host is not remembered, and is verified every time.
    UntrustedHosts hosts;
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_untrusted_hosts(&hosts);
    const size_t connections = front_->Connections();
    Fetch(fetch, "/page.html");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(front_->Connections(), connections + 1);
    std::string host;
    int32_t reason = 0;
    EXPECT_FALSE(hosts.At(0, &host, &reason));
}

// The host remembered is the one whose certificate failed, also when a
// redirect led there from a trusted one.
TEST_F(SecureHttpFetchTest, TheUntrustedHostARedirectLedToIsTheOneRemembered) {
    std::unique_ptr<TlsFront> untrusted =
        StartFront(authority_.Issue("self", {{"localhost"}, true}));
    ASSERT_TRUE(untrusted);
    const std::string elsewhere =
        "https://localhost:" + std::to_string(untrusted->port()) + "/land";
    server_.Script("/hop", Response::Redirect(302, elsewhere));
    server_.Script("/land", Response::Html("landed"));

    StringSink refused_sink;
    SecureHttpFetch refused(&refused_sink);
    Fetch(refused, "/hop");
    EXPECT_EQ(refused.state(), kFetchError);
    EXPECT_EQ(refused.failure_code(), kErrorCertificateSelfSigned);

    UntrustedHosts hosts;
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_untrusted_hosts(&hosts);
    Fetch(fetch, "/hop");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(sink.body, "landed");
    std::string host;
    int32_t reason = 0;
    ASSERT_TRUE(hosts.At(0, &host, &reason));
    EXPECT_EQ(host, "localhost");
    EXPECT_EQ(reason, kErrorCertificateSelfSigned);
}

TEST_F(SecureHttpFetchTest, AProxyKindThatCannotTunnelFailsTheFetchAtOnce) {
    ProxySettings proxy;
    proxy.set_protocol(7);
    proxy.set_server("127.0.0.1");
    proxy.set_port(front_->port());
    SecureHttpFetch fetch(nullptr);
    fetch.set_proxy(&proxy);
    Fetch(fetch, "/page.html");
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(fetch.failure_code(), kErrorProxyCannotCarry);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"Proxy type 7 cannot carry HTTPS"});
    EXPECT_EQ(front_->Connections(), 0u);
}

TEST_F(SecureHttpFetchTest, AProxyThatIsNotThereFailsAtLookupOrConnect) {
    const uint16_t nobody = fwtest::FreeLoopbackPort();
    struct Case {
        const char* server;
        FetchState failed_at;
    } cases[] = {{"no-such-proxy.invalid", kFetchLookup}, {"127.0.0.1", kFetchConnect}};
    for (const Case& c : cases) {
        ProxySettings proxy;
        proxy.set_server(c.server);
        proxy.set_port(nobody);
        SecureHttpFetch fetch(nullptr);
        fetch.set_proxy(&proxy);
        Fetch(fetch, "/page.html");
        EXPECT_EQ(fetch.state(), kFetchError) << c.server;
        EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.server;
        EXPECT_EQ(fetch.failure_code(), 0) << c.server;
    }
    EXPECT_EQ(front_->Connections(), 0u);
}

TEST_F(SecureHttpFetchTest, FailuresSayHowFarTheFetchGot) {
    Response nothing = Response::Raw("");
    nothing.send_only = 0;
    Response cut_head = Response::Html("x");
    cut_head.send_only = 20;
    Response cut_body = Response::Html(std::string(5000, 'b'));
    cut_body.send_only = 1000;
    struct Case {
        const char* name;
        std::string host;
        int port;
        Response response;
        FetchState failed_at;
        std::string last_line;
    } cases[] = {
        {"name does not resolve", "no-such-host.invalid", 443, {}, kFetchLookup, "ERROR: HttpSendRequest"},
        {"nobody listens", "127.0.0.1", fwtest::FreeLoopbackPort(), {}, kFetchConnect,
         "ERROR: HttpSendRequest"},
        {"closed without a byte", "127.0.0.1", front_->port(), nothing, kFetchSend,
         "ERROR: HttpSendRequest"},
        {"closed inside the headers", "127.0.0.1", front_->port(), cut_head, kFetchReceive,
         "error getting header"},
        {"closed inside the body", "127.0.0.1", front_->port(), cut_body, kFetchReceive, "receive error"},
    };
    for (Case& c : cases) {
        server_.Script("/odd", c.response);
        LogCapture log;
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        fetch.set_cookie_jar(nullptr);
        fetch.set_ca_file(authority_.ca_file());
        fetch.SetTarget(c.host, c.port, "/odd");
        fetch.Run();
        EXPECT_EQ(fetch.state(), kFetchError) << c.name;
        EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.name;
        std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 2u) << c.name;
        EXPECT_EQ(lines[0].rfind("SecureHttpFetch ERROR: ", 0), 0u) << c.name << ": " << lines[0];
        EXPECT_EQ(lines[1], c.last_line) << c.name;
        if (c.last_line == "receive error") {
            // What arrived is kept, and the status is known.
            EXPECT_EQ(fetch.status_code(), 200) << c.name;
            EXPECT_EQ(sink.body.size() + fetch.raw_headers().size(), 1000u) << c.name;
        }
    }
}

TEST_F(SecureHttpFetchTest, SilenceEndsTheFetchAfterTheLimit) {
    ScopedSocketSilenceLimit limit(400ms);
    Response late = Response::Html("late");
    late.delay = 5s;
    Response stalls = Response::Html(std::string(5000, 's'));
    stalls.send_only = 1000;
    stalls.ending = fwtest::Ending::Silence;
    struct Case {
        const char* name;
        Response response;
        FetchState failed_at;
        std::string last_line;
    } cases[] = {
        {"no answer", late, kFetchSend, "ERROR: HttpSendRequest"},
        {"stalls in the body", stalls, kFetchReceive, "receive error"},
    };
    for (Case& c : cases) {
        server_.Script("/slow", c.response);
        LogCapture log;
        SecureHttpFetch fetch(nullptr);
        auto start = std::chrono::steady_clock::now();
        Fetch(fetch, "/slow");
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 400ms) << c.name;
        EXPECT_LT(took, 3s) << c.name;
        EXPECT_EQ(fetch.state(), kFetchError) << c.name;
        EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.name;
        EXPECT_EQ(log.Lines(),
                  (std::vector<std::string>{"SecureHttpFetch ERROR: WSAETIMEDOUT", c.last_line}))
            << c.name;
    }
}

TEST_F(SecureHttpFetchTest, TrickleAndEndlessBodiesEndAsBrokenTransfers) {
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LogCapture log;
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        fetch.set_response_cap(c.cap);
        Fetch(fetch, c.path);
        EXPECT_EQ(fetch.state(), kFetchError);
        EXPECT_EQ(fetch.failed_at(), kFetchReceive);
        EXPECT_LE(sink.body.size(), c.cap == UINT64_MAX ? 5000 : c.cap);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
}

TEST_F(SecureHttpFetchTest, CallbacksRejectAResponseAndKeepNothing) {
    fwtest::WriteFile(dir_ / "site/big.bin", std::string(1 << 20, 'z'));
    struct Case {
        const char* name;
        std::function<void(SecureHttpFetch&)> setup;
        bool aborted;
    } cases[] = {
        {"length", [](SecureHttpFetch& f) { f.SetLengthCallback([](int64_t n) { return n > 1000; }); }, true},
        {"type",
         [](SecureHttpFetch& f) {
             f.SetTypeCallback([](const std::string& t) { return t != "text/html"; });
         },
         true},
        {"accepted", [](SecureHttpFetch& f) { f.SetLengthCallback([](int64_t) { return false; }); }, false},
    };
    for (const Case& c : cases) {
        LogCapture log;
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        c.setup(fetch);
        Fetch(fetch, "/big.bin");
        EXPECT_EQ(fetch.aborted(), c.aborted) << c.name;
        EXPECT_EQ(fetch.state(), c.aborted ? kFetchReceive : kFetchDone) << c.name;
        EXPECT_EQ(sink.body.size(), c.aborted ? 0u : size_t{1} << 20) << c.name;
        EXPECT_TRUE(log.Lines().empty()) << c.name;
    }
    // A body past the body limit is rejected the same way, at the limit.
    LogCapture log;
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_body_limit(1000);
    Fetch(fetch, "/big.bin");
    EXPECT_TRUE(fetch.aborted());
    EXPECT_TRUE(fetch.body_limit_passed());
    EXPECT_EQ(fetch.state(), kFetchReceive);
    EXPECT_LE(sink.body.size(), 1000u);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(SecureHttpFetchTest, CookiesGoOutAndComeBackUnderTheHttpsUrl) {
    Response reply = Response::Html("hi");
    reply.headers.emplace_back("Set-Cookie", "sid=abc; Secure");
    reply.headers.emplace_back("Set-Cookie", "second=kept; Path=/");
    server_.Script("/login", reply);
    RecordingJar jar;
    jar.cookies = "a=1; b=2";
    SecureHttpFetch fetch(nullptr);
    fetch.set_cookie_jar(&jar);
    Fetch(fetch, "/login?next=1");
    EXPECT_EQ(server_.LastRequest().Header("Cookie"), "a=1; b=2");
    EXPECT_EQ(jar.asked, std::vector<std::string>{Url("/login?next=1")});
    EXPECT_EQ(jar.stored, (std::vector<std::pair<std::string, std::string>>{
                              {Url("/login?next=1"), "sid=abc; Secure"},
                              {Url("/login?next=1"), "second=kept; Path=/"}}));
}

TEST_F(SecureHttpFetchTest, CookiesAndCredentialsStayWithTheHostTheyWereFor) {
    const std::string elsewhere = "https://localhost:" + std::to_string(front_->port()) + "/land";
    server_.Script("/hop", Response::Redirect(302, elsewhere));
    server_.Script("/land", Response::Html("landed"));
    RecordingJar jar;
    jar.cookies = "sid=secret";
    StringSink sink;
    SecureHttpFetch fetch(&sink);
    fetch.set_cookie_jar(&jar);
    fetch.set_credentials("dXNlcjpwdw==");
    Fetch(fetch, "/hop");
    ASSERT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(fetch.location(), elsewhere);
    std::vector<fwtest::Request> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Cookie"), "sid=secret");
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic dXNlcjpwdw==");
    bool cookie = true, authorization = true;
    requests[1].Header("Cookie", &cookie);
    requests[1].Header("Authorization", &authorization);
    EXPECT_FALSE(cookie);
    EXPECT_FALSE(authorization);
}

TEST_F(SecureHttpFetchTest, AnExceptionFromTheSinkEndsTheFetchAndIsRethrown) {
    class ThrowingSink : public FetchSink {
    public:
        void Write(const char*, size_t) override { throw std::runtime_error("disk full"); }
    } sink;
    SecureHttpFetch fetch(&sink);
    EXPECT_THROW(Fetch(fetch, "/page.html"), std::runtime_error);
    EXPECT_EQ(fetch.state(), kFetchError);
}

}  // namespace
}  // namespace fw

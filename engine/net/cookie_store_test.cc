#include "engine/net/cookie_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include "engine/net/http_fetch.h"
#include "engine/net/secure_http_fetch.h"
#include "engine/net/test_sinks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_web_server.h"
#include "tests/support/tls_front.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::WriteFile;

class CookieStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<CookieStore> Make(const std::string& file = std::string()) {
        return std::make_unique<CookieStore>(file, [this] { return now_; });
    }

    int64_t now_ = 1700000000;
    fwtest::TempDir dir_;
};

TEST_F(CookieStoreTest, SendsCookiesToTheHostsAndPathsTheyBelongTo) {
    auto store = Make();
    store->SetCookie("http://www.example.com/dir/page.html", "host=1");
    store->SetCookie("http://www.example.com/dir/page.html", "dom=2; Domain=example.com; Path=/");
    store->SetCookie("https://www.example.com/", "sec=3; Secure");
    store->SetCookie("http://www.example.com/", "deep=4; Path=/dir/sub");
    store->SetCookie("http://other.example.com/", "other=5");
    struct Case {
        const char* url;
        const char* cookies;
    } cases[] = {
        {"http://www.example.com/dir/sub/x", "deep=4; host=1; dom=2"},
        {"https://www.example.com/dir/sub/x?q=/", "deep=4; host=1; dom=2; sec=3"},
        {"http://www.example.com/dir", "host=1; dom=2"},
        {"http://www.example.com/directory", "dom=2"},
        {"http://WWW.Example.COM:8080/dir/", "host=1; dom=2"},
        {"http://user@www.example.com/dir/", "host=1; dom=2"},
        {"http://example.com/dir/", "dom=2"},
        {"http://a.b.example.com/", "dom=2"},
        {"http://other.example.com/", "dom=2; other=5"},
        {"http://notexample.com/dir/", ""},
        {"http://com/", ""},
        {"ftp://www.example.com/dir/", ""},
        {"www.example.com/dir/", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(store->CookiesFor(c.url), c.cookies) << c.url;
}

TEST_F(CookieStoreTest, RefusesCookiesForDomainsTheHostIsNotIn) {
    struct Case {
        const char* from;
        const char* set_cookie;
        const char* to;
        const char* cookies;
    } cases[] = {
        {"http://example.com/", "a=1; Domain=evil.com", "http://evil.com/", ""},
        {"http://example.com/", "a=1; Domain=com", "http://other.com/", ""},
        {"http://www.example.com/", "a=1; Domain=ple.com", "http://ple.com/", ""},
        {"http://127.0.0.1/", "a=1; Domain=0.0.1", "http://127.0.0.1/", ""},
        {"http://127.0.0.1/", "a=1; Domain=127.0.0.1", "http://127.0.0.1/", "a=1"},
        {"http://localhost/", "a=1; Domain=localhost", "http://localhost/", "a=1"},
        {"http://example.com/", "a=1; Domain=EXAMPLE.com", "http://sub.example.com/", "a=1"},
        {"http://example.com/", "garbage", "http://example.com/", ""},
    };
    for (const Case& c : cases) {
        auto store = Make();
        store->SetCookie(c.from, c.set_cookie);
        EXPECT_EQ(store->CookiesFor(c.to), c.cookies) << c.set_cookie;
    }
}

TEST_F(CookieStoreTest, ReplacesByNameDomainAndPathAndForgetsWhatExpired) {
    auto store = Make();
    const std::string url = "http://example.com/";
    store->SetCookie(url, "a=1; Max-Age=100");
    store->SetCookie(url, "b=1");
    store->SetCookie(url, "a=2");  // replaced in place: still sent first
    store->SetCookie(url, "a=3; Path=/x");
    EXPECT_EQ(store->CookiesFor(url), "a=2; b=1");
    EXPECT_EQ(store->CookiesFor("http://example.com/x"), "a=3; a=2; b=1");

    store->SetCookie(url, "b=gone; Max-Age=0");
    store->SetCookie(url, "a=gone; Path=/x; Expires=Thu, 01 Jan 1970 00:00:01 GMT");
    EXPECT_EQ(store->CookiesFor("http://example.com/x"), "a=2");

    // Max-Age wins over an Expires in the past, and runs out.
    store->SetCookie(url, "c=1; Expires=Thu, 01 Jan 1970 00:00:01 GMT; Max-Age=10");
    EXPECT_EQ(store->CookiesFor(url), "a=2; c=1");
    now_ += 11;
    EXPECT_EQ(store->CookiesFor(url), "a=2");
    EXPECT_EQ(store->size(), 1u);
}

TEST_F(CookieStoreTest, KeepsItsLimitsByDroppingTheOldest) {
    auto store = Make();
    for (size_t i = 0; i <= CookieStore::kMaxPerDomain; ++i) {
        store->SetCookie("http://example.com/", "c" + std::to_string(i) + "=1");
    }
    EXPECT_EQ(store->size(), CookieStore::kMaxPerDomain);
    EXPECT_EQ(store->CookiesFor("http://example.com/").find("c0="), std::string::npos);
    EXPECT_EQ(store->CookiesFor("http://example.com/").rfind("c1=1", 0), 0u);

    auto wide = Make();
    for (size_t i = 0; i <= CookieStore::kMaxCookies; ++i) {
        wide->SetCookie("http://h" + std::to_string(i) + ".test/", "c=1");
    }
    EXPECT_EQ(wide->size(), CookieStore::kMaxCookies);
    EXPECT_EQ(wide->CookiesFor("http://h0.test/"), "");
    EXPECT_EQ(wide->CookiesFor("http://h1.test/"), "c=1");
}

TEST_F(CookieStoreTest, KeepsPersistentCookiesInANetscapeFileOnlyItsUserCanRead) {
    const std::string file = dir_ / "cookies.txt";
    {
        auto store = Make(file);
        store->SetCookie("http://www.example.com/a/b", "host=1; Max-Age=3600");
        store->SetCookie("https://example.com/", "dom=2; Domain=example.com; Secure; HttpOnly; Max-Age=60");
        store->SetCookie("http://example.com/", "session=3");
        ASSERT_TRUE(store->Save());
        EXPECT_EQ(ReadFile(file),
                  "# Netscape HTTP Cookie File\n"
                  "# Kept by Corvalin; rewritten whenever its cookies change.\n\n"
                  "www.example.com\tFALSE\t/a\tFALSE\t1700003600\thost\t1\n"
                  "#HttpOnly_.example.com\tTRUE\t/\tTRUE\t1700000060\tdom\t2\n");
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    now_ += 120;  // the domain cookie has run out by the time the file is read again
    auto again = Make(file);
    EXPECT_EQ(again->CookiesFor("https://www.example.com/a/"), "host=1");
    EXPECT_EQ(again->size(), 1u);
}

TEST_F(CookieStoreTest, ReadsAFileWrittenByOtherProgramsAndSkipsWhatItCannotUse) {
    const std::string file = dir_ / "cookies.txt";
    WriteFile(file,
              "# Netscape HTTP Cookie File\r\n"
              "\r\n"
              ".example.com\tTRUE\t/\tFALSE\t1800000000\tdom\tv1\r\n"
              "#HttpOnly_example.com\tFALSE\t/p\tTRUE\t1800000000\thttponly\tv2\n"
              "example.com\tFALSE\t/\tFALSE\t0\tsession\tv3\n"
              "example.com\tFALSE\t/\tFALSE\t1600000000\texpired\tv4\n"
              "example.com\tFALSE\t/\tFALSE\tsoon\tbadexpiry\tv5\n"
              "example.com\tFALSE\tnoslash\tFALSE\t1800000000\tbadpath\tv6\n"
              "example.com\tFALSE\t/\tFALSE\t1800000000\tsixfields\n"
              "# a comment\tFALSE\t/\tFALSE\t1800000000\tcomment\tv7\n"
              "EXAMPLE.com\tFALSE\t/\tFALSE\t1800000000\tempty\t\n");
    auto store = Make(file);
    EXPECT_EQ(store->CookiesFor("https://example.com/p"), "httponly=v2; dom=v1; session=v3; empty=");
    EXPECT_EQ(store->CookiesFor("http://www.example.com/p"), "dom=v1");

    // What was read is not written back until something changes, and then
    // without the session cookie.
    EXPECT_TRUE(store->Save());
    EXPECT_NE(ReadFile(file).find("badexpiry"), std::string::npos);
    store->SetCookie("http://example.com/", "empty=now; Max-Age=10");
    store.reset();
    std::string saved = ReadFile(file);
    EXPECT_EQ(saved.find("session"), std::string::npos);
    EXPECT_NE(saved.find("example.com\tFALSE\t/\tFALSE\t1700000010\tempty\tnow\n"), std::string::npos);
}

TEST_F(CookieStoreTest, TheProgramStoreLivesInTheProgramHomeAndIsInstalled) {
    const char* saved = std::getenv("CORVALIN_HOME");
    const std::string old_home = saved ? saved : "";
    ::setenv("CORVALIN_HOME", dir_.path().c_str(), 1);
    CookieStore& store = InstallProgramCookieStore();
    EXPECT_EQ(&InstallProgramCookieStore(), &store);
    EXPECT_EQ(InstalledCookieJar(), &store);
    EXPECT_EQ(store.file(), dir_ / "cookies.txt");
    HttpFetch fetch(nullptr);
    EXPECT_EQ(fetch.cookie_jar(), &store);
    // Later tests must not leave cookies in it.
    InstallCookieJar(nullptr);
    if (saved) {
        ::setenv("CORVALIN_HOME", old_home.c_str(), 1);
    } else {
        ::unsetenv("CORVALIN_HOME");
    }
}

// Real exchanges: a cookie a response sets comes back on the next request
// that matches it, over plain HTTP and over HTTPS.
class CookieExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(authority_.ok());
        ASSERT_TRUE(server_.Start());
        fwtest::CertificateFiles files = authority_.Issue("server");
        front_ = std::make_unique<fwtest::TlsFront>(server_.port(), files.cert, files.key);
        ASSERT_TRUE(front_->Start());
        for (const char* path : {"/app/account", "/app/x", "/other", "/next"}) {
            server_.Handle(path, [](const fwtest::Request& r) {
                return fwtest::Response::Html("cookie:" + r.Header("Cookie"));
            });
        }
    }

    // What the server saw as Cookie on a plain (or secure) fetch of `path`.
    std::string Plain(const std::string& path) {
        StringSink sink;
        HttpFetch fetch(&sink);
        fetch.set_cookie_jar(&store_);
        fetch.SetTarget("127.0.0.1", server_.port(), path);
        fetch.Run();
        EXPECT_EQ(fetch.state(), kFetchDone) << path;
        return sink.body;
    }
    std::string Secure(const std::string& path) {
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        fetch.set_cookie_jar(&store_);
        fetch.set_ca_file(authority_.ca_file());
        fetch.SetTarget("127.0.0.1", front_->port(), path);
        fetch.Run();
        EXPECT_EQ(fetch.state(), kFetchDone) << path;
        return sink.body;
    }

    fwtest::TempDir dir_;
    fwtest::TestAuthority authority_{dir_.path()};
    fwtest::TestWebServer server_;
    std::unique_ptr<fwtest::TlsFront> front_;
    CookieStore store_;
};

TEST_F(CookieExchangeTest, ACookieSetOverPlainHttpComesBackOnTheNextMatchingRequest) {
    fwtest::Response login = fwtest::Response::Html("welcome");
    login.headers.emplace_back("Set-Cookie", "sid=42; Path=/app");
    server_.Script("/app/login", login);
    Plain("/app/login");
    EXPECT_EQ(Plain("/app/account"), "cookie:sid=42");
    EXPECT_EQ(Plain("/other"), "cookie:");
    // The port plays no part: the same host over HTTPS gets it too.
    EXPECT_EQ(Secure("/app/x"), "cookie:sid=42");
}

TEST_F(CookieExchangeTest, EveryCookieOfAResponseIsKept) {
    fwtest::Response login = fwtest::Response::Html("welcome");
    login.headers.emplace_back("Set-Cookie", "sid=42; Path=/app; HttpOnly");
    login.headers.emplace_back("Set-Cookie", "theme=dark; Max-Age=3600; Path=/");
    server_.Script("/app/login", login);
    Plain("/app/login");
    EXPECT_EQ(Plain("/app/account"), "cookie:sid=42; theme=dark");
    EXPECT_EQ(Plain("/other"), "cookie:theme=dark");

    // Also from a redirect that the secure path follows on its own.
    fwtest::Response hop = fwtest::Response::Redirect(302, "/next");
    hop.headers.emplace_back("Set-Cookie", "a=1");
    hop.headers.emplace_back("Set-Cookie", "b=2; Secure");
    server_.Script("/hop", hop);
    Secure("/hop");
    EXPECT_EQ(Secure("/next"), "cookie:theme=dark; a=1; b=2");
}

TEST_F(CookieExchangeTest, ASecureCookieSetOverHttpsStaysOffPlainRequests) {
    fwtest::Response login = fwtest::Response::Html("welcome");
    login.headers.emplace_back("Set-Cookie", "token=s3; Secure");
    server_.Script("/login", login);
    Secure("/login");
    EXPECT_EQ(Secure("/next"), "cookie:token=s3");
    EXPECT_EQ(Plain("/next"), "cookie:");
}

}  // namespace
}  // namespace fw

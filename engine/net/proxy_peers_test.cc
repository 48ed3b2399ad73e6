// Fetches through real proxy servers started on loopback ports: tinyproxy
// (HTTP proxy), microsocks (SOCKS5) and danted (SOCKS4), plain and over TLS
// (through the proxy's tunnel). A test is skipped with a message when its
// server is not installed (scripts/setup installs all three).
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "engine/net/http_fetch.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/secure_http_fetch.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_web_server.h"
#include "tests/support/tls_front.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::ChildProcess;
using fwtest::FindProgram;
using fwtest::FreeLoopbackPort;
using fwtest::TempDir;
using fwtest::WriteFile;

class ProxyPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "site/page.html", "<html>through the proxy</html>");
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(authority_.ok());
        const fwtest::CertificateFiles files = authority_.Issue("server");
        front_ = std::make_unique<fwtest::TlsFront>(server_.port(), files.cert, files.key);
        ASSERT_TRUE(front_->Start());
    }

    // Starts `program` with `args` and waits for it to listen on `port`.
    // Returns false (and says why) when that fails.
    bool StartPeer(const std::string& program, std::vector<std::string> args, uint16_t port) {
        args.insert(args.begin(), program);
        if (!peer_.Start(args, dir_ / "peer.log")) return false;
        if (fwtest::WaitForLoopbackPort(port, 10s)) return true;
        ADD_FAILURE() << program << " did not listen on port " << port << ":\n"
                      << fwtest::ReadFile(dir_ / "peer.log");
        return false;
    }

    // Fetches page.html of the test server through `proxy`.
    void Fetch(HttpFetch& fetch, const ProxySettings& proxy) {
        fetch.set_cookie_jar(nullptr);
        fetch.SetTarget("127.0.0.1", server_.port(), "/page.html");
        fetch.set_proxy(&proxy);
        fetch.set_stop_event(&stop_);
        fetch.Run();
    }

    // The same over TLS, through the proxy's tunnel to the TLS front.
    void Fetch(SecureHttpFetch& fetch, const ProxySettings& proxy) {
        fetch.set_cookie_jar(nullptr);
        fetch.set_ca_file(authority_.ca_file());
        fetch.SetTarget("127.0.0.1", front_->port(), "/page.html");
        fetch.set_proxy(&proxy);
        fetch.set_stop_event(&stop_);
        fetch.Run();
    }

    void ExpectPage(const HttpFetchBase& fetch, const StringSink& sink) {
        EXPECT_EQ(fetch.state(), kFetchDone);
        EXPECT_EQ(fetch.status_code(), 200);
        EXPECT_EQ(sink.body, "<html>through the proxy</html>");
        EXPECT_EQ(server_.LastRequest().path, "/page.html");
    }

    TempDir dir_;
    fwtest::TestWebServer server_{dir_ / "site"};
    fwtest::TestAuthority authority_{dir_ / "tls-"};
    std::unique_ptr<fwtest::TlsFront> front_;
    ChildProcess peer_;
    platform::StopEvent stop_;
};

#define REQUIRE_PROGRAM(var, name)                                                        \
    const std::string var = FindProgram(name);                                            \
    if (var.empty()) GTEST_SKIP() << name " is not installed (scripts/setup installs it)"

TEST_F(ProxyPeerTest, HttpProxyTinyproxy) {
    REQUIRE_PROGRAM(tinyproxy, "tinyproxy");
    uint16_t port = FreeLoopbackPort();
    WriteFile(dir_ / "tinyproxy.conf",
              "Port " + std::to_string(port) + "\nListen 127.0.0.1\nTimeout 30\n"
              "MaxClients 20\nAllow 127.0.0.1\nBasicAuth alice s3cret\n");
    ASSERT_TRUE(StartPeer(tinyproxy, {"-d", "-c", dir_ / "tinyproxy.conf"}, port));

    ProxySettings proxy;
    proxy.set_protocol(kProxyHttp);
    proxy.set_server("127.0.0.1");
    proxy.set_port(port);

    {
        HttpFetch anonymous(nullptr);
        Fetch(anonymous, proxy);
        EXPECT_EQ(anonymous.state(), kFetchDone);
        EXPECT_EQ(anonymous.status_code(), 407);  // the proxy wants credentials
    }
    proxy.set_user_name("alice");
    proxy.set_password("wrong");
    {
        HttpFetch refused(nullptr);
        Fetch(refused, proxy);
        EXPECT_EQ(refused.state(), kFetchDone);
        EXPECT_NE(refused.status_code(), 200);
    }
    proxy.set_password("s3cret");
    StringSink sink;
    HttpFetch fetch(&sink);
    Fetch(fetch, proxy);
    ExpectPage(fetch, sink);
}

// HTTPS goes through the HTTP proxy's CONNECT tunnel, with the proxy's
// credentials; a refused tunnel is a failure with the proxy's status.
TEST_F(ProxyPeerTest, SecureThroughTinyproxyTunnel) {
    REQUIRE_PROGRAM(tinyproxy, "tinyproxy");
    uint16_t port = FreeLoopbackPort();
    WriteFile(dir_ / "tinyproxy.conf",
              "Port " + std::to_string(port) +
                  "\nListen 127.0.0.1\nTimeout 30\n"
                  "MaxClients 20\nAllow 127.0.0.1\nBasicAuth alice s3cret\n");
    ASSERT_TRUE(StartPeer(tinyproxy, {"-d", "-c", dir_ / "tinyproxy.conf"}, port));

    ProxySettings proxy;
    proxy.set_protocol(kProxyHttp);
    proxy.set_server("127.0.0.1");
    proxy.set_port(port);
    struct Case {
        const char* user;
        const char* password;
        int32_t refusal;  // 0: let through
    } cases[] = {{"", "", 407}, {"alice", "wrong", 401}, {"alice", "s3cret", 0}};
    for (const Case& c : cases) {
        proxy.set_user_name(c.user);
        proxy.set_password(c.password);
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        const size_t handshakes = front_->Handshakes();
        Fetch(fetch, proxy);
        if (c.refusal == 0) {
            ExpectPage(fetch, sink);
            EXPECT_EQ(fetch.failure_code(), 0);
            continue;
        }
        EXPECT_EQ(fetch.state(), kFetchError) << c.user << ":" << c.password;
        // tinyproxy answers a wrong password with 401 rather than 407.
        EXPECT_EQ(fetch.failure_code(), c.refusal) << c.user << ":" << c.password;
        EXPECT_TRUE(sink.body.empty());
        EXPECT_EQ(front_->Handshakes(), handshakes);  // nothing reached the site
    }
}

TEST_F(ProxyPeerTest, Socks5ProxyMicrosocksWithoutAuthentication) {
    REQUIRE_PROGRAM(microsocks, "microsocks");
    uint16_t port = FreeLoopbackPort();
    ASSERT_TRUE(StartPeer(microsocks, {"-i", "127.0.0.1", "-p", std::to_string(port)}, port));

    ProxySettings proxy;
    proxy.set_protocol(kProxySocks5);
    proxy.set_server("127.0.0.1");
    proxy.set_port(port);
    StringSink sink;
    HttpFetch fetch(&sink);
    Fetch(fetch, proxy);
    ExpectPage(fetch, sink);
    // Through a tunnel the server sees the same request a direct fetch sends.
    HttpFetch direct(nullptr);
    direct.set_cookie_jar(nullptr);
    direct.SetTarget("127.0.0.1", server_.port(), "/page.html");
    EXPECT_EQ(server_.LastRequest().head, direct.BuildRequest());
}

TEST_F(ProxyPeerTest, Socks5ProxyMicrosocksWithUserNameAndPassword) {
    REQUIRE_PROGRAM(microsocks, "microsocks");
    uint16_t port = FreeLoopbackPort();
    ASSERT_TRUE(StartPeer(microsocks,
                          {"-i", "127.0.0.1", "-p", std::to_string(port), "-u", "bob", "-P", "pw42"},
                          port));

    ProxySettings proxy;
    proxy.set_protocol(kProxySocks5);
    proxy.set_server("127.0.0.1");
    proxy.set_port(port);
    struct Case {
        const char* user;
        const char* password;
        bool through;
    } cases[] = {{"", "", false}, {"bob", "nope", false}, {"bob", "pw42", true}};
    for (const Case& c : cases) {
        proxy.set_user_name(c.user);
        proxy.set_password(c.password);
        StringSink sink;
        HttpFetch fetch(&sink);
        Fetch(fetch, proxy);
        if (c.through) {
            ExpectPage(fetch, sink);
        } else {
            EXPECT_EQ(fetch.state(), kFetchError) << c.user << ":" << c.password;
            EXPECT_EQ(fetch.failed_at(), kFetchConnect) << c.user << ":" << c.password;
        }
    }
}

TEST_F(ProxyPeerTest, SecureThroughMicrosocks) {
    REQUIRE_PROGRAM(microsocks, "microsocks");
    struct Case {
        const char* name;
        std::vector<std::string> peer_args;  // besides address and port
        const char* user;
        const char* password;
        bool through;
    } cases[] = {
        {"open", {}, "", "", true},
        {"user and password", {"-u", "bob", "-P", "pw42"}, "bob", "pw42", true},
        {"wrong password", {"-u", "bob", "-P", "pw42"}, "bob", "nope", false},
    };
    for (const Case& c : cases) {
        uint16_t port = FreeLoopbackPort();
        std::vector<std::string> args = {"-i", "127.0.0.1", "-p", std::to_string(port)};
        args.insert(args.end(), c.peer_args.begin(), c.peer_args.end());
        peer_.Stop();
        ASSERT_TRUE(StartPeer(microsocks, args, port)) << c.name;
        ProxySettings proxy;
        proxy.set_protocol(kProxySocks5);
        proxy.set_server("127.0.0.1");
        proxy.set_port(port);
        proxy.set_user_name(c.user);
        proxy.set_password(c.password);
        StringSink sink;
        SecureHttpFetch fetch(&sink);
        Fetch(fetch, proxy);
        if (c.through) {
            ExpectPage(fetch, sink);
        } else {
            EXPECT_EQ(fetch.state(), kFetchError) << c.name;
            EXPECT_EQ(fetch.failed_at(), kFetchConnect) << c.name;
        }
    }
}

TEST_F(ProxyPeerTest, Socks4ProxyDante) {
    REQUIRE_PROGRAM(danted, "danted");
    uint16_t port = FreeLoopbackPort();
    std::string config = "logoutput: " + (dir_ / "danted.log") + "\n" +
                         "internal: 127.0.0.1 port = " + std::to_string(port) + "\n" +
                         "external: 127.0.0.1\n"
                         "clientmethod: none\n"
                         "socksmethod: none\n";
    if (::getuid() == 0) config += "user.privileged: root\nuser.unprivileged: nobody\n";
    config +=
        "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
        "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  protocol: tcp\n  command: connect\n}\n";
    WriteFile(dir_ / "danted.conf", config);
    ASSERT_TRUE(StartPeer(danted, {"-f", dir_ / "danted.conf", "-p", dir_ / "danted.pid"}, port));

    ProxySettings proxy;
    proxy.set_protocol(kProxySocks4);
    proxy.set_server("127.0.0.1");
    proxy.set_port(port);
    for (const char* user : {"", "carol"}) {
        proxy.set_user_name(user);
        StringSink sink;
        HttpFetch fetch(&sink);
        Fetch(fetch, proxy);
        ExpectPage(fetch, sink);
        StringSink secure_sink;
        SecureHttpFetch secure(&secure_sink);
        Fetch(secure, proxy);
        ExpectPage(secure, secure_sink);
    }
}

}  // namespace
}  // namespace fw

// The SOCKS exchanges byte for byte, against scripted peers that answer
// exactly as each case needs (the real proxies are in proxy_peers_test.cc).
#include "engine/net/proxy_handshake.h"

#include <gtest/gtest.h>

#include "engine/net/http_fetch.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/socket.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_peer.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::ScriptedPeer;

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

const std::string kHttpReply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nthrough";
// The target as the packets carry it: 10.0.0.7 port 8080 (0x1F90).
const std::string kTargetAddress = B({10, 0, 0, 7});
const std::string kTargetPort = B({0x1F, 0x90});

struct Outcome {
    FetchState state;
    FetchState failed_at;
    std::string body;
    std::string proxy_saw;
};

// Runs a fetch of http://10.0.0.7:8080/x through `peer` acting as the proxy.
Outcome FetchThrough(ScriptedPeer& peer, ProxySettings& proxy) {
    proxy.set_server("127.0.0.1");
    proxy.set_port(peer.port());
    StringSink sink;
    HttpFetch fetch(&sink);
    fetch.set_cookie_jar(nullptr);
    fetch.SetTarget("10.0.0.7", 8080, "/x");
    fetch.set_proxy(&proxy);
    platform::StopEvent stop;
    fetch.set_stop_event(&stop);
    fetch.Run();
    peer.Stop();
    return {fetch.state(), fetch.failed_at(), sink.body, peer.Received()};
}

TEST(ProxyHandshakeTest, PacketLayouts) {
    BSockAddr target("10.0.0.7", 8080);
    ProxySettings anonymous;
    ProxySettings named;
    named.set_user_name("joe");
    named.set_password("pw");
    EXPECT_EQ(Socks4Request(target, anonymous), B({4, 1}) + kTargetPort + kTargetAddress + B({0}));
    EXPECT_EQ(Socks4Request(target, named),
              B({4, 1}) + kTargetPort + kTargetAddress + "joe" + B({0}));
    EXPECT_EQ(Socks5Greeting(false), B({5, 1, 0}));
    EXPECT_EQ(Socks5Greeting(true), B({5, 2, 0, 2}));
    EXPECT_EQ(Socks5Authentication("joe", "pw"), B({1, 3}) + "joe" + B({2}) + "pw");
    EXPECT_EQ(Socks5Authentication("joe", ""), B({1, 3}) + "joe" + B({1, 0}));
    EXPECT_EQ(Socks5Authentication("", ""), B({1, 1, 0, 1, 0}));
    EXPECT_EQ(Socks5Authentication(std::string(255, 'u'), "p").size(), 1u + 1 + 255 + 1 + 1);
    EXPECT_EQ(Socks5Authentication(std::string(256, 'u'), "p"), "");
    EXPECT_EQ(Socks5Connect(target), B({5, 1, 0, 1}) + kTargetAddress + kTargetPort);
}

TEST(ProxyHandshakeTest, Socks4Replies) {
    const std::string request = B({4, 1}) + kTargetPort + kTargetAddress + B({0});
    struct Case {
        const char* name;
        std::string reply;
        bool granted;
    } cases[] = {
        {"granted", B({0, 90, 0, 0, 0, 0, 0, 0}), true},
        {"granted with the version byte 4", B({4, 90, 0, 0, 0, 0, 0, 0}), true},
        {"rejected (91)", B({0, 91, 0, 0, 0, 0, 0, 0}), false},
        {"wrong first byte", B({5, 90, 0, 0, 0, 0, 0, 0}), false},
        {"short reply", B({0}), false},
        {"no reply at all", "", false},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.Read(request.size()).Write(c.reply);
        if (c.granted) peer.ReadUntil("\r\n\r\n").Write(kHttpReply);
        ASSERT_TRUE(peer.Start());
        ProxySettings proxy;
        proxy.set_protocol(kProxySocks4);
        Outcome out = FetchThrough(peer, proxy);
        if (c.granted) {
            EXPECT_EQ(out.state, kFetchDone) << c.name;
            EXPECT_EQ(out.body, "through") << c.name;
            // The request that follows is relative, as for a direct connection.
            EXPECT_EQ(out.proxy_saw.substr(request.size(), 21), "GET /x HTTP/1.0\r\nAcce") << c.name;
        } else {
            EXPECT_EQ(out.state, kFetchError) << c.name;
            EXPECT_EQ(out.failed_at, kFetchConnect) << c.name;
            EXPECT_EQ(out.proxy_saw, request) << c.name;  // no HTTP byte followed
        }
    }
}

TEST(ProxyHandshakeTest, Socks5Replies) {
    const std::string connect = B({5, 1, 0, 1}) + kTargetAddress + kTargetPort;
    const std::string auth = B({1, 3}) + "joe" + B({2}) + "pw";
    const std::string ok = B({5, 0, 0, 1, 127, 0, 0, 1, 0, 80});
    struct Case {
        const char* name;
        bool credentials;
        std::string method;     // the proxy's choice
        std::string auth_reply; // when it chose 2
        std::string reply;      // to the connect request
        bool granted;
        std::string proxy_saw;  // every byte the proxy got before any HTTP
    } cases[] = {
        {"no authentication", false, B({5, 0}), "", ok, true, B({5, 1, 0}) + connect},
        {"user name and password", true, B({5, 2}), B({1, 0}), ok, true,
         B({5, 2, 0, 2}) + auth + connect},
        {"credentials offered, none needed", true, B({5, 0}), "", ok, true,
         B({5, 2, 0, 2}) + connect},
        {"no acceptable method", true, B({5, 255}), "", "", false, B({5, 2, 0, 2})},
        {"method we did not offer", false, B({5, 2}), "", "", false, B({5, 1, 0})},
        {"wrong version in the choice", false, B({4, 0}), "", "", false, B({5, 1, 0})},
        {"short choice", false, B({5}), "", "", false, B({5, 1, 0})},
        {"password refused", true, B({5, 2}), B({1, 1}), "", false, B({5, 2, 0, 2}) + auth},
        {"connect refused", false, B({5, 0}), "", B({5, 5, 0, 1, 0, 0, 0, 0, 0, 0}), false,
         B({5, 1, 0}) + connect},
        {"short connect reply", false, B({5, 0}), "", B({5}), false, B({5, 1, 0}) + connect},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.Read(c.credentials ? 4 : 3).Write(c.method);
        if (c.method == B({5, 2}) && c.credentials) peer.Read(auth.size()).Write(c.auth_reply);
        if (!c.reply.empty()) peer.Read(connect.size()).Write(c.reply);
        if (c.granted) peer.ReadUntil("\r\n\r\n").Write(kHttpReply);
        ASSERT_TRUE(peer.Start());
        ProxySettings proxy;
        proxy.set_protocol(kProxySocks5);
        if (c.credentials) {
            proxy.set_user_name("joe");
            proxy.set_password("pw");
        }
        Outcome out = FetchThrough(peer, proxy);
        EXPECT_EQ(out.proxy_saw.substr(0, c.proxy_saw.size()), c.proxy_saw) << c.name;
        if (c.granted) {
            EXPECT_EQ(out.state, kFetchDone) << c.name;
            EXPECT_EQ(out.body, "through") << c.name;
        } else {
            EXPECT_EQ(out.state, kFetchError) << c.name;
            EXPECT_EQ(out.failed_at, kFetchConnect) << c.name;
            EXPECT_EQ(out.proxy_saw, c.proxy_saw) << c.name;
        }
    }
}

TEST(ProxyHandshakeTest, HttpNeedsNoHandshake) {
    ScriptedPeer peer;
    peer.ReadUntil("\r\n\r\n").Write(kHttpReply);
    ASSERT_TRUE(peer.Start());
    ProxySettings proxy;
    proxy.set_protocol(kProxyHttp);
    Outcome out = FetchThrough(peer, proxy);
    EXPECT_EQ(out.state, kFetchDone);
    const std::string line = "GET http://10.0.0.7:8080/x HTTP/1.0\r\n";
    EXPECT_EQ(out.proxy_saw.substr(0, line.size()), line);
}

// A proxy of an unknown kind would otherwise be sent the request meant for
// the server, and one on no valid port cannot be reached.
TEST(ProxyHandshakeTest, AnUnknownKindOrAPortOutOfRangeFailsBeforeConnecting) {
    struct Case {
        int32_t protocol;
        int32_t port;  // 0: the peer's
        const char* line;
    } cases[] = {
        {9, 0, "Proxy type 9 is out of range 1 to 3"},
        {0, 0, "Proxy type 0 is out of range 1 to 3"},
        {kProxySocks5, 70000, "Proxy port 70000 is out of range 1 to 65535"},
        {kProxyHttp, -1, "Proxy port -1 is out of range 1 to 65535"},
    };
    for (const Case& c : cases) {
        fwtest::LogCapture log;
        ScriptedPeer peer;
        peer.ReadUntil("\r\n\r\n").Write(kHttpReply);
        ASSERT_TRUE(peer.Start());
        ProxySettings proxy;
        proxy.set_protocol(c.protocol);
        proxy.set_server("127.0.0.1");
        proxy.set_port(c.port != 0 ? c.port : peer.port());
        StringSink sink;
        HttpFetch fetch(&sink);
        fetch.set_cookie_jar(nullptr);
        fetch.SetTarget("10.0.0.7", 8080, "/x");
        fetch.set_proxy(&proxy);
        fetch.Run();
        peer.Stop();
        EXPECT_EQ(fetch.state(), kFetchError) << c.line;
        EXPECT_EQ(fetch.failure_code(), kErrorProxyCannotCarry) << c.line;
        EXPECT_EQ(peer.Connections(), 0u) << c.line;
        EXPECT_TRUE(log.Has(c.line)) << c.line;
    }
}

TEST(ProxyHandshakeTest, ASilentProxyIsGivenUpOnAfterTheSilenceLimit) {
    ScopedSocketSilenceLimit limit(300ms);
    fwtest::LogCapture log;
    ScriptedPeer peer;
    peer.Hold();
    ASSERT_TRUE(peer.Start());
    ProxySettings proxy;
    proxy.set_protocol(kProxySocks5);
    auto start = std::chrono::steady_clock::now();
    Outcome out = FetchThrough(peer, proxy);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
    EXPECT_EQ(out.state, kFetchError);
    EXPECT_EQ(out.failed_at, kFetchConnect);
    EXPECT_TRUE(log.Has("BSocket::Receive ERROR: WSAETIMEDOUT"));
}

}  // namespace
}  // namespace fw

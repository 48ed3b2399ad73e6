#include "engine/net/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstring>

#include "engine/net/sock_addr.h"
#include "engine/net/socket_error.h"
#include "engine/net/win_sock.h"
#include "platform/event.h"
#include "tests/support/child_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_peer.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::LogCapture;
using fwtest::ScriptedPeer;

TEST(SocketErrorTest, NamesEveryListedCodeAndUnknownForOthers) {
    struct Case {
        int code;
        const char* name;
    } cases[] = {
        {10004, "WSAEINTR"},          {10035, "WSAEWOULDBLOCK"},  {10054, "WSAECONNRESET"},
        {10060, "WSAETIMEDOUT"},      {10061, "WSAECONNREFUSED"}, {10071, "WSAEREMOTE"},
        {10091, "WSASYSNOTREADY"},    {10093, "WSANOTINITIALISED"}, {10101, "WSAEDISCON"},
        {11001, "WSAHOST_NOT_FOUND"}, {11004, "WSANO_DATA"},
        {0, "Unknown"},               {10000, "Unknown"},         {10072, "Unknown"},
        {11005, "Unknown"},           {ECONNREFUSED, "Unknown"},
    };
    for (const Case& c : cases) EXPECT_STREQ(SocketErrorName(c.code), c.name) << c.code;
}

TEST(SocketErrorTest, SystemErrorsMapToTheirWinsockNames) {
    struct Case {
        int error;
        const char* name;
    } cases[] = {
        {ECONNREFUSED, "WSAECONNREFUSED"}, {ETIMEDOUT, "WSAETIMEDOUT"},
        {ECONNRESET, "WSAECONNRESET"},     {EPIPE, "WSAECONNRESET"},
        {EAGAIN, "WSAEWOULDBLOCK"},        {EHOSTUNREACH, "WSAEHOSTUNREACH"},
        {EADDRINUSE, "WSAEADDRINUSE"},     {ENOTCONN, "WSAENOTCONN"},
        {EMFILE, "WSAEMFILE"},             {ENOENT, "Unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(SocketErrorName(SocketErrorFromErrno(c.error)), c.name) << c.error;
    }
    EXPECT_STREQ(SocketErrorName(SocketErrorFromResolver(EAI_NONAME, 0)), "WSAHOST_NOT_FOUND");
    EXPECT_STREQ(SocketErrorName(SocketErrorFromResolver(EAI_AGAIN, 0)), "WSATRY_AGAIN");
    EXPECT_STREQ(SocketErrorName(SocketErrorFromResolver(EAI_FAIL, 0)), "WSANO_RECOVERY");
    EXPECT_STREQ(SocketErrorName(SocketErrorFromResolver(EAI_SYSTEM, ECONNREFUSED)),
                 "WSAECONNREFUSED");
}

TEST(SockAddrTest, DottedQuadNeedsNoLookup) {
    LogCapture log;
    BSockAddr addr("10.1.2.3", 8080);
    ASSERT_TRUE(addr.valid());
    EXPECT_EQ(addr.ToString(), "10.1.2.3");
    EXPECT_EQ(addr.port(), 8080);
    EXPECT_EQ(addr.network_port(), htons(8080));
    const auto* in = reinterpret_cast<const sockaddr_in*>(addr.get());
    EXPECT_EQ(in->sin_family, AF_INET);
    EXPECT_EQ(in->sin_addr.s_addr, inet_addr("10.1.2.3"));
    EXPECT_EQ(sizeof(sockaddr_in), 16u);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(SockAddrTest, NameIsResolvedToItsFirstAddress) {
    BSockAddr addr("localhost", 80);
    ASSERT_TRUE(addr.valid());
    EXPECT_EQ(addr.ToString(), "127.0.0.1");
}

TEST(SockAddrTest, FailedLookupOrBadPortIsInvalidAndLogged) {
    LogCapture log;
    BSockAddr missing("no-such-host.invalid", 80);
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(missing.get(), nullptr);
    ASSERT_EQ(log.Lines().size(), 1u);
    // Without a resolver to ask, the lookup can only say "try again".
    EXPECT_TRUE(log.Has("BSockAddr::Address ERROR: WSAHOST_NOT_FOUND") ||
                log.Has("BSockAddr::Address ERROR: WSATRY_AGAIN"))
        << log.Lines()[0];

    BSockAddr too_big("127.0.0.1", 70000);
    EXPECT_FALSE(too_big.valid());
    EXPECT_TRUE(log.Has("BSockAddr::Address ERROR: WSAEINVAL"));
}

TEST(SockAddrTest, AnyAddressAndLocalName) {
    BSockAddr any;
    EXPECT_TRUE(any.valid());
    EXPECT_EQ(any.ToString(), "0.0.0.0");
    EXPECT_EQ(any.port(), 0);

    BSocket listener;
    ASSERT_TRUE(listener.valid());
    ASSERT_TRUE(listener.Listen());
    BSockAddr local(listener);
    EXPECT_TRUE(local.valid());
    EXPECT_GT(local.port(), 0);
}

// The blocking (no stop event) and the waiting form of a call.
std::vector<const platform::StopEvent*> BothForms(const platform::StopEvent& stop) {
    return {nullptr, &stop};
}

// A connected pair: a BSocket talking to a scripted peer.
struct Connected {
    explicit Connected(ScriptedPeer& peer) : address("127.0.0.1", peer.port()) {
        EXPECT_TRUE(socket.Connect(address));
    }
    BSockAddr address;
    BSocket socket;
};

TEST(SocketTest, ReceiveStoresAtMostSizeMinusOneAndAZeroByte) {
    ScriptedPeer peer;
    peer.Write(std::string(1000, 'a'));
    ASSERT_TRUE(peer.Start());
    platform::StopEvent stop;
    for (const platform::StopEvent* with : BothForms(stop)) {
        Connected c(peer);
        std::this_thread::sleep_for(20ms);  // let all 1000 bytes arrive
        char buffer[300];
        std::memset(buffer, 'x', sizeof buffer);
        size_t count = 0;
        ASSERT_TRUE(c.socket.Receive(buffer, 256, &count, with));
        EXPECT_EQ(count, 255u);
        EXPECT_EQ(buffer[254], 'a');
        EXPECT_EQ(buffer[255], '\0');
        EXPECT_EQ(buffer[256], 'x');
    }
}

TEST(SocketTest, PeerCloseIsSuccessWithCountZero) {
    ScriptedPeer peer;  // no steps: closes at once
    ASSERT_TRUE(peer.Start());
    platform::StopEvent stop;
    for (const platform::StopEvent* with : BothForms(stop)) {
        Connected c(peer);
        char buffer[16];
        size_t count = 99;
        EXPECT_TRUE(c.socket.Receive(buffer, sizeof buffer, &count, with));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(buffer[0], '\0');
    }
}

TEST(SocketTest, SendNeedsDataAndSendsItWhole) {
    ScriptedPeer peer;
    peer.Read(5);
    ASSERT_TRUE(peer.Start());
    Connected c(peer);
    EXPECT_FALSE(c.socket.Send("", 0));
    EXPECT_FALSE(c.socket.Send(nullptr, 3));
    EXPECT_TRUE(c.socket.Send(std::string_view("hello")));
    char buffer[8];
    size_t count = 1;
    EXPECT_TRUE(c.socket.Receive(buffer, sizeof buffer, &count));  // peer done: closed
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(peer.Received(), "hello");
}

TEST(SocketTest, RefusedConnectLogsAndInvalidatesTheSocket) {
    uint16_t closed_port = fwtest::FreeLoopbackPort();
    platform::StopEvent stop;
    for (const platform::StopEvent* with : BothForms(stop)) {
        LogCapture log;
        BSocket s;
        ASSERT_TRUE(s.valid());
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(s.Connect(BSockAddr("127.0.0.1", closed_port), with));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_FALSE(s.valid());
        EXPECT_TRUE(log.Has("BSocket::Connect ERROR: WSAECONNREFUSED"));
        // Later calls fail without touching the network or the log.
        char buffer[8];
        size_t count = 7;
        EXPECT_FALSE(s.Send("x", 1));
        EXPECT_FALSE(s.Receive(buffer, sizeof buffer, &count, with));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(log.Lines().size(), 1u);
    }
}

TEST(SocketTest, ConnectToAnInvalidAddressFailsWithoutALineOfItsOwn) {
    LogCapture log;
    BSockAddr bad("127.0.0.1", -1);
    ASSERT_EQ(log.Lines().size(), 1u);  // the address's own line
    BSocket s;
    platform::StopEvent stop;
    EXPECT_FALSE(s.Connect(bad, &stop));
    EXPECT_FALSE(s.valid());
    EXPECT_EQ(log.Lines().size(), 1u);
}

TEST(SocketTest, WaitingReceiveGivesUpAfterTheSilenceLimit) {
    ScopedSocketSilenceLimit limit(300ms);
    ScriptedPeer peer;
    peer.Hold();
    ASSERT_TRUE(peer.Start());
    LogCapture log;
    Connected c(peer);
    platform::StopEvent stop;
    char buffer[64];
    size_t count = 5;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.socket.Receive(buffer, sizeof buffer, &count, &stop));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 2s);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"BSocket::Receive ERROR: WSAETIMEDOUT"});
    // The bounded read keeps the limit even without a stop event.
    EXPECT_FALSE(c.socket.ReceiveWithin(buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(log.Lines().size(), 2u);
}

TEST(SocketTest, ListenAcceptAndAdopt) {
    BSocket listener;
    ASSERT_TRUE(listener.Listen());
    BSockAddr local;
    ASSERT_TRUE(listener.GetName(&local));
    BSocket client;
    ASSERT_TRUE(client.Connect(BSockAddr("127.0.0.1", local.port())));
    int handle = -1;
    ASSERT_TRUE(listener.Accept(&handle));
    BSocket accepted(handle);
    EXPECT_TRUE(accepted.valid());
    EXPECT_TRUE(client.Send(std::string_view("ping")));
    char buffer[16];
    size_t count = 0;
    ASSERT_TRUE(accepted.Receive(buffer, sizeof buffer, &count));
    EXPECT_EQ(std::string(buffer, count), "ping");
}

TEST(SocketTest, WaitingAcceptTakesAConnectionOrGivesUpAfterTheSilenceLimit) {
    ScopedSocketSilenceLimit limit(300ms);
    BSocket listener;
    ASSERT_TRUE(listener.Listen());
    BSockAddr local;
    ASSERT_TRUE(listener.GetName(&local));
    LogCapture log;
    int handle = -1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(listener.AcceptWithin(&handle, nullptr));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"BSocket::Accept ERROR: WSAETIMEDOUT"});

    platform::StopEvent stop;
    stop.Set();
    EXPECT_FALSE(listener.AcceptWithin(&handle, &stop));
    EXPECT_EQ(log.Lines().size(), 1u);  // a stop is no error

    BSocket client;
    ASSERT_TRUE(client.Connect(BSockAddr("127.0.0.1", local.port())));
    stop.Reset();
    ASSERT_TRUE(listener.AcceptWithin(&handle, &stop));
    BSocket accepted(handle);
    EXPECT_TRUE(accepted.valid());
}

TEST(SocketTest, WinSockStartsOnceAndIgnoresBrokenPipes) {
    BWinSock& first = BWinSock::Instance();
    EXPECT_TRUE(first.started());
    EXPECT_EQ(&first, &BWinSock::Instance());
    struct sigaction current {};
    ASSERT_EQ(::sigaction(SIGPIPE, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(SocketTest, SendToAResetConnectionFailsAndLogs) {
    ScriptedPeer peer;
    peer.Reset();
    ASSERT_TRUE(peer.Start());
    Connected c(peer);
    std::this_thread::sleep_for(50ms);
    LogCapture log;
    std::string data(100000, 'z');
    EXPECT_FALSE(c.socket.Send(data) && c.socket.Send(data));
    EXPECT_TRUE(log.Has("BSocket::Send ERROR: WSAECONNRESET"));
}

}  // namespace
}  // namespace fw

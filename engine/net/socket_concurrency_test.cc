// Stop requests from another thread end waiting calls at once.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "engine/net/socket.h"
#include "platform/event.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_peer.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A listener whose accept queue is full, so a further connect to it waits
// (the system drops its handshake) until someone gives up.
class FullListener {
public:
    FullListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 0);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        for (int i = 0; i < 4; ++i) {
            int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            fillers_.push_back(c);
        }
        std::this_thread::sleep_for(50ms);
    }
    ~FullListener() {
        for (int c : fillers_) ::close(c);
        ::close(fd_);
    }
    uint16_t port() const { return port_; }

private:
    int fd_;
    uint16_t port_;
    std::vector<int> fillers_;
};

// Sets `stop` after `delay` on another thread; remembers when.
class DelayedStop {
public:
    DelayedStop(platform::StopEvent& stop, std::chrono::milliseconds delay)
        : thread_([&stop, delay, this] {
              std::this_thread::sleep_for(delay);
              set_at_ = Clock::now();
              stop.Set();
          }) {}
    ~DelayedStop() { Join(); }
    Clock::time_point Join() {
        if (thread_.joinable()) thread_.join();
        return set_at_;
    }

private:
    Clock::time_point set_at_;
    std::thread thread_;
};

TEST(SocketStopTest, StopDuringConnectEndsItAtOnceWithoutALogLine) {
    FullListener full;
    fwtest::LogCapture log;
    platform::StopEvent stop;
    BSocket s;
    DelayedStop stopper(stop, 150ms);
    EXPECT_FALSE(s.Connect(BSockAddr("127.0.0.1", full.port()), &stop));
    auto ended = Clock::now();
    auto set_at = stopper.Join();
    EXPECT_FALSE(s.valid());
    EXPECT_LT(ended - set_at, 50ms);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(SocketStopTest, ConnectThatNeverCompletesTimesOut) {
    FullListener full;
    auto saved = SocketSilenceLimit();
    SetSocketSilenceLimit(300ms);
    fwtest::LogCapture log;
    platform::StopEvent stop;
    BSocket s;
    auto start = Clock::now();
    EXPECT_FALSE(s.Connect(BSockAddr("127.0.0.1", full.port()), &stop));
    EXPECT_GE(Clock::now() - start, 300ms);
    SetSocketSilenceLimit(saved);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"BSocket::Connect ERROR: WSAETIMEDOUT"});
}

TEST(SocketStopTest, StopDuringReceiveEndsItAtOnceWithoutALogLine) {
    fwtest::ScriptedPeer peer;
    peer.Hold();
    ASSERT_TRUE(peer.Start());
    BSocket s;
    ASSERT_TRUE(s.Connect(BSockAddr("127.0.0.1", peer.port())));
    fwtest::LogCapture log;
    platform::StopEvent stop;
    char buffer[64];
    size_t count = 3;
    DelayedStop stopper(stop, 150ms);
    EXPECT_FALSE(s.Receive(buffer, sizeof buffer, &count, &stop));
    auto ended = Clock::now();
    auto set_at = stopper.Join();
    EXPECT_LT(ended - set_at, 50ms);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(s.valid());  // a stop is not a socket failure
}

}  // namespace
}  // namespace fw

// Stop requests from another thread end waiting calls and fetches at once;
// fetches run side by side and can be watched while they run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/net/http_fetch.h"
#include "engine/net/socket.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/full_listener.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Sets `stop` after `delay` on another thread; remembers when.
// A stop ends a wait "at once": long before the 30-second silence rule would,
// with room for a loaded machine.
constexpr auto kAtOnce = std::chrono::seconds(5);

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
    fwtest::FullListener full;
    fwtest::LogCapture log;
    platform::StopEvent stop;
    BSocket s;
    DelayedStop stopper(stop, 150ms);
    EXPECT_FALSE(s.Connect(BSockAddr("127.0.0.1", full.port()), &stop));
    auto ended = Clock::now();
    auto set_at = stopper.Join();
    EXPECT_FALSE(s.valid());
    EXPECT_LT(ended - set_at, kAtOnce);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(SocketStopTest, ConnectThatNeverCompletesTimesOut) {
    fwtest::FullListener full;
    ScopedSocketSilenceLimit limit(300ms);
    fwtest::LogCapture log;
    platform::StopEvent stop;
    BSocket s;
    auto start = Clock::now();
    EXPECT_FALSE(s.Connect(BSockAddr("127.0.0.1", full.port()), &stop));
    EXPECT_GE(Clock::now() - start, 300ms);
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
    EXPECT_LT(ended - set_at, kAtOnce);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(s.valid());  // a stop is not a socket failure
}

TEST(FetchStopTest, StopDuringTheTransferIsABrokenTransfer) {
    fwtest::TestWebServer server;
    fwtest::Response stalled = fwtest::Response::Html(std::string(100000, 's'));
    stalled.send_only = 5000;
    stalled.ending = fwtest::Ending::Silence;
    server.Script("/stalled", stalled);
    ASSERT_TRUE(server.Start());
    fwtest::LogCapture log;
    platform::StopEvent stop;
    CountingSink sink;
    HttpFetch fetch(&sink);
    fetch.SetTarget("127.0.0.1", server.port(), "/stalled");
    fetch.set_stop_event(&stop);
    DelayedStop stopper(stop, 150ms);
    fetch.Run();
    auto ended = Clock::now();
    EXPECT_LT(ended - stopper.Join(), kAtOnce);
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(fetch.failed_at(), kFetchReceive);
    EXPECT_EQ(fetch.bytes_received(), 5000u);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"receive error"});
}

TEST(FetchStopTest, StopDuringConnectFailsAtConnect) {
    fwtest::FullListener full;
    platform::StopEvent stop;
    HttpFetch fetch(nullptr);
    fetch.SetTarget("127.0.0.1", full.port(), "/");
    fetch.set_stop_event(&stop);
    DelayedStop stopper(stop, 100ms);
    fetch.Run();
    EXPECT_LT(Clock::now() - stopper.Join(), kAtOnce);
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(fetch.failed_at(), kFetchConnect);
}

TEST(FetchStopTest, StateAndCountersCanBeWatchedWhileTheFetchRuns) {
    fwtest::TestWebServer server;
    fwtest::Response slow = fwtest::Response::Html(std::string(200000, 'w'));
    slow.delay = 100ms;
    server.Script("/slow", slow);
    ASSERT_TRUE(server.Start());
    CountingSink sink;
    HttpFetch fetch(&sink);
    fetch.SetTarget("127.0.0.1", server.port(), "/slow");
    std::atomic<bool> done{false};
    std::thread runner([&] {
        fetch.Run();
        done = true;
    });
    bool saw_receive = false;
    while (!done) {
        saw_receive |= fetch.state() == kFetchReceive;
        (void)fetch.bytes_received();
        (void)fetch.bytes_sent();
        std::this_thread::sleep_for(1ms);
    }
    runner.join();
    EXPECT_TRUE(saw_receive);
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(sink.bytes, 200000u);
}

TEST(FetchStopTest, ManyFetchesSideBySide) {
    fwtest::TempDir root;
    for (int i = 0; i < 10; ++i) {
        fwtest::WriteFile(root / ("p" + std::to_string(i) + ".html"), std::string(5000 + i, 'x'));
    }
    fwtest::TestWebServer server(root.path());
    server.set_record_requests(false);
    ASSERT_TRUE(server.Start());
    platform::StopEvent stop;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                int page = (t + i) % 10;
                CountingSink sink;
                HttpFetch fetch(&sink);
                fetch.SetTarget("127.0.0.1", server.port(), "/p" + std::to_string(page) + ".html");
                fetch.set_stop_event(&stop);
                fetch.Run();
                if (fetch.state() == kFetchDone && sink.bytes == size_t(5000 + page)) ++good;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(good.load(), 8 * 40);
    EXPECT_EQ(server.RequestCount(), 8u * 40u);
}

}  // namespace
}  // namespace fw

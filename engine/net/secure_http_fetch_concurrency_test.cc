// The secure path from other threads: a stop request or a cancel ends a
// waiting fetch at once; fetches run side by side on one cookie store.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/net/cookie_store.h"
#include "engine/net/secure_http_fetch.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_web_server.h"
#include "tests/support/tls_front.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SecureConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(authority_.ok());
        ASSERT_TRUE(server_.Start());
        fwtest::CertificateFiles files = authority_.Issue("server");
        front_ = std::make_unique<fwtest::TlsFront>(server_.port(), files.cert, files.key);
        ASSERT_TRUE(front_->Start());
        fwtest::Response silent = fwtest::Response::Html("never");
        silent.delay = 60s;
        server_.Script("/silent", silent);
    }

    void Prepare(SecureHttpFetch& fetch, const std::string& path) {
        fetch.set_cookie_jar(nullptr);
        fetch.set_ca_file(authority_.ca_file());
        fetch.SetTarget("127.0.0.1", front_->port(), path);
    }

    fwtest::TempDir dir_;
    fwtest::TestAuthority authority_{dir_.path()};
    fwtest::TestWebServer server_;
    std::unique_ptr<fwtest::TlsFront> front_;
};

TEST_F(SecureConcurrencyTest, AStopEndsAWaitingFetchAtOnceWithoutALogLine) {
    fwtest::LogCapture log;
    platform::StopEvent stop;
    SecureHttpFetch fetch(nullptr);
    Prepare(fetch, "/silent");
    fetch.set_stop_event(&stop);
    Clock::time_point asked;
    std::thread other([&] {
        // Once the request is out and the fetch waits for the answer.
        for (int i = 0; i < 1000 && fetch.state() != kFetchSend; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(50ms);
        asked = Clock::now();
        stop.Set();
    });
    fetch.Run();
    auto ended = Clock::now();
    other.join();
    // Far sooner than the silence rule or the server's late answer.
    EXPECT_LT(ended - asked, 10s);
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(fetch.failed_at(), kFetchSend);
    EXPECT_TRUE(log.Lines().empty()) << ::testing::PrintToString(log.Lines());
}

TEST_F(SecureConcurrencyTest, AStopBeforeRunEndsItBeforeAnyConnection) {
    platform::StopEvent stop;
    stop.Set();
    SecureHttpFetch fetch(nullptr);
    Prepare(fetch, "/silent");
    fetch.set_stop_event(&stop);
    fetch.Run();
    EXPECT_EQ(fetch.state(), kFetchError);
    EXPECT_EQ(front_->Connections(), 0u);
}

TEST_F(SecureConcurrencyTest, FetchesOnManyThreadsShareOneCookieStore) {
    constexpr int kThreads = 8;
    constexpr int kEach = 10;
    server_.Handle("/count", [](const fwtest::Request& request) {
        // Each thread's cookie comes back on its next request.
        std::string query = request.query;
        fwtest::Response r = fwtest::Response::Html("seen:" + request.Header("Cookie"));
        r.headers.emplace_back("Set-Cookie", "t" + query + "=" + query + "; Max-Age=600");
        return r;
    });
    CookieStore store(dir_ / "cookies.txt");
    std::atomic<int> done{0};
    std::atomic<int> saw_own{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                StringSink sink;
                SecureHttpFetch fetch(&sink);
                Prepare(fetch, "/count?" + std::to_string(t));
                fetch.set_cookie_jar(&store);
                fetch.Run();
                if (fetch.state() == kFetchDone) ++done;
                std::string own = "t" + std::to_string(t) + "=" + std::to_string(t);
                if (i > 0 && sink.body.find(own) != std::string::npos) ++saw_own;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(done.load(), kThreads * kEach);
    EXPECT_EQ(saw_own.load(), kThreads * (kEach - 1));
    EXPECT_EQ(store.size(), static_cast<size_t>(kThreads));
}

}  // namespace
}  // namespace fw

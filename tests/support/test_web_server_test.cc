#include "tests/support/test_web_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace fwtest {
namespace {

using namespace std::chrono_literals;

std::string Get(uint16_t port, const std::string& target, const std::string& extra = "") {
    return RawExchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
}

std::string BodyOf(const std::string& reply) {
    size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}

class TestWebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "index.html", "<html>home</html>");
        WriteFile(dir_ / "docs/a b.css", "body{}");
        WriteFile(dir_ / "docs/index.html", "docs");
        WriteFile(dir_ / "pic.gif", std::string(100000, 'g'));
        // A fixed time so Last-Modified is predictable.
        utimbuf times{784111777, 784111777};  // Sun, 06 Nov 1994 08:49:37 GMT
        ::utime((dir_ / "index.html").c_str(), &times);
        ASSERT_TRUE(server_.Start());
    }
    TempDir dir_;
    TestWebServer server_{dir_.path()};
};

TEST_F(TestWebServerTest, ServesFilesWithTypeLengthAndDate) {
    struct Case {
        std::string target;
        std::string status_line;
        std::string header;  // one header line the reply must carry
        std::string body;
    } cases[] = {
        {"/index.html", "HTTP/1.0 200 OK", "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT",
         "<html>home</html>"},
        {"/", "HTTP/1.0 200 OK", "Content-Type: text/html", "<html>home</html>"},
        {"/docs/a%20b.css?x=1", "HTTP/1.0 200 OK", "Content-Type: text/css", "body{}"},
        {"/docs", "HTTP/1.0 301 Moved Permanently", "Location: /docs/", ""},
        {"/missing.html", "HTTP/1.0 404 Not Found", "Content-Type: text/html",
         "<html><body>Not Found</body></html>"},
        {"/../etc/passwd", "HTTP/1.0 404 Not Found", "", "<html><body>Not Found</body></html>"},
        {"http://example.test:8080/index.html", "HTTP/1.0 200 OK", "Content-Length: 17",
         "<html>home</html>"},
    };
    for (const Case& c : cases) {
        std::string reply = Get(server_.port(), c.target);
        EXPECT_EQ(reply.substr(0, reply.find("\r\n")), c.status_line) << c.target;
        EXPECT_NE(reply.find(c.header + "\r\n"), std::string::npos) << c.target << "\n" << reply;
        EXPECT_EQ(BodyOf(reply), c.body) << c.target;
    }
    std::string big = Get(server_.port(), "/pic.gif");
    EXPECT_EQ(BodyOf(big), std::string(100000, 'g'));
}

TEST_F(TestWebServerTest, FileIfModifiedSinceGets304OnlyWhenNotNewer) {
    std::string same = Get(server_.port(), "/index.html",
                           "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
    EXPECT_EQ(same.substr(0, 25), "HTTP/1.0 304 Not Modified");
    EXPECT_EQ(BodyOf(same), "");
    std::string older = Get(server_.port(), "/index.html",
                            "If-Modified-Since: Sun, 06 Nov 1994 08:49:36 GMT\r\n");
    EXPECT_EQ(older.substr(0, 15), "HTTP/1.0 200 OK");
}

TEST_F(TestWebServerTest, ScriptsWinOverFilesAndMatchQueries) {
    Response page = Response::Html("scripted");
    page.headers.emplace_back("Set-Cookie", "id=7; path=/");
    server_.Script("/index.html", page);
    server_.Script("/q?a=1", Response::Text("text/plain", "exact"));
    server_.Script("/q", Response::Text("text/plain", "any"));
    server_.Script("/moved", Response::Redirect(302, "/index.html"));

    std::string reply = Get(server_.port(), "/index.html");
    EXPECT_EQ(BodyOf(reply), "scripted");
    EXPECT_NE(reply.find("Set-Cookie: id=7; path=/\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(Get(server_.port(), "/q?a=1")), "exact");
    EXPECT_EQ(BodyOf(Get(server_.port(), "/q?a=2")), "any");
    std::string moved = Get(server_.port(), "/moved");
    EXPECT_EQ(moved.substr(0, 18), "HTTP/1.0 302 Found");
    EXPECT_NE(moved.find("Location: /index.html\r\n"), std::string::npos);

    server_.RemoveScript("/index.html");
    EXPECT_EQ(BodyOf(Get(server_.port(), "/index.html")), "<html>home</html>");
}

TEST_F(TestWebServerTest, ScriptedLastModifiedAnswers304) {
    Response r = Response::Html("body");
    r.last_modified = "Tue, 01 Feb 2022 10:00:00 GMT";
    server_.Script("/p", r);
    EXPECT_EQ(BodyOf(Get(server_.port(), "/p")), "body");
    std::string same = Get(server_.port(), "/p", "If-Modified-Since: " + r.last_modified + "\r\n");
    EXPECT_EQ(same.substr(0, 25), "HTTP/1.0 304 Not Modified");
    std::string later = Get(server_.port(), "/p", "If-Modified-Since: Wed, 02 Feb 2022 10:00:00 GMT\r\n");
    EXPECT_EQ(later.substr(0, 25), "HTTP/1.0 304 Not Modified");
    std::string earlier = Get(server_.port(), "/p", "If-Modified-Since: Mon, 31 Jan 2022 10:00:00 GMT\r\n");
    EXPECT_EQ(BodyOf(earlier), "body");
}

TEST_F(TestWebServerTest, RecordsRequestsWithHeadersAndBody) {
    RawExchange(server_.port(),
                "POST /form?x=1 HTTP/1.0\r\nCookie: a=b\r\nContent-Length: 5\r\n\r\nhello");
    Request r = server_.LastRequest();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/form");
    EXPECT_EQ(r.query, "x=1");
    EXPECT_EQ(r.Header("cookie"), "a=b");
    EXPECT_EQ(r.body, "hello");
    bool found = true;
    EXPECT_EQ(r.Header("Authorization", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(TestWebServerTest, EndingsAndRawBytes) {
    Response raw = Response::Raw("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nno blank line");
    server_.Script("/raw", raw);
    EXPECT_EQ(Get(server_.port(), "/raw"), raw.raw);

    Response early = Response::Html(std::string(1000, 'x'));
    early.send_only = 20;
    server_.Script("/early", early);
    EXPECT_EQ(Get(server_.port(), "/early").size(), 20u);

    Response silent = Response::Html("quiet");
    silent.send_only = 0;
    silent.ending = Ending::Silence;
    server_.Script("/silent", silent);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RawExchange(server_.port(), "GET /silent HTTP/1.0\r\n\r\n", 300ms), "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);

    Response padded = Response::Html("p");
    padded.header_padding = 3 << 20;
    server_.Script("/padded", padded);
    std::string big = Get(server_.port(), "/padded");
    EXPECT_GT(big.size(), size_t{3} << 20);
    EXPECT_EQ(BodyOf(big), "p");
}

TEST_F(TestWebServerTest, DelayedResponseDoesNotHoldUpOthers) {
    Response slow = Response::Html("slow");
    slow.delay = 2s;
    server_.Script("/slow", slow);
    std::string slow_reply;
    std::atomic<bool> slow_done{false};
    std::thread waiter([&] {
        slow_reply = Get(server_.port(), "/slow");
        slow_done = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(BodyOf(Get(server_.port(), "/index.html")), "<html>home</html>");
    EXPECT_FALSE(slow_done);  // answered while the slow one still waits
    waiter.join();
    EXPECT_EQ(BodyOf(slow_reply), "slow");
}

TEST_F(TestWebServerTest, ManyConcurrentClients) {
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                if (BodyOf(Get(server_.port(), "/index.html")) == "<html>home</html>") ++good;
            }
        });
    }
    for (auto& c : clients) c.join();
    EXPECT_EQ(good.load(), 400);
}

TEST_F(TestWebServerTest, CountsRequestsInFlightPerHost) {
    Response held = Response::Html("");
    held.send_only = 0;
    held.ending = Ending::Silence;  // answered only when the client goes away
    server_.Script("/held", held);
    std::vector<int> open;
    for (const char* host : {"a", "a", "b:8080"}) {
        const int fd = ConnectLoopback(server_.port());
        ASSERT_GE(fd, 0);
        open.push_back(fd);
        const std::string request = std::string("GET /held HTTP/1.0\r\nHost: ") + host + "\r\n\r\n";
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
    }
    for (int i = 0; i < 500 && server_.RequestCount() < 3; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(server_.PeakInFlight("a"), 2u);
    EXPECT_EQ(server_.PeakInFlight("b"), 1u);  // the port is not part of the host
    EXPECT_EQ(server_.PeakInFlight(), 3u);
    for (int fd : open) ::close(fd);

    // One after the other: each ended before the next began.
    for (int i = 0; i < 2; ++i) {
        RawExchange(server_.port(), "GET /index.html HTTP/1.0\r\nHost: c\r\n\r\n");
    }
    EXPECT_EQ(server_.PeakInFlight("c"), 1u);
    EXPECT_EQ(server_.PeakInFlight("elsewhere"), 0u);
}

TEST(TestServerProgramTest, PrintsItsPortAndServesTheFolder) {
    TempDir dir;
    WriteFile(dir / "site/index.html", "demo");
    std::string program = std::string(FW_BINARY_DIR) + "/bin/fw-test-server";
    ChildProcess child;
    ASSERT_TRUE(child.Start({program, "--root", dir / "site"}, dir / "out.txt"));
    std::string printed;
    for (int i = 0; i < 500 && printed.find('\n') == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        printed = ReadFile(dir / "out.txt");
    }
    int port = std::atoi(printed.c_str());
    ASSERT_GT(port, 0) << printed;
    EXPECT_EQ(BodyOf(Get(static_cast<uint16_t>(port), "/")), "demo");
    child.Stop();
}

TEST(GmtDateTest, FormatsAndParsesRfc1123) {
    EXPECT_EQ(FormatGmt(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    int64_t t = 0;
    ASSERT_TRUE(ParseGmt("Sun, 06 Nov 1994 08:49:37 GMT", &t));
    EXPECT_EQ(t, 784111777);
    EXPECT_FALSE(ParseGmt("Sunday, 06-Nov-94 08:49:37 GMT", &t));
}

}  // namespace
}  // namespace fwtest

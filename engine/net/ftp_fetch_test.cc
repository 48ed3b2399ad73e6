#include "engine/net/ftp_fetch.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "engine/net/ftp_listing.h"
#include "engine/net/socket.h"
#include "engine/net/test_sinks.h"
#include "platform/event.h"
#include "tests/support/ftp_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using namespace std::chrono_literals;
using fwtest::LogCapture;
using fwtest::ScriptedPeer;

// ---------------------------------------------------------------------------
// Against a real server.

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fwtest::FtpServer::Available()) {
            GTEST_SKIP() << "python3-pyftpdlib is not installed (scripts/setup installs it)";
        }
        fwtest::WriteFile(dir_ / "root/file.txt", "hello over ftp\n");
        fwtest::WriteFile(dir_ / "root/pub/a.txt", "a");
        fwtest::WriteFile(dir_ / "root/pub/sub/b.txt", "b");
    }

    void StartServer(const std::string& user = "", const std::string& password = "") {
        ASSERT_TRUE(server_.Start(user, password)) << server_.Log();
    }

    void Fetch(FtpFetch& fetch, const std::string& path) {
        fetch.SetTarget("127.0.0.1", server_.port(), path);
        fetch.set_stop_event(&stop_);
        fetch.Run();
    }

    // The commands the server received, in order, without their arguments
    // (PASS is logged masked anyway).
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        std::string log = server_.Log();
        std::regex command(R"(\] <- ([A-Z]+))");
        for (auto it = std::sregex_iterator(log.begin(), log.end(), command); it != std::sregex_iterator(); ++it) {
            commands.push_back((*it)[1]);
        }
        return commands;
    }

    fwtest::TempDir dir_;
    fwtest::FtpServer server_{dir_ / "root", dir_ / "ftp.log"};
    platform::StopEvent stop_;
    LogCapture log_;
};

TEST_F(FtpServerTest, RetrievesAFileInActiveMode) {
    StartServer();
    StringSink sink;
    FtpFetch fetch(&sink);
    Fetch(fetch, "/file.txt");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_FALSE(fetch.listing());
    EXPECT_EQ(fetch.last_reply_code(), 0);
    EXPECT_EQ(sink.body, "hello over ftp\n");
    EXPECT_EQ(fetch.body_bytes(), 15u);
    EXPECT_EQ(fetch.bytes_received(), 15u);
    EXPECT_GT(fetch.bytes_sent(), 0u);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"USER", "PASS", "PORT", "TYPE", "RETR", "QUIT"}));
    EXPECT_NE(server_.Log().find("<- USER anonymous"), std::string::npos);
    EXPECT_NE(server_.Log().find("<- PORT 127,0,0,1,"), std::string::npos);
    EXPECT_TRUE(log_.Lines().empty());

    // A file longer than the body limit ends the transfer at the limit.
    StringSink cut;
    FtpFetch limited(&cut);
    limited.set_body_limit(3);
    Fetch(limited, "/file.txt");
    EXPECT_EQ(limited.state(), kFetchError);
    EXPECT_EQ(limited.failed_at(), kFetchReceive);
    EXPECT_TRUE(limited.body_limit_passed());
    EXPECT_LE(cut.body.size(), 3u);

    // One longer than the response cap too, and the log says why.
    StringSink capped_body;
    FtpFetch capped(&capped_body);
    capped.set_response_cap(3);
    Fetch(capped, "/file.txt");
    EXPECT_EQ(capped.state(), kFetchError);
    EXPECT_EQ(capped.failed_at(), kFetchReceive);
    EXPECT_TRUE(capped.response_cap_passed());
    EXPECT_LE(capped_body.body.size(), 3u);
    EXPECT_EQ(log_.Lines(),
              std::vector<std::string>{"receive error: the response passed its cap of 3 bytes"});
}

TEST_F(FtpServerTest, ADirectoryIsListedAndTheListingReadsBackToItsNames) {
    StartServer();
    const std::string saved = dir_ / "listing.txt";
    {
        class FileSink : public FetchSink {
        public:
            explicit FileSink(std::string path) : path_(std::move(path)) {}
            void Write(const char* data, size_t length) override { body_.append(data, length); }
            ~FileSink() override { fwtest::WriteFile(path_, body_); }

        private:
            std::string path_;
            std::string body_;
        } sink(saved);
        FtpFetch fetch(&sink);
        Fetch(fetch, "/pub");
        EXPECT_EQ(fetch.state(), kFetchDone);
        EXPECT_TRUE(fetch.listing());
        EXPECT_EQ(Commands(), (std::vector<std::string>{"USER", "PASS", "PORT", "TYPE", "RETR", "LIST", "QUIT"}));
    }
    std::vector<std::string> names = ReadListingNames(saved);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub"}));
}

TEST_F(FtpServerTest, RefusalsEndInErrorWithTheServersCodeAndText) {
    StartServer("alice", "s3cret");
    struct Case {
        const char* name;
        std::string path;
        std::string user;
        std::string password;
        bool check_only;
        FetchState state;
        FetchState failed_at;
        int32_t code;
        std::string logged;
    } cases[] = {
        {"anonymous is refused", "/file.txt", "", "", false, kFetchError, kFetchConnect, 530,
         "530 Anonymous access not allowed."},
        {"a missing file: the RETR reply is what counts", "/missing.txt", "alice", "s3cret", false,
         kFetchError, kFetchSend, 550, "550 No such file or directory."},
        {"the right user gets the file", "/file.txt", "alice", "s3cret", false, kFetchDone,
         kFetchPending, 0, ""},
        {"a link check of a missing file fails too", "/missing.txt", "alice", "s3cret", true,
         kFetchError, kFetchSend, 550, "550 No such file or directory."},
    };
    for (const Case& c : cases) {
        LogCapture log;
        StringSink sink;
        FtpFetch fetch(&sink);
        fetch.SetCredentials(c.user, c.password);
        fetch.set_check_only(c.check_only);
        Fetch(fetch, c.path);
        EXPECT_EQ(fetch.state(), c.state) << c.name;
        EXPECT_EQ(fetch.last_reply_code(), c.code) << c.name;
        if (c.state == kFetchError) {
            EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.name;
            EXPECT_EQ(log.Lines(), std::vector<std::string>{c.logged}) << c.name;
            EXPECT_EQ(sink.body, "") << c.name;
        } else {
            EXPECT_EQ(sink.body, "hello over ftp\n") << c.name;
        }
    }
}

TEST_F(FtpServerTest, ALinkCheckAbortsTheTransferAndReadsNoData) {
    fwtest::WriteFile(dir_ / "root/big.bin", std::string(4 << 20, 'b'));
    StartServer();
    StringSink sink;
    FtpFetch fetch(&sink);
    fetch.set_check_only(true);
    Fetch(fetch, "/big.bin");
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_EQ(sink.body, "");
    EXPECT_EQ(fetch.bytes_received(), 0u);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"USER", "PASS", "PORT", "TYPE", "RETR", "ABOR", "QUIT"}));
}

// ---------------------------------------------------------------------------
// Against scripted peers, for what a real server will not do on demand.

TEST(FtpScriptedTest, AMultiLineGreetingAndALoginWithoutPassword) {
    ScriptedPeer peer;
    peer.Write("220-Welcome\r\n")
        .Pause(100ms)
        .Write("220-to the test\r\n220 ready\r\n")
        .ReadUntil("\r\n")
        .Write("230 no password needed\r\n")
        .ReadUntil("\r\n")
        .Write("200 port ok\r\n")
        .ReadUntil("\r\n")
        .Write("200 binary\r\n")
        .ReadUntil("\r\n")
        .Write("150 here it comes\r\n")
        .ReadUntil("\r\n")
        .Write("426 aborted\r\n226 abort done\r\n")
        .ReadUntil("\r\n")
        .Write("221 bye\r\n");
    ASSERT_TRUE(peer.Start());
    FtpFetch fetch(nullptr);
    fetch.SetTarget("127.0.0.1", peer.port(), "/f");
    fetch.set_check_only(true);
    fetch.Run();
    EXPECT_EQ(fetch.state(), kFetchDone);
    EXPECT_TRUE(std::regex_match(peer.Received(),
                                 std::regex("USER anonymous\r\nPORT 127,0,0,1,[0-9]+,[0-9]+\r\n"
                                            "TYPE I\r\nRETR /f\r\nABOR\r\nQUIT\r\n")))
        << peer.Received();
    // Both answers to ABOR were taken, so QUIT got its own.
    EXPECT_EQ(fetch.last_reply(), "221 bye\r\n");
}

// The login sends the credentials it is given (anonymous with "netuser@"
// by default), and no line break in them or in the path adds a command.
TEST(FtpScriptedTest, LoginSendsItsCredentialsAndLineBreaksAddNoCommand) {
    struct Case {
        std::string user, password;
        const char* login;
    } cases[] = {
        {"", "", "USER anonymous\r\nPASS netuser@\r\n"},
        {"", "pw", "USER anonymous\r\nPASS pw\r\n"},
        {"bob\r\nDELE /z", "p\nw", "USER bobDELE /z\r\nPASS pw\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.Write("220 ready\r\n").ReadUntil("\r\n").Write("331 pw\r\n").ReadUntil("\r\n")
            .Write("230 in\r\n").ReadUntil("\r\n").Write("200 ok\r\n").ReadUntil("\r\n")
            .Write("200 ok\r\n").ReadUntil("\r\n").Write("500 no\r\n").ReadUntil("\r\n");
        ASSERT_TRUE(peer.Start());
        LogCapture log;
        FtpFetch fetch(nullptr);
        fetch.SetTarget("127.0.0.1", peer.port(), "/x\r\nDELE /y");
        fetch.SetCredentials(c.user, c.password);
        fetch.Run();
        EXPECT_EQ(fetch.state(), kFetchError);
        EXPECT_EQ(fetch.last_reply_code(), 500);
        const std::string received = peer.Received();
        EXPECT_EQ(received.rfind(c.login, 0), 0u) << received;
        EXPECT_NE(received.find("RETR /xDELE /y\r\n"), std::string::npos) << received;
    }
}

TEST(FtpScriptedTest, SilenceAndStopEndEveryWait) {
    ScopedSocketSilenceLimit limit(300ms);
    struct Case {
        const char* name;
        std::function<void(ScriptedPeer&)> script;
        bool stop;
        FetchState failed_at;
        std::vector<std::string> lines;
    } cases[] = {
        {"no greeting", [](ScriptedPeer& p) { p.Hold(); }, false, kFetchConnect,
         {"BSocket::Receive ERROR: WSAETIMEDOUT"}},
        {"no greeting, stopped", [](ScriptedPeer& p) { p.Hold(); }, true, kFetchConnect, {}},
        {"the data connection never comes",
         [](ScriptedPeer& p) {
             p.Write("220 ready\r\n").ReadUntil("\r\n").Write("331 pw\r\n").ReadUntil("\r\n")
                 .Write("230 in\r\n").ReadUntil("\r\n").Write("200 ok\r\n").ReadUntil("\r\n")
                 .Write("200 ok\r\n").ReadUntil("\r\n").Write("150 go\r\n").Hold();
         },
         false, kFetchReceive, {"BSocket::Accept ERROR: WSAETIMEDOUT"}},
        {"the server closes", [](ScriptedPeer& p) { p.Write("220 ready\r\n").ReadUntil("\r\n"); }, false,
         kFetchConnect, {}},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        c.script(peer);
        ASSERT_TRUE(peer.Start()) << c.name;
        LogCapture log;
        platform::StopEvent stop;
        if (c.stop) stop.Set();
        FtpFetch fetch(nullptr);
        fetch.SetTarget("127.0.0.1", peer.port(), "/f");
        fetch.set_stop_event(&stop);
        auto start = std::chrono::steady_clock::now();
        fetch.Run();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << c.name;
        EXPECT_EQ(fetch.state(), kFetchError) << c.name;
        EXPECT_EQ(fetch.failed_at(), c.failed_at) << c.name;
        EXPECT_EQ(fetch.last_reply_code(), 0) << c.name;
        EXPECT_EQ(log.Lines(), c.lines) << c.name;
    }
}

// A tiny active-mode server that does what it is told with the data
// connection: where it connects from, what it sends, how it closes.
class ActivePeer {
public:
    struct Plan {
        std::string data;
        std::string closing = "226 Transfer complete.\r\n";
        bool foreign_first = false;  // first connect from 127.0.0.2
    };

    explicit ActivePeer(Plan plan) : plan_(std::move(plan)) {
        listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = Loopback(0);
        ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listen_fd_, 4);
        socklen_t len = sizeof addr;
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ActivePeer() {
        ::shutdown(listen_fd_, SHUT_RDWR);
        thread_.join();
        ::close(listen_fd_);
    }
    uint16_t port() const { return port_; }

private:
    static sockaddr_in Loopback(uint16_t port, const char* ip = "127.0.0.1") {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        ::inet_pton(AF_INET, ip, &addr.sin_addr);
        return addr;
    }

    static int ConnectFrom(const char* ip, uint16_t port) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from = Loopback(0, ip);
        ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
        sockaddr_in to = Loopback(port);
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        return fd;
    }

    void Serve() {
        int c = ::accept(listen_fd_, nullptr, nullptr);
        if (c < 0) return;
        timeval five{5, 0};
        ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &five, sizeof five);
        auto say = [c](const std::string& s) { ::send(c, s.data(), s.size(), MSG_NOSIGNAL); };
        say("220 ready\r\n");
        std::string in;
        uint16_t data_port = 0;
        char buffer[512];
        for (;;) {
            size_t eol = in.find("\r\n");
            if (eol == std::string::npos) {
                ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                in.append(buffer, static_cast<size_t>(n));
                continue;
            }
            std::string line = in.substr(0, eol);
            in.erase(0, eol + 2);
            std::string verb = line.substr(0, 4);
            if (verb == "USER") {
                say("331 pw\r\n");
            } else if (verb == "PASS") {
                say("230 in\r\n");
            } else if (verb == "PORT") {
                int a, b, cc, d, hi, lo;
                std::sscanf(line.c_str(), "PORT %d,%d,%d,%d,%d,%d", &a, &b, &cc, &d, &hi, &lo);
                data_port = static_cast<uint16_t>(hi * 256 + lo);
                say("200 ok\r\n");
            } else if (verb == "TYPE") {
                say("200 ok\r\n");
            } else if (verb == "RETR") {
                say("150 go\r\n");
                if (plan_.foreign_first) ::close(ConnectFrom("127.0.0.2", data_port));
                int d = ConnectFrom("127.0.0.1", data_port);
                ::send(d, plan_.data.data(), plan_.data.size(), MSG_NOSIGNAL);
                ::close(d);
                say(plan_.closing);
            } else if (verb == "QUIT") {
                say("221 bye\r\n");
                break;
            }
        }
        ::close(c);
    }

    Plan plan_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

TEST(FtpActiveTest, TheDataConnectionAndItsClosingReplyDecideTheOutcome) {
    struct Case {
        const char* name;
        ActivePeer::Plan plan;
        FetchState state;
        int32_t code;
        std::vector<std::string> lines;
    } cases[] = {
        {"complete", {"all of it", "226 Transfer complete.\r\n", false}, kFetchDone, 0, {}},
        {"cut short: the server says so", {"part of", "426 Connection closed; transfer aborted.\r\n", false},
         kFetchError, 426, {"426 Connection closed; transfer aborted."}},
        {"someone else connects first",
         {"all of it", "226 Transfer complete.\r\n", true},
         kFetchDone,
         0,
         {"FtpFetch ERROR: data connection from 127.0.0.2 refused"}},
    };
    for (const Case& c : cases) {
        ActivePeer peer(c.plan);
        LogCapture log;
        StringSink sink;
        FtpFetch fetch(&sink);
        fetch.SetTarget("127.0.0.1", peer.port(), "/f");
        fetch.Run();
        EXPECT_EQ(fetch.state(), c.state) << c.name;
        EXPECT_EQ(fetch.last_reply_code(), c.code) << c.name;
        EXPECT_EQ(sink.body, c.plan.data) << c.name;
        EXPECT_EQ(log.Lines(), c.lines) << c.name;
        if (c.state == kFetchError) {
            EXPECT_EQ(fetch.failed_at(), kFetchReceive) << c.name;
        }
    }
}

TEST(FtpFetchTest, TargetAndCredentialDefaults) {
    FtpFetch fetch(nullptr);
    EXPECT_EQ(fetch.user(), "anonymous");
    fetch.SetTarget("h", 0, "/p");
    EXPECT_EQ(fetch.port(), 21);
    fetch.SetTarget("h", 2121, "/p");
    EXPECT_EQ(fetch.port(), 2121);
    fetch.SetCredentials("", "pw");
    EXPECT_EQ(fetch.user(), "anonymous");
    fetch.SetCredentials("bob", "");
    EXPECT_EQ(fetch.user(), "bob");
    EXPECT_EQ(fetch.state(), kFetchPending);
}

}  // namespace
}  // namespace fw

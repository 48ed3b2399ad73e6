// Whole grabs against servers that misbehave: each bad URL is recorded with
// an error and the rest of the grab carries on to its end.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

#include "engine/grab/grab_harness.h"
#include "engine/grab/url_worker.h"
#include "engine/net/low_speed.h"

namespace fw {
namespace {

using fwtest::Ending;
using fwtest::Response;
using namespace std::chrono_literals;

class GrabHostileTest : public fwtest::GrabHarness {
  protected:
    // Runs the grab on its own thread. A grab that has not completed within
    // `limit` is stopped, so a grab that never ends fails the test instead of
    // hanging it. True when it completed by itself.
    bool GrabCompletesWithin(std::chrono::milliseconds limit) {
        events_->Clear();
        if (engine_->GrabBegin(0, 0) != S_OK) return false;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (events_->Count(kOnGrabComplete) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        const bool completed = events_->Count(kOnGrabComplete) > 0;
        engine_->GrabEnd();
        return completed;
    }

    size_t RequestsFor(const std::string& path) const {
        size_t n = 0;
        for (const auto& request : server_->Requests()) n += request.path == path;
        return n;
    }

    // The start page and two good pages; the start page is fixed only when
    // every child it waits for, the bad one included, has been accounted for.
    void ExpectTheRestOfTheGrabWentOn() {
        for (const char* page : {"/good1.html", "/good2.html"}) {
            const UrlRecord row = Row(Url(page));
            EXPECT_EQ(row.status, kStatusGrabbed) << page;
            EXPECT_EQ(row.error, 0) << page;
            EXPECT_NE(Stored(row).find("<p>good</p>"), std::string::npos) << page;
        }
        const int32_t start = IdOf(Url("/start.html"));
        EXPECT_EQ(Row(Url("/start.html")).status, kStatusGrabbed);
        EXPECT_EQ(events_->Count(kOnGrabUrlDone, start), 1);
        const std::string page = Stored(Row(Url("/start.html")));
        EXPECT_NE(page.find("href=\"good1.html\""), std::string::npos) << page;
    }
};

struct HostileCase {
    const char* name;
    Response bad;
    int32_t error;    // what the bad URL's row records
    const char* log;  // a line the failure writes, or null
    std::chrono::milliseconds silence_limit;
    LowSpeedRule low_speed{};
    const char* response_kilobytes = nullptr;  // the ResponseBytes setting, or null
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

Response Silent(size_t send_only) {
    Response r = Response::Html("<p>" + std::string(3000, 'b') + "</p>");
    r.send_only = send_only;
    r.ending = Ending::Silence;
    return r;
}

Response Cut(size_t send_only, Ending ending) {
    Response r = Response::Html("<p>" + std::string(5000, 'c') + "</p>");
    r.send_only = send_only;
    r.ending = ending;
    return r;
}

// Headers and the start of the body, then a byte every 200 ms.
Response Trickle() {
    Response r = Response::Html("<p>" + std::string(5000, 't') + "</p>");
    r.send_only = 100;
    r.ending = Ending::Trickle;
    r.trickle = 200ms;
    return r;
}

Response EndlessBody() {
    Response r = Response::Html("<p>");
    r.content_length = false;
    r.ending = Ending::Endless;
    return r;
}

Response HugeHeaders() {
    Response r = Response::Html("<p>never read</p>");
    r.header_padding = 3 << 20;  // well past the client's 1 MiB cap
    return r;
}

class HostileServerTest : public GrabHostileTest,
                          public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileServerTest, BadUrlIsRecordedAndTheRestIsGrabbed) {
    const HostileCase& c = GetParam();
    fw::ScopedSocketSilenceLimit silence(c.silence_limit);
    ScopedLowSpeedRule low_speed(c.low_speed);
    if (c.response_kilobytes) Setting("Limits", "ResponseBytes", c.response_kilobytes);
    server_->Script("/start.html", Response::Html("<a href=\"bad.html\">bad</a>"
                                                  "<a href=\"good1.html\">1</a>"
                                                  "<a href=\"good2.html\">2</a>"));
    server_->Script("/bad.html", c.bad);
    server_->Script("/good1.html", Response::Html("<p>good</p>"));
    server_->Script("/good2.html", Response::Html("<p>good</p>"));
    AddStart(Url("/start.html"), 2);

    ASSERT_TRUE(GrabCompletesWithin(10s)) << EngineLog();

    const UrlRecord bad = Row(Url("/bad.html"));
    EXPECT_EQ(bad.error, c.error) << EngineLog();
    EXPECT_NE(bad.grabbed, 0);                // the outcome was written, not left blank
    EXPECT_EQ(RequestsFor("/bad.html"), 1u);  // nothing is retried within a grab
    if (c.log != nullptr) {
        EXPECT_NE(EngineLog().find(c.log), std::string::npos) << EngineLog();
    }
    ExpectTheRestOfTheGrabWentOn();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HostileServerTest,
    ::testing::Values(
        // Accepts, reads the request, never answers.
        HostileCase{"SilentAfterTheRequest", Silent(0), 1002,
                    "BSocket::Receive ERROR: WSAETIMEDOUT", 400ms},
        // Headers and part of the body, then nothing more.
        HostileCase{"SilentMidBody", Silent(200), 1002, "BSocket::Receive ERROR: WSAETIMEDOUT",
                    400ms},
        HostileCase{"ResetMidBody", Cut(300, Ending::Reset), 1002, "receive error", 15000ms},
        HostileCase{"HeadersPastTheCap", HugeHeaders(), 1002, "response headers too long", 15000ms},
        // An orderly close before the announced length: a cut copy, not a page.
        HostileCase{"ClosedShortOfContentLength", Cut(300, Ending::Close), 1002, "receive error",
                    15000ms},
        // Not HTTP: never a page recorded as a success.
        HostileCase{"Http09Reply", Response::Raw("<html>\n\n<p>old</p></html>"), 1002,
                    "receive error: no HTTP status line", 15000ms},
        HostileCase{"GarbageStatusLine", Response::Raw("ICY 200 OK\r\n\r\n<p>x</p>"), 1002,
                    "receive error: no HTTP status line", 15000ms},
        HostileCase{"EndsInsideTheHeaders", Response::Raw("HTTP/1.0 200 OK\r\nServer: x"), 1002,
                    "receive error: the response ended inside its headers", 15000ms},
        // A byte now and then, never 30 seconds of silence: the low-speed
        // rule (shortened here, so slow that no page of the test is near it).
        HostileCase{"TrickledBody", Trickle(), 1002,
                    "receive error: under 10 bytes a second over 500 ms", 15000ms,
                    LowSpeedRule{10, 500ms}},
        // A body without end: the response cap (64 KB here).
        HostileCase{"EndlessBody", EndlessBody(), 1002,
                    "receive error: the response passed its cap of 65536 bytes", 15000ms,
                    LowSpeedRule{}, "64"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST_F(GrabHostileTest, RedirectLoopEndsWithEachUrlFetchedOnce) {
    server_->Script("/start.html", Response::Html("<a href=\"ra.html\">loop</a>"
                                                  "<a href=\"good1.html\">1</a>"
                                                  "<a href=\"good2.html\">2</a>"));
    server_->Script("/ra.html", Response::Redirect(302, "/rb.html"));
    server_->Script("/rb.html", Response::Redirect(302, "/ra.html"));
    server_->Script("/good1.html", Response::Html("<p>good</p>"));
    server_->Script("/good2.html", Response::Html("<p>good</p>"));
    AddStart(Url("/start.html"), 3);

    ASSERT_TRUE(GrabCompletesWithin(5s)) << "ra.html asked " << RequestsFor("/ra.html") << " times";

    EXPECT_EQ(RequestsFor("/ra.html"), 1u);
    EXPECT_EQ(RequestsFor("/rb.html"), 1u);
    for (const char* page : {"/ra.html", "/rb.html"}) {
        const UrlRecord row = Row(Url(page));
        EXPECT_EQ(row.error, 302) << page;
        EXPECT_EQ(row.status, kStatusGrabbed) << page;
    }
    ExpectTheRestOfTheGrabWentOn();
}

// Zero bytes (in a page's text, its title and an href) are parsed as fast as
// any other, and a page that ends inside a value keeps its end: the grab
// ends, the page is stored whole and the links after the zeros are followed.
TEST_F(GrabHostileTest, ZeroBytesNeitherStallNorCutAPage) {
    const std::string zeros(1 << 20, '\0');
    const std::string tail = "<a href=\"" + std::string(8192, 't');
    server_->Script(
        "/start.html",
        Response::Html("<title>" + zeros + "</title><a href=\"x" + zeros + "\">z</a>" + zeros +
                       "<a href=\"good1.html\">1</a>" + "<a href=good2.html>2</a>" + tail));
    server_->Script("/good1.html", Response::Html("<p>good</p>"));
    server_->Script("/good2.html", Response::Html("<p>good</p>"));
    AddStart(Url("/start.html"), 2);

    ASSERT_TRUE(GrabCompletesWithin(30s)) << EngineLog();

    ExpectTheRestOfTheGrabWentOn();
    const std::string stored = Stored(Row(Url("/start.html")));
    EXPECT_GT(stored.size(), 3 * zeros.size());
    EXPECT_TRUE(stored.ends_with(tail));
}

// A chain of distinct redirects is followed 20 redirects deep, however few
// levels the grab has: the URL whose redirect would be the 21st ends the
// chain with error 1009, and nothing beyond it is added. A short chain still
// costs no level.
TEST_F(GrabHostileTest, RedirectChainEndsAtItsLimit) {
    server_->Handle("/chain", [](const fwtest::Request& request) {
        return Response::Redirect(302, "/chain?" + std::to_string(std::stoi("0" + request.query) + 1));
    });
    server_->Script("/short0.html", Response::Redirect(302, "/short1.html"));
    server_->Script("/short1.html", Response::Redirect(301, "/page.html"));
    server_->Script("/page.html", Response::Html("<p>arrived</p>"));
    AddStart(Url("/chain?0"), 1);
    AddStart(Url("/short0.html"), 1);

    ASSERT_TRUE(GrabCompletesWithin(20s)) << RequestsFor("/chain") << " requests";

    for (int n = 0; n < UrlWorker::kMaxRedirects; ++n) {
        EXPECT_EQ(Row(Url("/chain?" + std::to_string(n))).error, 302) << n;
    }
    const std::string last = Url("/chain?" + std::to_string(UrlWorker::kMaxRedirects));
    EXPECT_EQ(Row(last).error, kErrorTooManyRedirects);
    EXPECT_EQ(IdOf(Url("/chain?" + std::to_string(UrlWorker::kMaxRedirects + 1))), 0);
    EXPECT_EQ(RequestsFor("/chain"), size_t{UrlWorker::kMaxRedirects} + 1);
    EXPECT_NE(EngineLog().find(std::to_string(IdOf(last)) +
                               " - more than 20 redirects in a row; not followed"),
              std::string::npos);

    const UrlRecord page = Row(Url("/page.html"));
    EXPECT_EQ(page.status, kStatusGrabbed);
    EXPECT_NE(Stored(page).find("arrived"), std::string::npos);
}

// Pages on two host names of the same server, each answered slowly enough
// that requests overlap whenever the grab lets them.
struct HostLimitCase {
    int per_host;
    int threads;
    size_t peak_per_host;
    size_t peak_in_all;
};

void PrintTo(const HostLimitCase& c, std::ostream* os) {
    *os << c.per_host << " per host, " << c.threads << " threads";
}

class PerHostLimitTest : public GrabHostileTest,
                         public ::testing::WithParamInterface<HostLimitCase> {};

TEST_P(PerHostLimitTest, NoHostEverHasMoreRequestsThanItsLimit) {
    const HostLimitCase& c = GetParam();
    Setting("Network", "MaxThreads", std::to_string(c.threads));
    Setting("Network", "PercentMaxThreads", "100");
    Setting("Network", "MaxThreadsPerServer", std::to_string(c.per_host));
    const std::string other = "http://localhost:" + std::to_string(server_->port());
    std::string links;
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        links +=
            "<a href=\"near" + n + ".html\">n</a><a href=\"" + other + "/far" + n + ".html\">f</a>";
        Response slow = Response::Html("<p>slow</p>");
        slow.delay = 150ms;
        server_->Script("/near" + n + ".html", slow);
        server_->Script("/far" + n + ".html", slow);
    }
    server_->Script("/hosts.html", Response::Html(links));
    AddStart(Url("/hosts.html"), 2);

    ASSERT_TRUE(GrabCompletesWithin(10s)) << EngineLog();

    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(Row(Url("/near" + n + ".html")).status, kStatusGrabbed) << n;
        EXPECT_EQ(Row(other + "/far" + n + ".html").status, kStatusGrabbed) << n;
    }
    EXPECT_EQ(server_->PeakInFlight("127.0.0.1"), c.peak_per_host);
    EXPECT_EQ(server_->PeakInFlight("localhost"), c.peak_per_host);
    EXPECT_EQ(server_->PeakInFlight(), c.peak_in_all);  // the hosts did overlap
}

INSTANTIATE_TEST_SUITE_P(Limits, PerHostLimitTest,
                         ::testing::Values(HostLimitCase{1, 4, 1, 2}, HostLimitCase{2, 4, 2, 4}));

}  // namespace
}  // namespace fw

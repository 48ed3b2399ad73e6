// A stopped grab goes on where it stopped: what it finished is not fetched
// again, what it cut is fetched whole, and the copy ends as a grab that was
// never stopped would have left it.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "engine/content/link_fixer.h"
#include "engine/content/page_top.h"
#include "engine/grab/fix_step.h"
#include "engine/grab/grab_harness.h"
#include "engine/grab/reservation_log.h"

namespace fw {
namespace {

using fwtest::Response;
using namespace std::chrono_literals;

class GrabResumeTest : public fwtest::GrabHarness {
  protected:
    void WaitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 3000 && !done(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(done());
    }
    void WaitForComplete() {
        WaitFor([&] { return events_->Count(kOnGrabComplete) > 0; });
        engine_->GrabEnd();  // joins the finished grab thread
    }
    std::map<std::string, int> RequestsByPath() const {
        std::map<std::string, int> count;
        for (const fwtest::Request& r : server_->Requests()) ++count[r.path];
        return count;
    }
    // Files the engine keeps for itself in the data directory.
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(engine_->data_dir())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".fw-", 0) == 0) found.push_back(name);
        }
        return found;
    }
    int32_t Waiting() {
        int32_t waiting = -1;
        engine_->WaitingUrls(&waiting);
        return waiting;
    }
    int32_t Finished() {
        int32_t finished = -1;
        engine_->FinishedUrls(&finished);
        return finished;
    }
};

TEST_F(GrabResumeTest, AStoppedGrabGoesOnWithoutFetchingWhatItFinished) {
    constexpr int kPages = 12;
    std::string links;
    for (int i = 0; i < kPages; ++i) {
        const std::string name = "s" + std::to_string(i) + ".html";
        links += "<a href=\"" + name + "\">" + name + "</a>";
        Response slow = Response::Html("<p>page " + std::to_string(i) + "</p>");
        slow.delay = 100ms;
        server_->Script("/" + name, slow);
    }
    server_->Script("/many.html", Response::Html("<html><body>" + links + "</body></html>"));
    Setting("Network", "MaxThreads", "2");
    Setting("Network", "PercentMaxThreads", "100");
    const int32_t start = AddStart(Url("/many.html"), 2);
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    WaitFor([&] { return events_->Count(kOnGrabUrlDone) >= 4; });
    ASSERT_EQ(engine_->GrabEnd(), S_OK);

    // The URLs left are there to resume, and nothing half-fetched is kept.
    const int32_t left = Waiting();
    EXPECT_GT(left, 0);
    EXPECT_LT(left, kPages);
    EXPECT_EQ(Finished() + left, kPages + 1);
    // The start page links to what is still to come: its copy browses
    // already, and what the server sent is kept to fix it again.
    EXPECT_EQ(Row(Url("/many.html")).status, kStatusGrabbed);
    EXPECT_TRUE(platform::FileExists(KeptOriginalPath(engine_->data_dir(), start)));
    ExpectOfflineCopyBrowses();
    std::map<std::string, bool> finished;
    int32_t finished_count = 1;  // the start page: done, to be fixed again in passing
    for (int i = 0; i < kPages; ++i) {
        const std::string path = "/s" + std::to_string(i) + ".html";
        finished[path] = Row(Url(path)).grabbed != 0;
        finished_count += finished[path];
    }
    EXPECT_EQ(Finished(), finished_count);
    std::map<std::string, int> before = RequestsByPath();
    server_->ClearRequests();

    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    EXPECT_NE(EngineLog().find("Resuming Trawl"), std::string::npos);
    EXPECT_EQ(Waiting(), 0);
    EXPECT_EQ(Finished(), kPages + 1);
    const std::map<std::string, int> during = RequestsByPath();
    EXPECT_EQ(during.count("/many.html"), 0u);
    int cut = 0;
    for (int i = 0; i < kPages; ++i) {
        const std::string path = "/s" + std::to_string(i) + ".html";
        const UrlRecord row = Row(Url(path));
        EXPECT_EQ(row.status, kStatusGrabbed) << path;
        EXPECT_NE(Stored(row).find("<p>page " + std::to_string(i) + "</p>"), std::string::npos)
            << path;
        const int now = during.count(path) ? during.at(path) : 0;
        EXPECT_EQ(now, finished[path] ? 0 : 1) << path;
        cut += !finished[path] && before.count(path) > 0;
    }
    EXPECT_LE(cut, 2);  // at most the fetches running when it stopped
    // The start page was fixed again from what the server sent: every link
    // is local now.
    const std::string page = Stored(Row(Url("/many.html")));
    EXPECT_EQ(page.find("href=\"http"), std::string::npos) << page;
    EXPECT_EQ(page.find("<!-- "), page.rfind("<!-- "));  // one header
    EXPECT_TRUE(WorkFiles().empty());
    ExpectOfflineCopyBrowses();
}

// A body cut by a stop is not kept anywhere the copy could link to; the
// resumed grab fetches it whole into the name it had reserved.
TEST_F(GrabResumeTest, ACutBodyLeavesNothingAndTheResumeReusesItsName) {
    Response cut = Response::Text("application/pdf", std::string(40000, 'p'));
    cut.send_only = 20000;
    cut.ending = fwtest::Ending::Silence;
    server_->Script("/doc.pdf", cut);
    server_->Script("/start.html", Response::Html("<a href=\"doc.pdf\">doc</a>"));
    AddStart(Url("/start.html"), 2);
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    WaitFor([&] {
        const int32_t id = IdOf(Url("/doc.pdf"));
        int32_t received = 0;
        ComPtr<IDizozizUrlStatus> status;
        if (id == 0 || engine_->UrlStatus(id, status.Receive()) != S_OK) return false;
        status->get_BytesReceived(&received);
        return received >= 20000;
    });
    ASSERT_EQ(engine_->GrabEnd(), S_OK);
    UrlRecord row = Row(Url("/doc.pdf"));
    EXPECT_EQ(row.status, kStatusNone);
    EXPECT_EQ(row.error, 0);  // not a failure: it was stopped
    // The name is held for the URL, with nothing in it, and no part of the
    // body is kept.
    const std::string host_dir = Row(Url("/start.html")).file;
    const std::string dir = engine_->data_dir() + host_dir.substr(0, host_dir.rfind('/') + 1);
    EXPECT_EQ(row.file, host_dir.substr(0, host_dir.rfind('/') + 1) + "doc.pdf");
    EXPECT_EQ(fwtest::ReadFile(ReservationLog::PathFor(engine_->store().db_dir())), "");
    EXPECT_EQ(fwtest::ReadFile(dir + "doc.pdf"), "");
    for (const std::string& name : WorkFiles())
        EXPECT_EQ(name.rfind(".fw-unfixed-", 0), 0u) << name;
    // The URL cut short; the page linking to it is done, and fixed again
    // by the grab that fetches it.
    EXPECT_EQ(Waiting(), 1);

    server_->Script("/doc.pdf", Response::Text("application/pdf", std::string(40000, 'p')));
    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    row = Row(Url("/doc.pdf"));
    EXPECT_EQ(row.status, kStatusGrabbed);
    EXPECT_EQ(row.file, host_dir.substr(0, host_dir.rfind('/') + 1) + "doc.pdf");
    EXPECT_FALSE(platform::FileExists(dir + "doc2.pdf"));
    EXPECT_EQ(Stored(row), std::string(40000, 'p'));
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_EQ(fwtest::ReadFile(ReservationLog::PathFor(engine_->store().db_dir())), "");
}

// A grab killed after its last fetch, before its end-of-grab pass, left
// pages waiting for their fix: resuming it fixes them and fetches nothing.
TEST_F(GrabResumeTest, PagesAKilledGrabLeftUnfixedAreFixedByTheResume) {
    server_->Script("/start.html", Response::Html("<a href=\"a.html\">a</a>"));
    server_->Script("/a.html", Response::Html("<p>a</p>"));
    const int32_t start = AddStart(Url("/start.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Waiting(), 0);
    // As the tables and files were when the process was killed, with a
    // body being received beside a file for a refetch.
    UrlRecord row = Row(Url("/start.html"));
    fwtest::WriteFile(engine_->data_dir() + row.file, "<a href=\"a.html\">a</a>");
    engine_->store().SetStatus(start, kStatusFetched);
    EXPECT_EQ(Waiting(), 1);
    const UrlRecord a = Row(Url("/a.html"));
    const std::string receiving = ReceivingPath(engine_->data_dir() + a.file, a.id);
    fwtest::WriteFile(receiving, "<p>half of a");
    ReservationLog(ReservationLog::PathFor(engine_->store().db_dir())).Record(a.id, a.file);

    server_->ClearRequests();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    for (const fwtest::Request& r : server_->Requests()) ADD_FAILURE() << "asked for " << r.path;
    EXPECT_EQ(Row(Url("/start.html")).status, kStatusGrabbed);
    EXPECT_NE(Stored(row).find(FixedPageHeader(Url("/start.html"))), std::string::npos);
    EXPECT_EQ(Waiting(), 0);
    EXPECT_FALSE(platform::FileExists(receiving));
    EXPECT_NE(Stored(a).find("<p>a</p>"), std::string::npos);
}

// A skipped URL is done with: the resumed grab does not fetch it again.
TEST_F(GrabResumeTest, ASkippedUrlIsNotFetchedOnResume) {
    Response silent = Response::Html("");
    silent.ending = fwtest::Ending::Silence;
    silent.send_only = 0;
    server_->Script("/silent.html", silent);
    server_->Script("/start.html",
                    Response::Html("<a href=\"silent.html\">s</a><a href=\"a.html\">a</a>"));
    AddStart(Url("/start.html"), 2);
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    WaitFor([&] {
        const int32_t id = IdOf(Url("/silent.html"));
        int32_t state = 0;
        ComPtr<IDizozizUrlStatus> status;
        if (id == 0 || engine_->UrlStatus(id, status.Receive()) != S_OK) return false;
        status->get_State(&state);
        return state == kFetchReceive;
    });
    engine_->SkipUrl(IdOf(Url("/silent.html")));
    WaitForComplete();
    server_->ClearRequests();
    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    for (const fwtest::Request& r : server_->Requests())
        ADD_FAILURE() << "asked again for " << r.path;
    EXPECT_EQ(Row(Url("/silent.html")).file, "");
}

// The job a stopped grab was goes on as that job: a stopped link check
// resumes as a link check, keeping no files.
TEST_F(GrabResumeTest, AResumedJobGoesOnAsTheJobItWas) {
    std::string links;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "c" + std::to_string(i) + ".html";
        links += "<a href=\"" + name + "\">x</a>";
        Response slow = Response::Html("<p>c</p>");
        slow.delay = 150ms;
        server_->Script("/" + name, slow);
    }
    server_->Script("/check.html", Response::Html(links));
    Setting("Network", "MaxThreads", "1");
    Setting("Network", "PercentMaxThreads", "100");
    const int32_t start = AddStart(Url("/check.html"), 2);
    ASSERT_EQ(engine_->LinkCheckBegin(start), S_OK);
    WaitFor([&] { return events_->Count(kOnGrabUrlDone) >= 2; });
    ASSERT_EQ(engine_->GrabEnd(), S_OK);
    ASSERT_GT(Waiting(), 0);
    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    for (int i = 0; i < 6; ++i) {
        const UrlRecord row = Row(Url("/c" + std::to_string(i) + ".html"));
        EXPECT_NE(row.grabbed, 0) << i;
        EXPECT_EQ(row.file, "") << i;  // a link check keeps nothing
    }
}

}  // namespace
}  // namespace fw

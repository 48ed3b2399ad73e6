#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/grab/grab_engine.h"
#include "engine/grab/grab_harness.h"
#include "engine/support/log.h"

namespace fw {
namespace {

using fwtest::Response;
using namespace std::chrono_literals;

class GrabTest : public fwtest::GrabHarness {
protected:
    // Waits (at most 30 s) until an asynchronous job has completed.
    void WaitForComplete(int completes = 1) {
        for (int i = 0; i < 3000 && events_->Count(kOnGrabComplete) < completes; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_GE(events_->Count(kOnGrabComplete), completes);
        engine_->GrabEnd();  // joins the finished grab thread
    }

    // Skips a fetch that never answers; the link after it is still grabbed.
    void SkipSilentFetchAndGoOn() {
        Response silent = Response::Html("");
        silent.ending = fwtest::Ending::Silence;
        silent.send_only = 0;
        server_->Script("/silent.html", silent);
        server_->Script("/start.html",
                        Response::Html("<a href=\"silent.html\">s</a><a href=\"a.html\">a</a>"));
        ScopedSocketSilenceLimit long_silence(std::chrono::milliseconds(60000));
        AddStart(Url("/start.html"), 2);
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
        int32_t silent_id = 0;
        for (int i = 0; i < 1000; ++i) {
            silent_id = IdOf(Url("/silent.html"));
            if (silent_id > 0 && events_->Count(kOnGrabUrlNew, silent_id) > 0) break;
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_GT(silent_id, 0);
        std::this_thread::sleep_for(100ms);
        ASSERT_EQ(engine_->SkipUrl(silent_id), S_OK);
        WaitForComplete();
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 20s);
        EXPECT_EQ(Row(Url("/silent.html")).grabbed, 0);  // row untouched
        EXPECT_EQ(Row(Url("/a.html")).status, kStatusGrabbed);
    }
};

TEST_F(GrabTest, WholeSiteIsGrabbedAndBrowsesOffline) {
    server_->Script("/moved.html", Response::Redirect(302, "/dir/d.html"));
    const int32_t start = AddStart(Url("/index.html"), 3);
    events_->Clear();
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);

    for (const char* page : {"/index.html", "/a.html", "/b.html", "/dir/c.html"}) {
        UrlRecord row = Row(Url(page));
        EXPECT_EQ(row.status, kStatusGrabbed) << page;
        EXPECT_EQ(row.kind, kKindHtml) << page;
        EXPECT_EQ(row.error, 0) << page;
        EXPECT_EQ(Stored(row).rfind("<html>\n<!-- " + Url(page) + " -->\n", 0), 0u) << page;
    }
    EXPECT_EQ(Row(Url("/index.html")).title, "Fixture home");
    EXPECT_EQ(Row(Url("/a.html")).level, 1);
    EXPECT_EQ(Row(Url("/img1.gif")).kind, kKindImage);
    EXPECT_EQ(Row(Url("/img1.gif")).min_level, 1);
    EXPECT_EQ(Row(Url("/style.css")).kind, kKindCss);
    EXPECT_EQ(Row(Url("/bg.gif")).status, kStatusGrabbed);
    EXPECT_EQ(Row(Url("/missing.html")).error, 404);
    EXPECT_EQ(Row(Url("/moved.html")).error, 302);
    EXPECT_EQ(Row(Url("/dir/d.html")).status, kStatusGrabbed);
    ExpectOfflineCopyBrowses();

    // Events: begin first, complete last, every URL started before it is done
    // and announced once.
    const auto all = events_->All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), std::make_pair(int32_t{kOnGrabBegin}, 0));
    EXPECT_EQ(all.back(), std::make_pair(int32_t{kOnGrabComplete}, 0));
    for (int32_t id : engine_->store().AllUrls()) {
        UrlRecord row;
        engine_->store().Load(id, &row);
        if (row.status != kStatusGrabbed) continue;
        EXPECT_EQ(events_->Count(kOnGrabUrlDone, id), 1) << row.url;
        EXPECT_LT(events_->IndexOf(kOnGrabUrlNew, id), events_->IndexOf(kOnGrabUrlDone, id))
            << row.url;
    }
    EXPECT_NE(EngineLog().find("Beginning Trawl"), std::string::npos);
    EXPECT_NE(EngineLog().find("Trawl Finished"), std::string::npos);
    EXPECT_NE(EngineLog().find(std::to_string(start) + " - " + Url("/index.html")), std::string::npos);
    EXPECT_NE(EngineLog().find(std::to_string(start) + " - Finished - 200"), std::string::npos);
}

// A page with two images and one link: the link's target answers late.
class WaitingPageTest : public GrabTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WaitingPageTest, PageIsFixedWhenItsChildrenAreDone) {
    const bool early = GetParam();
    engine_->EarlyNotify(early ? 1 : 0);
    server_->Script("/p.html", Response::Html("<a href=\"q.html\">q</a><img src=\"i1.gif\">"
                                              "<img src=\"i2.gif\">"));
    Response slow = Response::Html("<p>late</p>");
    slow.delay = 1000ms;
    server_->Script("/q.html", slow);
    server_->Script("/i1.gif", Response::Text("image/gif", "GIF89a1"));
    server_->Script("/i2.gif", Response::Text("image/gif", "GIF89a2"));
    AddStart(Url("/p.html"), 2);
    // What had arrived when the page was announced.
    std::atomic<bool> link_in{false}, images_in{false}, probed{false};
    events_->probe = [&](int32_t event, int32_t url) {
        if (event != kOnGrabUrlDone || url != IdOf(Url("/p.html"))) return;
        link_in = Row(Url("/q.html")).grabbed != 0;
        images_in = Row(Url("/i1.gif")).grabbed != 0 && Row(Url("/i2.gif")).grabbed != 0;
        probed = true;
    };
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    events_->probe = nullptr;

    const int32_t p = IdOf(Url("/p.html"));
    EXPECT_EQ(events_->Count(kOnGrabUrlDone, p), 1);
    ASSERT_TRUE(probed);
    EXPECT_TRUE(images_in);
    EXPECT_EQ(link_in, !early);
    const std::string fixed = Stored(Row(Url("/p.html")));
    EXPECT_NE(fixed.find("href=\"q.html\""), std::string::npos) << fixed;
    EXPECT_EQ(Row(Url("/p.html")).status, kStatusGrabbed);
}

INSTANTIATE_TEST_SUITE_P(EarlyNotify, WaitingPageTest, ::testing::Bool());

TEST_F(GrabTest, PageWithoutLinksIsFixedByItsOwnWorker) {
    const int32_t d = AddStart(Url("/dir/d.html"), 1);
    ASSERT_EQ(engine_->Grab(d, 0), S_OK);
    UrlRecord row = Row(Url("/dir/d.html"));
    EXPECT_EQ(row.status, kStatusGrabbed);
    EXPECT_EQ(Stored(row).rfind("<html>\n", 0), 0u);
    EXPECT_EQ(events_->Count(kOnGrabUrlDone, d), 1);
}

// A saved page that has a doctype keeps it first, so it renders in the
// mode it was written for; the note of its address follows it.
TEST_F(GrabTest, SavedPagesKeepTheirDoctypeFirst) {
    server_->Script("/modern.html", Response::Html("<!DOCTYPE html>\n<html lang=\"en\">"
                                                   "<a href=\"dir/d.html\">d</a></html>"));
    AddStart(Url("/modern.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Stored(Row(Url("/modern.html"))),
              "<!DOCTYPE html>\n<!-- " + Url("/modern.html") +
                  " -->\n<html lang=\"en\"><a href=\"d.html\">d</a></html>");
}

TEST_F(GrabTest, RedirectTargetKeepsTheLevelsAndParentsWaitForIt) {
    server_->Script("/s.html", Response::Html("<a href=\"l1.html\">1</a>"));
    server_->Script("/l1.html", Response::Html("<a href=\"r.html\">r</a>"));
    server_->Script("/r.html", Response::Redirect(302, "/t.html"));
    Response late = Response::Html("<p>target</p>");
    late.delay = 300ms;
    server_->Script("/t.html", late);
    const int32_t s = AddStart(Url("/s.html"), 3);
    std::atomic<bool> target_in_when_page_done{false};
    events_->probe = [&](int32_t event, int32_t url) {
        if (event == kOnGrabUrlDone && url == IdOf(Url("/l1.html"))) {
            target_in_when_page_done = Row(Url("/t.html")).grabbed != 0;
        }
    };
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    events_->probe = nullptr;

    const int32_t l1 = IdOf(Url("/l1.html")), r = IdOf(Url("/r.html")), t = IdOf(Url("/t.html"));
    ASSERT_GT(t, 0);
    EXPECT_EQ(Row(Url("/r.html")).level, 2);
    EXPECT_EQ(Row(Url("/t.html")).level, 3);
    EXPECT_EQ(Row(Url("/t.html")).status, kStatusGrabbed);
    auto parents = engine_->store().Parents(t);
    std::sort(parents.begin(), parents.end());
    EXPECT_EQ(parents, (std::vector<int32_t>{s, l1, r}));
    // The page that linked to the redirecting URL waited for the target.
    EXPECT_TRUE(target_in_when_page_done);
}

TEST_F(GrabTest, PermanentRedirectsLeadTheOfflineCopyToTheirTargets) {
    server_->Script("/home.html", Response::Html("<a href=\"old.html\">old</a> <a href=\"gone\">g</a>"));
    server_->Script("/old.html", Response::Redirect(308, "/new.html"));
    server_->Script("/gone", Response::Redirect(301, "/final.html"));
    server_->Script("/new.html", Response::Html("<p>new</p>"));
    server_->Script("/final.html", Response::Html("<p>final</p>"));
    AddStart(Url("/home.html"), 3);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Row(Url("/new.html")).status, kStatusGrabbed);
    EXPECT_EQ(Row(Url("/final.html")).status, kStatusGrabbed);
    const std::string home = Stored(Row(Url("/home.html")));
    EXPECT_NE(home.find("href=\"new.html\""), std::string::npos) << home;
    EXPECT_NE(home.find("href=\"final.html\""), std::string::npos) << home;
    ExpectOfflineCopyBrowses();
}

TEST_F(GrabTest, HelpModeKeepsEachPageAsFetchedBesideThePages) {
    engine_->HelpMode(1);
    const int32_t start = AddStart(Url("/a.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const std::string original =
        fwtest::ReadFile(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site/a.html");
    EXPECT_EQ(fwtest::ReadFile(engine_->data_dir() + std::to_string(start)), original);
    EXPECT_NE(Stored(Row(Url("/a.html"))), original);  // the page itself is fixed
}

TEST_F(GrabTest, PdfIsStoredUnderAPdfName) {
    server_->Script("/docs.html", Response::Html("<a href=\"report\">report</a>"));
    server_->Script("/report", Response::Text("application/pdf", "%PDF-1.4 fake"));
    AddStart(Url("/docs.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    UrlRecord row = Row(Url("/report"));
    EXPECT_EQ(row.file.substr(row.file.size() - 4), ".pdf") << row.file;
    EXPECT_EQ(Stored(row), "%PDF-1.4 fake");
    EXPECT_EQ(row.kind, kKindOther);
}

TEST_F(GrabTest, ErrorPageIsStoredAndItsLinksAreFollowed) {
    Response not_found = Response::Html("<a href=\"found.html\">try this</a>");
    not_found.status = 404;
    server_->Script("/gone.html", not_found);
    server_->Script("/found.html", Response::Html("<p>here</p>"));
    AddStart(Url("/gone.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Row(Url("/gone.html")).error, 404);
    EXPECT_FALSE(Row(Url("/gone.html")).file.empty());
    EXPECT_EQ(Row(Url("/found.html")).status, kStatusGrabbed);
}

TEST_F(GrabTest, FailuresAreRecordedByKind) {
    server_->Script("/list.html", Response::Html("<a href=\"http://127.0.0.1:1/x.html\">dead</a>"
                                                 "<a href=\"cut.html\">cut</a>"));
    Response cut = Response::Html(std::string(5000, 'x'));
    cut.send_only = 200;
    cut.ending = fwtest::Ending::Reset;
    server_->Script("/cut.html", cut);
    AddStart(Url("/list.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_EQ(Row("http://127.0.0.1:1/x.html").error, 1001);
    EXPECT_EQ(Row(Url("/cut.html")).error, 1002);
}

TEST_F(GrabTest, RefreshAsksPagesAndOthersConditionally) {
    AddStart(Url("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord page = Row(Url("/index.html"));
    const UrlRecord image = Row(Url("/img1.gif"));
    server_->ClearRequests();
    ASSERT_EQ(engine_->Grab(0, 1), S_OK);
    bool page_conditional = false, image_conditional = false, page_linked_again = false;
    for (const auto& request : server_->Requests()) {
        bool found = false;
        request.Header("If-Modified-Since", &found);
        if (request.path == "/index.html") page_conditional = found;
        if (request.path == "/img1.gif") image_conditional = found;
        // The unchanged page's links are taken from what was stored.
        if (request.path == "/a.html") page_linked_again = true;
    }
    EXPECT_TRUE(page_conditional);
    EXPECT_TRUE(image_conditional);
    EXPECT_TRUE(page_linked_again);
    for (const UrlRecord& before : {page, image}) {
        const UrlRecord again = Row(before.url);
        EXPECT_EQ(again.is_new, 0) << before.url;
        EXPECT_EQ(again.file, before.file) << before.url;
        EXPECT_EQ(Stored(again), Stored(before)) << before.url;
    }
}

// A refetch whose connection closes short of its Content-Length leaves the
// copy saved earlier as it was, and no scratch file behind.
TEST_F(GrabTest, ARefetchCutShortKeepsTheSavedCopy) {
    server_->Script("/cut-later.html", Response::Html("<p>" + std::string(5000, 'p') + "</p>"));
    AddStart(Url("/cut-later.html"), 1);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord saved = Row(Url("/cut-later.html"));
    const std::string copy = Stored(saved);
    ASSERT_FALSE(copy.empty());

    Response cut = Response::Html("<p>" + std::string(5000, 'n') + "</p>");
    cut.send_only = 300;
    server_->Script("/cut-later.html", cut);
    ASSERT_EQ(engine_->Grab(0, 1), S_OK);
    const UrlRecord after = Row(Url("/cut-later.html"));
    EXPECT_EQ(after.error, 1002);
    EXPECT_EQ(after.status, kStatusGrabbed);  // its saved page is rewritten already
    EXPECT_EQ(after.file, saved.file);
    EXPECT_EQ(Stored(after), copy);
    for (const auto& entry : std::filesystem::directory_iterator(engine_->data_dir())) {
        EXPECT_EQ(entry.path().filename().string().rfind(".fw-receiving-", 0), std::string::npos)
            << entry.path();
    }
}

TEST_F(GrabTest, ScheduledRefreshGets304ForAnUnchangedPageAndRequeuesItsChildren) {
    const int32_t start = AddStart(Url("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord before = Row(Url("/index.html"));
    ComPtr<IDizozizUrl> u;
    engine_->EditUrl(start, u.Receive());
    u->put_Schedule(kJobRefresh);
    u->Update();
    server_->ClearRequests();
    events_->Clear();
    ASSERT_EQ(engine_->BeginScheduled(), S_OK);
    WaitForComplete();
    const UrlRecord after = Row(Url("/index.html"));
    EXPECT_EQ(after.is_new, 0);
    EXPECT_EQ(after.file, before.file);
    bool child_requested = false, page_conditional = false;
    for (const auto& request : server_->Requests()) {
        child_requested |= request.path == "/a.html";
        if (request.path == "/index.html") request.Header("If-Modified-Since", &page_conditional);
    }
    EXPECT_TRUE(page_conditional);  // a scheduled refresh asks for pages conditionally too
    EXPECT_TRUE(child_requested);
    const std::string log = EngineLog();
    EXPECT_NE(log.find(std::to_string(start) + " - Finished - 304"), std::string::npos) << log;
    const size_t trawl = log.find("Beginning Trawl");
    const size_t refresh = log.find("Beginning Refresh", trawl == std::string::npos ? 0 : trawl);
    EXPECT_NE(refresh, std::string::npos);
}

TEST_F(GrabTest, PreviewAbortsImagesAndKeepsTheirFiles) {
    AddStart(Url("/index.html"), 2);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    const UrlRecord image = Row(Url("/img1.gif"));
    ASSERT_FALSE(image.file.empty());
    events_->Clear();
    ASSERT_EQ(engine_->PreviewBegin(0), S_OK);
    WaitForComplete();
    const UrlRecord after = Row(Url("/img1.gif"));
    EXPECT_EQ(after.grabbed, image.grabbed);
    EXPECT_EQ(after.file, image.file);
    EXPECT_TRUE(platform::FileExists(engine_->data_dir() + image.file));
    EXPECT_EQ(Stored(after).substr(0, 6), "GIF89a");
    EXPECT_NE(EngineLog().find("Beginning Refresh"), std::string::npos);
}

TEST_F(GrabTest, LinkCheckKeepsNoFilesAndListsBadLinks) {
    server_->Script("/moved.html", Response::Redirect(302, "/a.html"));
    ComPtr<IDizozizUrl> u;
    engine_->NewUrl(u.Receive());
    u->put_url(Url("/b.html"));
    u->put_GrabLevels(2);
    u->Update();
    int32_t id = 0;
    u->get_id(&id);
    ASSERT_EQ(engine_->LinkCheckBegin(id), S_OK);
    WaitForComplete();
    EXPECT_EQ(Row(Url("/b.html")).kind, kKindLinkCheck);
    EXPECT_TRUE(Row(Url("/b.html")).file.empty());
    EXPECT_EQ(Row(Url("/missing.html")).error, 404);
    ComPtr<IDizozizEnumUrl> bad;
    ASSERT_EQ(engine_->EnumBadLinks(id, bad.Receive()), S_OK);
    int32_t count = 0;
    bad->get_Count(&count);
    ASSERT_EQ(count, 1);
    ComPtr<IDizozizUrl> item;
    bad->get_Item(1, item.Receive());
    std::string url;
    item->get_url(&url);
    EXPECT_EQ(url, Url("/missing.html"));
    EXPECT_FALSE(platform::FileExists(engine_->data_dir() + "127.0.0.1/b.html"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(engine_->data_dir())) {
        EXPECT_EQ(entry.path().filename().string().find(".fw-"), std::string::npos)
            << "left behind: " << entry.path();
    }
    // The list is there as soon as the completion is announced.
    events_->Clear();
    int32_t count_at_complete = -1;
    events_->probe = [&](int32_t event, int32_t) {
        if (event != kOnGrabComplete) return;
        ComPtr<IDizozizEnumUrl> list;
        engine_->EnumBadLinks(id, list.Receive());
        list->get_Count(&count_at_complete);
    };
    ASSERT_EQ(engine_->LinkCheckBegin(id), S_OK);
    WaitForComplete();
    events_->probe = nullptr;
    EXPECT_EQ(count_at_complete, 1);
}

TEST_F(GrabTest, StopLeavesTheQueueForResume) {
    std::string links;
    for (int i = 0; i < 12; ++i) {
        links += "<a href=\"s" + std::to_string(i) + ".html\">x</a>";
        Response slow = Response::Html("<p>slow</p>");
        slow.delay = 150ms;
        server_->Script("/s" + std::to_string(i) + ".html", slow);
    }
    server_->Script("/many.html", Response::Html(links));
    Setting("Network", "MaxThreads", "2");
    Setting("Network", "PercentMaxThreads", "100");
    AddStart(Url("/many.html"), 2);
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    for (int i = 0; i < 500 && events_->Count(kOnGrabUrlDone) < 3; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(engine_->GrabEnd(), S_OK);
    EXPECT_EQ(events_->Count(kOnGrabComplete), 1);
    int32_t fetched = 0;
    for (int i = 0; i < 12; ++i) fetched += Row(Url("/s" + std::to_string(i) + ".html")).grabbed != 0;
    EXPECT_LT(fetched, 12);
    EXPECT_NE(EngineLog().find("Stopping Trawl"), std::string::npos);

    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
    WaitForComplete();
    EXPECT_NE(EngineLog().find("Resuming Trawl"), std::string::npos);
    int32_t all = 0;
    for (int i = 0; i < 12; ++i) all += Row(Url("/s" + std::to_string(i) + ".html")).grabbed != 0;
    // Entries that were taken when the grab stopped are not fetched again.
    EXPECT_GE(all, 12 - 2);
    EXPECT_GT(all, fetched);
}

TEST_F(GrabTest, SkipEndsOneSilentFetchAndTheGrabGoesOn) {
    SkipSilentFetchAndGoOn();
}

// With one worker the URL after the skipped one runs on the same slot, and
// the skip must not end its fetch too.
TEST_F(GrabTest, SkipEndsOnlyTheSkippedFetchOfItsSlot) {
    Setting("Network", "MaxThreads", "1");
    Setting("Network", "PercentMaxThreads", "100");
    SkipSilentFetchAndGoOn();
}

// What a status display shows as "queued": the running grab's entries still
// waiting for a worker, none before or after.
TEST_F(GrabTest, WaitingUrlsCountsTheEntriesOfTheRunningGrab) {
    Setting("Network", "MaxThreads", "1");
    Setting("Network", "PercentMaxThreads", "100");
    std::string links;
    for (int i = 0; i < 5; ++i) {
        Response slow = Response::Html("<p>slow</p>");
        slow.delay = 60ms;
        server_->Script("/w" + std::to_string(i) + ".html", slow);
        links += "<a href=\"w" + std::to_string(i) + ".html\">w</a>";
    }
    server_->Script("/waiting.html", Response::Html(links));
    AddStart(Url("/waiting.html"), 2);
    int32_t waiting = -1;
    ASSERT_EQ(engine_->WaitingUrls(&waiting), S_OK);
    EXPECT_EQ(waiting, 0);
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    int32_t most = 0;
    for (int i = 0; i < 500 && events_->Count(kOnGrabComplete) == 0; ++i) {
        engine_->WaitingUrls(&waiting);
        most = std::max(most, waiting);
        std::this_thread::sleep_for(5ms);
    }
    WaitForComplete();
    EXPECT_GE(most, 3);  // one worker: the other links wait their turn
    EXPECT_LE(most, 5);
    engine_->WaitingUrls(&waiting);
    EXPECT_EQ(waiting, 0);
    EXPECT_EQ(engine_->WaitingUrls(nullptr), E_POINTER);
}

TEST_F(GrabTest, ByteLimitStopsNewStarts) {
    Setting("Limits", "ByteLimit", "1");
    Setting("Limits", "Bytes", "1");
    Setting("Network", "MaxThreads", "1");
    Setting("Network", "PercentMaxThreads", "100");
    AddStart(Url("/index.html"), 3);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_NE(EngineLog().find("Reached max bytes limit"), std::string::npos);
    EXPECT_EQ(Row(Url("/dir/d.html")).grabbed, 0);
}

// A program's choices for its own grab reach the grab without being written
// where other programs would read them, and go when it removes them.
TEST_F(GrabTest, OverriddenSettingsApplyToTheGrabOnly) {
    Setting("Network", "MaxThreads", "8");
    ASSERT_EQ(engine_->OverrideSetting("Limits", "ByteLimit", "1"), S_OK);
    ASSERT_EQ(engine_->OverrideSetting("Limits", "Bytes", "1"), S_OK);
    ASSERT_EQ(engine_->OverrideSetting("network", "maxthreads", "1"), S_OK);
    ASSERT_EQ(engine_->OverrideSetting("Network", "PercentMaxThreads", "100"), S_OK);
    EXPECT_EQ(engine_->OverrideSetting("Network", "", "1"), E_INVALIDARG);
    AddStart(Url("/index.html"), 3);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_NE(EngineLog().find("Reached max bytes limit"), std::string::npos);
    EXPECT_EQ(Row(Url("/dir/d.html")).grabbed, 0);
    const std::string ini = fwtest::ReadFile(dir_ / "home/corvalin.ini");
    EXPECT_EQ(ini.find("ByteLimit"), std::string::npos) << ini;
    EXPECT_NE(ini.find("MaxThreads=8"), std::string::npos) << ini;
    ComPtr<IDizozizPrefs> prefs;
    ASSERT_EQ(engine_->Preferences(prefs.Receive()), S_OK);
    int32_t threads = 0;
    prefs->get_MaxThreads(&threads);
    EXPECT_EQ(threads, 8);  // the preferences show what is stored

    ASSERT_EQ(engine_->OverrideSetting("Limits", "ByteLimit", ""), S_OK);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    EXPECT_NE(Row(Url("/dir/d.html")).grabbed, 0);
}

// A body that never ends holds no worker for long: a size filter or the byte
// limit ends it whatever the server announced (here: no length at all), the
// URL's row stays as it was and the rest of the grab goes on.
TEST_F(GrabTest, EndlessBodiesAreEndedBySizeFiltersAndTheByteLimit) {
    struct Case {
        const char* name;
        bool size_filter;
        bool byte_limit;  // set last: the setting stays for later grabs
    };
    const Case cases[] = {{"size", true, false}, {"bytes", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string endless = std::string("/endless-") + c.name + ".bin";
        const std::string other = std::string("/other-") + c.name + ".html";
        Response body = Response::Text("application/octet-stream", "");
        body.content_length = false;
        body.ending = fwtest::Ending::Endless;
        server_->Script(endless, body);
        server_->Script(other, Response::Html("<p>other</p>"));
        const std::string start = std::string("/start-") + c.name + ".html";
        server_->Script(start, Response::Html("<a href=\"" + endless.substr(1) + "\">e</a><a href=\"" +
                                              other.substr(1) + "\">o</a>"));
        const int32_t id = AddStart(Url(start), 2);
        if (c.size_filter) {
            ComPtr<IDizozizUrl> u;
            ASSERT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
            ComPtr<IDizozizFilter> size;
            ASSERT_EQ(u->NewFilter(size.Receive()), S_OK);
            size->put_Type(kFilterSize);
            size->put_Data("100000");
            size->Update();
            ASSERT_EQ(u->Update(), S_OK);
        }
        if (c.byte_limit) {
            Setting("Limits", "ByteLimit", "1");
            Setting("Limits", "Bytes", "300");  // kilobytes
        }
        events_->Clear();
        ASSERT_EQ(engine_->GrabBegin(id, 0), S_OK);
        WaitForComplete();
        const UrlRecord row = Row(Url(endless));
        EXPECT_EQ(row.grabbed, 0);
        EXPECT_TRUE(row.file.empty() || !platform::FileExists(engine_->data_dir() + row.file));
        EXPECT_EQ(Row(Url(other)).status, kStatusGrabbed);
    }
}

TEST_F(GrabTest, TimeLimitStopsNewStartsAndRunningWorkersFinish) {
    std::string links;
    for (int i = 0; i < 6; ++i) {
        links += "<a href=\"t" + std::to_string(i) + ".html\">x</a>";
        Response slow = Response::Html("<p>slow</p>");
        slow.delay = 700ms;
        server_->Script("/t" + std::to_string(i) + ".html", slow);
    }
    server_->Script("/timed.html", Response::Html(links));
    const int32_t start = AddStart(Url("/timed.html"), 2);
    ASSERT_TRUE(engine_->store().StartQueue(start, true));
    GrabOptions options;
    options.thread_count = 1;
    options.per_host_limit = 1;
    options.time_limit = 1;  // seconds
    platform::StopEvent stop;
    GrabEngine grab(&engine_->store(), engine_->data_dir(), &stop, options);
    grab.Grab();
    EXPECT_TRUE(grab.stopped_by_limit());
    EXPECT_NE(EngineLog().find("Reached max time limit"), std::string::npos);
    int fetched = 0;
    for (int i = 0; i < 6; ++i) fetched += Row(Url("/t" + std::to_string(i) + ".html")).grabbed != 0;
    EXPECT_GE(fetched, 1);  // the one running when the limit came finished
    EXPECT_LT(fetched, 6);
}

TEST_F(GrabTest, NothingToDoStillBeginsAndCompletes) {
    const int32_t id = AddStart(Url("/index.html"), 2);
    ComPtr<IDizozizUrl> u;
    engine_->EditUrl(id, u.Receive());
    u->put_GrabLevels(0);
    u->Update();
    events_->Clear();
    ASSERT_EQ(engine_->GrabBegin(0, 0), S_OK);
    EXPECT_EQ(events_->All(), (std::vector<std::pair<int32_t, int32_t>>{{kOnGrabBegin, 0},
                                                                        {kOnGrabComplete, 0}}));
    events_->Clear();
    ASSERT_EQ(engine_->ResumeBegin(0), S_OK);  // the queue is empty
    EXPECT_EQ(events_->Count(kOnGrabComplete), 1);
    ComPtr<IDizozizUrlStatus> status;
    ASSERT_EQ(engine_->UrlStatus(id, status.Receive()), S_OK);
    int32_t state = -1;
    status->get_State(&state);
    EXPECT_EQ(state, 0);
}

TEST_F(GrabTest, QueuedJobsRunOnceAndEmptyTheList) {
    const int32_t a = AddStart(Url("/a.html"), 1);
    const int32_t d = AddStart(Url("/dir/d.html"), 1);
    EXPECT_EQ(engine_->QueueJob(-1), E_INVALIDARG);
    engine_->QueueJob(a);
    engine_->QueueJob(d);
    events_->Clear();
    ASSERT_EQ(engine_->BeginQueuedJobs(kJobRefresh), S_OK);
    WaitForComplete();
    EXPECT_EQ(Row(Url("/a.html")).status, kStatusGrabbed);
    EXPECT_EQ(Row(Url("/dir/d.html")).status, kStatusGrabbed);
    EXPECT_NE(EngineLog().find("Beginning Refresh"), std::string::npos);
    events_->Clear();
    ASSERT_EQ(engine_->BeginQueuedJobs(kJobRefresh), S_OK);
    EXPECT_TRUE(events_->All().empty());
}

}  // namespace
}  // namespace fw

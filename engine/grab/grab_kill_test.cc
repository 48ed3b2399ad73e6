// A grab killed at any moment leaves a project that opens again, the next
// grab goes on where it stopped without fetching again what the killed one
// had finished and committed, and the copy ends complete.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

using namespace std::chrono_literals;

class GrabKillTest : public fwtest::GrabHarness {
  protected:
    // Runs in a forked child: the first grab, or the resumption of what the
    // last one left, until it is killed or done.
    [[noreturn]] static void RunGrab(const std::string& project, bool first) {
        auto engine = MakeObject<Dizoziz>();
        auto events = MakeObject<fwtest::EventLog>();
        uint32_t cookie = 0;
        engine->Advise(events.get(), &cookie);
        engine->ExclusiveMode(1);
        if (engine->Open(project) != S_OK) _exit(3);
        int32_t waiting = 0;
        engine->WaitingUrls(&waiting);
        if (first) {
            engine->Grab(0, 0);
            _exit(0);
        }
        engine->ResumeBegin(0);
        while (events->Count(kOnGrabComplete) == 0) std::this_thread::sleep_for(5ms);
        engine->GrabEnd();
        _exit(0);
    }

    // URLs the project holds as fetched and done: a resumed grab must not
    // ask for them again.
    std::set<std::string> FinishedUrls(const std::string& project, int32_t* waiting) {
        auto check = MakeObject<Dizoziz>();
        EXPECT_EQ(check->Open(project), S_OK);
        check->WaitingUrls(waiting);
        std::set<std::string> finished;
        ProjectStore& store = check->store();
        store.ForEachUrl([&](const UrlRecord& row) {
            uint32_t queue_row = 0;
            QueueEntry entry;
            const bool unfinished = store.QueueEntryOf(row.id, &queue_row, &entry) &&
                                    (entry.status == '0' || entry.status == '1');
            if (row.grabbed != 0 && !unfinished) finished.insert(row.url);
            return true;
        });
        EXPECT_EQ(check->Close(), S_OK);
        return finished;
    }
};

TEST_F(GrabKillTest, KilledGrabsResumeWithoutFetchingWhatTheyFinished) {
    constexpr int kPages = 30;
    for (int i = 0; i < kPages; ++i) {
        std::string body = "<html><body><img src=\"i" + std::to_string(i) + ".gif\">";
        for (int k = 1; k <= 3; ++k) {
            body += "<a href=\"p" + std::to_string((i * 3 + k) % kPages) + ".html\">n</a>";
        }
        fwtest::Response page = fwtest::Response::Html(body + "</body></html>");
        page.delay = std::chrono::milliseconds(20 * (i % 7));
        server_->Script("/p" + std::to_string(i) + ".html", page);
        server_->Script("/i" + std::to_string(i) + ".gif", fwtest::Response::Text("image/gif", "GIF89a"));
    }
    Setting("Data", "CommitInterval", "100");
    AddStart(Url("/p0.html"), -1);
    const std::string project = dir_ / "project";
    engine_->Close();  // the children open it exclusively

    std::mt19937 random(20261210);
    int kills = 0;
    for (int round = 0; round < 8; ++round) {
        int32_t waiting = 0;
        const std::set<std::string> finished = FinishedUrls(project, &waiting);
        if (round > 0 && waiting == 0) break;
        server_->ClearRequests();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) RunGrab(project, round == 0);
        ++kills;
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 250));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        for (const fwtest::Request& request : server_->Requests()) {
            EXPECT_EQ(finished.count(server_->BaseUrl() + request.path), 0u)
                << "round " << round << " asked again for " << request.path;
        }
    }

    EXPECT_GE(kills, 2);
    ASSERT_EQ(engine_->Open(project), S_OK);
    for (int32_t waiting = 1; waiting > 0;) {
        engine_->WaitingUrls(&waiting);
        if (waiting == 0) break;
        events_->Clear();
        ASSERT_EQ(engine_->ResumeBegin(0), S_OK);
        for (int i = 0; i < 3000 && events_->Count(kOnGrabComplete) == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        engine_->GrabEnd();
    }
    for (int i = 0; i < kPages; ++i) {
        const UrlRecord row = Row(Url("/p" + std::to_string(i) + ".html"));
        ASSERT_NE(row.id, 0) << i;
        EXPECT_EQ(row.status, kStatusGrabbed) << i;
        const std::string page = Stored(row);
        EXPECT_EQ(page.find("<!-- "), page.rfind("<!-- ")) << i;  // fixed once
        EXPECT_NE(page.find("<!-- " + row.url + " -->"), std::string::npos)
            << i << " error " << row.error << " file " << row.file << ": " << page.substr(0, 200);
    }
    ExpectOfflineCopyBrowses();
    // The same files as a grab never killed: no second copy under a
    // numbered name, nothing half-received left behind.
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(engine_->data_dir())) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind("ZQ", 0) != 0) files.insert(name);
    }
    std::set<std::string> expected;
    for (int i = 0; i < kPages; ++i) {
        expected.insert("p" + std::to_string(i) + ".html");
        expected.insert("i" + std::to_string(i) + ".gif");
    }
    for (const std::string& name : files) EXPECT_EQ(expected.count(name), 1u) << "extra " << name;
    for (const std::string& name : expected) EXPECT_EQ(files.count(name), 1u) << "missing " << name;
}

}  // namespace
}  // namespace fw

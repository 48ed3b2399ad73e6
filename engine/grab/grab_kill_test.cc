// A grab killed at any moment leaves a project that opens again, and the next
// grab finishes the work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "engine/grab/grab_harness.h"

namespace fw {
namespace {

using namespace std::chrono_literals;

class GrabKillTest : public fwtest::GrabHarness {};

TEST_F(GrabKillTest, KilledGrabsLeaveAProjectTheNextGrabCompletes) {
    constexpr int kPages = 30;
    for (int i = 0; i < kPages; ++i) {
        std::string body = "<html><body><img src=\"i" + std::to_string(i) + ".gif\">";
        for (int k = 1; k <= 3; ++k) {
            body += "<a href=\"p" + std::to_string((i * 3 + k) % kPages) + ".html\">n</a>";
        }
        fwtest::Response page = fwtest::Response::Html(body + "</body></html>");
        page.delay = std::chrono::milliseconds(5 * (i % 7));
        server_->Script("/p" + std::to_string(i) + ".html", page);
        server_->Script("/i" + std::to_string(i) + ".gif", fwtest::Response::Text("image/gif", "GIF89a"));
    }
    AddStart(Url("/p0.html"), -1);
    const std::string project = dir_ / "project";
    engine_->Close();  // the children open it exclusively

    std::mt19937 random(20261210);
    for (int round = 0; round < 4; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto engine = MakeObject<Dizoziz>();
            engine->ExclusiveMode(1);
            if (engine->Open(project) != S_OK) _exit(3);
            engine->Grab(0, 0);
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 150));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        // The project opens again after every kill.
        auto check = MakeObject<Dizoziz>();
        ASSERT_EQ(check->Open(project), S_OK) << "round " << round;
        ASSERT_EQ(check->Close(), S_OK);
    }

    ASSERT_EQ(engine_->Open(project), S_OK);
    ASSERT_EQ(engine_->Grab(0, 0), S_OK);
    for (int i = 0; i < kPages; ++i) {
        const UrlRecord row = Row(Url("/p" + std::to_string(i) + ".html"));
        EXPECT_EQ(row.status, kStatusGrabbed) << i;
        EXPECT_EQ(Stored(row).rfind("<html>\n<!-- ", 0), 0u) << i;  // fixed, once
        EXPECT_EQ(Stored(row).find("<!-- ", 12), std::string::npos) << i;
    }
    ExpectOfflineCopyBrowses();
}

}  // namespace
}  // namespace fw

// Test harness for whole grabs: a project in a temporary folder, an engine
// object on it, the local test web server serving a fixture site, and a sink
// that records events. Shared by the grab tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "engine/interface/dizoziz.h"
#include "engine/interface/ref_counted.h"
#include "engine/net/socket.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "platform/profile_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace fwtest {

class EventLog : public fw::RefCounted<fw::IDizozizEvents> {
public:
    void Invoke(int32_t event_id, int32_t url_id) override {
        if (probe) probe(event_id, url_id);  // on the firing thread, as events come
        std::lock_guard<std::mutex> guard(mutex_);
        events_.emplace_back(event_id, url_id);
    }
    // Set before the grab starts; called for every event.
    std::function<void(int32_t, int32_t)> probe;
    std::vector<std::pair<int32_t, int32_t>> All() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }
    int Count(int32_t event_id, int32_t url_id = -1) const {
        std::lock_guard<std::mutex> guard(mutex_);
        int n = 0;
        for (auto [e, u] : events_) n += e == event_id && (url_id < 0 || u == url_id);
        return n;
    }
    // Position of the first matching event, or -1.
    int IndexOf(int32_t event_id, int32_t url_id) const {
        std::lock_guard<std::mutex> guard(mutex_);
        for (size_t i = 0; i < events_.size(); ++i) {
            if (events_[i] == std::make_pair(event_id, url_id)) return static_cast<int>(i);
        }
        return -1;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<int32_t, int32_t>> events_;
};

class GrabHarness : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("CORVALIN_HOME", (dir_ / "home").c_str(), 1);
        // Each test's engine log in its own folder, for EngineLog().
        fw::ResetLogForTesting(dir_ / "fetchwell.log");
        server_ = std::make_unique<TestWebServer>(std::string(FW_SOURCE_DIR) + "/tests/fixtures/site");
        ASSERT_TRUE(server_->Start());
        engine_ = fw::MakeObject<fw::Dizoziz>();
        events_ = fw::MakeObject<EventLog>();
        uint32_t cookie = 0;
        ASSERT_EQ(engine_->Advise(events_.get(), &cookie), fw::S_OK);
        engine_->ExclusiveMode(1);
        platform::CreateDirectories(dir_ / "project");
        ASSERT_EQ(engine_->Open(dir_ / "project"), fw::S_OK);
    }
    void TearDown() override {
        engine_->GrabEnd();
        engine_.Reset();
        server_.reset();
        unsetenv("CORVALIN_HOME");
        fw::ResetLogForTesting("");
    }

    // Writes an engine setting before the next grab.
    void Setting(const char* section, const char* key, const std::string& value) {
        platform::ProfileFile(dir_ / "home/corvalin.ini").WriteString(section, key, value);
    }

    std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }

    int32_t AddStart(const std::string& url, int32_t levels) {
        fw::ComPtr<fw::IDizozizUrl> u;
        EXPECT_EQ(engine_->NewUrl(u.Receive()), fw::S_OK);
        u->put_url(url);
        u->put_GrabLevels(levels);
        EXPECT_EQ(u->Update(), fw::S_OK);
        int32_t id = 0;
        u->get_id(&id);
        return id;
    }

    fw::UrlRecord Row(const std::string& url) {
        fw::UrlRecord row;
        const int32_t id = engine_->store().FindByUrl(url);
        if (id > 0) engine_->store().Load(id, &row);
        return row;
    }
    std::string EngineLog() const { return ReadFile(dir_ / "fetchwell.log"); }
    int32_t IdOf(const std::string& url) { return engine_->store().FindByUrl(url); }
    std::string Stored(const fw::UrlRecord& row) { return ReadFile(engine_->data_dir() + row.file); }

    // Every relative href/src of every grabbed page names an existing file.
    void ExpectOfflineCopyBrowses() {
        const std::regex link(R"((?:href|src)\s*=\s*"([^"#:]+)(?:#[^"]*)?")", std::regex::icase);
        engine_->store().ForEachUrl([&](const fw::UrlRecord& row) {
            if (row.status != fw::kStatusGrabbed || row.kind != fw::kKindHtml) return true;
            const std::string page = Stored(row);
            const std::string dir = row.file.substr(0, row.file.find_last_of('/') + 1);
            for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
                const std::string target = engine_->data_dir() + dir + (*it)[1].str();
                EXPECT_TRUE(platform::FileExists(target)) << row.url << " links to " << (*it)[1];
            }
            return true;
        });
    }

    TempDir dir_;
    std::unique_ptr<TestWebServer> server_;
    fw::ComPtr<fw::Dizoziz> engine_;
    fw::ComPtr<EventLog> events_;
    // Long enough for a loaded machine (sanitizer builds, Python servers);
    // tests about silence set their own.
    fw::ScopedSocketSilenceLimit silence_{std::chrono::milliseconds(15000)};
};

}  // namespace fwtest

#include "app/core/content_hooks.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>

#include "app/core/contents_page.h"
#include "app/core/display_title.h"
#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "platform/program_home.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {
namespace {

namespace fs = std::filesystem;
using fwtest::ReadFile;
using fwtest::WriteFile;

// A window that runs what the document posts on the test's thread and keeps
// the messages it is asked to show; the "Done" box closes at once.
class QuietHost : public DocumentHost {
public:
    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> guard(mutex_);
        tasks_.push_back(std::move(task));
        wake_.notify_all();
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&) override { return true; }
    void DocumentChanged() override {}
    void UpdateAllViews(int) override {}
    void RebuildTree() override {}
    void AskFirstUrl() override {}
    void ShowGrabWindow(bool) override {}
    void ResetGrabWindow() override {}
    void GrabWindowEvents(const std::vector<std::pair<int32_t, int32_t>>&) override {}
    void ShowStoppingNotice() override {}
    void CloseStoppingNotice() override {}
    void ShowDoneBox(std::function<void()> closed) override { Post(std::move(closed)); }
    void RunProgram(const std::string&) override {}
    void CloseMainWindow() override {}

    // Runs posted tasks until `done` holds; false after a minute.
    bool RunUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!wake_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
                    return false;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }

    std::vector<std::string> messages;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
};

class ContentHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = std::make_unique<CPagewellDoc>(&host_, AppSettings(dir_ / "corvalin.ini"),
                                              ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        ASSERT_TRUE(doc_->CreateEngine(&why)) << why;
        InstallContentHooks(&doc_->hooks());
        std::string message;
        project_ = dir_ / "site.cvn";
        ASSERT_TRUE(CreateProject(project_, &message)) << message;
        ASSERT_TRUE(doc_->OpenProject(project_));
        doc_->project_file().SetRunAfter(false);
    }

    // Serves the fixture site and adds it as the start URL.
    int32_t AddFixtureSite() {
        server_ = std::make_unique<fwtest::TestWebServer>(std::string(FW_SOURCE_DIR) +
                                                          "/tests/fixtures/site");
        EXPECT_TRUE(server_->Start());
        StartUrlOptions options;
        options.url = server_->BaseUrl() + "/";
        options.levels = -1;
        int32_t id = 0;
        EXPECT_EQ(AddStartUrl(doc_->engine(), options, &id), fw::S_OK);
        return id;
    }

    void GrabAll() {
        ASSERT_TRUE(doc_->GrabAll(false));
        ASSERT_TRUE(host_.RunUntil([this] { return !doc_->grabbing(); }));
    }

    fwtest::TempDir dir_;
    QuietHost host_;
    std::unique_ptr<CPagewellDoc> doc_;
    std::unique_ptr<fwtest::TestWebServer> server_;
    std::string project_;
};

TEST_F(ContentHooksTest, AGrabRewritesPagesAndEndsWithTheContentsPageAndEdgeFiles) {
    const int32_t start = AddFixtureSite();
    ASSERT_TRUE(doc_->project_file().WriteRules(
        {{"f", "<title>*</title>", "<title>Kept</title>"}, {"t", "Kept", "never"}}));
    doc_->project_file().SetUseEdgeFile(true);
    GrabAll();

    const std::string site = doc_->content_dir() + "127.0.0.1/";
    EXPECT_NE(ReadFile(site + "index.html").find("<title>Kept</title>"), std::string::npos);
    const std::string page = ReadFile(doc_->ContentsPagePath());
    EXPECT_TRUE(doc_->contents_page_present());
    EXPECT_NE(page.find("<title>site - offline copy</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"127.0.0.1/index.html\">"), std::string::npos) << page;
    EXPECT_TRUE(fs::exists(doc_->content_dir() + "edge.htm"));

    // A new display title shows once the page is built again.
    fw::ComPtr<fw::IDizozizUrl> url;
    ASSERT_EQ(doc_->engine()->EditUrl(start, url.Receive()), fw::S_OK);
    ASSERT_EQ(url->put_Notes(ComposeNotes("Renamed <site>", "")), fw::S_OK);
    ASSERT_EQ(url->Update(), fw::S_OK);
    doc_->RebuildContentsPage();
    EXPECT_NE(ReadFile(doc_->ContentsPagePath()).find(">Renamed &lt;site&gt;</a>"),
              std::string::npos);
}

TEST_F(ContentHooksTest, NoContentsPageIsBuiltAgainBeforeTheFirstGrab) {
    doc_->RebuildContentsPage();
    EXPECT_FALSE(fs::exists(doc_->ContentsPagePath()));
}

TEST_F(ContentHooksTest, ImportAddsTheAddressesOrSaysTheFileIsMissing) {
    WriteFile(dir_ / "urls.txt", "http://a.example/ and http://b.example/x\n");
    doc_->Import(dir_ / "urls.txt");
    EXPECT_EQ(doc_->StartUrlIds().size(), 2u);
    EXPECT_TRUE(host_.messages.empty());
    doc_->Import(dir_ / "missing.txt");
    EXPECT_EQ(host_.messages, std::vector<std::string>{"Unable to open file for Import."});
    EXPECT_EQ(doc_->StartUrlIds().size(), 2u);
}

TEST_F(ContentHooksTest, ExportCopiesTheProjectOrOneUrlAndPreparesADisc) {
    const int32_t start = AddFixtureSite();
    GrabAll();
    const std::string all = dir_ / "all/";
    ASSERT_TRUE(ExportProjectContent(*doc_, {all, 0, false, true}));
    EXPECT_EQ(ReadFile(all + "contents.htm"), ReadFile(doc_->ContentsPagePath()));
    EXPECT_TRUE(fs::exists(all + "127.0.0.1/index.html"));
    EXPECT_EQ(ReadFile(all + "autorun.inf"), "[autorun]\nOPEN=autorun.exe contents.htm\n");

    const std::string one = dir_ / "one/";
    ASSERT_TRUE(ExportProjectContent(*doc_, {one, start, true, false}));
    EXPECT_NE(ReadFile(one + "index.htm").find("href=\"127.0.0.1/index.html\""), std::string::npos);
    EXPECT_FALSE(fs::exists(one + "contents.htm"));
    EXPECT_FALSE(fs::exists(one + "autorun.inf"));

    // A location that cannot be a folder exports nothing.
    WriteFile(dir_ / "file", "x");
    EXPECT_FALSE(ExportProjectContent(*doc_, {dir_ / "file/sub", 0, false, false}));
}

}  // namespace
}  // namespace corvalin

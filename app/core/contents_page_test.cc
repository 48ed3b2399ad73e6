#include "app/core/contents_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/core/engine_fixture.h"
#include "app/core/start_url.h"
#include "engine/interface/ref_counted.h"
#include "tests/support/test_web_server.h"

namespace corvalin {

// Shows a link readably in a failure.
void PrintTo(const ContentsLink& link, std::ostream* out) {
    *out << "{" << link.target << (link.target_is_file ? " (file), " : ", ") << link.text << "}";
}

namespace {

using fwtest::ReadFile;
using fwtest::WriteFile;

const std::string kFixtures = std::string(FW_SOURCE_DIR) + "/tests/fixtures/contents/";

TEST(ContentsPageTest, ThePageListsEveryKindOfStartUrlBetweenTheTemplates) {
    const std::vector<ContentsEntry> entries = {
        {{"127.0.0.1/index.html", true, "My <Site>"}, {}},
        {{"http://127.0.0.1:1/never?a=1&b=2", false, "http://127.0.0.1:1/never?a=1&b=2"}, {}},
        {{"http://127.0.0.1/files/", false, "Downloads"},
         {{"127.0.0.1/files/alpha.zip", true, "alpha.zip"},
          {"127.0.0.1/files/Beta one.zip", true, "Beta one.zip"},
          {"127.0.0.1/files/beta.zip", true, "beta.zip"}}},
    };
    fwtest::TempDir content;
    ASSERT_TRUE(WriteContentsPage(entries, content.path(), kFixtures, "news & views"));
    EXPECT_EQ(ReadFile(content / "contents.htm"), ReadFile(kFixtures + "expected.htm"));
}

TEST(ContentsPageTest, ALongTemplateLineIsCutAndEndsTheTemplate) {
    fwtest::TempDir program;
    const std::string long_line = std::string(507, 'x') + "\xc3\xa9\xc3\xa9" + "tail";
    WriteFile(program / "head.htm",
              "<dl>\n" + std::string(510, 'y') + "\n" + long_line + "\nnever written\n");
    WriteFile(program / "foot.htm", "</dl>");  // a last line without a line end
    const std::string page = ContentsPageText({{{"a.html", true, "A"}, {}}}, program.path(), "p");
    // 507 + one whole "é" is 509 bytes; the second "é" would pass 510.
    EXPECT_EQ(page, "<dl>\n" + std::string(510, 'y') + "\n" + std::string(507, 'x') +
                        "\xc3\xa9\n<dt><a href=\"a.html\">A</a></dt>\n</dl>\n");
}

TEST(ContentsPageTest, MissingTemplatesAddNothingAndAnUnwritablePageIsReported) {
    fwtest::TempDir program;
    EXPECT_EQ(ContentsPageText({{{"http://x/", false, "http://x/"}, {}}}, program.path(), "p"),
              "<dt><a href=\"http://x/\">http://x/</a></dt>\n");
    fwtest::TempDir content;
    WriteFile(content / "file", "not a directory");
    EXPECT_FALSE(WriteContentsPage({}, content / "file/src/", program.path(), "p"));
    EXPECT_TRUE(WriteContentsPage({}, content / "src", program.path(), "p"));
    EXPECT_EQ(ReadFile(content / "src/contents.htm"), "");
}

TEST(ContentsPageTest, ProjectNameIsTheFileNameWithoutItsExtension) {
    EXPECT_EQ(ProjectName("/home/me/sites/news.cvn"), "news");
    EXPECT_EQ(ProjectName("/home/me/my.sites/news.old.cvn"), "news.old");
    EXPECT_EQ(ProjectName("news"), "news");
}

// Waits for the end of a grab the engine runs on its own threads.
class CompletionSink : public fw::RefCounted<fw::IDizozizEvents> {
  public:
    void Invoke(int32_t event_id, int32_t) override {
        if (event_id != fw::kOnGrabComplete) return;
        std::lock_guard<std::mutex> guard(mutex_);
        complete_ = true;
        done_.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        return done_.wait_for(lock, std::chrono::seconds(60), [this] { return complete_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool complete_ = false;
};

class ContentsEngineTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        WriteFile(site_ / "index.html", "<title>Home</title><a href=\"page.html\">p</a>");
        WriteFile(site_ / "page.html", "<title>Page</title>");
        WriteFile(site_ / "files/index.html",
                  "<title>Downloads</title><a href=\"gamma.zip\">g</a><a href=\"beta.zip\">b</a>"
                  "<a href=\"more.html\">more</a><a href=\"alpha.zip\">a</a>");
        WriteFile(site_ / "files/more.html",
                  "<title>More</title><a href=\"old/Beta.zip\">B</a><a href=\"index.html\">up</a>");
        for (const char* zip : {"alpha.zip", "beta.zip", "gamma.zip", "old/Beta.zip"}) {
            WriteFile(site_ / "files/" + zip, std::string("PK zip ") + zip);
        }
        server_ = std::make_unique<fwtest::TestWebServer>(site_.path());
        ASSERT_TRUE(server_->Start());
        base_ = server_->BaseUrl() + "/";
        OpenScratchProject();
    }

    int32_t Add(const std::string& url, const std::string& notes, const std::string& only = "") {
        StartUrlOptions options;
        options.url = url;
        options.levels = 3;
        options.notes = notes;
        options.only_types = only;
        int32_t id = 0;
        EXPECT_EQ(AddStartUrl(engine_.get(), options, &id), fw::S_OK) << url;
        return id;
    }

    void GrabAll() {
        auto sink = fw::MakeObject<CompletionSink>();
        uint32_t cookie = 0;
        ASSERT_EQ(engine_->Advise(sink.get(), &cookie), fw::S_OK);
        ASSERT_EQ(engine_->GrabBegin(0, 0), fw::S_OK);
        EXPECT_TRUE(sink->Wait());
        engine_->GrabEnd();
        engine_->Unadvise(cookie);
    }

    fwtest::TempDir site_;
    std::unique_ptr<fwtest::TestWebServer> server_;
    std::string base_;
};

TEST_F(ContentsEngineTest, EntriesComeFromTheStartUrlsAsTheyWereGrabbed) {
    Add(base_ + "index.html", "<title>My <Site></title>free notes");
    Add(base_ + "page.html", "");  // no display title: the page's own
    const std::string never = "http://127.0.0.1:1/never";
    Add(never, "<title>Unused</title>");
    const int32_t files_id = Add(base_ + "files/", "", "zip");
    GrabAll();

    std::vector<ContentsEntry> entries;
    ASSERT_EQ(CollectContents(engine_.get(), &entries), fw::S_OK);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].link, (ContentsLink{"127.0.0.1/index.html", true, "My <Site>"}));
    EXPECT_EQ(entries[1].link, (ContentsLink{"127.0.0.1/page.html", true, "Page"}));
    EXPECT_EQ(entries[2].link, (ContentsLink{never, false, never}));
    EXPECT_EQ(entries[3].link, (ContentsLink{base_ + "files/", false, "Downloads"}));
    // The files below the pages, by name whatever the case; equal names
    // keep the order they were found in. (The engine stores the files of a
    // file-type list side by side.)
    std::vector<ContentsLink> expected = {
        {"127.0.0.1/alpha.zip", true, "alpha.zip"},
        {"127.0.0.1/beta.zip", true, "beta.zip"},
        {"127.0.0.1/Beta.zip", true, "Beta.zip"},
        {"127.0.0.1/gamma.zip", true, "gamma.zip"},
    };
    EXPECT_EQ(entries[3].files, expected);
    for (const auto& entry : entries) EXPECT_TRUE(entry.files.empty() || &entry == &entries[3]);

    fw::ComPtr<fw::IDizozizUrl> url;
    ASSERT_EQ(engine_->EditUrl(files_id, url.Receive()), fw::S_OK);
    bool file_type = false;
    EXPECT_EQ(IsFileTypeStartUrl(url.get(), &file_type), fw::S_OK);
    EXPECT_TRUE(file_type);
}

}  // namespace
}  // namespace corvalin

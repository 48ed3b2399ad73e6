#include "app/core/pagewell_doc.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "app/core/fake_programs.h"
#include "app/core/project_layout.h"
#include "app/core/start_url.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_web_server.h"

namespace corvalin {
namespace {

using std::chrono::seconds;

// A window that records what the document asked of it. Posted tasks queue
// up until the test runs them on its own thread, which plays the UI thread.
class RecordingHost : public DocumentHost {
  public:
    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> guard(mutex_);
        tasks_.push_back(std::move(task));
        wake_.notify_all();
    }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        Note("message");
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answer_yes;
    }
    void DocumentChanged() override { Note("document"); }
    void UpdateAllViews(int hint) override { Note("hint " + std::to_string(hint)); }
    void RebuildTree() override { Note("tree"); }
    void AskFirstUrl() override { Note("wizard"); }
    void ShowGrabWindow(bool show) override { Note(show ? "show window" : "hide window"); }
    void ResetGrabWindow() override { Note("reset window"); }
    void GrabWindowEvents(const std::vector<std::pair<int32_t, int32_t>>& events) override {
        EXPECT_EQ(std::this_thread::get_id(), ui_thread);
        window_events.insert(window_events.end(), events.begin(), events.end());
    }
    void ShowStoppingNotice() override { Note("stopping"); }
    void CloseStoppingNotice() override { Note("stopped"); }
    void ShowDoneBox(std::function<void()> closed) override {
        Note("done");
        // The box closes later, as the real one does.
        Post(std::move(closed));
    }
    void RunProgram(const std::string& command_line) override {
        programs.push_back(command_line);
        Note("run");
    }
    void CloseMainWindow() override { Note("close"); }

    void Note(const std::string& step) {
        EXPECT_EQ(std::this_thread::get_id(), ui_thread) << step;
        steps.push_back(step);
    }

    // Runs posted tasks on this thread until `done` holds; false after the
    // time-out.
    bool RunUntil(const std::function<bool()>& done, seconds timeout = seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
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
    bool Saw(const std::string& step) const {
        return std::find(steps.begin(), steps.end(), step) != steps.end();
    }

    const std::thread::id ui_thread = std::this_thread::get_id();
    bool answer_yes = true;
    std::vector<std::string> messages, questions, steps, programs;
    std::vector<std::pair<int32_t, int32_t>> window_events;

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
};

class PagewellDocTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc_ = std::make_unique<CPagewellDoc>(&host_, AppSettings(dir_ / "corvalin.ini"),
                                              ErrorLog(dir_ / "corvalin.log"));
        std::string why;
        ASSERT_TRUE(doc_->CreateEngine(&why)) << why;
    }

    std::string NewProject(const std::string& name) {
        std::string message;
        const std::string path = dir_ / name;
        EXPECT_TRUE(CreateProject(path, &message)) << message;
        return path;
    }
    int32_t AddStart(const std::string& url, int32_t levels = -1) {
        StartUrlOptions options;
        options.url = url;
        options.levels = levels;
        int32_t id = 0;
        EXPECT_EQ(AddStartUrl(doc_->engine(), options, &id), fw::S_OK);
        return id;
    }
    // Serves the fixture site.
    std::string Serve() {
        server_ = std::make_unique<fwtest::TestWebServer>(std::string(FW_SOURCE_DIR) +
                                                          "/tests/fixtures/site");
        EXPECT_TRUE(server_->Start());
        return server_->BaseUrl() + "/";
    }

    fwtest::TempDir dir_;
    RecordingHost host_;
    std::unique_ptr<CPagewellDoc> doc_;
    std::unique_ptr<fwtest::TestWebServer> server_;
};

TEST_F(PagewellDocTest, GrabAllWithoutStartUrlsAsksForOne) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("empty.cvn")));
    host_.steps.clear();
    EXPECT_FALSE(doc_->GrabAll(false));
    EXPECT_EQ(host_.messages, std::vector<std::string>{kNoStartUrlText});
    EXPECT_EQ(host_.steps, (std::vector<std::string>{"message", "wizard"}));
    EXPECT_EQ(doc_->phase(), GrabPhase::kIdle);
}

// A whole grab: the events reach the UI thread in firing order, and the end
// of the grab runs its steps in order.
TEST_F(PagewellDocTest, GrabOfAFixtureSite) {
    const std::string base = Serve();
    const std::string project = NewProject("site.cvn");
    ASSERT_TRUE(doc_->OpenProject(project));
    const int32_t start = AddStart(base);
    std::vector<std::string> hooks;
    int32_t pages_finished = 0;
    doc_->hooks().page_finished = [&](CPagewellDoc&, int32_t) { ++pages_finished; };
    doc_->hooks().contents_page = [&](CPagewellDoc& doc, const std::function<void()>& walked) {
        EXPECT_FALSE(doc.grabbing());
        hooks.push_back("contents walked");
        walked();
        hooks.push_back("contents written");
        host_.Note("contents");
        return true;
    };
    doc_->hooks().edge_files = [&](CPagewellDoc&) { host_.Note("edge"); };
    fwtest::WriteFile(project, fwtest::ReadFile(project) + "[CVN]\nRunCmd=%b %dcontents.htm\n");
    doc_->project_file().SetDirtyFlag(true);
    doc_->set_exit_after_grab(true);
    host_.steps.clear();

    ASSERT_TRUE(doc_->GrabAll(false));
    EXPECT_TRUE(doc_->grabbing());
    EXPECT_EQ(doc_->first_start_url(), start);
    EXPECT_EQ(doc_->project_file().profile().GetString("DALK", "DirtyFlag", ""), "0");
    ASSERT_TRUE(host_.RunUntil([&] { return host_.Saw("close"); }));

    EXPECT_EQ(host_.steps,
              (std::vector<std::string>{"show window", "hide window", "tree", "reset window",
                                        "done", "contents", "edge", "run", "close"}));
    EXPECT_EQ(hooks, (std::vector<std::string>{"contents walked", "contents written"}));
    EXPECT_EQ(host_.programs, std::vector<std::string>{doc_->content_dir() + "contents.htm"});
    EXPECT_TRUE(doc_->contents_page_present());
    EXPECT_FALSE(doc_->grabbing());

    // The grab window heard the begin first, then each URL's start before
    // its end.
    ASSERT_FALSE(host_.window_events.empty());
    EXPECT_EQ(host_.window_events.front().first, fw::kOnGrabBegin);
    std::set<int32_t> started, done;
    for (auto [event, id] : host_.window_events) {
        if (event == fw::kOnGrabUrlNew) started.insert(id);
        if (event == fw::kOnGrabUrlDone) {
            EXPECT_TRUE(started.count(id)) << id;
            done.insert(id);
        }
    }
    EXPECT_GE(started.size(), 5u);  // index, a, b, the images, the style sheet
    EXPECT_EQ(done, started);
    EXPECT_GE(pages_finished, static_cast<int32_t>(done.size()));
    EXPECT_TRUE(std::filesystem::exists(doc_->content_dir() + "127.0.0.1"));
}

TEST_F(PagewellDocTest, StopShowsTheNoticeUntilTheEnd) {
    const std::string base = Serve();
    fwtest::Response slow = fwtest::Response::Html("<a href=b.html>b</a>");
    slow.delay = std::chrono::seconds(20);
    server_->Script("/", slow);
    ASSERT_TRUE(doc_->OpenProject(NewProject("stop.cvn")));
    AddStart(base);
    doc_->project_file().SetRunAfter(false);
    ASSERT_TRUE(doc_->GrabAll(false));
    ASSERT_TRUE(host_.RunUntil([&] { return !host_.window_events.empty(); }));
    host_.steps.clear();
    doc_->Stop();
    EXPECT_TRUE(doc_->stopping());
    doc_->Stop();                        // a second stop changes nothing
    EXPECT_FALSE(doc_->GrabAll(false));  // no grab while one is ending
    ASSERT_TRUE(host_.RunUntil([&] { return host_.Saw("done"); }, seconds(15)));
    EXPECT_EQ(host_.steps, (std::vector<std::string>{"stopping", "hide window", "tree",
                                                     "reset window", "stopped", "done"}));
    EXPECT_FALSE(doc_->grabbing());
    EXPECT_TRUE(host_.RunUntil([&] { return true; }));
}

TEST_F(PagewellDocTest, AFailedOpenKeepsThePreviousProject) {
    const std::string first = NewProject("first.cvn");
    ASSERT_TRUE(doc_->OpenProject(first));
    const int32_t id = AddStart("http://example.com/");

    // Tables that exist but cannot be read: the damaged-database message
    // names where the grabbed content still is.
    const std::string damaged = NewProject("damaged.cvn");
    const std::string damaged_data = DataDirectoryFor(damaged);
    fwtest::WriteFile(damaged_data + "ZQURL.DBF", "this is not a table");
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {damaged,
         "Corvalin has detected a corrupt database and cannot open\nyour project.  The grabbed "
         "content is still available in:\n" +
             damaged_data + "src/"},
        {dir_ / "missing.cvn", "Could not open document:\n" + dir_ / "missing.cvn"},
    };
    for (const auto& c : cases) {
        host_.messages.clear();
        EXPECT_FALSE(doc_->OpenProject(c.path));
        EXPECT_EQ(host_.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(doc_->path(), first);
        ASSERT_TRUE(doc_->project_open());
        EXPECT_TRUE(doc_->Url(id));  // open again in the engine
    }
    EXPECT_EQ(doc_->settings().RecentFiles(), std::vector<std::string>{first});
    EXPECT_NE(fwtest::ReadFile(dir_ / "corvalin.log").find("Could not open document"),
              std::string::npos);
}

TEST_F(PagewellDocTest, OpeningAnotherProjectClosesTheFirst) {
    const std::string first = NewProject("one.cvn");
    const std::string second = NewProject("two.cvn");
    ASSERT_TRUE(doc_->OpenProject(first));
    AddStart("http://one.example/");
    ASSERT_TRUE(doc_->OpenProject(second));
    EXPECT_EQ(doc_->path(), second);
    EXPECT_TRUE(doc_->StartUrlIds().empty());
    EXPECT_EQ(doc_->settings().RecentFiles(), (std::vector<std::string>{second, first}));
}

TEST_F(PagewellDocTest, DeleteAsksWithTitleAndAddress) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("delete.cvn")));
    const int32_t id = AddStart("http://example.com/");
    host_.answer_yes = false;
    EXPECT_FALSE(doc_->DeleteUrlWithConfirmation(id));
    EXPECT_EQ(host_.questions,
              std::vector<std::string>{"Are you sure you want to delete this URL?\n\n"
                                       "http://example.com/"});
    EXPECT_EQ(doc_->StartUrlIds(), std::vector<int32_t>{id});
    host_.answer_yes = true;
    EXPECT_TRUE(doc_->DeleteUrlWithConfirmation(id));
    EXPECT_TRUE(doc_->StartUrlIds().empty());
}

TEST_F(PagewellDocTest, CommandLineUrl) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("cmd.cvn")));
    constexpr int32_t kEngineDefault = 1;
    struct Case {
        std::vector<std::string> args;
        int32_t levels;
        bool stay_on_site;
    } cases[] = {
        {{"-A:http://a.example"}, kEngineDefault, true},
        {{"-Ahttp://b.example/", "-L"}, -1, true},
        {{"-A:http://c.example/", "-L:-5", "-C:0"}, kEngineDefault, false},
        {{"-A:http://d.example/", "-L:3", "-C:1"}, 3, true},
    };
    for (const auto& c : cases) {
        const CommandLineInfo info = ParseCommandLine(c.args);
        host_.steps.clear();
        ASSERT_TRUE(doc_->AddCommandLineUrl(info)) << c.args[0];
        EXPECT_EQ(host_.steps, std::vector<std::string>{"hint 2"});
        fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(doc_->last_added_url());
        ASSERT_TRUE(url);
        int32_t levels = 0;
        url->get_GrabLevels(&levels);
        EXPECT_EQ(levels, c.levels) << c.args[0];
        std::string text;
        url->get_url(&text);
        EXPECT_EQ(text.back(), '/');
        // Audio and video left out; the stay-on-site filter as asked.
        fw::ComPtr<fw::IDizozizEnumFilter> filters;
        ASSERT_EQ(url->get_EnumFilters(filters.Receive()), fw::S_OK);
        int32_t count = 0;
        filters->get_Count(&count);
        std::vector<std::string> excluded;
        bool stay = false;
        for (int32_t i = 1; i <= count; ++i) {
            fw::ComPtr<fw::IDizozizFilter> f;
            filters->get_Item(i, f.Receive());
            int32_t type = 0, on = 0;
            f->get_Type(&type);
            f->get_StayOnSite(&on);
            stay = stay || on;
            std::string data;
            f->get_Data(&data);
            if (type == fw::kFilterContentType) excluded.push_back(data);
        }
        EXPECT_EQ(excluded, (std::vector<std::string>{"audio", "video"})) << c.args[0];
        EXPECT_EQ(stay, c.stay_on_site) << c.args[0];
    }
    host_.messages.clear();
    EXPECT_FALSE(doc_->AddCommandLineUrl(ParseCommandLine({"-A:www.example.com"})));
    EXPECT_EQ(host_.messages.size(), 1u);
}

TEST_F(PagewellDocTest, ProxyFromTheBrowserOnlyWhenAsked) {
    test::FakePrograms fakes;
    fakes.Add("xdg-settings", "echo chromium.desktop\n");
    const char* old = std::getenv("http_proxy");
    const std::string saved = old ? old : "";
    ::setenv("http_proxy", "browser.proxy:3128", 1);
    ASSERT_TRUE(doc_->OpenProject(NewProject("proxy.cvn")));
    doc_->project_file().SetRunAfter(false);
    // The start URL's host does not answer; the grab ends at once.
    AddStart("http://127.0.0.1:9/");
    auto server = [&] {
        fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
        std::string s;
        prefs->get_ProxyServer(&s);
        int32_t use = 0;
        prefs->get_UseProxy(&use);
        return std::to_string(use) + " " + s;
    };
    {
        // What the user entered.
        fw::ComPtr<fw::IDizozizPrefs> prefs = doc_->Preferences();
        prefs->put_UseProxy(1);
        prefs->put_ProxyServer("user.proxy");
    }
    for (bool use_browsers : {false, true}) {
        doc_->settings().SetUseBrowsers(use_browsers);
        host_.steps.clear();
        ASSERT_TRUE(doc_->GrabAll(false));
        EXPECT_EQ(server(), use_browsers ? "1 browser.proxy" : "1 user.proxy") << use_browsers;
        ASSERT_TRUE(host_.RunUntil([&] { return host_.Saw("done"); }));
        ASSERT_TRUE(host_.RunUntil([&] { return !doc_->grabbing(); }));
    }
    old ? ::setenv("http_proxy", saved.c_str(), 1) : ::unsetenv("http_proxy");
    // The settings are the test program's: later grabs go without a proxy.
    doc_->settings().SetUseBrowsers(false);
    doc_->Preferences()->put_UseProxy(0);
}

TEST_F(PagewellDocTest, SkipTogglesAndMarksTheProjectDirty) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("skip.cvn")));
    const int32_t id = AddStart("http://example.com/", 2);
    doc_->project_file().SetDirtyFlag(false);
    EXPECT_EQ(doc_->ToggleSkip(id), std::optional<bool>(true));
    int32_t levels = 0;
    doc_->Url(id)->get_GrabLevels(&levels);
    EXPECT_EQ(levels, -2);
    EXPECT_EQ(doc_->project_file().profile().GetString("DALK", "DirtyFlag", ""), "1");
    doc_->project_file().SetDirtyFlag(false);
    EXPECT_EQ(doc_->ToggleSkip(id), std::optional<bool>(false));  // twice: back to 0
    doc_->Url(id)->get_GrabLevels(&levels);
    EXPECT_EQ(levels, 0);
    EXPECT_EQ(doc_->project_file().profile().GetString("DALK", "DirtyFlag", ""), "0");
    EXPECT_EQ(doc_->ToggleSkip(id + 100), std::nullopt);
}

TEST_F(PagewellDocTest, RenamingAStartUrlKeepsItsFreeNotes) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("rename.cvn")));
    const int32_t id = AddStart("http://example.com/");
    fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(id);
    url->put_Notes("my notes");
    ASSERT_EQ(url->Update(), fw::S_OK);
    int rebuilt = 0;
    doc_->hooks().contents_page = [&](CPagewellDoc&, const std::function<void()>&) {
        ++rebuilt;
        return true;
    };
    struct Case {
        std::string title;
        std::string notes;
        std::string label;
    } cases[] = {
        {"My site", "<title>My site</title>my notes", "My site"},
        {"Another", "<title>Another</title>my notes", "Another"},
        {"", "my notes", "http://example.com/"},  // an empty title removes it
        {std::string(250, 'x'), "<title>" + std::string(200, 'x') + "</title>my notes",
         std::string(200, 'x')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc_->RenameStartUrl(id, c.title), std::optional<std::string>(c.label));
        std::string notes;
        doc_->Url(id)->get_Notes(&notes);
        EXPECT_EQ(notes, c.notes);
    }
    EXPECT_EQ(rebuilt, 0);  // no contents page yet, nothing to rebuild
}

TEST_F(PagewellDocTest, ImportOfAMissingFileSaysSo) {
    ASSERT_TRUE(doc_->OpenProject(NewProject("import.cvn")));
    doc_->Import(dir_ / "no-such-list.txt");
    EXPECT_EQ(host_.messages, std::vector<std::string>{"Unable to open file for Import."});
    fwtest::WriteFile(dir_ / "list.txt", "see http://a.example/ and http://b.example/x\n");
    host_.messages.clear();
    doc_->Import(dir_ / "list.txt");
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(doc_->StartUrlIds().size(), 2u);
}

// Find in the copy, after a grab of the fixture site: a query of the index,
// a pattern, and the messages of a bad expression and a bad pattern.
TEST_F(PagewellDocTest, SearchTheCopy) {
    const std::string base = Serve();
    ASSERT_TRUE(doc_->OpenProject(NewProject("search.cvn")));
    doc_->project_file().SetRunAfter(false);
    AddStart(base);
    ASSERT_TRUE(doc_->GrabAll(false));
    ASSERT_TRUE(host_.RunUntil([&] { return host_.Saw("done"); }));
    ASSERT_TRUE(host_.RunUntil([&] { return !doc_->grabbing(); }));

    struct Case {
        const char* text;
        std::vector<std::string> titles;  // sorted
        bool error;
    } cases[] = {
        // The home page is there twice: as the start URL and as index.html.
        {"fixture", {"Fixture home", "Fixture home"}, false},
        {"re:Page A", {"Fixture home", "Fixture home", "Page A"}, false},
        {"\"page b", {}, true},
        {"re:[abc", {}, true},
        {"nothing-like-this", {}, false},
    };
    for (const auto& c : cases) {
        std::optional<CopySearchResult> answer;
        ASSERT_TRUE(doc_->SearchCopy(c.text, [&](CopySearchResult r) { answer = std::move(r); }));
        EXPECT_TRUE(doc_->searching());
        EXPECT_FALSE(doc_->can_grab());
        EXPECT_FALSE(doc_->SearchCopy(c.text, [](CopySearchResult) {}));  // one at a time
        ASSERT_TRUE(host_.RunUntil([&] { return answer.has_value(); }));
        EXPECT_FALSE(doc_->searching());
        EXPECT_EQ(!answer->error.empty(), c.error) << c.text << ": " << answer->error;
        std::vector<std::string> titles;
        for (const CopySearchHit& hit : answer->hits) {
            titles.push_back(hit.title);
            EXPECT_EQ(hit.file.rfind(doc_->content_dir(), 0), 0u) << hit.file;
            EXPECT_TRUE(std::filesystem::exists(hit.file)) << hit.file;
        }
        std::sort(titles.begin(), titles.end());
        EXPECT_EQ(titles, c.titles) << c.text;
    }
}

TEST(CopySearchTest, PatternsStartWithRe) {
    struct Case {
        const char* input;
        bool pattern;
        const char* text;
    } cases[] = {
        {"  lighthouse  ", false, "lighthouse"},
        {"re:light.*house", true, "light.*house"},
        {"RE: beacon", true, "beacon"},
        {"rex", false, "rex"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        const CopySearchQuery q = ParseCopySearch(c.input);
        EXPECT_EQ(q.pattern, c.pattern) << c.input;
        EXPECT_EQ(q.text, c.text) << c.input;
    }
}

}  // namespace
}  // namespace corvalin

#include "app/core/launch.h"

#include <gtest/gtest.h>

#include "app/core/fake_programs.h"

namespace corvalin {
namespace {

using test::FakePrograms;

TEST(LaunchTest, SplitCommandLine) {
    struct Case {
        const char* text;
        const char* program;
        const char* parameters;
        bool unbalanced;
    } cases[] = {
        {"  \"/opt/My Browser/browser\" -new %1 ", "/opt/My Browser/browser", " -new %1", false},
        {"\"/opt/unclosed browser -x", "/opt/unclosed browser -x", "", true},
        {"C:\\Tools\\run.BAT -q file", "C:\\Tools\\run.BAT", "-q file", false},
        {"/home/me/after.sh\t%d", "/home/me/after.sh", "%d", false},
        // The first extension that a blank follows ends the program.
        {"/x/a.exe.bak /x/b.com /f", "/x/a.exe.bak /x/b.com", "/f", false},
        {"/x/a.com /x/b.exe /f", "/x/a.com", "/x/b.exe /f", false},
        {"/home/me/My Sites/news/src/contents.htm", "/home/me/My Sites/news/src/contents.htm", "",
         false},
        {"firefox /p/contents.htm", "firefox /p/contents.htm", "", false},
        {"run.sh", "run.sh", "", false},  // no blank after the extension
        {"", "", "", false},
    };
    for (const auto& c : cases) {
        const SplitLine split = SplitCommandLine(c.text);
        EXPECT_EQ(split.program, c.program) << c.text;
        EXPECT_EQ(split.parameters, c.parameters) << c.text;
        EXPECT_EQ(split.unbalanced_quotes, c.unbalanced) << c.text;
    }
}

TEST(LaunchTest, CommandWordsAndQuotedWords) {
    struct Case {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"browser  --new-window\thttp://h/", {"browser", "--new-window", "http://h/"}},
        {"\"/opt/My Browser/b\" 'a b' c\\ d", {"/opt/My Browser/b", "a b", "c d"}},
        {"say \"q\\\"uote\" 'it''s'", {"say", "q\"uote", "its"}},
        {"  ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandWords(c.text), c.words) << c.text;
    for (const char* word : {"/home/me/My Sites/x.htm", "it's", "a\"b\\c", "plain", ""}) {
        EXPECT_EQ(CommandWords("editor " + QuotedWord(word)),
                  (std::vector<std::string>{"editor", word}))
            << word;
    }
    EXPECT_EQ(QuotedWord("/p/plain.htm"), "/p/plain.htm");
}

TEST(LaunchTest, LaunchErrorTexts) {
    struct Case {
        int result;
        const char* command;
        const char* text;
    } cases[] = {
        {2, "/p/src/contents.HTM",
         "Unable to run /p/src/contents.HTM\nCheck your browser setting in \"Options...\", or "
         "check your associations."},
        {2, "http://h/dir/",
         "Unable to run http://h/dir/\nCheck your browser setting in \"Options...\", or check "
         "your associations."},
        {2, "/p/notes.txt", "File not found - /p/notes.txt"},
        {3, "/no/dir/x", "Path was not found - /no/dir/x"},
        {0, "x", "System out of memory or executable is corrupt"},
        {5, "x", "Attempt was made to dynamically link to a task or sharing error"},
        {11, "x", "Invalid executable, corrupt executable or non-Windows executable"},
        {31, "/p/a.xyz",
         "/p/a.xyz has no application associated with it and therefore does not know how to "
         "open or print it, create an association by using Explorer."},
        {1, "x", "Error Launching Program"},
        {30, "x", "Error Launching Program"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LaunchErrorText(c.result, c.command), c.text) << c.result << " " << c.command;
    }
    // Long commands are kept whole.
    const std::string long_command(5000, 'x');
    EXPECT_EQ(LaunchErrorText(2, long_command), "File not found - " + long_command);
}

TEST(LaunchTest, LaunchResultsOfFailedStarts) {
    fwtest::TempDir dir;
    struct Case {
        int error;
        std::string program;
        int result;
    } cases[] = {
        {ENOENT, "no-such-program", kLaunchNotFound},
        {ENOENT, dir / "missing", kLaunchNotFound},
        {ENOENT, dir / "no-dir/missing", kLaunchPathNotFound},
        {ENOTDIR, dir / "file/x", kLaunchPathNotFound},
        {EACCES, dir / "x", kLaunchNoPermission},
        {ENOEXEC, dir / "x", kLaunchNotExecutable},
        {EIO, dir / "x", kLaunchFailed},
        {0, "x", kLaunchSucceeded},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LaunchResultOf(c.error, c.program), c.result) << c.program;
}

class LaunchProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakes_.AddRecorder("xdg-open");
        fakes_.AddRecorder("browser");
        fakes_.AddRecorder("editor");
    }
    std::string File(const std::string& name, const std::string& text = "x") {
        fwtest::WriteFile(fakes_.dir() / name, text);
        return fakes_.dir() / name;
    }

    FakePrograms fakes_;
};

TEST_F(LaunchProgramTest, ProgramsStartWithTheirParametersAndDocumentsOpen) {
    const std::string page = File("My Sites/src/contents.htm");
    struct Case {
        std::string command;
        const char* recorder;
        std::string args;
    } cases[] = {
        // The default after-grab command: a page, opened by the desktop.
        {page, "xdg-open", page + "\n"},
        {"browser " + page, "browser", page + "\n"},  // a path with blanks stays one argument
        {"browser -a 'b c'", "browser", "-a\nb c\n"},
        {"\"" + fakes_.dir().path() + "bin/editor\" x y", "editor", "x\ny\n"},
        {"http://example.com/", "xdg-open", "http://example.com/\n"},
    };
    for (const auto& c : cases) {
        const ProgramLaunch launch = LaunchProgram(c.command, std::string());
        EXPECT_TRUE(launch.succeeded()) << c.command << ": " << launch.result;
        EXPECT_EQ(fakes_.WaitForRecord(c.recorder), c.args) << c.command;
        ::unlink(fakes_.RecordPath(c.recorder).c_str());
    }
}

TEST_F(LaunchProgramTest, ScriptsRunUnderTheShellInTheirWorkingDirectory) {
    File("work/after.sh", "{ pwd; echo \"$1\"; } > where.part && mv where.part where\n");
    const ProgramLaunch launch = LaunchProgram("after.sh arg", fakes_.dir() / "work");
    EXPECT_TRUE(launch.succeeded()) << launch.result;
    EXPECT_EQ(FakePrograms::WaitForFile(fakes_.dir() / "work/where", std::chrono::seconds(30)),
              fakes_.dir() / "work\narg\n");
}

TEST_F(LaunchProgramTest, FailuresMapToShellResults) {
    File("plain");
    struct Case {
        std::string command;
        int result;
        bool unbalanced;
    } cases[] = {
        {fakes_.dir() / "missing/contents.htm", kLaunchPathNotFound, false},
        {fakes_.dir() / "contents.htm", kLaunchNotFound, false},
        {"no-such-browser " + fakes_.dir() / "x.htm", kLaunchNotFound, false},
        {"\"" + fakes_.dir() / "unclosed", kLaunchNotFound, true},
        {"", kLaunchNotFound, false},
    };
    for (const auto& c : cases) {
        const ProgramLaunch launch = LaunchProgram(c.command, std::string());
        EXPECT_EQ(launch.result, c.result) << c.command;
        EXPECT_EQ(launch.unbalanced_quotes, c.unbalanced) << c.command;
    }
}

TEST_F(LaunchProgramTest, BrowserAndEditorFollowTheSettings) {
    const AppSettings settings(fakes_.dir() / "corvalin.ini");
    const std::string page = File("a b/page.htm");
    // UseDefaultBrowser absent: the desktop opens the page.
    OpenInBrowser(settings, page);
    EXPECT_EQ(fakes_.WaitForRecord("xdg-open"), page + "\n");

    settings.SetUseDefaultBrowser(false);
    settings.SetBrowser("browser --private");
    OpenInBrowser(settings, page);
    EXPECT_EQ(fakes_.WaitForRecord("browser"), "--private\n" + page + "\n");

    settings.SetHtmlEditor("editor");
    OpenInEditor(settings, page);
    EXPECT_EQ(fakes_.WaitForRecord("editor"), page + "\n");
}

TEST_F(LaunchProgramTest, StartProcessResults) {
    fakes_.Add("quick", "exit 0\n");
    fakes_.Add("waits", "read x < '" + fakes_.dir() / "never" + "'\n");
    ASSERT_EQ(::mkfifo((fakes_.dir() / "never").c_str(), 0600), 0);
    EXPECT_EQ(StartProcess("quick", true), 0);
    EXPECT_EQ(StartProcess("quick", false), 0);
    EXPECT_EQ(StartProcess("no-such-program", true), 2);
    EXPECT_EQ(StartProcess("   ", false), 2);
    EXPECT_EQ(StartProcess("waits", false), 0);
    // Let the waiting one go, so that it ends with the test.
    fwtest::WriteFile(fakes_.dir() / "never", "go\n");
}

TEST(LaunchTest, NoBrowserAnswersForItsCurrentPage) {
    std::string url = "unchanged", title = "unchanged";
    EXPECT_TRUE(DdeStart());
    EXPECT_FALSE(BrowserCurrentPage(&url, &title));
    EXPECT_EQ(url, "unchanged");
    DdeEnd();
}

}  // namespace
}  // namespace corvalin

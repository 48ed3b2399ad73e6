// fetchwell without grabs: usage, projects, start URLs, import, preferences
// and the exit status of each failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/cli/cli_fixture.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;
using fwtest::ReadFile;
using fwtest::WriteFile;

constexpr int kUsage = 2;
constexpr int kProject = 3;
constexpr int kGrab = 4;

TEST_F(CliTest, HelpAndVersion) {
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* out_has;
        const char* err_has;
    } cases[] = {
        {{"--help"}, 0, "Commands:\n  mirror URL [PROJECT]", ""},
        {{"help", "check"}, 0, "usage: fetchwell check PROJECT [URL] [options]", ""},
        {{"mirror", "--help"}, 0, "  -l, --levels N|all", ""},
        {{"prefs", "-h"}, 0, "usage: fetchwell prefs", ""},
        {{"--version"}, 0, "fetchwell engine ", ""},
        {{}, kUsage, "", "usage: fetchwell COMMAND"},
        {{"fetch"}, kUsage, "", "fetchwell: unknown command 'fetch'"},
        {{"help", "fetch"}, kUsage, "", "fetchwell: unknown command 'fetch'"},
    };
    for (const auto& c : cases) {
        const std::string name = c.args.empty() ? "(none)" : c.args[0];
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << name << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << name << "\n" << r.out;
        EXPECT_NE(r.err.find(c.err_has), std::string::npos) << name << "\n" << r.err;
    }
}

TEST_F(CliTest, CreateLaysOutTheProject) {
    const CliResult r = Run({"create", "news"});  // the extension is added
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_directory(Work("news/src")));
    EXPECT_TRUE(fs::exists(Work("news/ZQURL.DBF")));  // opened once: tables made
    EXPECT_EQ(ReadFile(Work("news.cvn")), "[DALK]\nDataDirectory=" + Work("news/") +
                                              "\nSRCDirectory=" + Work("news/src/") + "\n");
}

TEST_F(CliTest, CreateRefusesWhatExistsOrCannotBeMade) {
    ASSERT_EQ(Run({"create", "news.cvn"}).exit_code, 0);
    WriteFile(Work("taken.cvn"), "[CVN]\nRunAfter=0\n");
    fs::create_directories(Work("busy"));
    struct Case {
        std::string project;
        std::string message;
    } cases[] = {
        {"news.cvn", "File already exists! (" + Work("news.cvn") + ")"},
        {"taken.cvn", "File already exists! (" + Work("taken.cvn") + ")"},
        {"busy.cvn", "Could not create data directory: " + Work("busy/") + " (" + Work("busy/") +
                         " already exists)"},
        {"no/such/dir.cvn", "Could not create data directory: " + Work("no/such/dir/") +
                                " (the directory " + Work("no/such") + " does not exist)"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run({"create", c.project});
        EXPECT_EQ(r.exit_code, kProject) << c.project;
        EXPECT_EQ(r.err, "fetchwell create: " + c.message + "\n");
    }
    // mirror creates a missing project the same way, before any network.
    const CliResult r = Run({"mirror", "http://127.0.0.1:9/", "no/such/dir.cvn"});
    EXPECT_EQ(r.exit_code, kProject);
    EXPECT_EQ(r.err, "fetchwell mirror: " + cases[3].message + "\n");
    EXPECT_EQ(ReadFile(Work("taken.cvn")), "[CVN]\nRunAfter=0\n");
    EXPECT_FALSE(fs::exists(Work("busy.cvn")));
}

TEST_F(CliTest, AddPrintsTheIdAndListShowsTheStartUrls) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    CliResult r = Run({"add", "p.cvn", "http://one.example"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    r = Run({"add", "p.cvn", "https://two.example/docs/", "--levels", "all", "--only", "pdf",
             "--stay-in-dir", "--user", "ann", "--password", "pw"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");

    r = Run({"list", "p.cvn", "--tsv"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "1\t0\t0\t0\thttp://one.example/\t\t\n"
              "2\t0\t0\t0\thttps://two.example/docs/\t\t\n");
    r = Run({"list", "p.cvn"});
    EXPECT_EQ(Lines(r.out)[0], "1  new              http://one.example/");

    // The same address again, by its stored form or as typed, is refused.
    for (const char* again : {"http://one.example/", "http://one.example"}) {
        r = Run({"add", "p.cvn", again});
        EXPECT_EQ(r.exit_code, 1) << again;
        EXPECT_EQ(r.err, "fetchwell add: http://one.example/ is already start URL 1\n");
    }
}

TEST_F(CliTest, BadInputChangesNothingInTheProject) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    ASSERT_EQ(Run({"add", "p.cvn", "http://one.example/"}).exit_code, 0);
    const auto before = Snapshot(work_.path());
    const auto home_before = Snapshot(home_.path());
    struct Case {
        std::vector<std::string> args;
        std::string error;  // the first line of stderr
    } cases[] = {
        {{"add", "p.cvn", "one.example/page"},
         "fetchwell add: 'one.example/page' cannot be grabbed: it is not absolute (it must start "
         "with http://, https:// or ftp://)"},
        {{"add", "p.cvn", "mailto:ann@one.example"},
         "fetchwell add: 'mailto:ann@one.example' cannot be grabbed: it is not absolute (it must "
         "start with http://, https:// or ftp://)"},
        {{"add", "p.cvn", "http://two.example/", "--levels", "two"},
         "fetchwell add: 'two' is not a number of levels (give 1 or more, or 'all')"},
        {{"add", "p.cvn", "http://two.example/", "--levels", "0"},
         "fetchwell add: Levels must be set to 1 or greater."},
        {{"add", "p.cvn", "http://two.example/", "--colour"},
         "fetchwell add: unknown option '--colour'"},
        {{"add", "p.cvn", "http://two.example/", "--exclude", "music"},
         "fetchwell add: unknown media class 'music' (choose from application, audio, video and "
         "image, or none)"},
        {{"add", "p.cvn", "http://two.example/", "--only", "zip", "--exclude", "audio"},
         "fetchwell add: --only and --exclude cannot be combined (a type list excludes "
         "everything else)"},
        {{"add", "p.cvn"}, "fetchwell add: missing arguments: PROJECT URL"},
        {{"add", "p.cvn", "http://two.example/", "extra"},
         "fetchwell add: too many arguments ('extra' is one more than PROJECT URL)"},
        {{"mirror", "http://two.example/", "p.cvn", "--threads", "lots"},
         "fetchwell mirror: --threads needs a whole number from 1 to 1000, not 'lots'"},
        {{"mirror", "ftp//two.example/", "p.cvn"},
         "fetchwell mirror: 'ftp//two.example/' cannot be grabbed: it is not absolute (it must "
         "start with http://, https:// or ftp://)"},
        {{"list", "p.cvn", "--depth", "-1"},
         "fetchwell list: --depth needs a whole number, not '-1'"},
        {{"export", "p.cvn", Work("out"), "--page"}, "fetchwell export: --page needs a URL"},
        {{"prefs", "MaxThreads=many"},
         "fetchwell prefs: MaxThreads needs a whole number of 0 or more, not 'many'"},
        {{"prefs", "UseProxy=maybe"}, "fetchwell prefs: UseProxy is 0 or 1, not 'maybe'"},
        {{"prefs", "Colour=red"}, "fetchwell prefs: unknown preference 'Colour'"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exit_code, kUsage) << c.args[0] << " " << c.error;
        EXPECT_EQ(Lines(r.err)[0], c.error);
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1),
                  "Try 'fetchwell " + c.args[0] + " --help'.\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Snapshot(work_.path()), before);
    EXPECT_EQ(Snapshot(home_.path()), home_before);  // no preference or log line either
}

TEST_F(CliTest, ProjectsThatCannotBeOpened) {
    WriteFile(Work("nodata.cvn"), "[CVN]\nRunAfter=1\n");
    WriteFile(Work("gone.cvn"), "[DALK]\nDataDirectory=" + Work("gone/") + "\n");
    fs::create_directories(Work("folder.cvn"));
    // Permissions do not hold back root, who cannot be refused a read.
    const bool can_be_refused = ::geteuid() != 0;
    WriteFile(Work("locked.cvn"), "[DALK]\nDataDirectory=" + work_.path() + "\n");
    fs::permissions(Work("locked.cvn"), fs::perms::none);
    const auto before = Snapshot(work_.path());
    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"list", "missing.cvn"},
         "Could not open document: " + Work("missing.cvn") + " (No such file or directory)"},
        {{"grab", "missing"},
         "Could not open document: " + Work("missing.cvn") + " (No such file or directory)"},
        {{"add", "nodata.cvn", "http://one.example/"},
         "Could not open document: " + Work("nodata.cvn") + " (it names no data directory)"},
        {{"import", "gone.cvn", Work("gone.cvn")},
         "Could not open document: " + Work("gone.cvn") + " (its data directory " + Work("gone/") +
             " is missing)"},
        {{"pack", "folder.cvn"},
         "Could not open document: " + Work("folder.cvn") + " (it is a directory)"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exit_code, kProject) << c.error;
        EXPECT_EQ(r.err, "fetchwell " + c.args[0] + ": " + c.error + "\n");
    }
    if (can_be_refused) {
        const CliResult r = Run({"list", "locked.cvn"});
        EXPECT_EQ(r.exit_code, kProject);
        EXPECT_EQ(r.err, "fetchwell list: Could not open document: " + Work("locked.cvn") +
                             " (Permission denied)\n");
    }
    EXPECT_EQ(Snapshot(work_.path()), before);
}

TEST_F(CliTest, DamagedTablesPointToTheGrabbedContent) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    WriteFile(Work("p/ZQURL.DBF"), "not a table");
    CliResult r = Run({"list", "p.cvn"});
    EXPECT_EQ(r.exit_code, kProject);
    EXPECT_EQ(r.err,
              "fetchwell list: Corvalin has detected a corrupt database and cannot open your "
              "project.  The grabbed content is still available in: " +
                  Work("p/src/") + " (Error opening storage)\n");
    EXPECT_EQ(ReadFile(Work("p/ZQURL.DBF")), "not a table");
    EXPECT_NE(ReadFile(home_ / "corvalin.log").find("Error opening storage\n"), std::string::npos);
}

TEST_F(CliTest, ImportAddsTheListedAddresses) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    WriteFile(Work("list.txt"), "see http://a.example/x and http://b.example/y\nnothing here\n");
    WriteFile(Work("empty.txt"), "no addresses at all\n");
    CliResult r = Run({"import", "p.cvn", "list.txt"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1 http://a.example/x\n2 http://b.example/y\n");
    r = Run({"import", "p.cvn", "empty.txt"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    WriteFile(Work("bookmarks.html"),
              "<html><body><dl><dt><a href=\"http://c.example/\">C</a>\n"
              "<dt><a href=\"relative.html\">not absolute</a></dl></body></html>\n");
    r = Run({"import", "p.cvn", "bookmarks.html"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "3 http://c.example/\n");
    r = Run({"list", "p.cvn", "--tsv"});
    EXPECT_EQ(Lines(r.out).size(), 3u);

    const auto before = Snapshot(work_.path());
    r = Run({"import", "p.cvn", "nothere.txt"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "fetchwell import: Unable to open file for Import. (nothere.txt)\n");
    EXPECT_EQ(Snapshot(work_.path()), before);
}

TEST_F(CliTest, RulesAreListedAddedAndDeleted) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    CliResult r = Run({"rules", "p.cvn"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run({"rules", "p.cvn", "add", "f", "Hello", "Bye"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    r = Run({"rules", "p", "add", "L", "^<p>*</p>$", "", "--at", "1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    ASSERT_EQ(Run({"rules", "p.cvn", "add", "t", "a", "b"}).exit_code, 0);
    r = Run({"rules", "p.cvn", "list"});
    EXPECT_EQ(r.out, "1\tL\t^<p>*</p>$\t\n2\tf\tHello\tBye\n3\tt\ta\tb\n");
    // Stored as the desktop program stores them, and marked as a change.
    const std::string file = ReadFile(Work("p.cvn"));
    EXPECT_NE(file.find("[Replacements]\n1=L\n1Search=^<p>*</p>$\n1Replace=\n2=f\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("DirtyFlag=1"), std::string::npos) << file;

    ASSERT_EQ(Run({"rules", "p.cvn", "delete", "1"}).exit_code, 0);
    r = Run({"rules", "p.cvn"});
    EXPECT_EQ(r.out, "1\tf\tHello\tBye\n2\tt\ta\tb\n");
    EXPECT_EQ(ReadFile(Work("p.cvn")).find("3Search"), std::string::npos);

    const auto before = Snapshot(work_.path());
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* err;
    } cases[] = {
        {{"rules", "p.cvn", "add", "x", "a", "b"},
         kUsage,
         "fetchwell rules: 'x' is not a rule type (l, L, f, F, t or T)\n"},
        {{"rules", "p.cvn", "add", "f", "[ab", "b"},
         kUsage,
         "fetchwell rules: '[ab' is not a valid pattern (a '[' without its ']')\n"},
        {{"rules", "p.cvn", "add", "f", "", "b"},
         kUsage,
         "fetchwell rules: the search text is empty\n"},
        {{"rules", "p.cvn", "add", "f", "a\nb", "b"},
         kUsage,
         "fetchwell rules: a rule cannot hold a line break\n"},
        {{"rules", "p.cvn", "add", "f", "a", std::string(1024, 'x')},
         kUsage,
         "fetchwell rules: a rule's texts can hold at most 1023 bytes\n"},
        {{"rules", "p.cvn", "add", "f", "a"},
         kUsage,
         "fetchwell rules: add needs TYPE, SEARCH and REPLACE\n"},
        {{"rules", "p.cvn", "add", "f", "a", "b", "--at", "4"},
         kUsage,
         "fetchwell rules: --at needs a rule number from 1 to 3\n"},
        {{"rules", "p.cvn", "delete", "3"}, 1, "fetchwell rules: the project has no rule 3\n"},
        {{"rules", "p.cvn", "delete", "one"},
         kUsage,
         "fetchwell rules: 'one' is not a rule number\n"},
        {{"rules", "p.cvn", "remove", "1"},
         kUsage,
         "fetchwell rules: unknown action 'remove' (list, add or delete)\n"},
        {{"rules", "none.cvn"}, kProject, "fetchwell rules: Could not open document: "},
    };
    for (const auto& c : cases) {
        r = Run(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << c.args.back() << "\n" << r.err;
        EXPECT_EQ(r.err.substr(0, std::string(c.err).size()), c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Snapshot(work_.path()), before);
}

TEST_F(CliTest, DeleteTakesStartUrlsOnly) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    ASSERT_EQ(Run({"add", "p.cvn", "http://a.example/"}).exit_code, 0);
    ASSERT_EQ(Run({"add", "p.cvn", "http://b.example/"}).exit_code, 0);
    CliResult r = Run({"delete", "p.cvn", "http://a.example"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = Run({"delete", "p.cvn", "7"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "fetchwell delete: the project holds no URL with id 7\n");
    r = Run({"delete", "p.cvn", "http://c.example/"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "fetchwell delete: the project holds no URL http://c.example/\n");
    r = Run({"list", "p.cvn", "--tsv"});
    EXPECT_EQ(r.out, "2\t0\t0\t0\thttp://b.example/\t\t\n");
}

TEST_F(CliTest, GrabWithoutStartUrlsCannotStart) {
    ASSERT_EQ(Run({"create", "p.cvn"}).exit_code, 0);
    const CliResult r = Run({"grab", "p.cvn"});
    EXPECT_EQ(r.exit_code, kGrab);
    EXPECT_EQ(r.err,
              "fetchwell grab: You must first enter the URL of at least one web site that you "
              "would like to download. (Add one with 'fetchwell add'.)\n");
}

TEST_F(CliTest, PreferencesAreShownAndSet) {
    CliResult r = Run({"prefs"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto lines = Lines(r.out);
    EXPECT_EQ(lines.size(), 24u);
    EXPECT_NE(r.out.find("\nMaxThreads=8\nMaxThreadsPerServer=2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nLimitResponseKiloBytes=1048576\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nAllowUntrustedCertificates=0\n"), std::string::npos) << r.out;

    r = Run({"prefs", "maxthreads=4", "UseProxy=yes", "ProxyUsername=ann", "ProxyPassword=s3cret",
             "UserAgent=Probe 1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run({"prefs", "MaxThreads", "useproxy", "UserAgent", "ProxyPassword"});
    EXPECT_EQ(r.out, "MaxThreads=4\nUseProxy=1\nUserAgent=Probe 1\nProxyPassword=s3cret\n");
    r = Run({"prefs"});
    EXPECT_NE(r.out.find("\nProxyPassword=<hidden>\n"), std::string::npos) << r.out;
    EXPECT_NE(ReadFile(home_ / "corvalin.ini").find("MaxThreads=4"), std::string::npos);
}

}  // namespace
}  // namespace clitest

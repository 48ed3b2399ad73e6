#include "app/core/command_line.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

using Shell = CommandLineInfo::ShellCommand;

TEST(CommandLineTest, NoArgumentsMeansANewDocument) {
    const CommandLineInfo info = ParseCommandLine({});
    EXPECT_EQ(info.shell_command, Shell::kFileNew);
    EXPECT_EQ(info.file_name, "");
    EXPECT_EQ(info.levels, 0);
    EXPECT_TRUE(info.stay_on_site);
    EXPECT_FALSE(info.UpdateMode());
}

TEST(CommandLineTest, SwitchesFillTheirFields) {
    const CommandLineInfo info =
        ParseCommandLine({"/p/news.cvn", "-a:http://one.example/", "-A:http://two.example/",
                          "-ihttp.txt", "-I:second.txt", "-c:0", "/p/other.cvn"});
    EXPECT_EQ(info.shell_command, Shell::kFileOpen);
    EXPECT_EQ(info.file_name, "/p/news.cvn");  // the first plain argument
    EXPECT_EQ(info.add_url, "http://one.example/");
    EXPECT_EQ(info.import_file, "http.txt");  // value right after the letter
    EXPECT_FALSE(info.stay_on_site);
}

TEST(CommandLineTest, SlashSwitchesAreToldApartFromPaths) {
    struct Case {
        const char* arg;
        const char* file_name;  // the argument when it is taken as a path
        const char* add_url;
        const char* import_file;
        int32_t levels;
        bool update;
    } cases[] = {
        {"/A:http://a.example/", "", "http://a.example/", "", 0, false},
        {"/ahttp://a.example/x", "", "http://a.example/x", "", 0, false},
        {"/Ilist.txt", "", "", "list.txt", 0, false},
        {"/I:/home/me/list.txt", "", "", "/home/me/list.txt", 0, false},
        {"/L", "", "", "", -1, false},
        {"/L:4", "", "", "", 4, false},
        {"/U", "", "", "", 0, true},
        {"/u", "", "", "", 0, true},
        {"/Users/me/new.cvn", "/Users/me/new.cvn", "", "", 0, false},
        {"/Applications/sites.cvn", "/Applications/sites.cvn", "", "", 0, false},
        {"/Imports/list.cvn", "/Imports/list.cvn", "", "", 0, false},
        {"/Library", "/Library", "", "", 0, false},
        {"/home/me/news.cvn", "/home/me/news.cvn", "", "", 0, false},
    };
    for (const auto& c : cases) {
        const CommandLineInfo info = ParseCommandLine({c.arg});
        EXPECT_EQ(info.file_name, c.file_name) << c.arg;
        EXPECT_EQ(info.add_url, c.add_url) << c.arg;
        EXPECT_EQ(info.import_file, c.import_file) << c.arg;
        EXPECT_EQ(info.levels, c.levels) << c.arg;
        EXPECT_EQ(info.update, c.update) << c.arg;
    }
}

TEST(CommandLineTest, LevelsSwitch) {
    struct Case {
        const char* arg;
        int32_t levels;
    } cases[] = {
        {"-L", -1},
        {"-l", -1},
        {"-L:3", 3},
        {"-L:-5", 0},
        {"-L:0", 0},
        {"-L:abc", 0},
        {"-L:99999999999", INT32_MAX},
        {"-L3", 0},  // only A and I take a value without ":"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCommandLine({c.arg}).levels, c.levels) << c.arg;
    }
}

TEST(CommandLineTest, StayOnSiteIsClearedOnlyByZero) {
    struct Case {
        const char* arg;
        bool stay;
    } cases[] = {{"-C", true}, {"-C:1", true}, {"-C:0", false}, {"-c:0", false}, {"-C:yes", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCommandLine({"-C:0", c.arg}).stay_on_site, c.stay) << c.arg;
    }
}

TEST(CommandLineTest, UpdateModeNeedsAProjectAndExitNeedsUpdate) {
    struct Case {
        std::vector<std::string> args;
        bool update_mode;
        bool exit_after;
    } cases[] = {
        {{"news.cvn", "-U"}, true, false},           {{"news.cvn", "-u", "-e"}, true, true},
        {{"news.cvn", "-E"}, false, false},          {{"-U", "-E"}, false, false},
        {{"news.cvn", "-Unregister"}, false, false},  // a toolkit switch, not ours
    };
    for (const auto& c : cases) {
        const CommandLineInfo info = ParseCommandLine(c.args);
        EXPECT_EQ(info.UpdateMode(), c.update_mode) << c.args.back();
        EXPECT_EQ(info.ExitAfterUpdate(), c.exit_after) << c.args.back();
    }
}

}  // namespace
}  // namespace corvalin

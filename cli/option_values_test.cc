#include "cli/option_values.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace corvalin::cli {
namespace {

using fwtest::TempDir;
using fwtest::WriteFile;

TEST(OptionValuesTest, Levels) {
    struct Case {
        const char* text;
        std::optional<int32_t> levels;
        const char* error;
    } cases[] = {
        {"1", 1, ""},
        {"25", 25, ""},
        {"all", -1, ""},
        {"ALL", -1, ""},
        {"0", std::nullopt, "Levels must be set to 1 or greater."},
        {"-2", std::nullopt, "Levels must be set to 1 or greater."},
        {"two", std::nullopt, "'two' is not a number of levels (give 1 or more, or 'all')"},
        {"3x", std::nullopt, "'3x' is not a number of levels (give 1 or more, or 'all')"},
        {"", std::nullopt, "'' is not a number of levels (give 1 or more, or 'all')"},
        {"99999999999", std::nullopt,
         "'99999999999' is not a number of levels (give 1 or more, or 'all')"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(ParseLevels(c.text, &error), c.levels) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(OptionValuesTest, MediaClasses) {
    using Classes = std::vector<std::string>;
    struct Case {
        const char* text;
        std::optional<Classes> classes;
    } cases[] = {
        {"audio,video", Classes{"audio", "video"}},
        {" Image , APPLICATION,image", Classes{"image", "application"}},
        {"none", Classes{}},
        {"None", Classes{}},
        {"audio,movies", std::nullopt},
        {",", std::nullopt},
        {"none,audio", std::nullopt},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(ParseMediaClasses(c.text, &error), c.classes) << c.text;
        EXPECT_EQ(error.empty(), c.classes.has_value()) << c.text;
    }
    std::string error;
    ParseMediaClasses("audio,movies", &error);
    EXPECT_EQ(error,
              "unknown media class 'movies' (choose from application, audio, video and image, or "
              "none)");
}

TEST(OptionValuesTest, ThreadCounts) {
    std::string error;
    EXPECT_EQ(ParseThreadCount("threads", "16", &error), 16);
    for (const char* bad : {"0", "1001", "-1", "many", ""}) {
        EXPECT_EQ(ParseThreadCount("threads", bad, &error), std::nullopt) << bad;
    }
    EXPECT_EQ(error, "--threads needs a whole number from 1 to 1000, not ''");
}

class StartUrlOptionsTest : public ::testing::Test {
protected:
    // Parses `args` as the add command would see its options.
    bool Read(const std::vector<std::string>& args) {
        static const OptionSpec specs[] = {
            {"levels", 0, "N", ""},
            {"exclude", 0, "L", ""},
            {"only", 0, "L", ""},
            {"stay-on-site", 0, nullptr, ""},
            {"no-stay-on-site", 0, nullptr, ""},
            {"stay-in-dir", 0, nullptr, ""},
            {"user", 0, "N", ""},
            {"password", 0, "T", ""},
            {"password-file", 0, "F", ""},
            {"notes", 0, "T", ""},
        };
        ParsedArgs parsed;
        EXPECT_TRUE(ParseArguments(args, specs, &parsed, &error_));
        options_ = StartUrlOptions();
        error_.clear();
        return ReadStartUrlOptions(parsed, &options_, &error_);
    }

    StartUrlOptions options_;
    std::string error_;
};

TEST_F(StartUrlOptionsTest, DefaultsStayWhenNothingIsGiven) {
    ASSERT_TRUE(Read({}));
    EXPECT_EQ(options_.levels, 2);
    EXPECT_TRUE(options_.stay_on_site);
    EXPECT_FALSE(options_.stay_in_dir);
    EXPECT_EQ(options_.excluded_classes, (std::vector<std::string>{"audio", "video"}));
    EXPECT_EQ(options_.only_types, "");
}

TEST_F(StartUrlOptionsTest, GivenValuesReplaceTheDefaults) {
    TempDir dir;
    WriteFile(dir / "pw", "s3cret\nsecond line\n");
    ASSERT_TRUE(
        Read({"--levels", "all", "--no-stay-on-site", "--stay-in-dir", "--only", " zip, ,pdf",
              "--user", "ann", "--password-file", dir / "pw", "--notes", "n"}))
        << error_;
    EXPECT_EQ(options_.levels, -1);
    EXPECT_FALSE(options_.stay_on_site);
    EXPECT_TRUE(options_.stay_in_dir);
    EXPECT_EQ(options_.only_types, "zip,pdf");
    EXPECT_EQ(options_.user, "ann");
    EXPECT_EQ(options_.password, "s3cret");
    EXPECT_EQ(options_.notes, "n");
    ASSERT_TRUE(Read({"--exclude", "none"}));
    EXPECT_TRUE(options_.excluded_classes.empty());
}

TEST_F(StartUrlOptionsTest, ConflictsAndBadValuesAreRefused) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--only", "zip", "--exclude", "audio"},
         "--only and --exclude cannot be combined (a type list excludes everything else)"},
        {{"--only", " , "}, "Please enter the types of files that you would like to download."},
        {{"--stay-on-site", "--no-stay-on-site"},
         "--stay-on-site and --no-stay-on-site cannot be combined"},
        {{"--password", "a", "--password-file", "b"},
         "--password and --password-file cannot be combined"},
        {{"--password-file", "/nonexistent/pw"}, "cannot read the password file /nonexistent/pw"},
        {{"--levels", "0"}, "Levels must be set to 1 or greater."},
        {{"--exclude", "sound"},
         "unknown media class 'sound' (choose from application, audio, video and image, or none)"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Read(c.args)) << c.args[0];
        EXPECT_EQ(error_, c.error);
    }
}

}  // namespace
}  // namespace corvalin::cli

#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvalin::cli {
namespace {

const OptionSpec kSpecs[] = {
    {"levels", 'l', "N", "levels"},
    {"quiet", 'q', nullptr, "no output"},
    {"only", 0, "LIST", "types"},
};

ParsedArgs Parse(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    std::string error;
    EXPECT_TRUE(ParseArguments(args, kSpecs, &parsed, &error)) << error;
    return parsed;
}

TEST(ArgumentsTest, OptionsAndOperandsInAnyOrder) {
    struct Case {
        std::vector<std::string> args;
        std::string levels;
        bool quiet;
        std::vector<std::string> operands;
    } cases[] = {
        {{"p.cvn", "--levels", "3", "http://h/"}, "3", false, {"p.cvn", "http://h/"}},
        {{"--levels=all", "p.cvn"}, "all", false, {"p.cvn"}},
        {{"-l", "4", "-q", "p.cvn"}, "4", true, {"p.cvn"}},
        {{"-l5", "p.cvn"}, "5", false, {"p.cvn"}},
        {{"--levels", "-5"}, "-5", false, {}},           // a value may start with "-"
        {{"--levels=1", "--levels=2"}, "2", false, {}},  // the last one wins
        {{"--", "--quiet", "-"}, "", false, {"--quiet", "-"}},
        {{"-", "--levels="}, "", false, {"-"}},  // an empty value is a value
    };
    for (const auto& c : cases) {
        const ParsedArgs parsed = Parse(c.args);
        EXPECT_EQ(parsed.Value("levels").value_or(""), c.levels) << c.args[0];
        EXPECT_EQ(parsed.Has("quiet"), c.quiet) << c.args[0];
        EXPECT_EQ(parsed.operands, c.operands) << c.args[0];
    }
    EXPECT_TRUE(Parse({"--levels="}).Has("levels"));
}

TEST(ArgumentsTest, WordsThatDoNotFitAreNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--level", "3"}, "unknown option '--level'"},
        {{"-z"}, "unknown option '-z'"},
        {{"--only"}, "option '--only' needs a value"},
        {{"p.cvn", "-l"}, "option '-l' needs a value"},
        {{"--quiet=yes"}, "option '--quiet' takes no value"},
        {{"-qq"}, "option '-q' takes no value"},
    };
    for (const auto& c : cases) {
        ParsedArgs parsed;
        std::string error;
        EXPECT_FALSE(ParseArguments(c.args, kSpecs, &parsed, &error)) << c.args[0];
        EXPECT_EQ(error, c.error);
    }
}

TEST(ArgumentsTest, HelpLinesWrapUnderTheirText) {
    const OptionSpec specs[] = {
        {"levels", 'l', "N", "short"},
        {"exclude", 0, "LIST",
         "media classes not to download: application, audio, video, image, or none, which "
         "is a long text"},
    };
    const std::string text = FormatOptions(specs);
    EXPECT_EQ(text.substr(0, text.find('\n')), "  -l, --levels N      short");
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_LE(line.size(), 79u) << line;
        if (count == 3) {
            EXPECT_EQ(line.find_first_not_of(' '), 22u) << line;
        }
    }
    EXPECT_EQ(count, 3);
}

}  // namespace
}  // namespace corvalin::cli

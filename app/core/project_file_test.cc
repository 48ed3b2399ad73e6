#include "app/core/project_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

TEST(ProjectFileTest, MissingKeysReadAsDefaults) {
    TempDir dir;
    ProjectFile p(dir / "news.cvn");
    EXPECT_EQ(p.DataDirectory(), "");
    EXPECT_TRUE(p.RunAfter());
    EXPECT_EQ(p.RunCmd(), "%b %dcontents.htm");
    EXPECT_EQ(p.Shell(), "/bin/sh -c");
    EXPECT_FALSE(p.UseEdgeFile());
    EXPECT_EQ(p.EdgeFile(), "edge.htm");
    EXPECT_TRUE(p.ReadRules().empty());
}

TEST(ProjectFileTest, StoredValuesWinAndAnEmptyEdgeFileReadsAsTheDefault) {
    TempDir dir;
    WriteFile(dir / "news.cvn",
              "[DALK]\nDataDirectory=/p/news/\n"
              "[CVN]\nRunAfter=0\nRunCmd=echo %d\nShell=/bin/bash -c\nUseEdgeFile=1\nEdgeFile=\n");
    ProjectFile p(dir / "news.cvn");
    EXPECT_EQ(p.DataDirectory(), "/p/news/");
    EXPECT_FALSE(p.RunAfter());
    EXPECT_EQ(p.RunCmd(), "echo %d");
    EXPECT_EQ(p.Shell(), "/bin/bash -c");
    EXPECT_TRUE(p.UseEdgeFile());
    EXPECT_EQ(p.EdgeFile(), "edge.htm");
    ASSERT_TRUE(p.SetEdgeFile("side.htm"));
    EXPECT_EQ(p.EdgeFile(), "side.htm");
}

TEST(ProjectFileTest, SrcDirectoryDefaultIsWrittenBackOnFirstRead) {
    TempDir dir;
    for (const char* stored : {"", "SRCDirectory=\n"}) {
        WriteFile(dir / "news.cvn", std::string("[DALK]\nDataDirectory=/p/news/\n") + stored);
        ProjectFile p(dir / "news.cvn");
        EXPECT_EQ(p.SrcDirectory(), "/p/news/src/") << stored;
        EXPECT_EQ(ReadFile(dir / "news.cvn"),
                  "[DALK]\nDataDirectory=/p/news/\nSRCDirectory=/p/news/src/\n")
            << stored;
    }
}

TEST(ProjectFileTest, StoredSrcDirectoryIsKept) {
    TempDir dir;
    WriteFile(dir / "news.cvn", "[DALK]\nDataDirectory=/p/news/\nSRCDirectory=/elsewhere/\n");
    EXPECT_EQ(ProjectFile(dir / "news.cvn").SrcDirectory(), "/elsewhere/");
}

TEST(ProjectFileTest, NoSrcDirectoryIsDerivedWithoutADataDirectory) {
    TempDir dir;
    WriteFile(dir / "news.cvn", "[CVN]\nRunAfter=1\n");
    EXPECT_EQ(ProjectFile(dir / "news.cvn").SrcDirectory(), "");
    EXPECT_EQ(ReadFile(dir / "news.cvn"), "[CVN]\nRunAfter=1\n");
}

TEST(ProjectFileTest, RulesStopAtTheFirstGapAndSplitByType) {
    TempDir dir;
    WriteFile(dir / "news.cvn",
              "[Replacements]\n"
              "1=l\n1Search=<b>\n1Replace=<strong>\n"
              "2=T\n2Search=colour\n2Replace=color\n"
              "4=f\n4Search=lost\n4Replace=never read\n");
    ProjectFile p(dir / "news.cvn");
    const std::vector<ReplacementRule> all = {{"l", "<b>", "<strong>"}, {"T", "colour", "color"}};
    EXPECT_EQ(p.ReadRules(), all);
    EXPECT_EQ(p.ReadTextRules(), std::vector<ReplacementRule>({all[1]}));
    EXPECT_EQ(p.ReadPageRules(), std::vector<ReplacementRule>({all[0]}));

    // An empty type key ends the list as a missing one does.
    WriteFile(dir / "news.cvn", "[Replacements]\n1=\n1Search=x\n2=t\n2Search=y\n");
    EXPECT_TRUE(p.ReadRules().empty());
}

TEST(ProjectFileTest, WritingFewerRulesDeletesTheKeysOfTheRest) {
    TempDir dir;
    WriteFile(dir / "news.cvn",
              "[DALK]\nDataDirectory=/p/news/\n"
              "[Replacements]\n"
              "1=l\n1Search=a\n1Replace=b\n"
              "2=f\n2Search=c\n2Replace=d\n"
              "3=t\n3Search=e\n3Replace=f\n");
    ProjectFile p(dir / "news.cvn");
    ASSERT_TRUE(p.WriteRules({{"F", "new", "rule"}}));
    EXPECT_EQ(ReadFile(dir / "news.cvn"),
              "[DALK]\nDataDirectory=/p/news/\n"
              "[Replacements]\n1=F\n1Search=new\n1Replace=rule\n");

    const std::vector<ReplacementRule> three = {{"l", "a", "b"}, {"t", "", ""}, {"L", "x", ""}};
    ASSERT_TRUE(p.WriteRules(three));
    EXPECT_EQ(p.ReadRules(), three);
    ASSERT_TRUE(p.WriteRules({}));
    EXPECT_TRUE(p.ReadRules().empty());
    EXPECT_EQ(p.DataDirectory(), "/p/news/");
}

TEST(ProjectFileTest, RuleTextsComeBackAsTheyWereWritten) {
    TempDir dir;
    ProjectFile p(dir / "news.cvn");
    // Values are read trimmed and unquoted: texts that would lose their
    // blanks or quotes that way must still come back whole.
    const std::vector<std::string> texts = {
        "plain",   "<title>[copy] ", " lead", "\tboth\t", "\"top\"", "'top'", "\"\"",
        "\"",      "\"open",          "close'", "\"a\" b", "a \"b\"",  "",      " ",
        "'x\"",    "\"\"\"",
    };
    std::vector<ReplacementRule> rules;
    for (const auto& text : texts) rules.push_back({"F", text, text + "|" + text});
    ASSERT_TRUE(p.WriteRules(rules));
    EXPECT_EQ(p.ReadRules(), rules);
    // Texts that read back as they are stay unquoted in the file.
    ASSERT_TRUE(p.WriteRules({{"f", "a b", "\"c"}}));
    EXPECT_EQ(ReadFile(dir / "news.cvn"), "[Replacements]\n1=f\n1Search=a b\n1Replace=\"c\n");
}

TEST(ProjectFileTest, DirtyFlagIsWrittenAsZeroOrOne) {
    TempDir dir;
    ProjectFile p(dir / "news.cvn");
    ASSERT_TRUE(p.SetDirtyFlag(true));
    EXPECT_EQ(ReadFile(dir / "news.cvn"), "[DALK]\nDirtyFlag=1\n");
    ASSERT_TRUE(p.SetDirtyFlag(false));
    EXPECT_EQ(ReadFile(dir / "news.cvn"), "[DALK]\nDirtyFlag=0\n");
}

}  // namespace
}  // namespace corvalin

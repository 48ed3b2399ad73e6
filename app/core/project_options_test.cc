#include "app/core/project_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ProjectOptionsTest, RunAfterScriptsAreTheShellScriptsOfTheDirectorySorted) {
    fwtest::TempDir dir;
    WriteFile(dir / "zeta.sh", "echo z\n");
    WriteFile(dir / "alpha.sh", "echo a\n");
    WriteFile(dir / "notes.txt", "not a script\n");
    WriteFile(dir / "sh", "no extension\n");
    std::filesystem::create_directory(dir / "folder.sh");
    EXPECT_EQ(ListRunAfterScripts(dir.path()), (std::vector<std::string>{"alpha.sh", "zeta.sh"}));
    EXPECT_TRUE(ListRunAfterScripts(dir / "missing").empty());
}

TEST(ProjectOptionsTest, AScriptsFirstLineProposesItsCommand) {
    struct Case {
        const char* first_line;
        const char* text;  // the drop-down's text after choosing "sync.sh"
    } cases[] = {
        {"#:!%c %isync.sh %d", "%c %isync.sh %d"},
        {"#:!sh %t --site %d", "sh sync.sh --site %d"},
        {"#@:!%t %t", "sync.sh sync.sh"},
        {"#@:!run %%t", "run %sync.sh"},
        {"#!/bin/sh", "sync.sh"},  // an ordinary first line proposes nothing
        {"#:!", "sync.sh"},        // nor does an empty template
        {":!old-style %t", "sync.sh"},
        {"#:!cmd\r", "cmd"},       // a script saved with CRLF line ends
    };
    fwtest::TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir / "sync.sh", std::string(c.first_line) + "\necho second line\n");
        EXPECT_EQ(RunAfterTextForScript(dir.path(), "sync.sh"), c.text) << c.first_line;
    }
    // A script that cannot be read, or is empty, leaves its name.
    EXPECT_EQ(RunAfterTextForScript(dir.path(), "gone.sh"), "gone.sh");
    WriteFile(dir / "empty.sh", "");
    EXPECT_EQ(RunAfterTextForScript(dir.path(), "empty.sh"), "empty.sh");
    EXPECT_EQ(RunAfterTemplate("#:!a%tb", "x.sh"), "ax.shb");
}

TEST(ProjectOptionsTest, ReplacementTypeLettersShowAndStore) {
    struct Case {
        const char* type;
        const char* type_text;
        const char* case_text;
        ReplacementKind kind;
        bool sensitive;
    } cases[] = {
        {"t", "Text", "N", ReplacementKind::kText, false},
        {"T", "Text", "Y", ReplacementKind::kText, true},
        {"f", "File", "N", ReplacementKind::kFile, false},
        {"F", "File", "Y", ReplacementKind::kFile, true},
        {"l", "Line", "N", ReplacementKind::kLine, false},
        {"L", "Line", "Y", ReplacementKind::kLine, true},
        {"x", "", "", ReplacementKind::kText, false},
        {"", "", "", ReplacementKind::kText, false},
        {"LL", "", "", ReplacementKind::kText, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplacementTypeText(c.type), c.type_text) << c.type;
        EXPECT_EQ(ReplacementCaseText(c.type), c.case_text) << c.type;
        EXPECT_EQ(ReplacementKindOf(c.type), c.kind) << c.type;
        EXPECT_EQ(ReplacementCaseSensitive(c.type), c.sensitive) << c.type;
    }
    EXPECT_EQ(ReplacementTypeLetter(ReplacementKind::kLine, false), "l");
    EXPECT_EQ(ReplacementTypeLetter(ReplacementKind::kLine, true), "L");
    EXPECT_EQ(ReplacementTypeLetter(ReplacementKind::kFile, true), "F");
    EXPECT_EQ(ReplacementTypeLetter(ReplacementKind::kText, false), "t");
}

TEST(ProjectOptionsTest, SavingRulesMarksTheProjectDirtyOnlyWhenTheyChanged) {
    fwtest::TempDir dir;
    const ProjectFile project(dir / "p.cvn");
    const std::vector<ReplacementRule> rules = {{"L", "a", "b"}, {"t", "c", "d"}};
    ASSERT_TRUE(project.WriteRules(rules));
    const auto dirty = [&] { return project.profile().GetString("DALK", "DirtyFlag", "absent"); };

    ASSERT_TRUE(SaveReplacementRules(project, rules, false));
    EXPECT_EQ(project.ReadRules(), rules);
    EXPECT_EQ(dirty(), "absent");

    ASSERT_TRUE(SaveReplacementRules(project, {}, true));
    EXPECT_TRUE(project.ReadRules().empty());
    EXPECT_EQ(project.profile().GetString("Replacements", "1", "gone"), "gone");
    EXPECT_EQ(project.profile().GetString("Replacements", "2Search", "gone"), "gone");
    EXPECT_EQ(dirty(), "1");
}

TEST(ProjectOptionsTest, TheEdgeFileRadioNeedsAText) {
    struct Case {
        bool file_radio;
        const char* text;
        bool use;
    } cases[] = {{true, "edge.htm", true}, {true, "", false}, {false, "edge.htm", false}};
    for (const Case& c : cases) {
        const EdgeChoice choice = EdgeChoiceToStore(c.file_radio, c.text);
        EXPECT_EQ(choice.use_edge_file, c.use) << c.text;
        EXPECT_EQ(choice.edge_file, c.text);
    }
}

}  // namespace
}  // namespace corvalin

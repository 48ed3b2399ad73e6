#include "app/core/content_export.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

namespace fs = std::filesystem;
using fwtest::ReadFile;
using fwtest::WriteFile;

const std::string kDefaults = std::string(FW_SOURCE_DIR) + "/data/home/";

TEST(ContentExportTest, IndexPageLeadsToTheExportedFile) {
    fwtest::TempDir program;
    fwtest::TempDir folder;
    const std::string long_line(2000, 'z');
    WriteFile(program / "export.htm",
              "<a href=\"<INSERT URL HERE>\"><INSERT URL HERE></a>\r\n" + long_line + "\nend");
    ASSERT_TRUE(WriteExportIndex(program.path(), folder.path(), "127.0.0.1\\docs\\a b#1.html"));
    // Backslashes become slashes; what a URL cannot hold is escaped; long
    // lines stay whole.
    const std::string target = "127.0.0.1/docs/a%20b%231.html";
    EXPECT_EQ(ReadFile(folder / "index.htm"),
              "<a href=\"" + target + "\">" + target + "</a>\n" + long_line + "\nend\n");

    fwtest::TempDir empty;
    EXPECT_FALSE(WriteExportIndex(empty.path(), folder / "other", "a.html"));
    EXPECT_FALSE(fs::exists(folder / "other/index.htm"));
}

TEST(ContentExportTest, TheShippedExportPageNamesTheFile) {
    fwtest::TempDir folder;
    ASSERT_TRUE(WriteExportIndex(kDefaults, folder.path(), "host/index.html"));
    const std::string page = ReadFile(folder / "index.htm");
    EXPECT_NE(page.find("href=\"host/index.html\""), std::string::npos) << page;
    EXPECT_EQ(page.find("<INSERT URL HERE>"), std::string::npos) << page;
}

TEST(ContentExportTest, EdgeFilesAreCopiedOnlyForALocalEdgePage) {
    fwtest::TempDir program;
    WriteFile(program / "edge/edge.htm", "new edge");
    WriteFile(program / "edge/edge.css", "css");
    WriteFile(program / "edge/sub/skipped.htm", "not copied");
    fwtest::TempDir project_dir;
    const ProjectFile project(project_dir / "p.cvn");
    struct Case {
        bool use;
        const char* edge_file;
        int copied;
    } cases[] = {
        {false, "edge.htm", 0},
        {true, "http://example.org/edge.htm", 0},
        {true, "edge.htm", 2},
        {true, "", 2},  // an empty name means edge.htm
    };
    for (const auto& c : cases) {
        fwtest::TempDir target;
        WriteFile(target / "edge.htm", "old edge");
        ASSERT_TRUE(project.SetUseEdgeFile(c.use));
        ASSERT_TRUE(project.SetEdgeFile(c.edge_file));
        EXPECT_EQ(CopyEdgeFiles(project, program.path(), target.path()), c.copied) << c.edge_file;
        EXPECT_EQ(ReadFile(target / "edge.htm"), c.copied ? "new edge" : "old edge");
        EXPECT_FALSE(fs::exists(target / "sub"));
    }
    EXPECT_EQ(CopyEdgeFiles(project, program.path(), ""), 0);
}

TEST(ContentExportTest, DiscAutorunNamesTheFirstPageAndBringsTheLauncher) {
    fwtest::TempDir folder;
    WriteFile(folder / "notes.txt", "x");
    fs::create_directories(folder / "dir.html");
    std::string start;
    EXPECT_FALSE(WriteDiscAutorun(kDefaults, folder.path(), &start));
    EXPECT_FALSE(fs::exists(folder / "autorun.inf"));
    EXPECT_FALSE(fs::exists(folder / "autorun.sh"));

    // The start page an export writes wins over the edge page and others.
    struct Case {
        std::vector<const char*> pages;
        const char* start;
    } cases[] = {
        {{"Z.HTML", "b.htm"}, "Z.HTML"},
        {{"edge.htm", "contents.htm"}, "contents.htm"},
        {{"about.htm", "edge.htm", "index.htm", "contents.htm"}, "index.htm"},
    };
    for (const auto& c : cases) {
        for (const char* name : c.pages) WriteFile(folder / name, "page");
        ASSERT_TRUE(WriteDiscAutorun(kDefaults, folder.path(), &start));
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(ReadFile(folder / "autorun.inf"),
                  std::string("[autorun]\nOPEN=autorun.exe ") + c.start + "\n");
    }
    struct stat info {};
    ASSERT_EQ(::stat((folder / "autorun.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
}

TEST(ContentExportTest, TheLauncherOpensTheNamedPageOrTheOneAutorunInfNames) {
    fwtest::TempDir folder;
    fwtest::TempDir bin;
    WriteFile(folder / "my page.htm", "p");
    std::string start;
    ASSERT_TRUE(WriteDiscAutorun(kDefaults, folder.path(), &start));
    // A stand-in for xdg-open that writes down what it was asked to open.
    WriteFile(bin / "xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + bin.path() + "opened\"\n");
    ::chmod((bin / "xdg-open").c_str(), 0755);
    const std::string run =
        "PATH='" + bin.path() + "':/usr/bin:/bin '" + folder.path() + "autorun.sh'";
    ASSERT_EQ(std::system(run.c_str()), 0);
    ASSERT_EQ(std::system((run + " other.htm").c_str()), 0);
    EXPECT_EQ(ReadFile(bin / "opened"),
              folder.path() + "my page.htm\n" + folder.path() + "other.htm\n");
}

}  // namespace
}  // namespace corvalin

#include "app/core/project_layout.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/core/project_file.h"
#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;
namespace fs = std::filesystem;

TEST(ProjectLayoutTest, DataDirectoryIsTheFileNameUpToItsLastDot) {
    struct Case {
        const char* project;
        const char* data_dir;
    } cases[] = {
        {"/p/news.cvn", "/p/news/"},
        {"/p/news.v2.cvn", "/p/news.v2/"},
        {"news.cvn", "news/"},
        {"/p/sites.old/news", ""},  // the dot belongs to a directory
        {"/p/news", ""},
        {"/p/.cvn", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DataDirectoryFor(c.project), c.data_dir) << c.project;
}

TEST(ProjectLayoutTest, AbsolutePathResolvesDotSegments) {
    EXPECT_EQ(AbsolutePath("/p/a/../b/./news.cvn"), "/p/b/news.cvn");
    EXPECT_EQ(AbsolutePath("news.cvn"), (fs::current_path() / "news.cvn").string());
    EXPECT_EQ(AbsolutePath(""), "");
}

TEST(ProjectLayoutTest, CreateMakesBothDirectoriesAndNamesThemInTheFile) {
    TempDir dir;
    std::string message = "untouched";
    ASSERT_TRUE(CreateProject(dir / "news.cvn", &message));
    EXPECT_EQ(message, "untouched");
    EXPECT_TRUE(fs::is_directory(dir / "news"));
    // The tables hold credentials: only their owner may enter.
    EXPECT_EQ(fs::status(dir / "news").permissions(), fs::perms::owner_all);
    EXPECT_TRUE(fs::is_directory(dir / "news/src"));
    EXPECT_TRUE(fs::is_empty(dir / "news/src"));
    EXPECT_EQ(ReadFile(dir / "news.cvn"), "[DALK]\nDataDirectory=" + dir.path() +
                                              "news/\nSRCDirectory=" + dir.path() + "news/src/\n");
}

TEST(ProjectLayoutTest, CreateStoresAbsoluteDirectories) {
    TempDir dir;
    fs::create_directories(dir / "a");
    ASSERT_TRUE(CreateProject(dir / "a/../news.cvn", nullptr));
    EXPECT_EQ(ProjectFile(dir / "news.cvn").DataDirectory(), dir / "news/");
}

TEST(ProjectLayoutTest, FailedCreationNamesTheDataDirectoryAndLeavesNothingBehind) {
    TempDir dir;
    fs::create_directories(dir / "taken");
    WriteFile(dir / "taken/keep.txt", "mine");
    struct Case {
        std::string project;
        std::string message;
    } cases[] = {
        {dir / "noextension", "Could not create data directory: "},
        {dir / "taken.cvn", "Could not create data directory: " + dir / "taken/"},
        {dir / "missing/parent.cvn", "Could not create data directory: " + dir / "missing/parent/"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_FALSE(CreateProject(c.project, &message)) << c.project;
        EXPECT_EQ(message, c.message);
        EXPECT_FALSE(fs::exists(c.project)) << c.project;
    }
    EXPECT_EQ(ReadFile(dir / "taken/keep.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "taken/src"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

}  // namespace
}  // namespace corvalin

#include "platform/file_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

TEST(FileOpsTest, OpenCreatingDirectoriesCreatesMissingDirectoriesAndTruncates) {
    TempDir dir;
    const std::string path = dir / "a/b/c/file.htm";
    ASSERT_TRUE(OpenCreatingDirectories(path));
    EXPECT_TRUE(FileExists(path));
    WriteFile(path, "content");
    ASSERT_TRUE(OpenCreatingDirectories(path));
    EXPECT_EQ(FileSize(path), 0);
    EXPECT_FALSE(OpenCreatingDirectories(dir / "a/b"));  // a directory is no file
}

TEST(FileOpsTest, CreateEmptyFileKeepsTheEmptiedFileOpenForWriting) {
    TempDir dir;
    const std::string path = dir / "x/y/page.htm";
    WriteFile(dir / "x/old", "old");
    {
        UniqueFd fd = CreateEmptyFile(path);
        ASSERT_TRUE(fd.ok());
        ASSERT_TRUE(WriteAll(fd.get(), "new", 3));
    }
    EXPECT_EQ(fwtest::ReadFile(path), "new");
    WriteFile(path, "longer content");
    {
        UniqueFd fd = CreateEmptyFile(path);
        ASSERT_TRUE(fd.ok());
        EXPECT_EQ(FileSize(path), 0);
        UniqueFd moved = std::move(fd);
        EXPECT_FALSE(fd.ok());
        EXPECT_TRUE(moved.ok());
    }
    EXPECT_FALSE(CreateEmptyFile(dir / "x").ok());  // a directory is no file
}

TEST(FileOpsTest, MoveReplacingAndCopyReplacing) {
    TempDir dir;
    WriteFile(dir / "src", "new");
    WriteFile(dir / "dst", "old old old");
    ASSERT_TRUE(MoveReplacing(dir / "src", dir / "dst"));
    EXPECT_FALSE(FileExists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "dst"), "new");
    EXPECT_FALSE(MoveReplacing(dir / "src", dir / "dst"));  // source gone
    EXPECT_EQ(ReadFile(dir / "dst"), "new");

    ASSERT_TRUE(CopyReplacing(dir / "dst", dir / "x/y/copy"));
    EXPECT_EQ(ReadFile(dir / "x/y/copy"), "new");
    EXPECT_EQ(ReadFile(dir / "dst"), "new");
}

TEST(FileOpsTest, SwapReplacingLeavesOnlyTheNewFile) {
    TempDir dir;
    WriteFile(dir / "src", "new");
    WriteFile(dir / "dst", "old old old");
    ASSERT_TRUE(SwapReplacing(dir / "src", dir / "dst"));
    EXPECT_FALSE(FileExists(dir / "src"));  // the old file went with the swap
    EXPECT_EQ(ReadFile(dir / "dst"), "new");
    WriteFile(dir / "again", "first");
    ASSERT_TRUE(SwapReplacing(dir / "again", dir / "missing"));  // nothing to swap with
    EXPECT_FALSE(FileExists(dir / "again"));
    EXPECT_EQ(ReadFile(dir / "missing"), "first");
    EXPECT_FALSE(SwapReplacing(dir / "gone", dir / "dst"));
    EXPECT_EQ(ReadFile(dir / "dst"), "new");
}

TEST(FileOpsTest, TempFileNameMakesDistinctFilesWithPrefix) {
    TempDir dir;
    setenv("TMPDIR", dir.path().c_str(), 1);
    std::string a = TempFileName(), b = TempFileName();
    unsetenv("TMPDIR");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(dir.path() + "tfx", 0), 0u) << a;
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
}

TEST(FileOpsTest, ReplaceFileContentsLeavesNoTemporaryBehind) {
    TempDir dir;
    ASSERT_TRUE(ReplaceFileContents(dir / "f.txt", "one"));
    ASSERT_TRUE(ReplaceFileContents(dir / "f.txt", "two"));
    EXPECT_EQ(ReadFile(dir / "f.txt"), "two");
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(FileOpsTest, ReplaceFileContentsSetsTheModeAskedFor) {
    TempDir dir;
    for (unsigned mode : {0600u, 0644u}) {
        ASSERT_TRUE(ReplaceFileContents(dir / "f.txt", "secret", mode));
        struct stat st {};
        ASSERT_EQ(::stat((dir / "f.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
    }
}

TEST(FileOpsTest, ReadFilePrefixStopsAtLimit) {
    TempDir dir;
    WriteFile(dir / "f", "0123456789");
    std::string out;
    ASSERT_TRUE(ReadFilePrefix(dir / "f", 4, &out));
    EXPECT_EQ(out, "0123");
    EXPECT_FALSE(ReadFilePrefix(dir / "missing", 4, &out));
    EXPECT_TRUE(RemoveFile(dir / "missing"));
}

TEST(FileOpsTest, PathInsideKeepsEveryPathWithinItsDirectory) {
    TempDir dir;
    const std::string content = dir / "content/";
    ASSERT_TRUE(CreateDirectories(content + "h/d"));
    ASSERT_TRUE(CreateDirectories(dir / "outside"));
    WriteFile(content + "h/d/p.htm", "page");
    namespace fs = std::filesystem;
    fs::create_directory_symlink(dir / "outside", content + "h/out");      // leads out
    fs::create_directory_symlink(content + "h/d", content + "h/in");       // stays in
    fs::create_symlink(dir / "outside/victim.txt", content + "h/dangle");  // out, to nothing
    fs::create_symlink("loop", content + "h/loop");
    const struct {
        const char* relative;
        bool inside;
    } cases[] = {
        {"h/d/p.htm", true},
        {"h/d/new/deeper/file.htm", true},  // parts made later are plain
        {"h/in/p.htm", true},
        {"h/./d/p.htm", true},
        {"h/d..x/p..htm", true},
        {"", false},
        {"/etc/passwd", false},
        {"../outside/v.txt", false},
        {"h/../../outside/v.txt", false},
        {"h/d/..", false},
        {"h/out/v.txt", false},
        {"h/out/new/v.txt", false},
        {"h/out", false},
        {"h/dangle", false},
        {"h/dangle/x", false},
        {"h/loop", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relative);
        const std::optional<std::string> path = PathInside(content, c.relative);
        EXPECT_EQ(path.has_value(), c.inside);
        if (path) {
            EXPECT_EQ(*path, content + c.relative);
        }
    }
    using namespace std::string_literals;
    EXPECT_FALSE(PathInside(content, "h/d/p.htm\0../x"s));
    EXPECT_FALSE(PathInside(dir / "missing/", "p.htm"));
}

}  // namespace
}  // namespace platform

#include "app/core/page_rules.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::WriteFile;

// The names in a directory, to show no temporary file stays behind.
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

TEST(PageRulesTest, APageIsReplacedWholeKeepingItsPermissions) {
    fwtest::TempDir dir;
    const std::string page = dir / "site/index.html";
    WriteFile(page, "<p>Hello</p>\n<p>hello</p>");
    ::chmod(page.c_str(), 0640);
    const ino_t before = Inode(page);

    const PageRules rules({{"l", "hello", "Bye"}, {"F", "<p>", "<div>"}});
    EXPECT_EQ(rules.RewritePage(page), PageRewrite::kRewritten);

    EXPECT_EQ(ReadFile(page), "<div>Bye</p>\n<div>Bye</p>\n");
    // A new file took the page's place (a reader never sees half of it)...
    EXPECT_NE(Inode(page), before);
    EXPECT_EQ(Names(dir / "site"), std::vector<std::string>{"index.html"});
    struct stat info {};
    ASSERT_EQ(::stat(page.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(PageRulesTest, PagesTheRulesDoNotChangeAreNotTouched) {
    fwtest::TempDir dir;
    const std::string page = dir / "page.html";
    WriteFile(page, "nothing to see\n");
    const ino_t before = Inode(page);
    EXPECT_EQ(PageRules({{"f", "absent", "x"}}).RewritePage(page), PageRewrite::kUnchanged);
    EXPECT_EQ(Inode(page), before);
    EXPECT_EQ(PageRules().RewritePage(page), PageRewrite::kUnchanged);
}

TEST(PageRulesTest, PagesThatCannotBeReadAreLeftAlone) {
    fwtest::TempDir dir;
    const PageRules rules({{"f", "a", "b"}});
    EXPECT_EQ(rules.RewritePage(dir / "missing.html"), PageRewrite::kNotRead);
    std::filesystem::create_directory(dir / "folder.html");
    EXPECT_EQ(rules.RewritePage(dir / "folder.html"), PageRewrite::kNotRead);
    WriteFile(dir / "big.html", std::string(101, 'a'));
    EXPECT_EQ(PageRules({{"f", "a", "b"}}, 100).RewritePage(dir / "big.html"),
              PageRewrite::kNotRead);
    EXPECT_EQ(ReadFile(dir / "big.html"), std::string(101, 'a'));
}

// Writes past this many bytes fail as on a full disk (for root too, whom
// file permissions do not stop).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit saved_{};
    sighandler_t old_handler_;
};

TEST(PageRulesTest, APageWhoseResultCannotBeWrittenStaysAsItWas) {
    fwtest::TempDir dir;
    const std::string page = dir / "page.html";
    const std::string original = std::string(1000, 'a') + "\n";
    WriteFile(page, original);
    const PageRules rules({{"F", "a", "aaaa"}});
    {
        FileSizeLimit limit(2000);
        EXPECT_EQ(rules.RewritePage(page), PageRewrite::kNotWritten);
    }
    EXPECT_EQ(ReadFile(page), original);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"page.html"});
}

}  // namespace
}  // namespace corvalin

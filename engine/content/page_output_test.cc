#include "engine/content/page_output.h"

#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace fw {
namespace {

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Each mode replaces the target only at Commit; the new-file mode swaps in
// a new file (an interrupted rewrite never touches the stored one), the
// in-place mode keeps the target's inode, and falls back to a new file for
// a target that does not exist yet.
TEST(PageOutputTest, ModesReplaceTheTargetOnlyAtCommit) {
    struct Case {
        OutputMode mode;
        bool target_exists;
        bool same_inode;
    };
    const Case cases[] = {
        {OutputMode::kNewFile, true, false},
        {OutputMode::kInPlace, true, true},
        {OutputMode::kInPlace, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "in place " << (c.mode == OutputMode::kInPlace)
                                        << ", target exists " << c.target_exists);
        fwtest::TempDir dir;
        const std::string target = dir / "page.html";
        if (c.target_exists) {
            fwtest::WriteFile(target, std::string(5000, 'o'));
            ::chmod(target.c_str(), 0640);
        }
        const ino_t before = InodeOf(target);
        {
            PageOutput abandoned(target, c.mode);
            ASSERT_TRUE(abandoned.ok());
            abandoned.stream() << "never committed";
        }
        EXPECT_EQ(fwtest::ReadFile(target), c.target_exists ? std::string(5000, 'o') : "");

        PageOutput output(target, c.mode);
        ASSERT_TRUE(output.ok());
        output.stream() << "<html>short</html>";
        ASSERT_TRUE(output.Commit());
        EXPECT_EQ(fwtest::ReadFile(target), "<html>short</html>");  // cut to its new length
        if (c.target_exists) {
            EXPECT_EQ(InodeOf(target) == before, c.same_inode);
            struct stat st {};
            ASSERT_EQ(::stat(target.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0640u);
        }
        // And a page that grew replaces all of the old one.
        const std::string longer(6000, 'n');
        PageOutput grown(target, c.mode);
        grown.stream() << longer;
        ASSERT_TRUE(grown.Commit());
        EXPECT_EQ(fwtest::ReadFile(target), longer);

        const auto entries = std::filesystem::directory_iterator(dir.path());
        EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << "no scratch file is left";
    }
}

// In place, the target is read through the descriptor held for the
// rewrite; the read refuses what it cannot hand over whole.
TEST(PageOutputTest, ReadTargetGivesThePageOnlyWhenWholeAndInPlace) {
    fwtest::TempDir dir;
    const std::string target = dir / "page.html";
    const std::string page = "<html>stored</html>";
    struct Case {
        const char* what;
        OutputMode mode;
        size_t max_bytes;
        std::string appended_after_open;
        bool read;
    };
    const Case cases[] = {
        {"in place", OutputMode::kInPlace, 1024, "", true},
        {"exactly the limit", OutputMode::kInPlace, page.size(), "", true},
        {"over the limit", OutputMode::kInPlace, page.size() - 1, "", false},
        {"grew since open", OutputMode::kInPlace, 1024, "more", false},
        {"new file", OutputMode::kNewFile, 1024, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fwtest::WriteFile(target, page);
        PageOutput output(target, c.mode);
        ASSERT_TRUE(output.ok());
        if (!c.appended_after_open.empty()) {
            fwtest::WriteFile(target, page + c.appended_after_open);
        }
        std::string text = "left over";
        EXPECT_EQ(output.ReadTarget(c.max_bytes, &text), c.read);
        EXPECT_EQ(text, c.read ? page : "");
    }
}

// Rewriting in place only ever writes into a regular file.
TEST(PageOutputTest, InPlaceRefusesWhatIsNotARegularFile) {
    fwtest::TempDir dir;
    const std::string fifo = dir / "fifo.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string directory = dir / "dir.html";
    std::filesystem::create_directory(directory);
    for (const std::string& target : {fifo, directory}) {
        SCOPED_TRACE(target);
        PageOutput output(target, OutputMode::kInPlace);  // never blocks on the FIFO
        EXPECT_FALSE(output.ok());
        EXPECT_FALSE(output.Commit());
    }
}

}  // namespace
}  // namespace fw

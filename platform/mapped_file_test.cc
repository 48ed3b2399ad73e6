#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

TEST(MappedFileTest, MapsTheWholeFileAndOutlivesItsRemoval) {
    fwtest::TempDir dir;
    const std::string path = dir / "table";
    std::string content(100000, 'x');
    content[99999] = 'z';
    fwtest::WriteFile(path, content);
    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(RemoveFile(path));  // an index discarded while a search reads it
    EXPECT_EQ(file.bytes(), content);

    MappedFile moved(std::move(file));
    EXPECT_TRUE(file.bytes().empty());
    EXPECT_EQ(moved.bytes().size(), content.size());
    EXPECT_EQ(moved.bytes().back(), 'z');
}

TEST(MappedFileTest, EmptyMissingAndNonRegularFiles) {
    fwtest::TempDir dir;
    fwtest::WriteFile(dir / "empty", "");
    MappedFile file;
    EXPECT_TRUE(file.Open(dir / "empty"));
    EXPECT_TRUE(file.bytes().empty());
    EXPECT_FALSE(file.Open(dir / "missing"));
    EXPECT_FALSE(file.Open(dir.path()));
    EXPECT_TRUE(file.bytes().empty());
}

}  // namespace
}  // namespace platform

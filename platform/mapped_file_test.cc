#include "platform/mapped_file.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"
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

// Mapping an open descriptor maps that very file, which stays mapped after
// the descriptor is closed and another file takes its name.
TEST(MappedFileTest, MapsTheFileOpenOnADescriptor) {
    fwtest::TempDir dir;
    const std::string path = dir / "store";
    fwtest::WriteFile(path, "first");
    MappedFile file;
    {
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd.ok());
        fwtest::WriteFile(dir / "store.new", "second file");
        ASSERT_EQ(::rename((dir / "store.new").c_str(), path.c_str()), 0);
        ASSERT_TRUE(file.Map(fd.get()));
    }
    EXPECT_EQ(file.bytes(), "first");
    const UniqueFd directory(::open(dir.path().c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(file.Map(directory.get()));
    EXPECT_TRUE(file.bytes().empty());
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

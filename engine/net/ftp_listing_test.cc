#include "engine/net/ftp_listing.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace fw {
namespace {

TEST(FtpListingTest, TakesTheNameAfterTheLastSpaceOfEachLine) {
    fwtest::TempDir dir;
    const std::string path = dir / "listing.txt";
    fwtest::WriteFile(path,
                      "total 12\r\n"
                      "drwxr-xr-x   2 ftp      ftp          4096 Nov 06  1994 .\r\n"
                      "drwxr-xr-x   2 ftp      ftp          4096 Nov 06  1994 ..\r\n"
                      "-rw-r--r--   1 ftp      ftp            10 Nov 06 08:49 file.txt\r\n"
                      "drwxr-xr-x   2 ftp      ftp          4096 Nov 06  1994 sub\r\n"
                      "\r\n"
                      "TOTAL 3\n"
                      "-rw-r--r--   1 ftp      ftp            10 Nov 06 08:49 two words.txt\n"
                      "lrwxrwxrwx   1 ftp      ftp             8 Nov 06 08:49 link -> file.txt\n"
                      "12-01-20  10:00AM       <DIR>          dosdir\n"
                      "-rw-r--r-- 1 ftp ftp 1 Nov 06 08:49 " + std::string(600, 'n') + "\n"
                      "bare\n"
                      "-rw-r--r--   1 ftp      ftp            10 Nov 06 08:49 Last.TXT");
    EXPECT_EQ(ReadListingNames(path), (std::vector<std::string>{"file.txt", "sub", "words.txt",
                                                                "file.txt", "dosdir", "bare",
                                                                "Last.TXT"}));
}

TEST(FtpListingTest, LinesUpToTheLimitCountAndAMissingFileGivesNothing) {
    fwtest::TempDir dir;
    const std::string path = dir / "listing.txt";
    const std::string longest = "x " + std::string(kMaxListingLine - 2, 'a');
    fwtest::WriteFile(path, longest + "\r\n" + longest + "b\nshort ok\n");
    EXPECT_EQ(ReadListingNames(path),
              (std::vector<std::string>{std::string(kMaxListingLine - 2, 'a'), "ok"}));
    EXPECT_TRUE(ReadListingNames(dir / "missing.txt").empty());
}

TEST(FtpListingTest, AFileWithoutLineFeedsIsOneLongLine) {
    fwtest::TempDir dir;
    const std::string path = dir / "listing.txt";
    fwtest::WriteFile(path, std::string(1 << 20, 'z') + " tail\nafter it\n");
    EXPECT_EQ(ReadListingNames(path), std::vector<std::string>{"it"});
}

}  // namespace
}  // namespace fw

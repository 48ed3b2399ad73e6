#include "app/core/profile_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace corvalin {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

TEST(CProfileFileTest, TypedValuesAreStoredAsDecimalText) {
    TempDir dir;
    CProfileFile f(dir / "p.ini");
    ASSERT_TRUE(f.PutInt("S", "Int", -7));
    ASSERT_TRUE(f.PutBool("S", "On", true));
    ASSERT_TRUE(f.PutBool("S", "Off", false));
    ASSERT_TRUE(f.PutString("S", "Text", std::string("a b")));
    EXPECT_EQ(ReadFile(dir / "p.ini"), "[S]\nInt=-7\nOn=1\nOff=0\nText=a b\n");

    EXPECT_EQ(f.GetInt("S", "Int", 0), -7);
    EXPECT_TRUE(f.GetBool("S", "On", false));
    EXPECT_FALSE(f.GetBool("S", "Off", true));
    EXPECT_EQ(f.GetString("S", "Text", "x"), "a b");
    EXPECT_TRUE(f.GetBool("S", "Missing", true));
    EXPECT_EQ(f.GetString("S", "Missing", "dflt"), "dflt");
}

TEST(CProfileFileTest, AnyNonZeroIntegerIsTrue) {
    TempDir dir;
    WriteFile(dir / "p.ini", "[S]\nFive=5\nMinus=-1\nZero=0\nWord=yes\n");
    CProfileFile f(dir / "p.ini");
    EXPECT_TRUE(f.GetBool("S", "Five", false));
    EXPECT_TRUE(f.GetBool("S", "Minus", false));
    EXPECT_FALSE(f.GetBool("S", "Zero", true));
    EXPECT_FALSE(f.GetBool("S", "Word", true));  // no leading digits reads as 0
}

TEST(CProfileFileTest, NullTextDeletesTheKey) {
    TempDir dir;
    CProfileFile f(dir / "p.ini");
    ASSERT_TRUE(f.PutString("S", "K", std::string("v")));
    EXPECT_TRUE(f.KeyExists("S", "K"));
    ASSERT_TRUE(f.PutString("S", "K", std::nullopt));
    EXPECT_FALSE(f.KeyExists("S", "K"));
    EXPECT_EQ(f.GetString("S", "K", "gone"), "gone");
    // An empty value still exists.
    ASSERT_TRUE(f.PutString("S", "Empty", std::string()));
    EXPECT_TRUE(f.KeyExists("S", "Empty"));
}

TEST(CProfileFileTest, LongValuesAreCutWithoutSplittingACharacter) {
    TempDir dir;
    // 1022 ASCII bytes, then a two-byte character that would straddle the cut.
    const std::string value = std::string(1022, 'x') + "\xC3\xA9" + "tail";
    WriteFile(dir / "p.ini", "[S]\nK=" + value + "\n");
    CProfileFile f(dir / "p.ini");
    EXPECT_EQ(f.GetString("S", "K", ""), std::string(1022, 'x'));

    WriteFile(dir / "p.ini", "[S]\nK=" + std::string(2000, 'y') + "\n");
    EXPECT_EQ(f.GetString("S", "K", "").size(), CProfileFile::kMaxValueChars);
}

TEST(CProfileFileTest, TextWithLineBreaksIsRefusedAndNothingWritten) {
    TempDir dir;
    WriteFile(dir / "p.ini", "[S]\nK=old\n");
    CProfileFile f(dir / "p.ini");
    for (const char* text : {"new\n[Other]\nPlanted=1", "new\rmore", "\n"}) {
        EXPECT_FALSE(f.PutString("S", "K", std::string(text))) << text;
    }
    EXPECT_EQ(ReadFile(dir / "p.ini"), "[S]\nK=old\n");
}

TEST(CProfileFileTest, MissingFileReadsAsDefaultsAndWritesCreateIt) {
    TempDir dir;
    CProfileFile f(dir / "none.ini");
    EXPECT_EQ(f.GetInt("S", "K", 8), 8);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
    ASSERT_TRUE(f.PutInt("S", "K", 3));
    EXPECT_EQ(f.GetInt("S", "K", 8), 3);
}

}  // namespace
}  // namespace corvalin

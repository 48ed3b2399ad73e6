#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

TEST(ProfileFileTest, ReadsValuesFromExistingFile) {
    TempDir dir;
    WriteFile(dir / "s.ini",
              "; comment\n"
              "[Network]\n"
              "MaxThreads = 12  \n"
              "  UserAgent=  Agent X 1.0\t\n"
              "Quoted=\"  spaced  \"\n"
              "Number=42abc\n"
              "Negative=-7\n"
              "Letters=abc\n"
              "Empty=\n"
              "\n"
              "[Other]\r\n"
              "MaxThreads=99\r\n");
    ProfileFile f(dir / "s.ini");

    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Network", "MaxThreads", "12"},       {"network", "maxthreads", "12"},
        {"NETWORK", "UserAgent", "Agent X 1.0"}, {"Network", "Quoted", "  spaced  "},
        {"Network", "Empty", ""},              {"Other", "MaxThreads", "99"},
        {"Network", "Missing", "dflt"},        {"Nowhere", "MaxThreads", "dflt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(f.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
    }
    EXPECT_EQ(f.ReadInt("Network", "Number", 5), 42);
    EXPECT_EQ(f.ReadInt("Network", "Negative", 5), -7);
    EXPECT_EQ(f.ReadInt("Network", "Letters", 5), 0);
    EXPECT_EQ(f.ReadInt("Network", "Missing", 5), 5);
}

TEST(ProfileFileTest, MissingFileYieldsDefaults) {
    TempDir dir;
    ProfileFile f(dir / "none.ini");
    EXPECT_EQ(f.ReadString("A", "B", "x"), "x");
    EXPECT_EQ(f.ReadInt("A", "B", 8), 8);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(ProfileFileTest, WritesCreateFileAndSectionAndReplaceKeys) {
    TempDir dir;
    ProfileFile f(dir / "sub/new.ini");
    ASSERT_TRUE(f.WriteString("Limits", "Hours", std::string("3")));
    ASSERT_TRUE(f.WriteInt("Limits", "Minutes", 15));
    ASSERT_TRUE(f.WriteString("Data", "FileFlags", std::string("6")));
    ASSERT_TRUE(f.WriteString("limits", "HOURS", std::string("4")));  // same key, other case
    EXPECT_EQ(ReadFile(dir / "sub/new.ini"),
              "[Limits]\nHOURS=4\nMinutes=15\n\n[Data]\nFileFlags=6\n");
    EXPECT_EQ(f.ReadInt("Limits", "Hours", 0), 4);
}

// Settings can hold passwords: a new file is private, and rewriting keeps
// the mode the file has.
TEST(ProfileFileTest, NewFilesArePrivateAndRewritesKeepTheMode) {
    TempDir dir;
    const auto mode_of = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0u;
    };
    ProfileFile fresh(dir / "fresh.ini");
    ASSERT_TRUE(fresh.WriteString("Proxy", "Password", std::string("secret")));
    EXPECT_EQ(mode_of(dir / "fresh.ini"), 0600u);

    WriteFile(dir / "shared.ini", "[A]\nk=1\n");
    ::chmod((dir / "shared.ini").c_str(), 0640);
    ProfileFile shared(dir / "shared.ini");
    ASSERT_TRUE(shared.WriteString("A", "k", std::string("2")));
    EXPECT_EQ(mode_of(dir / "shared.ini"), 0640u);
    EXPECT_EQ(shared.ReadInt("A", "k", 0), 2);
}

TEST(ProfileFileTest, EngineReadingsClampNumbersAndCutText) {
    TempDir dir;
    const std::string long_text = std::string(1021, 'a') + "\xC3\xA9";  // é across the cut
    WriteFile(dir / "s.ini", "[S]\nbig=99999999999\nsmall=-99999999999\nn=12x\ntext=" +
                                 long_text + "\n");
    ProfileFile f(dir / "s.ini");
    EXPECT_EQ(f.ReadInt32("S", "big", 0), INT32_MAX);
    EXPECT_EQ(f.ReadInt32("S", "small", 0), INT32_MIN);
    EXPECT_EQ(f.ReadInt32("S", "n", 0), 12);
    EXPECT_EQ(f.ReadInt32("S", "none", 7), 7);
    EXPECT_EQ(f.ReadText("S", "text", ""), std::string(1021, 'a'));
    EXPECT_EQ(f.ReadText("S", "none", "fallback"), "fallback");
}

TEST(ProfileFileTest, NullValueDeletesKeyAndKeepsOtherLines) {
    TempDir dir;
    WriteFile(dir / "s.ini", "; keep me\n[A]\nx=1\ny=2\n\n[B]\nx=3\n");
    ProfileFile f(dir / "s.ini");
    ASSERT_TRUE(f.WriteString("a", "X", std::nullopt));
    ASSERT_TRUE(f.WriteString("A", "missing", std::nullopt));
    ASSERT_TRUE(f.WriteString("A", "z", std::string("new")));
    EXPECT_EQ(ReadFile(dir / "s.ini"), "; keep me\n[A]\ny=2\nz=new\n\n[B]\nx=3\n");
    ASSERT_TRUE(f.DeleteSection("b"));
    EXPECT_EQ(f.ReadString("B", "x", "gone"), "gone");
}

TEST(ProfileFileTest, ConcurrentWritersAndReadersLoseNothing) {
    TempDir dir;
    const std::string path = dir / "c.ini";
    constexpr int kThreads = 4, kKeys = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ProfileFile f(path);
            for (int k = 0; k < kKeys; ++k) {
                f.WriteInt("T" + std::to_string(t), "K" + std::to_string(k), k * 10 + t);
                // A reader never sees a torn file: earlier keys stay readable.
                EXPECT_EQ(f.ReadInt("T" + std::to_string(t), "K0", -1), t);
            }
        });
    }
    for (auto& th : threads) th.join();
    ProfileFile f(path);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(f.ReadInt("T" + std::to_string(t), "K" + std::to_string(k), -1), k * 10 + t);
        }
    }
}

}  // namespace
}  // namespace platform

#include "platform/program_home.h"

#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1); else unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1); else unsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    std::string old_;
};

TEST(ProgramHomeTest, CorvalinHomeWinsAndIsCreated) {
    TempDir dir;
    ScopedEnv home("CORVALIN_HOME", (dir / "home").c_str());
    EXPECT_EQ(ProgramHome(), dir / "home/");
    EXPECT_TRUE(DirectoryExists(dir / "home"));
    EXPECT_EQ(SettingsFilePath(), dir / "home/corvalin.ini");
    EXPECT_EQ(EngineLogPath(), dir / "home/fetchwell.log");
    EXPECT_EQ(AppErrorLogPath(), dir / "home/corvalin.log");
    EXPECT_EQ(CookieFilePath(), dir / "home/cookies.txt");
}

TEST(ProgramHomeTest, FallsBackToXdgConfigThenHome) {
    TempDir dir;
    ScopedEnv no_home("CORVALIN_HOME", nullptr);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "cfg").c_str());
        EXPECT_EQ(ProgramHome(), dir / "cfg/corvalin/");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv user("HOME", (dir / "user").c_str());
    EXPECT_EQ(ProgramHome(), dir / "user/.config/corvalin/");
}

TEST(ProgramHomeTest, SeedingCopiesOnlyMissingFiles) {
    TempDir dir;
    ScopedEnv home("CORVALIN_HOME", (dir / "home").c_str());
    WriteFile(dir / "defaults/head.htm", "default head");
    WriteFile(dir / "defaults/edge/edge.htm", "edge");
    WriteFile(dir / "home/head.htm", "user's own head");
    SeedProgramHome(dir / "defaults");
    EXPECT_EQ(ReadFile(dir / "home/head.htm"), "user's own head");
    EXPECT_EQ(ReadFile(dir / "home/edge/edge.htm"), "edge");
}

}  // namespace
}  // namespace platform

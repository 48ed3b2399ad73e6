#include "platform/run_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(RunProgramTest, KeepsExitCodeAndBothOutputs) {
    ProgramRun run = RunProgram({"sh", "-c", "echo out; echo err >&2; read x; echo \"[$x]\"; exit 3"});
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.out, "out\n[]\n");  // standard input is empty
    EXPECT_EQ(run.err, "err\n");

    EXPECT_FALSE(RunProgram({"no-such-program-anywhere"}).started);
    EXPECT_FALSE(RunProgram({}).started);
}

TEST(RunProgramTest, BoundsOutputAndTime) {
    RunLimits small;
    small.max_output = 1000;
    ProgramRun chatty = RunProgram({"sh", "-c", "head -c 100000 /dev/zero"}, small);
    EXPECT_EQ(chatty.exit_code, 0);
    EXPECT_EQ(chatty.out.size(), 1000u);

    RunLimits quick;
    quick.timeout = 200ms;
    auto start = std::chrono::steady_clock::now();
    // The sleeping grandchild holds the output open; it goes with its group.
    ProgramRun slow = RunProgram({"sh", "-c", "sleep 30 & sleep 30"}, quick);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(slow.started);
    EXPECT_TRUE(slow.timed_out);
    EXPECT_EQ(slow.exit_code, -1);
}

TEST(RunProgramTest, FindsExecutablesOnThePathOnly) {
    fwtest::TempDir dir;
    fwtest::WriteFile(dir / "bin/tool", "#!/bin/sh\necho from tool\n");
    fwtest::WriteFile(dir / "bin/plain", "not executable\n");
    ::chmod((dir / "bin/tool").c_str(), 0755);
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    ::setenv("PATH", (dir / "bin:" + saved).c_str(), 1);
    EXPECT_EQ(FindOnPath("tool"), dir / "bin/tool");
    EXPECT_EQ(FindOnPath("plain"), "");
    EXPECT_EQ(RunProgram({"tool"}).out, "from tool\n");
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(FindOnPath("tool"), "");
    EXPECT_EQ(FindOnPath(dir / "bin/tool"), dir / "bin/tool");
}

}  // namespace
}  // namespace platform

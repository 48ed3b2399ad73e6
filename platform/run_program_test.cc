#include "platform/run_program.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

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

TEST(StartProgramTest, ReportsWhyAProgramCouldNotStart) {
    fwtest::TempDir dir;
    fwtest::WriteFile(dir / "plain", "not executable\n");
    struct Case {
        std::vector<std::string> argv;
        std::string working_dir;
        int error;
    } cases[] = {
        {{"no-such-program-anywhere"}, "", ENOENT},
        {{dir / "missing/tool"}, "", ENOENT},
        {{dir / "plain"}, "", EACCES},
        {{dir / "plain/tool"}, "", ENOTDIR},
        {{"true"}, dir / "no-such-dir", ENOENT},
        {{}, "", ENOENT},
    };
    for (const auto& c : cases) {
        const ProgramStart start = StartProgram(c.argv, c.working_dir, 0ms);
        EXPECT_EQ(start.error, c.error) << (c.argv.empty() ? "" : c.argv[0]);
        EXPECT_FALSE(start.finished);
    }
}

TEST(StartProgramTest, WaitsAtMostAsLongAsAsked) {
    fwtest::TempDir dir;
    ProgramStart quick = StartProgram({"sh", "-c", "pwd > where"}, dir.path(), 15s);
    EXPECT_EQ(quick.error, 0);
    EXPECT_TRUE(quick.finished);
    EXPECT_EQ(fwtest::ReadFile(dir / "where"), dir.path().substr(0, dir.path().size() - 1) + "\n");

    // Still running when the call returns: it runs on in its own session and
    // is reaped once it ends, leaving no zombie.
    ASSERT_EQ(::mkfifo((dir / "pid").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "go").c_str(), 0600), 0);
    ProgramStart slow =
        StartProgram({"sh", "-c", "echo $$ > pid; read x < go; echo done > out"}, dir.path(), 0ms);
    EXPECT_EQ(slow.error, 0);
    EXPECT_FALSE(slow.finished);
    const int pid = std::stoi(fwtest::ReadFile(dir / "pid"));  // blocks until written
    EXPECT_EQ(::getsid(pid), pid);                             // a session of its own
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ASSERT_GE(pidfd, 0);
    fwtest::WriteFile(dir / "go", "go\n");
    pollfd ended{pidfd, POLLIN, 0};
    EXPECT_EQ(::poll(&ended, 1, 30000), 1);
    ::close(pidfd);
    // Reaping follows the end at once; a zombie would keep its /proc entry.
    const std::string proc = "/proc/" + std::to_string(pid);
    const auto give_up = std::chrono::steady_clock::now() + 30s;
    while (::access(proc.c_str(), F_OK) == 0 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::yield();
    }
    EXPECT_NE(::access(proc.c_str(), F_OK), 0) << "not reaped";
    EXPECT_EQ(fwtest::ReadFile(dir / "out"), "done\n");
}

}  // namespace
}  // namespace platform

#include "engine/support/crash_report.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "engine/support/log.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;

class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLogForTesting(dir_ / "fetchwell.log"); }
    void TearDown() override { ResetLogForTesting(""); }
    TempDir dir_;
};

// Kept out of line so the fault happens in a frame of its own.
__attribute__((noinline)) void WriteThrough(int* target) {
    int* volatile opaque = target;  // keeps the compiler from proving anything about it
    *opaque = 1;
}

__attribute__((noinline)) int DivideBy(int divisor) {
    volatile int opaque = divisor;
    return 100 / opaque;
}

TEST_F(CrashReportTest, AccessViolationInGuardedThreadIsLoggedAndUnwound) {
#if defined(FW_SANITIZED)
    GTEST_SKIP() << "sanitizers own the fault signals";
#endif
    std::mutex held;
    bool destructor_ran = false;
    struct Sentinel {
        bool* flag;
        ~Sentinel() { *flag = true; }
    };
    bool finished = true;
    std::thread worker([&] {
        finished = RunGuarded(ThreadRole::Url, [&] {
            std::lock_guard<std::mutex> lock(held);
            Sentinel sentinel{&destructor_ran};
            WriteThrough(reinterpret_cast<int*>(16));
        });
    });
    worker.join();

    EXPECT_FALSE(finished);
    EXPECT_TRUE(destructor_ran);
    EXPECT_TRUE(held.try_lock()) << "the lock of the faulting thread stayed held";
    held.unlock();

    std::string log = ReadFile(dir_ / "fetchwell.log");
    size_t frame_start = log.find("---------- url thread\n");
    ASSERT_NE(frame_start, std::string::npos) << log;
    size_t report = log.find('\n', frame_start) + 1;
    std::string first_line = log.substr(report, log.find('\n', report) - report);
    EXPECT_NE(first_line.find("Exception code: C0000005 ACCESS_VIOLATION"), std::string::npos)
        << first_line;
    EXPECT_NE(log.find("Fault address: "), std::string::npos);
    EXPECT_NE(log.find("\nCall stack:\nAddress   Frame     Logical addr   Module\n"),
              std::string::npos);
    EXPECT_NE(log.find(" ----------\n"), std::string::npos);  // closing line, own record

    // The process goes on, and the guard can be installed again.
    EXPECT_FALSE(RunGuarded(ThreadRole::MainEngine, [] { WriteThrough(nullptr); }));
    EXPECT_NE(ReadFile(dir_ / "fetchwell.log").find("---------- main engine thread"),
              std::string::npos);
}

TEST_F(CrashReportTest, IntegerDivisionByZeroIsNamed) {
#if defined(FW_SANITIZED) || !defined(__x86_64__)
    GTEST_SKIP() << "needs a trapping division";
#endif
    std::thread worker([&] {
        RunGuarded(ThreadRole::Url, [] {
            volatile int sink = DivideBy(0);
            (void)sink;
        });
    });
    worker.join();
    EXPECT_NE(ReadFile(dir_ / "fetchwell.log").find("C0000094 INT_DIVIDE_BY_ZERO"),
              std::string::npos);
}

TEST_F(CrashReportTest, OtherExceptionsGetTheUnknownLine) {
    EXPECT_FALSE(RunGuarded(ThreadRole::Url, [] { throw 42; }));
    EXPECT_FALSE(RunGuarded(ThreadRole::MainEngine, [] { throw std::runtime_error("x"); }));
    EXPECT_TRUE(RunGuarded(ThreadRole::Url, [] {}));
    std::string log = ReadFile(dir_ / "fetchwell.log");
    EXPECT_NE(log.find("Unknown exception in url thread\n"), std::string::npos);
    EXPECT_NE(log.find("Unknown exception in main engine thread\n"), std::string::npos);
}

TEST(CrashReportTextTest, NamesKnownCodesAndWalksFrames) {
    EXPECT_STREQ(ExceptionName(0xC0000005), "ACCESS_VIOLATION");
    EXPECT_STREQ(ExceptionName(0xC00000FD), "STACK_OVERFLOW");
    EXPECT_STREQ(ExceptionName(0x80000003), "BREAKPOINT");
    std::string report =
        BuildCrashReport(0xC000001D, reinterpret_cast<uintptr_t>(&WriteThrough), 0);
    EXPECT_EQ(report.rfind("Exception code: C000001D ILLEGAL_INSTRUCTION\nFault address: ", 0),
              0u);
    // One row for the fault; no frame pointer to follow.
    size_t header = report.find("Module\n");
    ASSERT_NE(header, std::string::npos);
    std::string rows = report.substr(header + 7);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 1);
}

}  // namespace
}  // namespace fw

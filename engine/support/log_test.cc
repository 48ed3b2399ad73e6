#include "engine/support/log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::ReadFile;
using fwtest::TempDir;
using fwtest::WriteFile;

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLogForTesting(dir_ / "fetchwell.log"); }
    void TearDown() override { ResetLogForTesting(""); }
    TempDir dir_;
};

TEST_F(LogTest, RecordHasTimeStampTextAndLineEnd) {
    LogMessage("Beginning Trawl");
    std::string log = ReadFile(dir_ / "fetchwell.log");
    // "MM/DD/YY hh:mm:ss " then the text.
    const std::string shape = "99/99/99 99:99:99 ";
    ASSERT_EQ(log.size(), shape.size() + 16) << log;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '9') EXPECT_TRUE(isdigit(log[i])) << log;
        else EXPECT_EQ(log[i], shape[i]) << log;
    }
    EXPECT_EQ(log.substr(shape.size()), "Beginning Trawl\n");
    // A log can name what its user would not show others.
    EXPECT_EQ(std::filesystem::status(dir_ / "fetchwell.log").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(LogTest, TimeStampIsMonthDayYearOfLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::time_t now = std::time(nullptr);
    LogMessage("x");
    std::tm t{};
    localtime_r(&now, &t);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%02d/%02d/%02d ", t.tm_mon + 1, t.tm_mday,
                  t.tm_year % 100);
    EXPECT_EQ(ReadFile(dir_ / "fetchwell.log").substr(0, 9), expected);
}

TEST_F(LogTest, MultiLineTextIsOneRecordStampedOnce) {
    LogMessage("first\nsecond\nthird");
    std::string log = ReadFile(dir_ / "fetchwell.log");
    EXPECT_EQ(log.substr(18), "first\nsecond\nthird\n");
}

TEST_F(LogTest, RotatesOnlyALogOverTheLimitAtTheFirstRecord) {
    WriteFile(dir_ / "fetchwell.log", std::string(250001, 'a'));
    WriteFile(dir_ / "fetchwell.1.log", "older generation");
    LogMessage("fresh");
    EXPECT_EQ(platform::FileSize(dir_ / "fetchwell.1.log"), 250001);
    std::string log = ReadFile(dir_ / "fetchwell.log");
    EXPECT_EQ(log.substr(18), "fresh\n");

    // Later records of the same process never rotate, however large the log.
    WriteFile(dir_ / "fetchwell.log", std::string(300000, 'b'));
    LogMessage("more");
    EXPECT_EQ(platform::FileSize(dir_ / "fetchwell.1.log"), 250001);
    EXPECT_GT(platform::FileSize(dir_ / "fetchwell.log"), 300000);
}

TEST_F(LogTest, LogAtTheLimitIsNotRotated) {
    WriteFile(dir_ / "fetchwell.log", std::string(250000, 'a'));
    LogMessage("x");
    EXPECT_FALSE(platform::FileExists(dir_ / "fetchwell.1.log"));
    EXPECT_EQ(platform::FileSize(dir_ / "fetchwell.log"), 250000 + 18 + 2);
}

TEST_F(LogTest, CurrentLogSurvivesWhenPreviousGenerationCannotBeWritten) {
    WriteFile(dir_ / "fetchwell.log", std::string(250001, 'a'));
    platform::CreateDirectories(dir_ / "fetchwell.1.log/blocker");  // a directory in the way
    LogMessage("kept");
    std::string log = ReadFile(dir_ / "fetchwell.log");
    EXPECT_EQ(log.size(), 250001u + 18 + 5);
    EXPECT_EQ(log.substr(250001 + 18), "kept\n");
}

// The log stays open between records; a file deleted or replaced meanwhile
// must not swallow the next record.
TEST_F(LogTest, RecordsFollowTheLogWhenItIsDeletedOrReplaced) {
    LogMessage("one");
    platform::RemoveFile(dir_ / "fetchwell.log");
    LogMessage("two");
    EXPECT_EQ(ReadFile(dir_ / "fetchwell.log").substr(18), "two\n");

    // Another process rotating the log renames it away: records find the new
    // file within a second or so.
    ASSERT_EQ(::rename((dir_ / "fetchwell.log").c_str(), (dir_ / "fetchwell.1.log").c_str()), 0);
    WriteFile(dir_ / "fetchwell.log", "");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    LogMessage("three");
    EXPECT_EQ(ReadFile(dir_ / "fetchwell.log").substr(18), "three\n");
    EXPECT_EQ(ReadFile(dir_ / "fetchwell.1.log").substr(18), "two\n");
}

TEST_F(LogTest, ConcurrentRecordsNeverInterleave) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) LogMessage(std::string(100, static_cast<char>('a' + t)));
        });
    }
    for (auto& th : threads) th.join();
    std::string log = ReadFile(dir_ / "fetchwell.log");
    size_t lines = 0, start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::string body = log.substr(start + 18, end - start - 18);
        ASSERT_EQ(body.size(), 100u);
        EXPECT_EQ(body, std::string(100, body[0]));
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 800u);
}

}  // namespace
}  // namespace fw

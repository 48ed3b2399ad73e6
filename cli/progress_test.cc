#include "cli/progress.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace corvalin::cli {
namespace {

TEST(ProgressTest, ByteCountsAndDurations) {
    struct Bytes {
        int64_t bytes;
        const char* text;
    } bytes[] = {
        {0, "0 B"},          {1023, "1023 B"},       {1024, "1.0 KB"}, {1536, "1.5 KB"},
        {1048576, "1.0 MB"}, {5368709120, "5.0 GB"}, {-5, "0 B"},
    };
    for (const auto& c : bytes) EXPECT_EQ(FormatBytes(c.bytes), c.text) << c.bytes;
    struct Duration {
        int64_t seconds;
        const char* text;
    } durations[] = {{0, "0:00"}, {7, "0:07"}, {754, "12:34"}, {3723, "1:02:03"}, {-1, "0:00"}};
    for (const auto& c : durations) EXPECT_EQ(FormatDuration(c.seconds), c.text) << c.seconds;
}

TEST(ProgressTest, SummaryCountsOutcomesAndFailuresByCode) {
    GrabTally tally;
    for (auto [status, error] :
         {std::pair{71, 0}, {71, 0}, {70, 0}, {71, 301}, {71, 404}, {71, 404}, {0, 1001}, {0, 0}}) {
        tally.Add(status, error);
    }
    EXPECT_EQ(SummaryText(tally, 1536, 65, false),
              "Finished in 1:05: 3 fetched, 1 redirected, 3 failed, 1 skipped; 1.5 KB received.\n"
              "Failed: 404 Not Found (2), 1001 lookup or connect failed (1)");
    EXPECT_EQ(SummaryText(GrabTally(), 0, 2, true),
              "Stopped after 0:02: 0 fetched, 0 failed; 0 B received.");
}

TEST(ProgressTest, StatusLine) {
    GrabCounters c;
    c.threads = 1;
    c.done = 42;
    c.active = 3;
    c.queued = 17;
    c.bytes = 2048;
    c.rate = 512;
    c.seconds = 9;
    EXPECT_EQ(StatusText(c),
              "0:09  42 done, 17 queued, 3 in progress, 1 thread, 2.0 KB at 512 B/s");
}

// What the display wrote to its stream.
std::string Written(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(ProgressTest, PlainOutputIsLinesOnly) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ProgressDisplay display(f, false);
    display.Status("ignored");
    display.Line("one");
    display.Clear();
    display.Line("two");
    EXPECT_EQ(Written(f), "one\ntwo\n");
    std::fclose(f);
}

TEST(ProgressTest, LiveOutputKeepsTheStatusLineBelowTheLines) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ProgressDisplay display(f, true);
    display.Line("first");
    display.Status("status");
    display.Line("404 http://h/x");
    display.Clear();
    EXPECT_EQ(Written(f),
              "first\n"
              "\r\x1b[Kstatus"
              "\r\x1b[K404 http://h/x\nstatus"
              "\r\x1b[K");
    std::fclose(f);
}

}  // namespace
}  // namespace corvalin::cli

#include "app/core/grab_outcome.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(GrabOutcomeTest, OutcomesFromStatusAndError) {
    struct Case {
        int32_t status;
        int32_t error;
        Outcome outcome;
        const char* word;
    } cases[] = {
        {71, 0, Outcome::kFetched, "ok"},       {70, 0, Outcome::kFetched, "ok"},
        {71, 304, Outcome::kFetched, "ok"},     {71, 301, Outcome::kRedirected, "301"},
        {71, 302, Outcome::kRedirected, "302"}, {71, 404, Outcome::kFailed, "404"},
        {71, 503, Outcome::kFailed, "503"},     {0, 1001, Outcome::kFailed, "1001"},
        {0, 1550, Outcome::kFailed, "1550"},    {0, 0, Outcome::kSkipped, "skip"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Classify(c.status, c.error), c.outcome) << c.status << "/" << c.error;
        EXPECT_EQ(OutcomeWord(c.status, c.error), c.word) << c.status << "/" << c.error;
    }
    EXPECT_EQ(ErrorReason(404), "Not Found");
    EXPECT_EQ(ErrorReason(1001), "lookup or connect failed");
    EXPECT_EQ(ErrorReason(1425), "FTP reply 425");
    EXPECT_EQ(ErrorReason(1009), "too many redirects");
    EXPECT_EQ(ErrorReason(1010), "certificate not trusted: self-signed");
    EXPECT_EQ(ErrorReason(1013), "host name mismatch");
    EXPECT_EQ(ErrorReason(299), "");
}

TEST(GrabOutcomeTest, TallyCountsEachOutcomeAndFailuresByCode) {
    GrabTally tally;
    for (auto [status, error] : {std::pair{71, 0},
                                 {70, 0},
                                 {71, 304},
                                 {71, 301},
                                 {71, 404},
                                 {71, 404},
                                 {0, 1001},
                                 {0, 0}}) {
        tally.Add(status, error);
    }
    EXPECT_EQ(tally.fetched, 3);
    EXPECT_EQ(tally.redirected, 1);
    EXPECT_EQ(tally.skipped, 1);
    EXPECT_EQ(tally.failed(), 3);
    EXPECT_EQ(tally.failures, (std::map<int32_t, int64_t>{{404, 2}, {1001, 1}}));
}

}  // namespace
}  // namespace corvalin

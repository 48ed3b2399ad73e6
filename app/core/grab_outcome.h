// How a finished URL of a grab ended, and the tally of a whole grab. Both
// programs show these: the command line in its log lines and summary, the
// desktop program in its status bar.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace corvalin {

// How a finished URL ended, from its status and error code.
enum class Outcome {
    kFetched,     // stored (status F or G) without an error
    kRedirected,  // 3xx: the new location is fetched as a URL of its own
    kSkipped,     // not stored: filtered out by its type or size, or unchanged
    kFailed,      // 4xx/5xx (a bad link) or 1000 and above (no connection, broken transfer, FTP)
};
Outcome Classify(int32_t status, int32_t error);

// The outcome in a log line: "ok", "skip", or the error code.
std::string OutcomeWord(int32_t status, int32_t error);
// The meaning of an error code ("Not Found", "lookup or connect failed");
// empty when there is none to tell.
std::string ErrorReason(int32_t error);

// The outcomes of a grab, for its summary.
struct GrabTally {
    int64_t fetched = 0;
    int64_t redirected = 0;
    int64_t skipped = 0;
    std::map<int32_t, int64_t> failures;  // error code -> URLs

    void Add(int32_t status, int32_t error);
    int64_t failed() const;
};

}  // namespace corvalin

// How a running grab shows itself: on a terminal one status line redrawn in
// place, with notable URLs printed above it; elsewhere (a pipe, a log file,
// cron) plain time-stamped lines, one per finished URL.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

namespace corvalin::cli {

// "0 B", "512 B", "1.5 KB", "2.0 MB", "1.1 GB" (powers of 1024).
std::string FormatBytes(int64_t bytes);
// "0:07", "12:34", "1:02:03".
std::string FormatDuration(int64_t seconds);

// What the status line shows.
struct GrabCounters {
    int32_t threads = 0;  // workers fetching right now
    int64_t done = 0;     // URLs finished
    int64_t active = 0;   // URLs handed to workers and not finished
    int64_t queued = 0;   // URLs waiting for a worker
    int64_t bytes = 0;    // received so far
    int64_t rate = 0;     // bytes per second, recently
    int64_t seconds = 0;  // since the start
};
std::string StatusText(const GrabCounters& counters);

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

// "Finished in 0:03: 38 fetched, 1 redirected, 2 failed, 3 skipped; 1.4 MB
// received." and, when any failed, a second line "Failed: 404 Not Found (1),
// 1001 lookup or connect failed (1)". An interrupted grab says "Stopped after".
std::string SummaryText(const GrabTally& tally, int64_t bytes, int64_t seconds, bool interrupted);

class ProgressDisplay {
public:
    // `live`: `out` is a terminal and gets a status line.
    ProgressDisplay(std::FILE* out, bool live) : out_(out), live_(live) {}
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    bool live() const { return live_; }

    // One line of its own; on a terminal it goes above the status line.
    void Line(std::string_view text);
    // Redraws the status line (terminal only), cut to the terminal's width.
    void Status(std::string_view text);
    // Removes the status line.
    void Clear();

private:
    std::FILE* out_;
    bool live_;
    std::string status_;  // shown now; empty when none
};

}  // namespace corvalin::cli

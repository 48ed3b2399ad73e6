// How a running grab shows itself: on a terminal one status line redrawn in
// place, with notable URLs printed above it; elsewhere (a pipe, a log file,
// cron) plain time-stamped lines, one per finished URL.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/core/grab_outcome.h"

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

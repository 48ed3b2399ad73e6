#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <ctime>

#include "platform/local_time.h"

namespace corvalin::cli {

std::string FormatBytes(int64_t bytes) {
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes < 0 ? 0 : bytes) + " B";
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string FormatDuration(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

std::string StatusText(const GrabCounters& c) {
    return FormatDuration(c.seconds) + "  " + std::to_string(c.done) + " done, " +
           std::to_string(c.queued) + " queued, " + std::to_string(c.active) + " in progress, " +
           std::to_string(c.threads) +
           (c.threads == 1 ? " thread, " : " threads, ") + FormatBytes(c.bytes) + " at " +
           FormatBytes(c.rate) + "/s";
}

void ProgressDisplay::Line(std::string_view text) {
    if (live_ && !status_.empty()) std::fputs("\r\x1b[K", out_);
    std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
    if (live_ && !status_.empty()) std::fputs(status_.c_str(), out_);
    std::fflush(out_);
}

void ProgressDisplay::Status(std::string_view text) {
    if (!live_) return;
    size_t width = 80;
    winsize size{};
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) width = size.ws_col;
    // One column short of the edge, so the cursor never wraps to a new line.
    status_ = std::string(text.substr(0, width - 1));
    std::fprintf(out_, "\r\x1b[K%s", status_.c_str());
    std::fflush(out_);
}

void ProgressDisplay::Clear() {
    if (!live_ || status_.empty()) return;
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
    status_.clear();
}

std::string SummaryText(const GrabTally& tally, int64_t bytes, int64_t seconds, bool interrupted) {
    std::string text = interrupted ? "Stopped after " : "Finished in ";
    text += FormatDuration(seconds) + ": " + std::to_string(tally.fetched) + " fetched";
    if (tally.redirected) text += ", " + std::to_string(tally.redirected) + " redirected";
    text += ", " + std::to_string(tally.failed()) + " failed";
    if (tally.skipped) text += ", " + std::to_string(tally.skipped) + " skipped";
    text += "; " + FormatBytes(bytes) + " received.";
    if (tally.failures.empty()) return text;
    text += "\nFailed:";
    const char* separator = " ";
    for (const auto& [code, count] : tally.failures) {
        text += separator + std::to_string(code);
        if (std::string reason = ErrorReason(code); !reason.empty()) text += " " + reason;
        text += " (" + std::to_string(count) + ")";
        separator = ", ";
    }
    return text;
}

}  // namespace corvalin::cli

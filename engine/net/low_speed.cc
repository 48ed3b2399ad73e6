#include "engine/net/low_speed.h"

#include <atomic>

namespace fw {

namespace {

std::atomic<int64_t> rule_rate{LowSpeedRule{}.bytes_per_second};
std::atomic<int64_t> rule_window_ms{LowSpeedRule{}.window.count()};

}  // namespace

LowSpeedRule CurrentLowSpeedRule() {
    return {rule_rate.load(std::memory_order_relaxed),
            std::chrono::milliseconds(rule_window_ms.load(std::memory_order_relaxed))};
}

void SetLowSpeedRule(const LowSpeedRule& rule) {
    rule_rate.store(rule.bytes_per_second, std::memory_order_relaxed);
    rule_window_ms.store(rule.window.count(), std::memory_order_relaxed);
}

LowSpeedWatch::LowSpeedWatch(const LowSpeedRule& rule, Clock::time_point start)
    : rule_(rule), window_start_(start) {}

bool LowSpeedWatch::Arrived(uint64_t bytes, Clock::time_point now) {
    if (too_slow_) return false;
    window_bytes_ += bytes;
    const auto elapsed = now - window_start_;
    if (elapsed < rule_.window) return true;
    // What came by now counts for the window that ends, averaged over all
    // the time it took.
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (static_cast<double>(window_bytes_) < static_cast<double>(rule_.bytes_per_second) * seconds) {
        too_slow_ = true;
        return false;
    }
    window_start_ = now;
    window_bytes_ = 0;
    return true;
}

std::string LowSpeedWatch::Reason() const {
    const int64_t ms = rule_.window.count();
    const std::string window =
        ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
    return "receive error: under " + std::to_string(rule_.bytes_per_second) +
           " bytes a second over " + window;
}

}  // namespace fw

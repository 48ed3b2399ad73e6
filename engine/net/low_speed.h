// The low-speed rule every fetch kind applies to its transfer, after curl's
// speed limit: a response whose bytes (headers and body) arrive at less than
// LowSpeedRule::bytes_per_second on average over a whole window ends as a
// broken transfer. Together with the silence limit of the socket layer (no
// byte at all for 30 seconds) it keeps a server that trickles a byte now and
// then from holding a worker.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace fw {

struct LowSpeedRule {
    // By default under 1 KB a second over a minute: slower than any working
    // server, however slow the line.
    int64_t bytes_per_second = 1024;
    std::chrono::milliseconds window{60000};
};

// The rule new fetches use; process-wide. Tests shorten the window.
LowSpeedRule CurrentLowSpeedRule();
void SetLowSpeedRule(const LowSpeedRule& rule);

// Sets the rule for as long as it lives, then restores the old one.
class ScopedLowSpeedRule {
public:
    explicit ScopedLowSpeedRule(const LowSpeedRule& rule) : saved_(CurrentLowSpeedRule()) {
        SetLowSpeedRule(rule);
    }
    ~ScopedLowSpeedRule() { SetLowSpeedRule(saved_); }
    ScopedLowSpeedRule(const ScopedLowSpeedRule&) = delete;
    ScopedLowSpeedRule& operator=(const ScopedLowSpeedRule&) = delete;

private:
    LowSpeedRule saved_;
};

// Watches one transfer. Windows follow each other from construction; each
// ends at the first call after its length has passed, and must have brought
// bytes at the rule's rate over its whole length.
class LowSpeedWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit LowSpeedWatch(const LowSpeedRule& rule = CurrentLowSpeedRule(),
                           Clock::time_point start = Clock::now());

    // Counts `bytes` that arrived now (0 only looks at the time). False once
    // a window ended too slow; stays false.
    bool Arrived(uint64_t bytes) { return Arrived(bytes, Clock::now()); }
    bool Arrived(uint64_t bytes, Clock::time_point now);

    // The log line of a transfer the rule ended: "receive error: ..." naming
    // the rule.
    std::string Reason() const;

private:
    LowSpeedRule rule_;
    Clock::time_point window_start_;
    uint64_t window_bytes_ = 0;
    bool too_slow_ = false;
};

}  // namespace fw

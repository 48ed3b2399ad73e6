#include "app/core/rate_meter.h"

namespace corvalin {

int64_t RateMeter::Sample(Clock::time_point now, int64_t count) {
    samples_.push_back({now, count});
    while (samples_.size() > 2 && now - samples_.front().first > std::chrono::seconds(3)) {
        samples_.pop_front();
    }
    const auto span = std::chrono::duration<double>(now - samples_.front().first).count();
    if (span <= 0.0) return 0;
    return static_cast<int64_t>(static_cast<double>(count - samples_.front().second) / span);
}

}  // namespace corvalin

// Bytes (or URLs) per second over the last few seconds of a grab, so a stall
// shows at once instead of being averaged away over the whole run.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

namespace corvalin {

class RateMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // Records the running total `count` at `now` and returns the rate per
    // second over the samples of the last three seconds (at least the last
    // two samples). 0 until time has passed.
    int64_t Sample(Clock::time_point now, int64_t count);

  private:
    std::deque<std::pair<Clock::time_point, int64_t>> samples_;
};

}  // namespace corvalin

// The progress of a running grab as the status bar shows it: URLs done out
// of done plus waiting, URLs per second lately, bytes received.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "app/core/rate_meter.h"

namespace corvalin {

struct GrabProgressView {
    int64_t done = 0;
    int64_t total = 0;  // done + waiting
    int percent = 0;    // 0 to 100
    int64_t urls_per_second = 0;
    std::string text;  // "42 of 180 URLs, 12 URLs/s, 1.250MB received"
};

class GrabProgress {
  public:
    using Clock = RateMeter::Clock;

    // A new grab.
    void Start(Clock::time_point now);
    // A URL finished (OnGrabUrlDone); a page announced again once its links
    // are fixed counts once.
    void UrlDone(int32_t id) {
        if (done_ids_.insert(id).second) ++done_;
    }
    // The view for the tick at `now`: `waiting` is the engine's WaitingUrls,
    // `bytes` its BytesReceived.
    GrabProgressView Tick(Clock::time_point now, int64_t waiting, int64_t bytes);

    int64_t done() const { return done_; }

  private:
    int64_t done_ = 0;
    std::unordered_set<int32_t> done_ids_;
    RateMeter rate_;
};

}  // namespace corvalin

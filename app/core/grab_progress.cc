#include "app/core/grab_progress.h"

#include <algorithm>

#include "app/core/grab_display.h"

namespace corvalin {

void GrabProgress::Start(Clock::time_point now) {
    done_ = 0;
    done_ids_.clear();
    rate_ = RateMeter();
    rate_.Sample(now, 0);
}

GrabProgressView GrabProgress::Tick(Clock::time_point now, int64_t waiting, int64_t bytes) {
    GrabProgressView view;
    view.done = done_;
    view.total = done_ + std::max<int64_t>(0, waiting);
    view.percent = view.total > 0 ? static_cast<int>(view.done * 100 / view.total) : 0;
    view.urls_per_second = rate_.Sample(now, done_);
    view.text = std::to_string(view.done) + " of " + std::to_string(view.total) + " URLs, " +
                std::to_string(view.urls_per_second) + " URLs/s, " + ByteSizeText(bytes) +
                (bytes <= 10240 ? " bytes" : "") + " received";
    return view;
}

}  // namespace corvalin

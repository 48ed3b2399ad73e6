#include "app/core/grab_monitor.h"

#include <utility>

namespace corvalin {

void GrabMonitor::Invoke(int32_t event_id, int32_t url_id) {
    std::lock_guard<std::mutex> guard(mutex_);
    switch (event_id) {
        case fw::kOnGrabUrlNew:
            ++started_;
            break;
        case fw::kOnGrabUrlDone:
            done_.push_back(url_id);
            break;
        case fw::kOnGrabComplete:
            complete_ = true;
            break;
        default:
            return;
    }
    wake_.notify_all();
}

void GrabMonitor::RequestStop(int code) {
    std::lock_guard<std::mutex> guard(mutex_);
    stop_requested_ = true;
    stop_code_ = code;
    wake_.notify_all();
}

void GrabMonitor::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, timeout, [this] {
        return complete_ || (stop_requested_ && !stop_seen_) || !done_.empty();
    });
    if (stop_requested_) stop_seen_ = true;
}

std::deque<int32_t> GrabMonitor::TakeDone() {
    std::lock_guard<std::mutex> guard(mutex_);
    return std::exchange(done_, {});
}

bool GrabMonitor::complete() {
    std::lock_guard<std::mutex> guard(mutex_);
    return complete_;
}

bool GrabMonitor::stop_requested() {
    std::lock_guard<std::mutex> guard(mutex_);
    return stop_requested_;
}

int GrabMonitor::stop_code() {
    std::lock_guard<std::mutex> guard(mutex_);
    return stop_code_;
}

int64_t GrabMonitor::started() {
    std::lock_guard<std::mutex> guard(mutex_);
    return started_;
}

EventAdvice::EventAdvice(fw::IDizoziz* engine, fw::IDizozizEvents* sink) : engine_(engine) {
    result_ = engine->Advise(sink, &cookie_);
    advised_ = fw::Succeeded(result_);
}

fw::HRESULT EventAdvice::End() {
    if (!advised_) return fw::S_OK;
    advised_ = false;
    return engine_->Unadvise(cookie_);
}

}  // namespace corvalin

#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void Event::Set() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        set_ = true;
    }
    cv_.notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return set_;
}

bool Event::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return set_; });
}

void Event::Wait() const {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return set_; });
}

StopEvent::StopEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopEvent::~StopEvent() {
    if (fd_ >= 0) ::close(fd_);
}

void StopEvent::Set() {
    std::lock_guard<std::mutex> guard(fd_mutex_);
    if (fd_ >= 0 && !event_.IsSet()) {
        uint64_t one = 1;
        ssize_t ignored = ::write(fd_, &one, sizeof one);
        (void)ignored;
    }
    event_.Set();
}

void StopEvent::Reset() {
    std::lock_guard<std::mutex> guard(fd_mutex_);
    // Set() writes the counter only when the event was clear, so a clear
    // event has nothing to drain.
    if (!event_.IsSet()) return;
    event_.Reset();
    if (fd_ >= 0) {
        uint64_t value;
        ssize_t ignored = ::read(fd_, &value, sizeof value);  // drains the counter
        (void)ignored;
    }
}

}  // namespace platform

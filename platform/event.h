// Manual-reset events: once set, an event stays set (and every wait returns at
// once) until it is reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
public:
    explicit Event(bool initially_set = false) : set_(initially_set) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is set; returns false when `timeout` passed first.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    void Wait() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool set_;
};

// The stop event of a grab. Besides the waits of Event it offers a descriptor
// that is readable exactly while the event is set, so network code can poll()
// it together with a socket and wake the moment a stop is requested.
class StopEvent {
public:
    StopEvent();
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const { return event_.IsSet(); }
    bool WaitFor(std::chrono::milliseconds timeout) const { return event_.WaitFor(timeout); }

    // An eventfd, readable while the event is set; -1 if none could be made
    // (then callers fall back to IsSet between short polls).
    int descriptor() const { return fd_; }

private:
    Event event_;
    std::mutex fd_mutex_;  // keeps Set and Reset of the descriptor in step
    int fd_;
};

}  // namespace platform

// Following a grab from the thread that started it. The engine calls event
// sinks directly on its own threads (the grab thread, workers), and GrabEnd
// blocks the caller while events still arrive, so a sink only records and
// wakes; it never waits for the thread that drives the engine.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "engine/interface/fetchwell.h"
#include "engine/interface/ref_counted.h"

namespace corvalin {

// An event sink that keeps what a waiting thread needs: how many URLs were
// handed to workers, which finished (in order), whether the grab completed,
// and whether somebody asked for a stop.
class GrabMonitor : public fw::RefCounted<fw::IDizozizEvents> {
  public:
    GrabMonitor() = default;

    // Engine threads call this.
    void Invoke(int32_t event_id, int32_t url_id) override;

    // Asks the waiting thread to stop the grab; `code` says why (the command
    // line passes the signal's number). Any thread may call it.
    void RequestStop(int code);

    // Returns when the grab completed, a stop was newly asked for or URLs
    // finished, or after `timeout`.
    void WaitFor(std::chrono::milliseconds timeout);

    // The URLs finished since the last call, in the order they finished.
    std::deque<int32_t> TakeDone();
    bool complete();
    bool stop_requested();
    int stop_code();
    // OnGrabUrlNew events so far.
    int64_t started();

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    int64_t started_ = 0;
    std::deque<int32_t> done_;
    bool complete_ = false;
    bool stop_requested_ = false;
    bool stop_seen_ = false;  // WaitFor has returned for the stop request once
    int stop_code_ = 0;
};

// Keeps a sink advised on the engine's connection point for as long as it
// lives, or until End.
class EventAdvice {
  public:
    EventAdvice(fw::IDizoziz* engine, fw::IDizozizEvents* sink);
    ~EventAdvice() { End(); }
    EventAdvice(const EventAdvice&) = delete;
    EventAdvice& operator=(const EventAdvice&) = delete;

    // The result of Advise; when it failed, no event arrives and End does
    // nothing.
    fw::HRESULT result() const { return result_; }
    bool advised() const { return advised_; }

    // Unadvises now and returns Unadvise's result (S_OK when not advised).
    fw::HRESULT End();

  private:
    fw::IDizoziz* engine_;
    uint32_t cookie_ = 0;
    fw::HRESULT result_;
    bool advised_ = false;
};

}  // namespace corvalin

// Ctrl-C (SIGINT) and SIGTERM. BlockStopSignals runs first in main, before
// any thread exists, so every thread (the engine's too) inherits the block
// and only the watcher's thread ever sees these signals.
//
// While a grab runs the watcher is armed: the first signal calls the stop
// callback (the grab then ends cleanly through GrabEnd) and a second one
// calls the abort callback and ends the process at once. Unarmed, a signal
// ends the process at once, as it would without a watcher.
#pragma once

#include <functional>
#include <mutex>
#include <thread>

namespace corvalin::cli {

// Blocks SIGINT and SIGTERM in the calling thread (and threads it starts).
void BlockStopSignals();

class InterruptWatcher {
public:
    InterruptWatcher();
    ~InterruptWatcher();  // stops and joins the watcher thread
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // `on_stop` (given the signal's number) runs on the watcher's thread and
    // must not block; `on_abort` runs there just before the process exits
    // with 128 + the signal's number.
    void Arm(std::function<void(int)> on_stop, std::function<void()> on_abort);
    void Disarm();

private:
    void Watch();

    int signal_fd_ = -1;
    int wake_fd_ = -1;  // eventfd: tells the thread to end
    std::mutex mutex_;  // guards the callbacks and the count
    std::function<void(int)> on_stop_;
    std::function<void()> on_abort_;
    int signals_seen_ = 0;
    std::thread thread_;
};

}  // namespace corvalin::cli

// GrabEngine: one grab. It takes URLs off the crawl queue and gives each to a
// UrlWorker on a thread of its own, up to the thread count and the per-host
// limit, until the queue is empty and every worker has finished, or a stop
// request, a time or byte limit or a lost dial-up connection ends it. After
// the loop, pages still waiting for their links to be rewritten are fixed.
//
// The grab thread commits the store's changes (ProjectStore::Commit) about
// every commit interval, so a killed grab loses only the work of its last
// interval: what was committed is what the next grab resumes from.
//
// Threads: Grab runs on the grab thread, which alone starts and reaps
// workers. Stop, Skip and the counters may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/grab/child_wait_map.h"
#include "engine/grab/grab_options.h"
#include "engine/grab/reservation_log.h"
#include "engine/grab/url_worker.h"
#include "engine/grab/waiting_index.h"
#include "platform/event.h"

namespace fw {

class ProjectStore;

class GrabEngine {
public:
    using UrlCallback = UrlWorker::DoneCallback;    // (URL id, started)
    using ConnectionCheck = std::function<bool()>;  // false: the dial-up line is gone

    // `stop` is the grab's stop event (not owned; REQUIRES: outlives the engine).
    GrabEngine(ProjectStore* store, std::string data_dir, platform::StopEvent* stop,
               GrabOptions options);
    ~GrabEngine();
    GrabEngine(const GrabEngine&) = delete;
    GrabEngine& operator=(const GrabEngine&) = delete;

    void SetCallbacks(UrlCallback url_callback, ConnectionCheck connection_check);

    // Runs the pool loop to its end (all workers reaped).
    void Grab();
    // Rewrites every page left waiting ("F") and marks it grabbed. A page
    // that links to URLs still waiting in the queue (the grab was stopped)
    // keeps its original, and the next grab's pass fixes it again from that.
    void FixWaitingPages();

    // Signals the stop event, ends running fetches and wakes the loop.
    void Stop();
    // Abandons the worker holding `id` (unless it is inside a long
    // store-lock section). True when one was told to stop.
    bool Skip(int32_t id);

    int32_t running() const { return running_.load(); }
    size_t waiting() const { return waiting_.size(); }
    uint64_t bytes_received() const { return bytes_received_.load(); }
    uint64_t bytes_sent() const { return bytes_sent_.load(); }
    // The live state of the worker holding `id`; false when none holds it.
    bool Snapshot(int32_t id, int32_t* state, uint64_t* received, uint64_t* sent) const;

    bool stopped_by_limit() const { return byte_limit_hit_ || time_limit_hit_; }

private:
    // One worker at a time runs on a slot's thread. The threads are made
    // when a slot is first used and live until the grab ends, so starting a
    // URL costs a hand-over, not a thread.
    struct Slot {
        std::unique_ptr<UrlWorker> worker;  // guarded by slots_mutex_
        bool job = false;                   // a worker waits to be run
        // Each worker's cancel event: made once per slot rather than per URL,
        // and reset while the slot is empty.
        platform::StopEvent cancel;
        std::condition_variable wake;
        std::thread thread;
    };

    bool CanStart(WaitingIndex::Pick* pick);
    void StartWorker(const WaitingIndex::Pick& pick);
    void WaitForWorkers();
    void Reap(size_t slot);
    bool StopRequested() const;
    bool QueueHasWaiting();
    bool LinksToWaiting(int32_t page);
    void SlotThread(size_t slot);
    void EndSlotThreads();
    // Commits when the interval has passed; the time until the next one.
    std::chrono::milliseconds CommitWhenDue();

    ProjectStore* store_;
    const std::string data_dir_;
    platform::StopEvent* stop_;
    const GrabOptions options_;
    UrlCallback url_callback_;
    ConnectionCheck connection_check_;
    ChildWaitMap wait_map_;
    WaitingIndex waiting_;
    ReservationLog reservations_;

    mutable std::mutex slots_mutex_;  // slots' workers and jobs
    std::unique_ptr<Slot[]> slots_;
    size_t slot_count_ = 0;
    bool quitting_ = false;           // guarded by slots_mutex_
    std::mutex done_mutex_;           // finished-worker notices
    std::condition_variable done_cv_;
    std::vector<size_t> done_slots_;

    std::atomic<int32_t> running_{0};
    std::atomic<uint64_t> bytes_received_{0};
    std::atomic<uint64_t> bytes_sent_{0};
    int64_t start_time_ = 0;
    std::chrono::steady_clock::time_point next_commit_;
    bool lost_connection_ = false;
    bool byte_limit_hit_ = false;
    bool time_limit_hit_ = false;
};

}  // namespace fw

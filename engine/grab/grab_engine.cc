#include "engine/grab/grab_engine.h"

#include <algorithm>
#include <ctime>

#include "engine/grab/fix_step.h"
#include "engine/store/project_store.h"
#include "engine/support/crash_report.h"
#include "engine/support/log.h"
#include "engine/support/thread_priority.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

GrabEngine::GrabEngine(ProjectStore* store, std::string data_dir, platform::StopEvent* stop,
                       GrabOptions options)
    : store_(store),
      data_dir_(std::move(data_dir)),
      stop_(stop),
      options_(std::move(options)),
      waiting_(store,
               options_.per_host_limit < options_.thread_count ? options_.per_host_limit : 0),
      reservations_(ReservationLog::PathFor(store->db_dir())) {}

GrabEngine::~GrabEngine() { EndSlotThreads(); }

void GrabEngine::EndSlotThreads() {
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        quitting_ = true;
        for (size_t i = 0; i < slot_count_; ++i) slots_[i].wake.notify_all();
    }
    for (size_t i = 0; i < slot_count_; ++i) {
        if (slots_[i].thread.joinable()) slots_[i].thread.join();
    }
}

void GrabEngine::SlotThread(size_t index) {
    SetThreadNice(19);  // workers run at the lowest priority; failing to set it is harmless
    ThreadGuard guard;  // once for the thread; each worker's own guard nests in it
    Slot& slot = slots_[index];
    for (;;) {
        UrlWorker* worker = nullptr;
        {
            std::unique_lock<std::mutex> lock(slots_mutex_);
            slot.wake.wait(lock, [&] { return slot.job || quitting_; });
            if (!slot.job) return;
            slot.job = false;
            worker = slot.worker.get();
        }
        worker->Run();
        {
            std::lock_guard<std::mutex> lock(done_mutex_);
            done_slots_.push_back(index);
        }
        done_cv_.notify_one();
    }
}

void GrabEngine::SetCallbacks(UrlCallback url_callback, ConnectionCheck connection_check) {
    url_callback_ = std::move(url_callback);
    connection_check_ = std::move(connection_check);
}

bool GrabEngine::StopRequested() const { return stop_->IsSet() || lost_connection_; }

void GrabEngine::Grab() {
    const size_t threads = static_cast<size_t>(std::max(1, options_.thread_count));
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        slots_ = std::make_unique<Slot[]>(threads);
        slot_count_ = threads;
        quitting_ = false;
    }
    start_time_ = Now();
    next_commit_ =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.commit_interval_ms);
    waiting_.Attach();
    for (;;) {
        WaitingIndex::Pick pick;
        const int32_t running = running_.load();
        // With every slot busy there is nothing to pick (nor a limit to act on).
        const bool startable = static_cast<size_t>(running) < threads && CanStart(&pick);
        if (running == 0 && !startable) break;
        if (startable) {
            StartWorker(pick);
            CommitWhenDue();
        } else {
            WaitForWorkers();
        }
    }
    waiting_.Detach();
    EndSlotThreads();
    // Every worker is done: the names they reserved are in their rows, gone,
    // or given back to their URLs here, so the log never outlives a grab.
    ReservationLog::Settle(*store_, data_dir_, ReservationLog::PathFor(store_->db_dir()), false);
}

std::chrono::milliseconds GrabEngine::CommitWhenDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now >= next_commit_) {
        store_->Commit();
        next_commit_ = now + std::chrono::milliseconds(options_.commit_interval_ms);
        return std::chrono::milliseconds(options_.commit_interval_ms);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(next_commit_ - now) +
           std::chrono::milliseconds(1);
}

bool GrabEngine::CanStart(WaitingIndex::Pick* pick) {
    if (StopRequested() || byte_limit_hit_ || time_limit_hit_) return false;
    if (options_.byte_limit >= 1 && bytes_received_.load() >= static_cast<uint64_t>(options_.byte_limit)) {
        LogMessage("Reached max bytes limit");
        byte_limit_hit_ = true;
        return false;
    }
    if (options_.time_limit > 0 && Now() - start_time_ > options_.time_limit) {
        LogMessage("Reached max time limit");
        time_limit_hit_ = true;
        return false;
    }
    std::optional<WaitingIndex::Pick> first = waiting_.First();
    if (!first) return false;
    *pick = std::move(*first);
    return true;
}

void GrabEngine::StartWorker(const WaitingIndex::Pick& pick) {
    size_t slot = 0;
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        while (slot < slot_count_ && slots_[slot].worker) ++slot;
    }
    if (url_callback_) url_callback_(pick.url_id, true);
    Slot& s = slots_[slot];
    // No worker is in the slot, so nothing can set its event meanwhile.
    s.cancel.Reset();
    auto worker =
        std::make_unique<UrlWorker>(store_, data_dir_, &wait_map_, &reservations_, pick.url_id,
                                    pick.row, pick.host, &options_, url_callback_, &s.cancel);
    store_->QueueMarkTaken(pick.row);
    waiting_.Taken(pick);
    running_.fetch_add(1);
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        if (StopRequested()) worker->Cancel(false);
        s.worker = std::move(worker);
        s.job = true;
    }
    // Woken after the lock is let go, so that the slot's thread does not wake
    // only to wait for it.
    s.wake.notify_one();
    if (!s.thread.joinable()) s.thread = std::thread([this, slot] { SlotThread(slot); });
}

void GrabEngine::WaitForWorkers() {
    std::vector<size_t> finished;
    const auto until_commit = CommitWhenDue();
    {
        std::unique_lock<std::mutex> lock(done_mutex_);
        // Woken by a finished worker or a new stop; otherwise once a second so
        // the limits are checked, or sooner for a commit. Once stopped, only
        // finished workers wake it: the stop stays set while the cancelled
        // workers wind down.
        const bool stopped = stop_->IsSet();
        const auto wait = std::min(std::chrono::milliseconds(1000), until_commit);
        done_cv_.wait_for(lock, wait, [this, stopped] {
            return !done_slots_.empty() || (!stopped && stop_->IsSet());
        });
        finished.swap(done_slots_);
    }
    for (size_t slot : finished) Reap(slot);
}

void GrabEngine::Reap(size_t slot) {
    Slot& s = slots_[slot];
    std::unique_ptr<UrlWorker> worker;
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        worker = std::move(s.worker);
    }
    if (!worker) return;
    if (!worker->deferred() && url_callback_) url_callback_(worker->url_id(), false);
    if (worker->host_unreachable() && connection_check_ && !connection_check_()) {
        lost_connection_ = true;
        LogMessage("Shutting down due to lost RAS Connection");
    }
    waiting_.Finished(worker->host());
    bytes_received_.fetch_add(worker->bytes_received());
    bytes_sent_.fetch_add(worker->bytes_sent());
    running_.fetch_sub(1);
}

void GrabEngine::Stop() {
    stop_->Set();
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        for (size_t i = 0; i < slot_count_; ++i) {
            if (slots_[i].worker) slots_[i].worker->Cancel(false);
        }
    }
    done_cv_.notify_all();
}

bool GrabEngine::Skip(int32_t id) {
    std::lock_guard<std::mutex> guard(slots_mutex_);
    for (size_t i = 0; i < slot_count_; ++i) {
        UrlWorker* worker = slots_[i].worker.get();
        if (worker && worker->url_id() == id) {
            if (worker->holds_store_lock()) return false;
            worker->Cancel(true);
            return true;
        }
    }
    return false;
}

bool GrabEngine::Snapshot(int32_t id, int32_t* state, uint64_t* received, uint64_t* sent) const {
    std::lock_guard<std::mutex> guard(slots_mutex_);
    for (size_t i = 0; i < slot_count_; ++i) {
        const UrlWorker* worker = slots_[i].worker.get();
        if (worker && worker->url_id() == id) {
            worker->Snapshot(state, received, sent);
            return true;
        }
    }
    return false;
}

void GrabEngine::FixWaitingPages() {
    std::vector<int32_t> waiting;
    store_->ForEachUrl([&](const UrlRecord& record) {
        if (record.status == kStatusFetched) waiting.push_back(record.id);
        return true;
    });
    // Pages fixed early by an earlier stopped grab are fixed again from what
    // the server sent, now that what they link to may be in.
    const std::vector<int32_t> kept = KeptOriginals(data_dir_);
    const bool unfinished = QueueHasWaiting();
    for (int32_t id : waiting) {
        // A page linking to URLs this grab left waiting is fixed all the same,
        // so the copy browses, and keeps what the server sent for the grab
        // that fetches them.
        FixStoredPage(*store_, data_dir_, id, options_, unfinished && LinksToWaiting(id));
        if (url_callback_) url_callback_(id, false);
        CommitWhenDue();
    }
    for (int32_t id : kept) {
        if (std::find(waiting.begin(), waiting.end(), id) != waiting.end()) continue;
        if (!store_->Exists(id)) {
            platform::RemoveFile(KeptOriginalPath(data_dir_, id));
        } else if (!unfinished || !LinksToWaiting(id)) {
            FixStoredPage(*store_, data_dir_, id, options_);
        }
        CommitWhenDue();
    }
    store_->Commit();
}

bool GrabEngine::QueueHasWaiting() {
    auto guard = store_->Lock();
    ProjectStore::QueueWalker walker(store_);
    return walker.First() != 0;
}

bool GrabEngine::LinksToWaiting(int32_t page) {
    auto guard = store_->Lock();
    for (int32_t child : store_->PlainChildren(page, false)) {
        uint32_t row = 0;
        QueueEntry entry;
        if (child != page && store_->QueueEntryOf(child, &row, &entry) &&
            (entry.status == '0' || entry.status == '1')) {
            return true;
        }
    }
    return false;
}

}  // namespace fw

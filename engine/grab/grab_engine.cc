#include "engine/grab/grab_engine.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

#include "engine/content/link_fixer.h"
#include "engine/content/css_links.h"
#include "engine/store/project_store.h"
#include "engine/support/log.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

// Workers run at the lowest priority; failing to set it is harmless.
void LowerThreadPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
}

}  // namespace

GrabEngine::GrabEngine(ProjectStore* store, std::string data_dir, platform::StopEvent* stop,
                       GrabOptions options)
    : store_(store),
      data_dir_(std::move(data_dir)),
      stop_(stop),
      options_(std::move(options)),
      waiting_(store,
               options_.per_host_limit < options_.thread_count ? options_.per_host_limit : 0) {}

GrabEngine::~GrabEngine() {
    // Grab reaps every worker; this only covers an engine dropped unrun.
    for (Slot& slot : slots_) {
        if (slot.thread.joinable()) slot.thread.join();
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
        slots_.clear();
        slots_.resize(threads);
    }
    start_time_ = Now();
    waiting_.Attach();
    for (;;) {
        WaitingIndex::Pick pick;
        const bool startable = CanStart(&pick);
        const int32_t running = running_.load();
        if (running == 0 && !startable) break;
        if (static_cast<size_t>(running) < threads && startable) {
            StartWorker(pick);
        } else {
            WaitForWorkers();
        }
    }
    waiting_.Detach();
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
        while (slot < slots_.size() && slots_[slot].worker) ++slot;
    }
    if (url_callback_) url_callback_(pick.url_id, true);
    std::unique_ptr<UrlWorker> worker;
    {
        auto guard = store_->Lock();
        worker = std::make_unique<UrlWorker>(store_, data_dir_, &wait_map_, pick.url_id, pick.row,
                                             &options_, url_callback_);
        store_->QueueMarkTaken(pick.row);
    }
    waiting_.Taken(pick);
    UrlWorker* raw = worker.get();
    {
        std::lock_guard<std::mutex> guard(slots_mutex_);
        slots_[slot].worker = std::move(worker);
        slots_[slot].finished = false;
        if (StopRequested()) raw->Cancel(false);
    }
    running_.fetch_add(1);
    slots_[slot].thread = std::thread([this, raw, slot] {
        LowerThreadPriority();
        raw->Run();
        {
            std::lock_guard<std::mutex> guard(done_mutex_);
            done_slots_.push_back(slot);
        }
        done_cv_.notify_one();
    });
}

void GrabEngine::WaitForWorkers() {
    std::vector<size_t> finished;
    {
        std::unique_lock<std::mutex> lock(done_mutex_);
        // Woken by a finished worker or a stop; otherwise once a second so the
        // limits are checked.
        done_cv_.wait_for(lock, std::chrono::milliseconds(1000),
                          [this] { return !done_slots_.empty() || stop_->IsSet(); });
        finished.swap(done_slots_);
    }
    for (size_t slot : finished) Reap(slot);
}

void GrabEngine::Reap(size_t slot) {
    Slot& s = slots_[slot];
    if (s.thread.joinable()) s.thread.join();
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
        for (Slot& slot : slots_) {
            if (slot.worker) slot.worker->Cancel(false);
        }
    }
    done_cv_.notify_all();
}

bool GrabEngine::Skip(int32_t id) {
    std::lock_guard<std::mutex> guard(slots_mutex_);
    for (Slot& slot : slots_) {
        if (slot.worker && slot.worker->url_id() == id) {
            if (slot.worker->holds_store_lock()) return false;
            slot.worker->Cancel(true);
            return true;
        }
    }
    return false;
}

bool GrabEngine::Snapshot(int32_t id, int32_t* state, uint64_t* received, uint64_t* sent) const {
    std::lock_guard<std::mutex> guard(slots_mutex_);
    for (const Slot& slot : slots_) {
        if (slot.worker && slot.worker->url_id() == id) {
            slot.worker->Snapshot(state, received, sent);
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
    for (int32_t id : waiting) FixPage(id);
}

void GrabEngine::FixPage(int32_t id) {
    std::string file, relative, url;
    int32_t kind = 0;
    {
        auto guard = store_->Lock();
        UrlRecord row;
        if (!store_->Load(id, &row)) {
            if (url_callback_) url_callback_(id, false);
            return;
        }
        relative = row.file;
        file = data_dir_ + row.file;
        url = row.url;
        kind = row.kind;
    }
    const std::string aside = data_dir_ + std::to_string(id);
    if (!relative.empty() && platform::MoveReplacing(file, aside)) {
        const bool fixed = kind == kKindCss
                               ? FixCssFile(aside, file, *store_, data_dir_, relative, url)
                               : FixPageFile(aside, file, *store_, data_dir_, relative, url,
                                             options_.edge_file);
        if (!fixed) {
            platform::MoveReplacing(aside, file);  // keep the page as fetched
        } else if (!options_.help_mode) {
            platform::RemoveFile(aside);
        }  // in help mode the page as fetched stays beside the pages
    }
    store_->SetStatus(id, kStatusGrabbed);
    if (url_callback_) url_callback_(id, false);
}

}  // namespace fw

// UrlWorker: carries one queue entry through its life on a thread of its own.
// It reads the URL's row, decides where the content goes, fetches it, records
// the outcome, follows redirects, has pages and style sheets parsed (which
// adds their children to the tree and the queue) and decides when a page's
// links can be rewritten: a page waits in status "F" for the children it
// links to (the ChildWaitMap) and is fixed when they are done.
//
// Cancellation: Cancel() (skipping the URL, or stopping the grab) ends a
// running fetch promptly. A skipped URL's row stays as it was and its entry
// is done; a URL whose fetch the stop cut waits in the queue again, for the
// grab that resumes this one.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "engine/content/link_extractor.h"
#include "engine/content/local_path.h"
#include "engine/filter/filter_set.h"
#include "engine/grab/grab_options.h"
#include "engine/net/url_fetch.h"
#include "platform/event.h"

namespace fw {

class ChildWaitMap;
class HttpFetchBase;
class ProjectStore;
class ReservationLog;

class UrlWorker {
public:
    // Called as (URL id, started): started false announces the URL as done.
    using DoneCallback = std::function<void(int32_t url_id, bool started)>;

    // Redirects followed in a row, as browsers do; the URL whose redirect
    // would pass it ends the chain with kErrorTooManyRedirects.
    static constexpr int kMaxRedirects = 20;

    // `host` is the URL's host, as the engine counts workers per host.
    // `cancel` (reset, and outliving the worker) is what Cancel() sets and
    // the fetch watches; a slot hands the same one to each of its workers.
    // `reservations` records the file names the worker reserves (not owned).
    UrlWorker(ProjectStore* store, std::string data_dir, ChildWaitMap* wait_map,
              ReservationLog* reservations, int32_t url_id, uint32_t queue_row, std::string host,
              const GrabOptions* options, DoneCallback done, platform::StopEvent* cancel);
    ~UrlWorker();
    UrlWorker(const UrlWorker&) = delete;
    UrlWorker& operator=(const UrlWorker&) = delete;

    // The thread body. Faults and exceptions are caught and logged.
    void Run();

    // Ends the fetch promptly. With `skip` the worker also abandons its URL.
    // Safe from any thread.
    void Cancel(bool skip);

    int32_t url_id() const { return url_id_; }
    const std::string& host() const { return host_; }
    // The URL is announced later (by the children it waits for), not when
    // the thread ends.
    bool deferred() const { return deferred_; }
    bool host_unreachable() const { return host_unreachable_; }
    // Inside a long store-lock section (page parsing): not skipped then.
    bool holds_store_lock() const { return lock_held_.load(); }
    uint64_t bytes_received() const;
    uint64_t bytes_sent() const;
    // Live state for callers: the fetch's while one runs, then the worker's.
    void Snapshot(int32_t* state, uint64_t* received, uint64_t* sent) const;

private:
    struct Prepared;
    struct Fetched;

    void RunSteps();
    bool Prepare(Prepared* p);
    void Reserve(const std::string& recorded, Prepared* p);
    // A new name for the URL's content, recorded before it is created; empty
    // when none could be had. REQUIRES: `naming` held.
    std::string NewLocalPath(const FileNameLock& naming, const std::string& url,
                             bool choose_always);
    void ForgetReservation(const Prepared& p);
    int64_t BodyLimit() const;
    ExtractOptions ExtractOptionsNow(bool page_is_error) const;
    void Fetch(Prepared& p, Fetched* f);
    void HttpOutcome(const Prepared& p, Fetched* f);
    void Aborted(const Prepared& p);
    void FtpOutcome(const Prepared& p, Fetched* f);
    void Redirect(const HttpFetchBase& fetch, int32_t level, int32_t levels, int32_t filter_id,
                  int32_t parent_id, int32_t auth_id, const std::string& page_url);
    void RequeueChildren(int32_t level, int32_t levels, int32_t filter_id, int32_t auth_id);
    // Parses the page or style sheet at `path`. `text`, when not null, is its
    // content, and a page is then not read back from the file.
    void ParsePage(const std::string& path, const std::string* text, int32_t levels,
                   const std::string& page_url, int32_t filter_id, int32_t auth_id, bool css,
                   bool page_is_error);
    void NotifyParents();
    void FixNow(int32_t page, bool announce);
    void SetState(int32_t state) { state_.store(state); }

    ProjectStore* store_;
    const std::string data_dir_;
    ChildWaitMap* wait_map_;
    ReservationLog* reservations_;
    const int32_t url_id_;
    const uint32_t queue_row_;
    const GrabOptions* options_;
    DoneCallback done_;
    std::string host_;
    FilterSet filters_;

    platform::StopEvent* const cancel_;  // watched by the fetch; not owned
    std::atomic<bool> skipped_{false};
    std::atomic<bool> lock_held_{false};
    bool deferred_ = false;
    bool host_unreachable_ = false;
    int32_t fetch_error_ = 0;  // the row's ERROR when the fetch failed without a status
    bool traverse_only_ = false;

    mutable std::mutex fetch_mutex_;      // guards fetch_ against Snapshot
    UrlFetch* fetch_ = nullptr;           // the running fetch, not owned
    std::atomic<int32_t> state_{0};
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> sent_{0};
};

}  // namespace fw

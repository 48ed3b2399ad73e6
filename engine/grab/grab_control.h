// GrabControl: the engine object's grab state and the members that start,
// stop and observe grabs: interactive grabs (trawl, refresh, preview, link
// check), queued jobs and scheduled runs. It owns the grab thread and the
// stop event; the GrabEngine of the running grab is published while it runs.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/interface/fetchwell.h"
#include "engine/net/untrusted_hosts.h"
#include "platform/event.h"

namespace fw {

class EnginePreferences;
class GrabEngine;
class ProjectStore;
struct GrabOptions;

// What GrabControl needs from the engine object.
class GrabHost {
public:
    virtual void FireEvent(int32_t event_id, int32_t url_id) = 0;
    virtual ProjectStore& grab_store() = 0;
    virtual EnginePreferences& grab_prefs() = 0;
    virtual std::string grab_data_dir() = 0;
    virtual std::string edge_file() = 0;
    virtual bool help_mode() const = 0;
    virtual bool early_notify() const = 0;
    virtual bool page_order() const = 0;

protected:
    ~GrabHost() = default;
};

// Dial-up around grabs: dial before a start (false stops it), check the line
// while fetching, hang up a line the engine dialled when a grab ends.
struct DialUpHooks {
    std::function<bool()> dial_if_needed = [] { return true; };
    std::function<bool()> connection_alive = [] { return true; };
    std::function<void()> hang_up_if_dialled = [] {};
};

class GrabControl {
public:
    explicit GrabControl(GrabHost* host);
    ~GrabControl();  // ends a running grab
    GrabControl(const GrabControl&) = delete;
    GrabControl& operator=(const GrabControl&) = delete;

    void set_dial_up(DialUpHooks hooks) { dial_up_ = std::move(hooks); }
    // Called on the caller's thread as a job that may store files starts
    // (every kind but a link check).
    void set_before_start(std::function<void()> hook) { before_start_ = std::move(hook); }

    void GrabBegin(int32_t id, bool refresh);
    void Grab(int32_t id, bool refresh);
    void ResumeBegin(bool refresh);
    void PreviewBegin(int32_t id);
    void LinkCheckBegin(int32_t id);
    void GrabEnd();
    // GrabEnd when a grab runs or its thread is still to be joined; otherwise
    // nothing (no log line): for closing the project and shutting down.
    void EndAnyGrab();
    void SkipUrl(int32_t id);

    int32_t WorkingThreads() const;
    // Queue entries of the running grab still waiting for a worker; between
    // grabs, what a stopped or killed grab left for ResumeBegin: entries
    // unfinished, and pages to fix.
    int32_t WaitingUrls() const;
    // URLs the current (or last) job has finished.
    int32_t FinishedUrls() const;
    int32_t BytesReceived() const;
    int32_t BytesSent() const;
    // The hosts of the current (or last) grab fetched without a verified
    // certificate, as the user allowed.
    const UntrustedHosts& untrusted_hosts() const { return untrusted_hosts_; }
    // The live state of the worker holding `id`; zeros when none does.
    void UrlState(int32_t id, int32_t* state, int32_t* received, int32_t* sent) const;

    // Job lists and schedules. QueueJob REQUIRES id >= 0.
    void QueueJob(int32_t id);
    void BeginQueuedJobs(int32_t action);
    void BeginScheduled();

    bool running() const { return running_.load(); }

    struct Flags {
        bool refresh = false;
        bool preview = false;
        bool link_check = false;
        bool scheduled = false;  // no help mode, no edge file
    };

  private:
    void Start(int32_t id, bool refresh, bool resume, bool async, Flags flags);
    void JoinFinishedThread();
    void SettleStoppedGrab();
    int32_t PagesToFix(bool with_kept) const;
    void PrepareLinkCheck(int32_t id);
    void MarkLinkCheck(int32_t id);
    // Builds an engine for one grab, runs it and the fixing pass.
    void RunOneGrab(const Flags& flags);
    void GrabThread(Flags flags);
    // Start URLs by scheduled job kind (index kJobTrawl .. kJobLinkCheck).
    using ScheduledLists = std::array<std::vector<int32_t>, kJobLinkCheck + 1>;
    void ScheduleThread(ScheduledLists* lists);
    // Joins a finished grab thread and marks a new run as started.
    void PrepareRun();
    // PrepareRun, then `body` on a new grab thread.
    void Launch(std::function<void()> body);
    void Finish();
    static bool SetJobFlags(int32_t kind, Flags* flags);

    GrabHost* host_;
    DialUpHooks dial_up_;
    std::function<void()> before_start_;
    platform::StopEvent stop_;
    std::thread thread_;
    std::thread::id thread_id_;
    mutable std::mutex engine_mutex_;  // guards current_
    GrabEngine* current_ = nullptr;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> last_received_{0};
    std::atomic<uint64_t> last_sent_{0};
    std::mutex jobs_mutex_;
    std::vector<int32_t> jobs_;
    UntrustedHosts untrusted_hosts_;
};

}  // namespace fw

#include "engine/grab/grab_control.h"

#include <algorithm>
#include <climits>

#include "engine/filter/filter_set.h"
#include "engine/grab/fix_step.h"
#include "engine/grab/grab_engine.h"
#include "engine/grab/grab_options.h"
#include "engine/grab/reservation_log.h"
#include "engine/interface/fetchwell.h"
#include "engine/net/proxy_settings.h"
#include "engine/store/filter_sets.h"
#include "engine/store/project_store.h"
#include "engine/support/crash_report.h"
#include "engine/support/engine_preferences.h"
#include "engine/support/log.h"
#include "engine/support/thread_priority.h"

namespace fw {

namespace {

int32_t JobKindOf(bool refresh, const GrabControl::Flags& flags) {
    if (flags.link_check) return kJobLinkCheck;
    if (flags.preview) return kJobPreview;
    return refresh ? kJobRefresh : kJobTrawl;
}

int32_t Clamp32(uint64_t value) {
    return value > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

}  // namespace

GrabControl::GrabControl(GrabHost* host) : host_(host) {}

GrabControl::~GrabControl() { EndAnyGrab(); }

void GrabControl::EndAnyGrab() {
    if (running_ || thread_.joinable()) GrabEnd();
}

void GrabControl::JoinFinishedThread() {
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) thread_.join();
}

void GrabControl::GrabBegin(int32_t id, bool refresh) {
    Start(id, refresh, false, true, Flags{});
}

void GrabControl::Grab(int32_t id, bool refresh) { Start(id, refresh, false, false, Flags{}); }

void GrabControl::ResumeBegin(bool refresh) { Start(0, refresh, true, true, Flags{}); }

void GrabControl::PreviewBegin(int32_t id) {
    Flags flags;
    flags.preview = true;
    Start(id, true, false, true, flags);
}

void GrabControl::LinkCheckBegin(int32_t id) {
    Flags flags;
    flags.link_check = true;
    PrepareLinkCheck(id);
    Start(id, false, false, true, flags);
}

void GrabControl::Start(int32_t id, bool refresh, bool resume, bool async, Flags flags) {
    // Whatever may store files makes the index stale; a link check keeps none.
    if (!flags.link_check && before_start_) before_start_();
    host_->FireEvent(kOnGrabBegin, 0);
    ProjectStore& store = host_->grab_store();
    bool queued = false;
    {
        auto guard = store.Lock();
        SettleStoppedGrab();
        if (resume) {
            // Entries whose workers are gone (a stopped grab, a killed
            // process) wait again, and the job goes on as the job it was.
            store.QueueReleaseTaken();
            ProjectStore::QueueWalker walker(&store);
            // A grab killed after its last fetch still has pages to fix.
            queued = walker.First() != 0 || PagesToFix(true) > 0;
            const int32_t job = store.QueueJobKind();
            flags.preview = job == kJobPreview;
            flags.link_check = job == kJobLinkCheck;
        } else {
            queued = flags.link_check ? store.LinkCheckQueue(id) : store.StartQueue(id, true);
            // A new job fetches its pages again: pages kept for an earlier
            // stopped one are of no use any more.
            DropKeptOriginals(host_->grab_data_dir());
            if (queued) store.SetQueueJobKind(JobKindOf(refresh, flags));
        }
        // What the grab starts from is on disk before it fetches anything.
        store.Commit();
    }
    if (!queued || !dial_up_.dial_if_needed()) {
        host_->FireEvent(kOnGrabComplete, 0);
        return;
    }
    LogMessage(std::string(resume ? "Resuming " : "Beginning ") + (refresh ? "Refresh" : "Trawl"));
    flags.refresh = refresh;
    if (!async) {
        PrepareRun();
        GrabThread(flags);
        return;
    }
    Launch([this, flags] {
        SetThreadNice(5);  // an interactive start's grab thread runs below normal
        GrabThread(flags);
    });
}

// What a grab killed or stopped earlier left in the data directory: work
// files go, reserved files go back to their URLs.
void GrabControl::SettleStoppedGrab() {
    ProjectStore& store = host_->grab_store();
    const std::string data_dir = host_->grab_data_dir();
    RemoveStaleWorkFiles(data_dir);
    ReservationLog::Settle(store, data_dir, ReservationLog::PathFor(store.db_dir()), true);
}

void GrabControl::PrepareRun() {
    JoinFinishedThread();
    stop_.Reset();
    running_ = true;
}

void GrabControl::Launch(std::function<void()> body) {
    PrepareRun();
    thread_ = std::thread(std::move(body));
}

void GrabControl::GrabThread(Flags flags) {
    RunGuarded(ThreadRole::MainEngine, [&] { RunOneGrab(flags); });
    LogMessage("Trawl Finished");
    Finish();
}

void GrabControl::RunOneGrab(const Flags& flags) {
    EnginePreferences& prefs = host_->grab_prefs();
    GrabOptions options;
    options.ReadPreferences(prefs);
    ProxySettings proxy(prefs.settings_path());
    if (proxy.enabled()) options.proxy = &proxy;
    untrusted_hosts_.Clear();
    if (prefs.AllowUntrustedCertificates()) options.untrusted_hosts = &untrusted_hosts_;
    options.refresh = flags.refresh;
    options.preview = flags.preview;
    options.link_check = flags.link_check;
    options.early_notify = host_->early_notify();
    options.page_order = host_->page_order();
    if (!flags.scheduled) {
        options.help_mode = host_->help_mode();
        options.edge_file = host_->edge_file();
    }
    GrabEngine engine(&host_->grab_store(), host_->grab_data_dir(), &stop_, std::move(options));
    engine.SetCallbacks(
        [this](int32_t id, bool started) {
            host_->FireEvent(started ? kOnGrabUrlNew : kOnGrabUrlDone, id);
        },
        [this] { return dial_up_.connection_alive(); });
    {
        std::lock_guard<std::mutex> guard(engine_mutex_);
        current_ = &engine;
    }
    engine.Grab();
    last_received_ = engine.bytes_received();
    last_sent_ = engine.bytes_sent();
    // Pages still waiting are rewritten now; the next grab (not a link
    // check) does the same for pages a killed grab left waiting.
    if (!flags.link_check) engine.FixWaitingPages();
    std::lock_guard<std::mutex> guard(engine_mutex_);
    current_ = nullptr;
}

void GrabControl::Finish() {
    // Not running any more by the time sinks hear of it: a sink may ask for
    // what only an idle engine answers (the bad-links list).
    running_ = false;
    dial_up_.hang_up_if_dialled();
    host_->FireEvent(kOnGrabComplete, 0);
}

void GrabControl::GrabEnd() {
    LogMessage("Stopping Trawl");
    {
        std::lock_guard<std::mutex> guard(engine_mutex_);
        if (current_) current_->Stop();
    }
    stop_.Set();
    JoinFinishedThread();
}

void GrabControl::SkipUrl(int32_t id) {
    std::lock_guard<std::mutex> guard(engine_mutex_);
    if (current_) current_->Skip(id);
}

int32_t GrabControl::WorkingThreads() const {
    std::lock_guard<std::mutex> guard(engine_mutex_);
    return current_ ? current_->running() : 0;
}

int32_t GrabControl::WaitingUrls() const {
    {
        std::lock_guard<std::mutex> guard(engine_mutex_);
        if (current_) return Clamp32(current_->waiting());
    }
    // Between grabs: what a stopped or killed grab left for ResumeBegin.
    if (running_) return 0;
    const int64_t unfinished = host_->grab_store().QueueUnfinished();
    return Clamp32(static_cast<uint64_t>(unfinished) + PagesToFix(unfinished == 0));
}

// Pages a killed grab left waiting for their fix, and, with `with_kept`,
// pages fixed early that wait to be fixed again. While URLs are left to
// fetch those pages are done (the grab that fetches what they link to fixes
// them again as a matter of course); only when nothing else is left are
// they the work of a resumed grab's end-of-grab pass.
int32_t GrabControl::PagesToFix(bool with_kept) const {
    int32_t pages =
        with_kept ? static_cast<int32_t>(KeptOriginals(host_->grab_data_dir()).size()) : 0;
    host_->grab_store().ForEachUrl([&](const UrlRecord& row) {
        if (row.status == kStatusFetched) ++pages;
        return true;
    });
    return pages;
}

int32_t GrabControl::FinishedUrls() const {
    ProjectStore& store = host_->grab_store();
    int64_t unfinished = 0;
    {
        std::lock_guard<std::mutex> guard(engine_mutex_);
        if (current_) unfinished = static_cast<int64_t>(current_->waiting()) + current_->running();
    }
    if (unfinished == 0 && !running_) unfinished = WaitingUrls();
    return static_cast<int32_t>(std::max<int64_t>(0, store.QueueTotal() - unfinished));
}

int32_t GrabControl::BytesReceived() const {
    std::lock_guard<std::mutex> guard(engine_mutex_);
    return Clamp32(current_ ? current_->bytes_received() : last_received_.load());
}

int32_t GrabControl::BytesSent() const {
    std::lock_guard<std::mutex> guard(engine_mutex_);
    return Clamp32(current_ ? current_->bytes_sent() : last_sent_.load());
}

void GrabControl::UrlState(int32_t id, int32_t* state, int32_t* received, int32_t* sent) const {
    *state = 0;
    *received = 0;
    *sent = 0;
    std::lock_guard<std::mutex> guard(engine_mutex_);
    uint64_t r = 0, s = 0;
    if (current_ && current_->Snapshot(id, state, &r, &s)) {
        *received = Clamp32(r);
        *sent = Clamp32(s);
    }
}

// --- Link checks ---------------------------------------------------------------

void GrabControl::PrepareLinkCheck(int32_t id) {
    ProjectStore& store = host_->grab_store();
    auto guard = store.Lock();
    if (id > 0) {
        MarkLinkCheck(id);
        return;
    }
    for (int32_t child : store.TreeChildren(0, true)) {
        UrlRecord row;
        if (store.LoadRow(child, &row) && row.kind == kKindLinkCheck) MarkLinkCheck(child);
    }
}

void GrabControl::MarkLinkCheck(int32_t id) {
    ProjectStore& store = host_->grab_store();
    UrlRecord row;
    if (!store.LoadRow(id, &row)) return;
    row.kind = kKindLinkCheck;
    row.title.clear();
    store.Write(&row);
    // A link check stays on the start URL's site and fetches only text.
    FilterSet set = LoadFilterSet(store, store.LoadProps(id).filter_id);
    if (!CompleteForLinkCheck(&set)) return;
    BindStayFilters(&set, row.url);
    SaveFilterSet(store, id, &set, false);
}

// --- Job lists and schedules -----------------------------------------------------

bool GrabControl::SetJobFlags(int32_t kind, Flags* flags) {
    static constexpr const char* kLines[] = {"", "Beginning Trawl", "Beginning Refresh",
                                             "Beginning Preview", "Beginning LinkCheck"};
    if (kind < 1 || kind > 4) return false;
    flags->refresh = kind == 2;
    flags->preview = kind == 3;
    flags->link_check = kind == 4;
    LogMessage(kLines[kind]);
    return true;
}

void GrabControl::QueueJob(int32_t id) {
    std::lock_guard<std::mutex> guard(jobs_mutex_);
    jobs_.push_back(id);
}

void GrabControl::BeginQueuedJobs(int32_t action) {
    std::vector<int32_t> jobs;
    {
        std::lock_guard<std::mutex> guard(jobs_mutex_);
        jobs.swap(jobs_);
    }
    if (jobs.empty()) return;
    if (action != kJobLinkCheck && before_start_) before_start_();
    host_->FireEvent(kOnGrabBegin, 0);
    ProjectStore& store = host_->grab_store();
    SettleStoppedGrab();
    const bool queued = store.ListQueue(&jobs, action);
    if (queued) {
        DropKeptOriginals(host_->grab_data_dir());
        store.SetQueueJobKind(action);
        store.Commit();
    }
    if (!queued || !dial_up_.dial_if_needed()) {
        host_->FireEvent(kOnGrabComplete, 0);
        return;
    }
    Flags flags;
    SetJobFlags(action, &flags);
    Launch([this, flags] { GrabThread(flags); });
}

void GrabControl::BeginScheduled() {
    host_->FireEvent(kOnGrabBegin, 0);
    ProjectStore& store = host_->grab_store();
    ScheduledLists lists;  // the start URLs of each job kind, in id order
    for (int32_t id : store.AllUrls()) {
        const int32_t kind = store.LoadProps(id).schedule;
        if (kind >= kJobTrawl && kind <= kJobLinkCheck) lists[kind].push_back(id);
    }
    const auto has = [&](int32_t kind) { return !lists[kind].empty(); };
    const bool stores_files = has(kJobTrawl) || has(kJobRefresh) || has(kJobPreview);
    if ((!stores_files && !has(kJobLinkCheck)) || !dial_up_.dial_if_needed()) {
        host_->FireEvent(kOnGrabComplete, 0);
        return;
    }
    if (stores_files && before_start_) before_start_();
    Launch([this, lists = std::move(lists)]() mutable { ScheduleThread(&lists); });
}

void GrabControl::ScheduleThread(ScheduledLists* lists) {
    ProjectStore& store = host_->grab_store();
    for (int32_t kind = kJobTrawl; kind <= kJobLinkCheck && !stop_.IsSet(); ++kind) {
        Flags flags;
        SetJobFlags(kind, &flags);
        flags.scheduled = true;
        std::vector<int32_t>& list = (*lists)[kind];
        if (list.empty()) continue;
        if (!store.ListQueue(&list, kind)) break;  // nothing to do ends the run
        RunGuarded(ThreadRole::MainEngine, [&] { RunOneGrab(flags); });
    }
    Finish();
}

}  // namespace fw

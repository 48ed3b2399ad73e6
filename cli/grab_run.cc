#include "cli/grab_run.h"

#include <unistd.h>

#include <chrono>
#include <unordered_set>

#include "app/core/content_export.h"
#include "app/core/contents_page.h"
#include "app/core/grab_limits.h"
#include "app/core/grab_monitor.h"
#include "app/core/page_rules.h"
#include "app/core/program_files.h"
#include "app/core/rate_meter.h"
#include "app/core/url_path.h"
#include "cli/exit_codes.h"
#include "engine/interface/ref_counted.h"
#include "platform/local_time.h"

namespace corvalin::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What a stopped or killed grab left: a grab or refresh goes on with it
// unless asked to start over. False when there is nothing to go on with.
bool LeftToResume(fw::IDizoziz* engine, const GrabRequest& request, int32_t* done, int32_t* left) {
    if (request.restart) return false;
    if (request.kind != GrabKind::kGrab && request.kind != GrabKind::kRefresh) return false;
    *left = 0;
    *done = 0;
    engine->WaitingUrls(left);
    engine->FinishedUrls(done);
    return *left > 0;
}

fw::HRESULT Start(fw::IDizoziz* engine, const GrabRequest& request, bool resume) {
    if (resume) return engine->ResumeBegin(request.kind == GrabKind::kRefresh ? 1 : 0);
    switch (request.kind) {
        case GrabKind::kGrab:
            return engine->GrabBegin(request.id, 0);
        case GrabKind::kRefresh:
            return engine->GrabBegin(request.id, 1);
        case GrabKind::kPreview:
            return engine->PreviewBegin(request.id);
        case GrabKind::kLinkCheck:
            return engine->LinkCheckBegin(request.id);
    }
    return fw::E_INVALIDARG;
}

// The engine counts in 32 bits; read as unsigned, the count lasts to 4 GB.
int64_t BytesReceived(fw::IDizoziz* engine) {
    int32_t bytes = 0;
    engine->BytesReceived(&bytes);
    return static_cast<uint32_t>(bytes);
}

int64_t Seconds(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - since).count();
}

// What the calling thread does while the grab runs: it takes the finished
// URLs from the monitor, counts and shows them, and keeps the status line.
class GrabWatch {
public:
  GrabWatch(Session& session, const GrabRequest& request, const PageRules& rules,
            ProgressDisplay* display, GrabTally* tally)
      : session_(session),
        engine_(session.engine()),
        request_(request),
        rules_(rules),
        display_(display),
        tally_(tally) {}

  void TakeFinished(GrabMonitor* monitor) {
      for (int32_t id : monitor->TakeDone()) {
          if (!seen_.insert(id).second) continue;
          fw::ComPtr<fw::IDizozizUrl> url;
          UrlFacts facts;
          if (fw::Failed(engine_->ReadUrl(id, url.Receive())) ||
              fw::Failed(ReadUrlFacts(url.get(), &facts))) {
              continue;  // deleted meanwhile
          }
          ApplyRules(id, facts.url);
          tally_->Add(facts.status, facts.error);
          // A terminal shows the failures; a log shows every URL.
          if (request_.quiet) continue;
          if (display_->live() && Classify(facts.status, facts.error) != Outcome::kFailed) {
              continue;
          }
          std::string line = platform::TimeOfDayStamp() + OutcomeWord(facts.status, facts.error);
          line.resize(std::max<size_t>(line.size(), 14), ' ');
          line += facts.url;
          if (std::string reason = ErrorReason(facts.error);
              !reason.empty() && facts.error >= 400) {
              line += " (" + reason + ")";
          }
          display_->Line(line);
      }
      WarnOfUntrustedHosts();
    }

    // Redraws the status line, at most a few times a second however fast
    // URLs finish.
    void ShowStatus(GrabMonitor* monitor, Clock::time_point started_at) {
        if (!display_->live()) return;
        const auto now = Clock::now();
        if (now - last_status_ < milliseconds(200)) return;
        last_status_ = now;
        GrabCounters counters;
        engine_->WorkingThreads(&counters.threads);
        int32_t queued = 0;
        engine_->WaitingUrls(&queued);
        counters.queued = queued;
        counters.done = static_cast<int64_t>(seen_.size());
        counters.active = std::max<int64_t>(0, monitor->started() - counters.done);
        counters.bytes = BytesReceived(engine_);
        counters.rate = rate_.Sample(now, counters.bytes);
        counters.seconds = Seconds(started_at);
        display_->Status(StatusText(counters));
    }

private:
  // Once per host whose certificate failed verification and whose URLs were
  // fetched all the same, as the user allowed: the copy may not be the site's.
  void WarnOfUntrustedHosts() {
      std::string host;
      int32_t reason = 0;
      while (engine_->UntrustedHost(untrusted_warned_, &host, &reason) == fw::S_OK) {
          ++untrusted_warned_;
          display_->Line("warning: " + host + ": " + ErrorReason(reason) +
                         "; fetched without verification, as untrusted certificates are allowed");
      }
  }

  // The project's replacement rules rewrite each page as it finishes, in
  // the order the pages finish.
  void ApplyRules(int32_t id, const std::string& url) {
      std::optional<PageRewrite> outcome;
      const fw::HRESULT hr =
          RewriteFinishedPage(engine_, session_.project().content_dir, id, rules_, &outcome);
      if (fw::Failed(hr)) {
          session_.LogEngineFailure(hr);
      } else if (outcome == PageRewrite::kNotWritten) {
          display_->Line("warning: the replacement rules' result for " + url +
                         " could not be written; the page is as it was");
      }
  }

  Session& session_;
  fw::IDizoziz* engine_;
  const GrabRequest& request_;
  const PageRules& rules_;
  ProgressDisplay* display_;
  GrabTally* tally_;
  std::unordered_set<int32_t> seen_;  // finished URLs, each counted once
  int32_t untrusted_warned_ = 0;      // hosts warned of
  RateMeter rate_;
  Clock::time_point last_status_;
};

// The end of every grab, as in the desktop program: the contents page, then
// the edge files beside the grabbed content.
void FinishGrab(Session& session) {
    const std::string program_dir = ProgramDirectory();
    const OpenedProject& project = session.project();
    bool written = false;
    const fw::HRESULT hr = BuildContentsPage(session.engine(), project.content_dir, program_dir,
                                             ProjectName(project.project_path), &written);
    if (fw::Failed(hr)) session.LogEngineFailure(hr);
    if (!written) {
        session.Warning("cannot write the contents page " + project.content_dir +
                        kContentsPageName);
    }
    CopyEdgeFiles(session.project_file(), program_dir, project.content_dir);
}

}  // namespace

int RunGrab(Session& session, InterruptWatcher& interrupts, const GrabRequest& request) {
    fw::IDizoziz* engine = session.engine();
    const ProjectFile& project = session.project_file();
    const bool is_grab = request.kind == GrabKind::kGrab || request.kind == GrabKind::kRefresh;
    if (request.id == 0) {
        auto roots = session.StartUrls();
        if (!roots) return kExitGrab;
        if (roots->empty()) {
            session.Error(
                "You must first enter the URL of at least one web site that you would like to "
                "download. (Add one with 'fetchwell add'.)");
            return kExitGrab;
        }
        if (is_grab) {
            engine->UseEdgeLink(project.UseEdgeFile() ? project.EdgeFile() : std::string());
        }
    }

    ApplyGrabLimits(engine, request.threads, request.per_server);
    if (request.allow_untrusted) AllowUntrustedCertificates(engine);
    auto monitor = fw::MakeObject<GrabMonitor>();
    EventAdvice advice(engine, monitor.get());
    if (fw::Failed(advice.result())) {
        session.EngineFailure(advice.result(), "cannot follow the grab");
        return kExitGrab;
    }
    ProgressDisplay display(stderr, !request.quiet && ::isatty(STDERR_FILENO) == 1);
    interrupts.Arm([monitor](int signal_number) { monitor->RequestStop(signal_number); },
                   [&display] {
                       display.Clear();
                       std::fputs("fetchwell: aborted\n", stderr);
                   });
    struct Disarm {
        InterruptWatcher& watcher;
        ~Disarm() { watcher.Disarm(); }
    } disarm{interrupts};

    // Read again for every grab, so changes made since the last one count.
    const PageRules page_rules(project.ReadPageRules());
    int32_t done = 0, left = 0;
    const bool resume = LeftToResume(engine, request, &done, &left);
    if (resume && !request.quiet) {
        display.Line("Resuming: " + std::to_string(done) + " of " + std::to_string(done + left) +
                     " done (--restart starts over)");
    }
    const auto started_at = Clock::now();
    if (fw::HRESULT hr = Start(engine, request, resume); fw::Failed(hr)) {
        session.EngineFailure(hr, "the grab could not start");
        return kExitGrab;
    }
    if (is_grab) project.SetDirtyFlag(false);

    GrabTally tally;
    bool interrupted = false;
    GrabWatch watch(session, request, page_rules, &display, &tally);
    bool stop_sent = false;
    std::optional<Clock::time_point> ended_at;
    for (;;) {
        monitor->WaitFor(milliseconds(250));
        watch.TakeFinished(monitor.get());
        if (monitor->complete()) break;
        if (monitor->stop_requested() && !stop_sent) {
            stop_sent = true;
            interrupted = true;
            if (!request.quiet) {
                display.Line(
                    "Stopping... (the pages fetched so far are being finished; press Ctrl-C "
                    "again to abort)");
            }
            engine->GrabEnd();  // blocks until the grab thread has ended
            ended_at = Clock::now();
            continue;
        }
        // The grab thread has ended; its last events are in. Never wait for
        // a completion that cannot come any more.
        if (ended_at && Clock::now() - *ended_at > std::chrono::seconds(5)) break;
        watch.ShowStatus(monitor.get(), started_at);
    }
    // OnGrabComplete comes from the grab thread before it ends; GrabEnd waits
    // for that end, so what follows (bad links, another grab) finds no grab
    // running.
    if (!stop_sent) engine->GrabEnd();
    // URLs that finished between the last look and the completion.
    watch.TakeFinished(monitor.get());
    display.Clear();
    FinishGrab(session);
    if (!request.quiet) {
        const std::string summary = SummaryText(tally, BytesReceived(engine),
                                                Seconds(started_at), interrupted);
        std::fprintf(stderr, "%s\n", summary.c_str());
    }
    return interrupted ? 128 + monitor->stop_code() : kExitOk;
}

}  // namespace corvalin::cli

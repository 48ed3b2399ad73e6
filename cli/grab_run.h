// Runs one grab the way the desktop program's document does: the grab starts
// asynchronously, an advised event sink reports URLs and the end, and the
// calling thread shows progress meanwhile and can stop the grab with GrabEnd
// (after which the engine still fixes the pages it has fetched).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cli/interrupts.h"
#include "cli/progress.h"
#include "cli/session.h"

namespace corvalin::cli {

enum class GrabKind {
    kGrab,       // GrabBegin(id, 0): fetch everything again
    kRefresh,    // GrabBegin(id, 1): fetch what changed
    kPreview,    // PreviewBegin(id): pages only
    kLinkCheck,  // LinkCheckBegin(id): outcomes only, nothing kept
};

struct GrabRequest {
    GrabKind kind = GrabKind::kGrab;
    int32_t id = 0;                     // 0: every start URL
    std::optional<int32_t> threads;     // MaxThreads for this grab only
    std::optional<int32_t> per_server;  // MaxThreadsPerServer for this grab only
    bool quiet = false;                 // no progress and no summary
    bool allow_untrusted = false;       // AllowUntrustedCertificates for this grab only
    // A grab or refresh goes on with what a stopped or killed one left,
    // unless this asks to start over.
    bool restart = false;
};

// Runs the grab to its end and returns the exit code: kExitOk when it ran
// (whatever the URLs' outcomes), kExitGrab when it could not start (no start
// URL to grab, or the engine refused), 128 + the signal's number after a
// Ctrl-C (kExitInterrupted) or a SIGTERM stopped it.
// REQUIRES: the session has its project open.
int RunGrab(Session& session, InterruptWatcher& interrupts, const GrabRequest& request);

}  // namespace corvalin::cli

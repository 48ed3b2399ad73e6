#include "app/core/grab_limits.h"

namespace corvalin {

GrabLimits::GrabLimits(fw::IDizoziz* engine, std::optional<int32_t> threads,
                       std::optional<int32_t> per_server)
    : threads_(threads), per_server_(per_server) {
    if (!threads && !per_server) return;
    if (fw::Failed(engine->Preferences(prefs_.Receive()))) return;
    if (threads && fw::Succeeded(prefs_->get_MaxThreads(&old_threads_))) {
        prefs_->put_MaxThreads(*threads);
    }
    if (per_server && fw::Succeeded(prefs_->get_MaxThreadsPerServer(&old_per_server_))) {
        prefs_->put_MaxThreadsPerServer(*per_server);
    }
}

void GrabLimits::Restore() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!prefs_) return;
    if (threads_ && old_threads_ > 0) prefs_->put_MaxThreads(old_threads_);
    if (per_server_ && old_per_server_ > 0) prefs_->put_MaxThreadsPerServer(old_per_server_);
    prefs_.Reset();
}

}  // namespace corvalin

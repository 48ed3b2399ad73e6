// Thread limits for one grab only: the engine's MaxThreads and
// MaxThreadsPerServer are set for the grab and the user's own values put back
// after it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "engine/interface/fetchwell.h"

namespace corvalin {

class GrabLimits {
public:
    // Sets the limits that are given; nothing changes for those that are not.
    GrabLimits(fw::IDizoziz* engine, std::optional<int32_t> threads,
               std::optional<int32_t> per_server);
    ~GrabLimits() { Restore(); }
    GrabLimits(const GrabLimits&) = delete;
    GrabLimits& operator=(const GrabLimits&) = delete;

    // Puts the old values back (once). Any thread may call it, also while
    // the owner's thread is inside the destructor's call, so a signal handler
    // thread can restore before the process exits.
    void Restore();

private:
    std::mutex mutex_;
    std::optional<int32_t> threads_;
    std::optional<int32_t> per_server_;
    int32_t old_threads_ = 0;
    int32_t old_per_server_ = 0;
    fw::ComPtr<fw::IDizozizPrefs> prefs_;  // null once restored
};

}  // namespace corvalin

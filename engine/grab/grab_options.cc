#include "engine/grab/grab_options.h"

#include <algorithm>

#include "engine/support/engine_preferences.h"

namespace fw {

void GrabOptions::ReadPreferences(const EnginePreferences& prefs) {
    // Whole part of PercentMaxThreads percent of MaxThreads, in integers so
    // 50 % of 8 is exactly 4.
    const int64_t threads = static_cast<int64_t>(prefs.PercentMaxThreads()) * prefs.MaxThreads() / 100;
    thread_count = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(threads, 1024)));
    per_host_limit = std::max(1, static_cast<int>(prefs.MaxThreadsPerServer()));
    file_flags = static_cast<unsigned>(prefs.FileFlags());
    user_agent = prefs.UserAgent();
    byte_limit = prefs.UseByteLimit() ? static_cast<int64_t>(prefs.LimitKiloBytes()) * 1024 : 0;
    response_cap = std::max<int64_t>(0, prefs.LimitResponseKiloBytes()) * 1024;
    time_limit = prefs.UseTimeLimit() ? static_cast<int64_t>(prefs.LimitHours()) * 3600 +
                                            static_cast<int64_t>(prefs.LimitMinutes()) * 60
                                      : 0;
    commit_interval_ms = prefs.CommitInterval();
}

}  // namespace fw

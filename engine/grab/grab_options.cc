#include "engine/grab/grab_options.h"

#include <algorithm>
#include <optional>
#include <string>

#include "engine/interface/fetchwell.h"
#include "engine/support/engine_preferences.h"
#include "engine/support/log.h"

namespace fw {

namespace {

// A setting as the grab uses it: a value written out of range into the
// settings file by hand is taken at the nearer end of the range.
// FileFlags, a set of bits, has no nearer end: `fallback` stands in for it.
int64_t InRange(const char* name, int32_t value, PreferenceRange range,
                std::optional<int32_t> fallback = std::nullopt) {
    if (range.Holds(value)) return value;
    const int32_t used = fallback.value_or(std::clamp(value, range.min, range.max));
    LogMessage(std::string("Setting ") + name + "=" + std::to_string(value) +
               " is out of range " + std::to_string(range.min) + " to " +
               std::to_string(range.max) + "; " + std::to_string(used) + " used");
    return used;
}

}  // namespace

void GrabOptions::ReadPreferences(const EnginePreferences& prefs) {
    // Whole part of PercentMaxThreads percent of MaxThreads, in integers so
    // 50 % of 8 is exactly 4.
    const int64_t threads =
        InRange("PercentMaxThreads", prefs.PercentMaxThreads(), kPercentMaxThreadsRange) *
        InRange("MaxThreads", prefs.MaxThreads(), kMaxThreadsRange) / 100;
    thread_count = static_cast<int>(std::max<int64_t>(1, threads));
    per_host_limit = static_cast<int>(
        InRange("MaxThreadsPerServer", prefs.MaxThreadsPerServer(), kMaxThreadsPerServerRange));
    file_flags =
        static_cast<unsigned>(InRange("FileFlags", prefs.FileFlags(), kFileFlagsRange, 4));
    user_agent = prefs.UserAgent();
    byte_limit =
        prefs.UseByteLimit()
            ? InRange("LimitKiloBytes", prefs.LimitKiloBytes(), kLimitKiloBytesRange) * 1024
            : 0;
    response_cap = InRange("LimitResponseKiloBytes", prefs.LimitResponseKiloBytes(),
                           kLimitResponseKiloBytesRange) *
                   1024;
    time_limit = prefs.UseTimeLimit()
                     ? InRange("LimitHours", prefs.LimitHours(), kLimitHoursRange) * 3600 +
                           InRange("LimitMinutes", prefs.LimitMinutes(), kLimitMinutesRange) * 60
                     : 0;
    commit_interval_ms = prefs.CommitInterval();
}

}  // namespace fw

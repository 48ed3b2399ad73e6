// Choices for one grab only: thread limits and whether untrusted
// certificates are accepted. They reach the engine as overrides of its
// settings for this engine object (MaxThreads, and PercentMaxThreads at 100
// so the count is the one asked for; MaxThreadsPerServer;
// AllowUntrustedCertificates), so the shared settings file is never written
// for them: a crash, or another program's grab running meanwhile, cannot
// leave them in the user's preferences.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/interface/fetchwell.h"

namespace corvalin {

// Sets the limits that are given; nothing changes for those that are not.
void ApplyGrabLimits(fw::IDizoziz* engine, std::optional<int32_t> threads,
                     std::optional<int32_t> per_server);

// Lets the engine's grabs accept certificates that fail verification (with
// a warning per host) instead of failing their URLs.
void AllowUntrustedCertificates(fw::IDizoziz* engine);

}  // namespace corvalin

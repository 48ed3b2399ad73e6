#include "app/core/grab_limits.h"

#include <string>

namespace corvalin {

void ApplyGrabLimits(fw::IDizoziz* engine, std::optional<int32_t> threads,
                     std::optional<int32_t> per_server) {
    if (threads) {
        engine->OverrideSetting("Network", "MaxThreads", std::to_string(*threads));
        engine->OverrideSetting("Network", "PercentMaxThreads", "100");
    }
    if (per_server) {
        engine->OverrideSetting("Network", "MaxThreadsPerServer", std::to_string(*per_server));
    }
}

void AllowUntrustedCertificates(fw::IDizoziz* engine) {
    engine->OverrideSetting("Network", "AllowUntrustedCertificates", "1");
}

}  // namespace corvalin

// What a grab runs with: the settings read at its start and the job's flags.
#pragma once

#include <cstdint>
#include <string>

#include "engine/support/engine_preferences.h"

namespace fw {

class ProxySettings;
class UntrustedHosts;

struct GrabOptions {
    int thread_count = 4;      // workers at a time
    int per_host_limit = 2;    // workers at a time on one host
    unsigned file_flags = 4;   // local file layout
    std::string user_agent;    // empty: the fetch's default
    int64_t byte_limit = 0;    // bytes received that end the grab; 0 none
    // Body bytes of one response that cut it; 0 none.
    int64_t response_cap = int64_t{EnginePreferences::kDefaultResponseKiloBytes} * 1024;
    int64_t time_limit = 0;    // seconds; 0 none
    const ProxySettings* proxy = nullptr;  // enabled proxy or null; not owned
    // Where hosts whose certificate failed verification are kept when
    // untrusted certificates are allowed; null refuses them. Not owned.
    UntrustedHosts* untrusted_hosts = nullptr;
    bool refresh = true;             // conditional requests for grabbed URLs
    bool preview = false;            // only text/html, only page links
    bool link_check = false;         // keep no files, record outcomes
    bool help_mode = false;          // keep a copy of each page as fetched
    bool early_notify = false;       // announce pages once their resources are in
    bool page_order = false;         // a page's resources before the next pages
    std::string edge_file;           // relative to the data directory; empty: none
    int commit_interval_ms = 1000;   // between commits of the grab's table changes

    // The engine preferences' part: thread count (the whole part of
    // PercentMaxThreads percent of MaxThreads), per-host limit, file flags,
    // user agent, byte and time limits, response cap, commit interval.
    void ReadPreferences(const EnginePreferences& prefs);
};

}  // namespace fw

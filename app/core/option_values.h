// The values of the program options sheet ("Corvalin Options") and the
// rules that decide what it stores: the General page in the program
// settings, the Grabbing page in the engine preferences, the Proxy page in
// both. Each page reads its values when first shown and writes them on OK
// only; the dialog shows and forwards.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/app_settings.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

inline constexpr char kOptionsCaption[] = "Corvalin Options";

// --- General -------------------------------------------------------------------

struct GeneralOptions {
    bool use_default_browser = true;
    std::string browser;
    std::string html_editor;
};

GeneralOptions ReadGeneralOptions(const AppSettings& settings);
// Writes HTMLEditor, then UseDefaultBrowser and Browser. With "Default
// Browser" off and no browser named, the default browser is used after all.
// False when a write failed.
bool WriteGeneralOptions(const AppSettings& settings, const GeneralOptions& options);

// --- Grabbing ------------------------------------------------------------------

// The File Storage Structure boxes, as bits of FileFlags.
enum FileFlagBits : int32_t { kShortFileNames = 1, kSiteStructure = 2, kDomainDirectory = 4 };

struct GrabbingOptions {
    int32_t max_threads = 0;
    int32_t max_threads_per_server = 0;
    int32_t retries = 0;
    bool use_byte_limit = false;
    std::string kilobytes;  // the field: "%ld" above 0, else empty
    bool use_time_limit = false;
    std::string hours;      // both fields show their values when either is above 0
    std::string minutes;
    int32_t file_flags = 0; // only the FileFlagBits are kept
    std::string user_agent;
};

fw::HRESULT ReadGrabbingOptions(fw::IDizozizPrefs* prefs, GrabbingOptions* options);

// Whether the Grabbing page may be left (another page, or OK). Refused,
// without a message, while the byte limit is on and its kilobytes are not a
// number above 0, or while the time limit is on and its fields are not
// whole numbers from 0 or give no time at all (both 0 or empty). One part
// may be 0: one hour and no minutes is a limit of one hour.
bool GrabbingOptionsCanLeave(const GrabbingOptions& options);

// Writes, in order: MaxThreads, MaxThreadsPerServer, Retries, UseByteLimit,
// LimitKiloBytes (only with the byte limit on), UseTimeLimit, LimitHours and
// LimitMinutes (only with the time limit on), FileFlags, UserAgent. Ends at
// the first refused call. REQUIRES: GrabbingOptionsCanLeave(options).
fw::HRESULT WriteGrabbingOptions(fw::IDizozizPrefs* prefs, const GrabbingOptions& options);

// --- Proxy ---------------------------------------------------------------------

struct ProxyKind {
    const char* name;
    int32_t protocol;  // 1 HTTP, 2 SOCKS4, 3 SOCKS5
};

// The "&Type:" list, in its order; the program setting ProxyServer is the
// position + 1.
inline constexpr ProxyKind kProxyKinds[] = {
    {"CERN Compatible Proxy Server", 1},  {"SOCKS v4 Compatible Proxy Server", 2},
    {"SOCKS v5 Compatible Proxy Server", 3}, {"Microsoft Web Proxy Server", 1},
    {"Microsoft SOCKS Proxy Server", 2}, {"Wingate Proxy Server", 1},
    {"Wingate SOCKS Proxy Server", 3},
};
inline constexpr int kProxyKindCount = sizeof(kProxyKinds) / sizeof(kProxyKinds[0]);

struct ProxyOptions {
    bool use_browsers = false;
    int kind = 0;  // 0-based position in kProxyKinds
    bool use_proxy = false;
    std::string server;
    int32_t port = 0;
    std::string user;
    std::string password;
};

// The kind comes from the program setting alone (the engine's ProxyType is
// not read); a stored 0 or a value outside the list shows the first kind.
fw::HRESULT ReadProxyOptions(const AppSettings& settings, fw::IDizozizPrefs* prefs,
                             ProxyOptions* options);

// Writes the program settings ProxyServer (position + 1) and UseBrowsers,
// then UseProxy, ProxyType (the kind's protocol), ProxyServer, ProxyPort,
// ProxyUsername, ProxyPassword. Ends at the first refused call.
fw::HRESULT WriteProxyOptions(const AppSettings& settings, fw::IDizozizPrefs* prefs,
                              const ProxyOptions& options);

// Which proxy controls are enabled.
struct ProxyControlStates {
    bool enable_proxy = false;
    bool server = false;  // also "Port:" and "&Type:"
    bool user = false;
    bool password = false;
};

// The browser's proxy switch turns the rest off; otherwise "&Enable Proxy"
// turns on server, port and type, the user name for every protocol and the
// password for HTTP and SOCKS v5 (SOCKS v4 carries no password).
ProxyControlStates ProxyControlStatesFor(bool use_browsers, bool use_proxy, int kind);

}  // namespace corvalin

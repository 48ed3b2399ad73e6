#include "app/core/browser_proxy.h"

#include <cstdlib>
#include <vector>

#include "platform/file_ops.h"
#include "platform/profile_file.h"
#include "platform/run_program.h"
#include "platform/text.h"

namespace corvalin {
namespace {

// prefs.js is a few hundred kilobytes at most; more is not a prefs file.
constexpr size_t kMaxPrefsBytes = 4 << 20;

// The text after `key` on the first line holding it, up to the next ")".
bool PrefValue(std::string_view text, std::string_view key, std::string_view* value) {
    const size_t at = text.find(key);
    if (at == std::string_view::npos) return false;
    std::string_view line = text.substr(at + key.size());
    line = line.substr(0, line.find_first_of("\r\n"));
    *value = line.substr(0, line.find(')'));
    return true;
}

std::string_view Unquoted(std::string_view text) {
    const auto strip = [](char c) { return c == ' ' || c == '\t' || c == '"'; };
    while (!text.empty() && strip(text.front())) text.remove_prefix(1);
    while (!text.empty() && strip(text.back())) text.remove_suffix(1);
    return text;
}

int PortNumber(std::string_view text) {
    const long port = platform::LeadingInteger(platform::TrimView(text));
    return port > 0 && port <= 65535 ? static_cast<int>(port) : 0;
}

// The [section] names of an INI text, in order.
std::vector<std::string> SectionsOf(const std::string& ini) {
    std::vector<std::string> sections;
    size_t start = 0;
    while (start < ini.size()) {
        size_t end = ini.find('\n', start);
        if (end == std::string::npos) end = ini.size();
        const std::string_view line =
            platform::TrimView(std::string_view(ini).substr(start, end - start));
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            sections.emplace_back(line.substr(1, line.size() - 2));
        }
        start = end + 1;
    }
    return sections;
}

// The profile directory profiles.ini in `dir` chooses, or "".
std::string DefaultProfileDir(const std::string& dir) {
    const std::string ini_path = dir + "profiles.ini";
    std::string ini;
    if (!platform::ReadFilePrefix(ini_path, 1 << 20, &ini) || ini.empty()) return std::string();
    const platform::ProfileFile profiles(ini_path);
    const std::vector<std::string> sections = SectionsOf(ini);
    const auto full = [&dir](const std::string& path, bool relative) {
        return relative ? dir + path + "/" : path + "/";
    };
    // The profile an installation starts with.
    for (const std::string& s : sections) {
        if (platform::FindIgnoreCase(s, "Install") != 0) continue;
        const std::string path = profiles.ReadString(s, "Default", "");
        if (!path.empty()) return full(path, path.front() != '/');
    }
    std::vector<std::string> all;
    for (const std::string& s : sections) {
        if (platform::FindIgnoreCase(s, "Profile") != 0) continue;
        const std::string path = profiles.ReadString(s, "Path", "");
        if (path.empty()) continue;
        const std::string profile = full(path, profiles.ReadInt(s, "IsRelative", 1) != 0);
        if (profiles.ReadInt(s, "Default", 0) != 0) return profile;
        all.push_back(profile);
    }
    return all.size() == 1 ? all.front() : std::string();
}

BrowserProxy SystemProxy() {
    for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return ReadProxyVariable(value);
    }
    return {};
}

}  // namespace

BrowserKind BrowserKindOf(std::string_view desktop_entry) {
    const std::string_view entry = platform::TrimView(desktop_entry);
    if (entry.empty()) return BrowserKind::kNone;
    if (platform::FindIgnoreCase(entry, "firefox") != std::string_view::npos) {
        return BrowserKind::kFirefox;
    }
    return BrowserKind::kSystem;
}

BrowserKind DetectDefaultBrowser() {
    if (platform::FindOnPath("xdg-settings").empty()) return BrowserKind::kNone;
    platform::RunLimits limits;
    limits.timeout = std::chrono::seconds(10);
    limits.max_output = 4096;
    const platform::ProgramRun run =
        platform::RunProgram({"xdg-settings", "get", "default-web-browser"}, limits);
    if (!run.started || run.exit_code != 0) return BrowserKind::kNone;
    return BrowserKindOf(run.out);
}

BrowserProxy ReadFirefoxPrefs(std::string_view prefs_js, int* type) {
    BrowserProxy proxy;
    std::string_view value;
    if (type) *type = -1;
    if (PrefValue(prefs_js, "user_pref(\"network.proxy.type\",", &value)) {
        const long n = platform::LeadingInteger(platform::TrimView(value));
        proxy.enabled = n != 0;
        if (type) *type = static_cast<int>(n);
    }
    if (PrefValue(prefs_js, "user_pref(\"network.proxy.http\",", &value)) {
        proxy.host = std::string(Unquoted(value));
    }
    if (PrefValue(prefs_js, "user_pref(\"network.proxy.http_port\",", &value)) {
        proxy.port = PortNumber(value);
    }
    return proxy;
}

std::string FirefoxPrefsPath(const std::string& home) {
    if (home.empty()) return std::string();
    const std::string base = home.back() == '/' ? home : home + "/";
    for (const char* dir : {".mozilla/firefox/", "snap/firefox/common/.mozilla/firefox/",
                            ".var/app/org.mozilla.firefox/.mozilla/firefox/"}) {
        const std::string profile = DefaultProfileDir(base + dir);
        if (!profile.empty() && platform::FileExists(profile + "prefs.js")) {
            return profile + "prefs.js";
        }
    }
    return std::string();
}

BrowserProxy ReadProxyVariable(std::string_view text) {
    BrowserProxy proxy;
    text = platform::TrimView(text);
    if (const size_t scheme = text.find("://"); scheme != std::string_view::npos) {
        text.remove_prefix(scheme + 3);
    }
    text = text.substr(0, text.find('/'));
    if (const size_t at = text.rfind('@'); at != std::string_view::npos) text.remove_prefix(at + 1);
    // The port follows the last ":" that is not inside an IPv6 literal.
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && text.find(']', colon) == std::string_view::npos) {
        proxy.port = PortNumber(text.substr(colon + 1));
        text = text.substr(0, colon);
    } else {
        proxy.port = 80;
    }
    proxy.host = std::string(text);
    proxy.enabled = !proxy.host.empty();
    return proxy;
}

BrowserProxy ReadBrowserProxy(BrowserKind kind) {
    switch (kind) {
        case BrowserKind::kFirefox: {
            const char* home = std::getenv("HOME");
            const std::string path = FirefoxPrefsPath(home ? home : "");
            std::string prefs;
            if (path.empty() || !platform::ReadFilePrefix(path, kMaxPrefsBytes, &prefs)) return {};
            int type = -1;
            BrowserProxy proxy = ReadFirefoxPrefs(prefs, &type);
            if (type == -1 || type == kFirefoxSystemProxy) return SystemProxy();
            return proxy;
        }
        case BrowserKind::kSystem:
            return SystemProxy();
        case BrowserKind::kNone:
            break;
    }
    return {};
}

fw::HRESULT ApplyBrowserProxy(fw::IDizoziz* engine, const BrowserProxy& proxy) {
    fw::ComPtr<fw::IDizozizPrefs> prefs;
    fw::HRESULT hr = engine->Preferences(prefs.Receive());
    if (fw::Failed(hr)) return hr;
    if (!proxy.usable()) return prefs->put_UseProxy(0);
    hr = prefs->put_UseProxy(1);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyType(1);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyServer(proxy.host);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyPort(proxy.port);
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyUsername(std::string());
    if (fw::Succeeded(hr)) hr = prefs->put_ProxyPassword(std::string());
    return hr;
}

}  // namespace corvalin

#include "engine/net/cookie_store.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "engine/net/set_cookie.h"
#include "platform/file_ops.h"
#include "platform/program_home.h"
#include "platform/text.h"

namespace fw {
namespace {

constexpr auto kSaveInterval = std::chrono::seconds(1);
constexpr const char* kFileHeader =
    "# Netscape HTTP Cookie File\n"
    "# Kept by Corvalin; rewritten whenever its cookies change.\n\n";

// What of a URL decides which cookies go with it.
struct Target {
    bool secure = false;
    std::string host;  // lower case
    std::string path;  // "/" at least; no query
};

std::optional<Target> ParseTarget(std::string_view url) {
    Target t;
    if (platform::FindIgnoreCase(url, "https://") == 0) {
        t.secure = true;
        url.remove_prefix(8);
    } else if (platform::FindIgnoreCase(url, "http://") == 0) {
        url.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    size_t end = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, end);
    url = end == std::string_view::npos ? std::string_view() : url.substr(end);
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        authority = authority.substr(1, close - 1);
    } else {
        authority = authority.substr(0, authority.find(':'));
    }
    if (authority.empty()) return std::nullopt;
    t.host = platform::ToLowerAscii(authority);
    t.path = std::string(url.substr(0, url.find_first_of("?#")));
    if (t.path.empty() || t.path.front() != '/') t.path = "/";
    return t;
}

bool IsIpAddress(std::string_view host) {
    if (host.find(':') != std::string_view::npos) return true;
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string_view::npos;
}

// RFC 6265 5.1.3.
bool DomainMatches(std::string_view host, std::string_view domain) {
    if (host == domain) return true;
    return !IsIpAddress(host) && host.size() > domain.size() &&
           host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.';
}

// RFC 6265 5.1.4.
std::string DefaultPath(std::string_view request_path) {
    size_t last = request_path.rfind('/');
    if (request_path.empty() || request_path.front() != '/' || last == 0) return "/";
    return std::string(request_path.substr(0, last));
}

bool PathMatches(std::string_view request_path, std::string_view cookie_path) {
    if (request_path.substr(0, cookie_path.size()) != cookie_path) return false;
    return request_path.size() == cookie_path.size() || cookie_path.back() == '/' ||
           request_path[cookie_path.size()] == '/';
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

int64_t SystemNow() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

CookieStore::CookieStore(std::string file, WallClock clock)
    : file_(std::move(file)), clock_(clock ? std::move(clock) : WallClock(SystemNow)) {
    Load();
}

CookieStore::~CookieStore() {
    if (InstalledCookieJar() == this) InstallCookieJar(nullptr);
    Save();
}

size_t CookieStore::size() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return cookies_.size();
}

std::string CookieStore::CookiesFor(const std::string& url) {
    std::optional<Target> target = ParseTarget(url);
    if (!target) return std::string();
    const int64_t now = clock_();
    std::vector<const Cookie*> matching;
    std::string header;
    bool persistent_change = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        DropExpired(now, &persistent_change);
        for (const Cookie& c : cookies_) {
            if (c.host_only ? target->host != c.domain : !DomainMatches(target->host, c.domain)) continue;
            if (!PathMatches(target->path, c.path)) continue;
            if (c.secure && !target->secure) continue;
            matching.push_back(&c);
        }
        std::stable_sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
            if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
            return a->created < b->created;
        });
        for (const Cookie* c : matching) {
            if (!header.empty()) header += "; ";
            header += c->name + "=" + c->value;
        }
        dirty_ = dirty_ || persistent_change;
    }
    if (persistent_change) SaveSoon();
    return header;
}

void CookieStore::SetCookie(const std::string& url, const std::string& set_cookie) {
    std::optional<Target> target = ParseTarget(url);
    std::optional<SetCookieValue> parsed = ParseSetCookie(set_cookie);
    if (!target || !parsed) return;
    const int64_t now = clock_();

    Cookie c;
    c.name = std::move(parsed->name);
    c.value = std::move(parsed->value);
    // Max-Age wins over Expires; an expiry not after now removes the cookie.
    std::optional<int64_t> expiry = parsed->expires;
    if (parsed->max_age) expiry = *parsed->max_age <= 0 ? now : now + *parsed->max_age;
    const bool expired = expiry && *expiry <= now;
    c.expiry = expiry && !expired ? *expiry : 0;
    if (parsed->domain) {
        // Without a list of public suffixes, refuse at least the top-level
        // ones ("com"): a cookie for every site under them.
        if (!DomainMatches(target->host, *parsed->domain)) return;
        if (parsed->domain->find('.') == std::string::npos && *parsed->domain != target->host) return;
        c.domain = *parsed->domain;
        c.host_only = false;
    } else {
        c.domain = target->host;
    }
    c.path = parsed->path ? *parsed->path : DefaultPath(target->path);
    c.secure = parsed->secure;
    c.http_only = parsed->http_only;

    bool persistent_change = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (expired) {
            auto same = [&](const Cookie& old) {
                return old.name == c.name && old.domain == c.domain && old.path == c.path;
            };
            for (const Cookie& old : cookies_) persistent_change |= same(old) && old.expiry != 0;
            cookies_.erase(std::remove_if(cookies_.begin(), cookies_.end(), same), cookies_.end());
        } else {
            Insert(std::move(c), &persistent_change);
        }
        dirty_ = dirty_ || persistent_change;
    }
    if (persistent_change) SaveSoon();
}

// REQUIRES: mutex_ held.
void CookieStore::Insert(Cookie cookie, bool* persistent_change) {
    auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& old) {
        return old.name == cookie.name && old.domain == cookie.domain && old.path == cookie.path;
    });
    if (same != cookies_.end()) {
        *persistent_change |= same->expiry != 0 || cookie.expiry != 0;
        cookie.created = same->created;
        *same = std::move(cookie);
        return;
    }
    *persistent_change |= cookie.expiry != 0;
    cookie.created = next_created_++;
    std::string domain = cookie.domain;
    cookies_.push_back(std::move(cookie));
    EvictOverLimits(domain, persistent_change);
}

// REQUIRES: mutex_ held. The vector is in creation order, so the first
// cookie of a domain is its oldest.
void CookieStore::EvictOverLimits(const std::string& domain, bool* persistent_change) {
    size_t in_domain = std::count_if(cookies_.begin(), cookies_.end(),
                                     [&](const Cookie& c) { return c.domain == domain; });
    if (in_domain > kMaxPerDomain) {
        auto oldest = std::find_if(cookies_.begin(), cookies_.end(),
                                   [&](const Cookie& c) { return c.domain == domain; });
        *persistent_change |= oldest->expiry != 0;
        cookies_.erase(oldest);
    }
    if (cookies_.size() > kMaxCookies) {
        *persistent_change |= cookies_.front().expiry != 0;
        cookies_.erase(cookies_.begin());
    }
}

// REQUIRES: mutex_ held.
void CookieStore::DropExpired(int64_t now, bool* persistent_change) {
    auto gone = std::remove_if(cookies_.begin(), cookies_.end(),
                               [now](const Cookie& c) { return c.expiry != 0 && c.expiry <= now; });
    if (gone == cookies_.end()) return;
    *persistent_change = true;
    cookies_.erase(gone, cookies_.end());
}

void CookieStore::Load() {
    if (file_.empty()) return;
    long long size = platform::FileSize(file_);
    std::string text;
    if (size < 0 || size > static_cast<long long>(kMaxFileBytes) ||
        !platform::ReadFilePrefix(file_, kMaxFileBytes, &text)) {
        return;
    }
    const int64_t now = clock_();
    bool ignored = false;
    std::lock_guard<std::mutex> guard(mutex_);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        Cookie c;
        if (line.substr(0, 10) == "#HttpOnly_") {
            c.http_only = true;
            line.remove_prefix(10);
        } else if (line.empty() || line.front() == '#') {
            continue;
        }
        std::vector<std::string_view> f = SplitTabs(line);
        if (f.size() != 7) continue;
        std::string_view domain = f[0];
        if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
        std::string_view expiry = f[4];
        if (domain.empty() || HasControl(domain) || f[2].empty() || f[2].front() != '/' ||
            expiry.empty() || expiry.find_first_not_of("0123456789") != std::string_view::npos ||
            expiry.size() > 18 || f[5].empty() || HasControl(f[5]) || HasControl(f[6]) ||
            f[5].size() + f[6].size() > kMaxCookieBytes) {
            continue;
        }
        c.domain = platform::ToLowerAscii(domain);
        c.host_only = f[1] != "TRUE";
        c.path = std::string(f[2]);
        c.secure = f[3] == "TRUE";
        c.expiry = std::stoll(std::string(expiry));
        c.name = std::string(f[5]);
        c.value = std::string(f[6]);
        if (c.expiry != 0 && c.expiry <= now) continue;
        Insert(std::move(c), &ignored);
    }
}

// REQUIRES: mutex_ held.
std::string CookieStore::FileText() const {
    std::string text = kFileHeader;
    for (const Cookie& c : cookies_) {
        if (c.expiry == 0) continue;  // session cookies end with the store
        if (c.http_only) text += "#HttpOnly_";
        text += (c.host_only ? "" : ".") + c.domain + "\t" + (c.host_only ? "FALSE" : "TRUE") + "\t" +
                c.path + "\t" + (c.secure ? "TRUE" : "FALSE") + "\t" + std::to_string(c.expiry) + "\t" +
                c.name + "\t" + c.value + "\n";
    }
    return text;
}

bool CookieStore::Save() {
    if (file_.empty()) return true;
    std::lock_guard<std::mutex> saving(save_mutex_);
    std::string text;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!dirty_) return true;
        text = FileText();
        dirty_ = false;
        last_save_ = std::chrono::steady_clock::now();
    }
    // Cookies are credentials: the file is for this user's eyes only.
    if (platform::ReplaceFileContents(file_, text, 0600)) return true;
    std::lock_guard<std::mutex> guard(mutex_);
    dirty_ = true;
    return false;
}

void CookieStore::SaveSoon() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (std::chrono::steady_clock::now() - last_save_ < kSaveInterval) return;
    }
    Save();
}

CookieStore& InstallProgramCookieStore() {
    static CookieStore store(platform::CookieFilePath());
    static const bool installed = (InstallCookieJar(&store), true);
    (void)installed;
    return store;
}

}  // namespace fw

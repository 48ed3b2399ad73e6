// The engine's cookie store: what plain and secure fetches send as "Cookie:"
// and where they leave what a response's Set-Cookie says. Cookies are kept
// and matched by RFC 6265 (sections 5.3 and 5.4): host-only and domain
// cookies, path matching, Secure only over https, Max-Age before Expires,
// replacement by name, domain and path, removal by an expiry in the past.
//
// Persistent cookies (those with an expiry) are kept in a file in the
// Netscape cookie-file format, one cookie per line, tab-separated:
//
//   domain  include-subdomains  path  secure  expiry  name  value
//
// where a domain cookie is written ".example.com TRUE", a host-only one
// "example.com FALSE", an HttpOnly cookie's line starts "#HttpOnly_", and
// expiry is seconds since 1970 (UTC). Session cookies live only as long as
// the store. The file is read when the store is made and rewritten (whole,
// atomically) when persistent cookies changed: at most once a second while
// cookies keep arriving, on Save, and when the store goes away.
//
// Bounded: a cookie of more than kMaxCookieBytes is refused, a domain keeps
// at most kMaxPerDomain cookies and the store kMaxCookies (the oldest go
// first), and a file larger than kMaxFileBytes is not read.
//
// Safe for calls from many threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/net/cookie_jar.h"

namespace fw {

class CookieStore : public CookieJar {
public:
    static constexpr size_t kMaxPerDomain = 180;
    static constexpr size_t kMaxCookies = 3000;
    static constexpr size_t kMaxFileBytes = 4 << 20;

    // Calendar time now, in seconds; tests pass a clock of their own.
    using WallClock = std::function<int64_t()>;

    // Reads `file` when it exists; an empty path keeps nothing on disk. A null
    // clock uses the system's.
    explicit CookieStore(std::string file = std::string(), WallClock clock = nullptr);
    // Save().
    ~CookieStore() override;
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    // `url` is "http://" or "https://" host [":" port] path [query]; the port
    // plays no part (RFC 6265 cookies do not depend on it). Cookies are
    // ordered longest path first, then oldest first: "a=1; b=2".
    std::string CookiesFor(const std::string& url) override;

    // Applies one Set-Cookie value received from `url`. Values that do not
    // parse, and cookies for a domain the URL's host does not belong to, are
    // ignored.
    void SetCookie(const std::string& url, const std::string& set_cookie) override;

    // Writes the file now when persistent cookies changed since the last
    // write. False when writing failed (the store stays as it was).
    bool Save();

    const std::string& file() const { return file_; }
    // Cookies held now, expired ones included until they are next looked at.
    size_t size() const;

private:
    struct Cookie {
        std::string name;
        std::string value;
        std::string domain;  // lower case, no leading "."
        std::string path;
        int64_t expiry = 0;  // calendar time; 0 for a session cookie
        uint64_t created = 0;  // order of creation (replacement keeps it)
        bool host_only = true;
        bool secure = false;
        bool http_only = false;
    };

    void Load();
    std::string FileText() const;
    void Insert(Cookie cookie, bool* persistent_change);
    void EvictOverLimits(const std::string& domain, bool* persistent_change);
    void DropExpired(int64_t now, bool* persistent_change);
    void SaveSoon();

    const std::string file_;
    const WallClock clock_;
    mutable std::mutex mutex_;  // guards everything below
    std::vector<Cookie> cookies_;
    uint64_t next_created_ = 1;
    bool dirty_ = false;
    std::chrono::steady_clock::time_point last_save_{};
    std::mutex save_mutex_;  // serialises writes of the file; taken before mutex_
};

// The program's store on platform::CookieFilePath(), made on first use and
// installed as the jar of every later fetch (InstallCookieJar). Lives until
// the process ends.
CookieStore& InstallProgramCookieStore();

}  // namespace fw

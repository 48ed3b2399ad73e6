// Where plain and secure HTTP fetches get the cookies to send and leave the
// cookies they receive. The cookie store installs itself here; until one is
// installed no cookie is sent or stored.
#pragma once

#include <string>

namespace fw {

// REQUIRES of implementations: safe for calls from many fetch threads at once.
class CookieJar {
public:
    virtual ~CookieJar() = default;

    // The value for a "Cookie: " request header to `url` ("a=1; b=2"); empty
    // when there is nothing to send.
    virtual std::string CookiesFor(const std::string& url) = 0;

    // Keeps the value of a Set-Cookie header of a response from `url`.
    virtual void SetCookie(const std::string& url, const std::string& set_cookie) = 0;
};

// The process-wide jar new fetches use; null when none is installed.
CookieJar* InstalledCookieJar();

// Installs `jar` (not owned; null removes it). REQUIRES: the jar outlives
// every fetch that picked it up.
void InstallCookieJar(CookieJar* jar);

}  // namespace fw

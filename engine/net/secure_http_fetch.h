// One URL over HTTPS through libcurl: one easy handle per fetch, HTTP/1.0,
// redirects followed by curl (at most redirect_limit(), 3), and the final
// response's raw header block and body fed to the shared response consumer,
// so classification, Location, Last-Modified, Set-Cookie and the callbacks
// behave exactly as on the plain path.
//
// The request: GET (HEAD is sent as GET), or POST with the post data as an
// x-www-form-urlencoded body; "Accept: */*"; the user agent (the default when
// empty); Basic credentials; If-Modified-Since and If-None-Match for a GET
// when set; the cookie jar's cookies for the URL. Through the proxy it is
// given: a CONNECT tunnel through an HTTP proxy, or a SOCKS4/SOCKS5 one, with
// the proxy's credentials. A proxy that refuses the tunnel fails the fetch at Connect
// with its status as failure_code() (407 for missing credentials); a proxy
// kind that cannot tunnel fails it at once with kErrorProxyCannotCarry and
// logs "Proxy type <n> cannot carry HTTPS".
//
// Certificates are verified against the system's authorities (or ca_file())
// and the host name. One that fails fails the fetch at Connect, before
// anything is sent, with the fault as failure_code() (a kErrorCertificate*
// code) and curl's reason in the log. With untrusted hosts given (the user
// allowed untrusted certificates), the fetch is made again without
// verification instead, and the host is remembered there, logging once
// "Certificate of <host> not verified (<fault>); fetched anyway"; a later
// fetch from a remembered host connects without verification at once.
// Nothing verified that way serves a later fetch (no kept connection or
// session).
//
// States: Pending -> Connect (name lookup, connection and handshake) -> Send
// -> Receive -> Done, or Error with failed_at() Lookup (the name did not
// resolve), Connect (no connection, or the certificate was refused), Send or
// Receive. A failure logs one line of curl's own reason ("SecureHttpFetch
// ERROR: ...") and then one of "ERROR: HttpSendRequest" (nothing came back),
// "error getting header" (the header block was cut off) or "receive error"
// (the body was cut off); when curl's handles cannot even be made, the only
// line is "ERROR: InternetOpen". Without the library (it failed to start)
// the fetch does nothing and stays Pending.
//
// Waiting: the stop event ends the fetch at once (Error, no log
// line); SocketSilenceLimit() without any progress (connecting, sending or
// receiving) ends it with "SecureHttpFetch ERROR: WSAETIMEDOUT".
//
// Counters: bytes received counts header and body bytes as they arrive (after
// curl has taken off the TLS layer); bytes sent is curl's count of request
// bytes, set when the fetch ends.
//
// Curl's multi handles come from a process-wide pool, so the parsed
// authority file and the name cache serve later fetches too.
#pragma once

#include <exception>
#include <string>

#include "engine/net/http_fetch_base.h"

namespace platform {
class StopEvent;
}

namespace fw {

class UntrustedHosts;

// The authority file new secure fetches trust instead of the system's; empty
// (the default) for the system's. Process-wide, for tests and for users with
// an authority of their own.
std::string SecureCaFile();
void SetSecureCaFile(std::string path);

class SecureHttpFetch : public HttpFetchBase {
public:
    static constexpr int kDefaultPort = 443;

    // Takes the process-wide authority file.
    explicit SecureHttpFetch(FetchSink* sink);
    ~SecureHttpFetch() override;

    // SetTarget's port is the port connected to; 0 or below means 443.

    // The grab's stop event; null for none. Not owned; REQUIRES: outlives Run.
    void set_stop_event(const platform::StopEvent* stop) { stop_ = stop; }
    // A PEM file of authorities to trust instead of the system's.
    void set_ca_file(std::string path) { ca_file_ = std::move(path); }
    const std::string& ca_file() const { return ca_file_; }
    // Allows certificates that fail verification, keeping their hosts in
    // `hosts` (see above); null, the default, refuses them. Not owned;
    // REQUIRES: outlives Run.
    void set_untrusted_hosts(UntrustedHosts* hosts) { untrusted_hosts_ = hosts; }

    // Performs the fetch on the calling thread. An exception thrown by the
    // sink or a callback ends the transfer and is rethrown from here.
    void Run() override;

    // "https://" host [":" port when not 443] path: what is requested.
    std::string Url() const;

    // Results as HttpFetchBase reports them, with redirects curl followed:
    // redirects_followed() counts them and location() is the URL of the
    // final response. A chain longer than the limit comes back as the
    // redirect it stopped at: that status, location() the absolute URL it
    // names and redirects_followed() 0, so the caller treats it as a
    // redirect of the requested URL.

protected:
    // The URL of the response being consumed (the requested one until a
    // redirect was followed): where its cookie belongs.
    std::string CookieUrl() const override;

private:
    class Transfer;
    friend class Transfer;

    int EffectivePort() const { return port() > 0 ? port() : kDefaultPort; }

    const platform::StopEvent* stop_ = nullptr;
    std::string ca_file_;
    UntrustedHosts* untrusted_hosts_ = nullptr;
    std::string response_url_;  // the URL of the response fed to the consumer
};

}  // namespace fw

// What the plain and the secure HTTP fetch share: the request fields the
// pipeline fills in, the parsed results it reads, and the response consumer
// that turns raw response bytes into those results and the body. Transports
// (a socket, libcurl) only feed Consume.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/net/http_headers.h"
#include "engine/net/url_fetch.h"

namespace fw {

class CookieJar;
class ProxySettings;

enum class HttpMethod : int32_t { kHead = 0, kGet = 1, kPost = 2 };

class HttpFetchBase : public UrlFetch {
public:
    // A header block longer than this ends the fetch in Error: no server
    // needs more, and the block is held in memory whole.
    static constexpr size_t kMaxHeaderBytes = 1 << 20;

    // User-Agent sent when none is configured.
    static constexpr const char* kDefaultUserAgent =
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1.)";

    // Returns true to abort the fetch.
    using LengthCallback = std::function<bool(int64_t content_length)>;
    using TypeCallback = std::function<bool(const std::string& content_type)>;

    // Counters and results zero, state Pending, redirect limit 3, the
    // process-wide cookie jar (if any).
    explicit HttpFetchBase(FetchSink* sink);

    // --- Request fields, set before Run -------------------------------------
    // `port` is 80 when the URL names none; `path` is path and query as they
    // go on the request line. Sets the method to GET.
    void SetTarget(std::string host, int port, std::string path);
    void set_method(HttpMethod method) { method_ = method; }
    void set_post_data(std::string data) { post_data_ = std::move(data); }
    // Empty sends kDefaultUserAgent.
    void set_user_agent(std::string agent) { user_agent_ = std::move(agent); }
    // Base64 of "user:password", sent pre-emptively; empty for none.
    void set_credentials(std::string credentials) { credentials_ = std::move(credentials); }
    // Calendar time for If-Modified-Since; 0 sends none.
    void set_if_modified_since(int64_t t) { if_modified_since_ = t; }
    // An entity tag for If-None-Match (sent with a GET); empty sends none.
    void set_if_none_match(std::string etag) { if_none_match_ = std::move(etag); }
    // Not owned; null means a direct connection. REQUIRES: outlives Run.
    void set_proxy(const ProxySettings* proxy) { proxy_ = proxy; }
    // Not owned; null sends and keeps no cookies.
    void set_cookie_jar(CookieJar* jar) { cookie_jar_ = jar; }
    // Consulted once, right after the headers are parsed: the length callback
    // when Content-Length is above 0, then (unless that aborted) the type
    // callback when a Content-Type was sent.
    void SetLengthCallback(LengthCallback callback) { length_callback_ = std::move(callback); }
    void SetTypeCallback(TypeCallback callback) { type_callback_ = std::move(callback); }

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& path() const { return path_; }
    HttpMethod method() const { return method_; }
    const std::string& post_data() const { return post_data_; }
    const std::string& user_agent() const { return user_agent_; }
    const std::string& credentials() const { return credentials_; }
    int64_t if_modified_since() const { return if_modified_since_; }
    const std::string& if_none_match() const { return if_none_match_; }
    const ProxySettings* proxy() const { return proxy_; }
    CookieJar* cookie_jar() const { return cookie_jar_; }

    // --- Response consumer -------------------------------------------------
    // Feeds response bytes in arbitrary chunks. Header bytes collect until a
    // line feed follows a line feed (carriage returns in between do not
    // count), i.e. "\n\n" or "\r\n\r\n"; then the headers are parsed, the
    // Set-Cookie values are given to the cookie jar, the callbacks are
    // consulted, and the rest is body: written to the sink, except for a redirect
    // (IsRedirectStatus) while redirects followed is below the redirect limit. Once
    // aborted, refused (over kMaxHeaderBytes or without a status line, each
    // logged once) or past the response cap, nothing more is taken. Returns
    // false in those cases.
    bool Consume(const char* data, size_t length);

    // --- Results -------------------------------------------------------------
    int32_t status_code() const { return status_code_; }
    ContentKind content_kind() const { return content_kind_; }
    int64_t content_length() const { return content_length_; }
    int64_t last_modified() const { return last_modified_; }
    const std::string& etag() const { return etag_; }
    const std::string& location() const { return location_; }
    const std::string& content_type() const { return content_type_; }
    const std::string& raw_headers() const { return raw_headers_; }
    bool in_headers() const { return in_headers_; }
    bool aborted() const { return aborted_; }
    // The response announced a body longer than what arrived (a connection
    // closed early looks like a complete one otherwise). Responses that carry
    // no body whatever their Content-Length (HEAD, 1xx, 204, 304) never are.
    bool body_cut_short() const;
    bool headers_too_long() const { return headers_too_long_; }
    // The header block does not start with an HTTP status line of a code
    // from 100 to 599 (an HTTP/0.9 reply, or garbage): nothing is taken,
    // and the fetch fails (logged once).
    bool no_status_line() const { return no_status_line_; }
    // What the headers or the body refused, such that the fetch failed:
    // headers too long, no status line, or the response cap passed.
    bool refused() const { return headers_too_long_ || no_status_line_ || response_cap_passed(); }
    int32_t redirect_limit() const { return redirect_limit_; }
    int32_t redirects_followed() const { return redirects_followed_; }

protected:
    // "http://" host [":" port when not 80] path: where cookies are looked up
    // and stored.
    virtual std::string CookieUrl() const;

    void set_redirect_limit(int32_t limit) { redirect_limit_ = limit; }
    void set_redirects_followed(int32_t count) { redirects_followed_ = count; }
    // For a transport that followed redirects itself: where it ended up.
    void set_location(std::string location) { location_ = std::move(location); }

private:
    void HeadersEnded();
    void Body(const char* data, size_t length);

    // Request.
    std::string host_;
    int port_ = 80;
    std::string path_;
    std::string post_data_;
    std::string user_agent_;
    std::string credentials_;
    HttpMethod method_ = HttpMethod::kGet;
    int64_t if_modified_since_ = 0;
    std::string if_none_match_;
    const ProxySettings* proxy_ = nullptr;
    CookieJar* cookie_jar_;
    LengthCallback length_callback_;
    TypeCallback type_callback_;

    // Response.
    ContentKind content_kind_ = ContentKind::kNone;
    int64_t content_length_ = 0;
    int32_t status_code_ = 0;
    int64_t last_modified_ = 0;
    std::string etag_;
    int32_t redirect_limit_ = 3;
    int32_t redirects_followed_ = 0;
    std::string raw_headers_;  // the header block exactly as received
    std::string location_;
    std::string content_type_;
    bool in_headers_ = true;
    uint64_t body_seen_ = 0;  // bytes after the header block
    int newline_run_ = 0;  // line feeds seen with only carriage returns between
    bool aborted_ = false;
    bool headers_too_long_ = false;
    bool no_status_line_ = false;
};

}  // namespace fw

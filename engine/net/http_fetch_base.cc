#include "engine/net/http_fetch_base.h"

#include "engine/net/cookie_jar.h"
#include "engine/support/log.h"

namespace fw {

HttpFetchBase::HttpFetchBase(FetchSink* sink) : UrlFetch(sink), cookie_jar_(InstalledCookieJar()) {}

void HttpFetchBase::SetTarget(std::string host, int port, std::string path) {
    host_ = std::move(host);
    port_ = port;
    path_ = std::move(path);
    method_ = HttpMethod::kGet;
    content_kind_ = ContentKind::kNone;
}

std::string HttpFetchBase::CookieUrl() const {
    std::string url;
    url.reserve(16 + host_.size() + path_.size());
    url.append("http://").append(host_);
    if (port_ != 80) url.append(":").append(std::to_string(port_));
    return url.append(path_);
}

bool HttpFetchBase::Consume(const char* data, size_t length) {
    if (aborted_ || refused()) return false;
    size_t used = 0;
    if (in_headers_) {
        while (used < length && newline_run_ < 2) {
            char c = data[used++];
            if (c == '\n') {
                ++newline_run_;
            } else if (c != '\r') {
                newline_run_ = 0;
            }
        }
        if (raw_headers_.size() + used > kMaxHeaderBytes) {
            headers_too_long_ = true;
            LogMessage("response headers too long: " + CookieUrl());
            return false;
        }
        raw_headers_.append(data, used);
        if (newline_run_ < 2) return true;
        HeadersEnded();
        // A rejected response keeps nothing: the rest of this chunk is
        // dropped too, so a file saved earlier is never touched by it.
        if (aborted_ || no_status_line_) return false;
    }
    body_seen_ += length - used;
    Body(data + used, length - used);
    return !aborted_ && !refused();
}

bool HttpFetchBase::body_cut_short() const {
    if (in_headers_ || content_length_ <= 0 || method_ == HttpMethod::kHead) return false;
    if (status_code_ < 200 || status_code_ == 204 || status_code_ == 304) return false;
    return body_seen_ < static_cast<uint64_t>(content_length_);
}

void HttpFetchBase::HeadersEnded() {
    in_headers_ = false;
    ResponseHead head = ParseResponseHead(raw_headers_);
    status_code_ = head.status_code;
    if (status_code_ == 0) {
        no_status_line_ = true;
        LogMessage("receive error: no HTTP status line from " + CookieUrl());
        return;
    }
    content_type_ = std::move(head.content_type);
    content_kind_ = head.content_kind;
    content_length_ = head.content_length;
    location_ = std::move(head.location);
    last_modified_ = head.last_modified;
    etag_ = std::move(head.etag);
    if (cookie_jar_ != nullptr) {
        for (const std::string& cookie : head.set_cookies)
            cookie_jar_->SetCookie(CookieUrl(), cookie);
    }

    if (content_length_ > 0 && length_callback_) aborted_ = length_callback_(content_length_);
    if (!aborted_ && type_callback_ && !content_type_.empty()) {
        aborted_ = type_callback_(content_type_);
    }
}

void HttpFetchBase::Body(const char* data, size_t length) {
    if (length == 0) return;
    // Only the secure path follows redirects itself (its limit stays above
    // 0); the body of a redirect it followed is not the page.
    if (IsRedirectStatus(status_code_) && redirects_followed_ < redirect_limit_) {
        return;
    }
    // A body past the limit is rejected like one announced too long; one
    // past the cap is cut, which the transport reports.
    if (!WriteBody(data, length) && !response_cap_passed()) aborted_ = true;
}

}  // namespace fw

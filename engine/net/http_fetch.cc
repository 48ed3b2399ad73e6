#include "engine/net/http_fetch.h"

#include "engine/net/cookie_jar.h"
#include "engine/net/http_date.h"
#include "engine/net/low_speed.h"
#include "engine/net/proxy_handshake.h"
#include "engine/net/proxy_settings.h"
#include "engine/net/request_target.h"
#include "engine/net/sock_addr.h"
#include "engine/net/socket.h"
#include "engine/net/win_sock.h"
#include "engine/support/log.h"
#include "platform/text.h"
#include "platform/event.h"

namespace fw {
namespace {

// Line breaks inside a value would end the header early and let the rest of
// the value pose as headers of its own; they are dropped, as browsers drop
// them from URLs.
const char* MethodWord(HttpMethod method) {
    switch (method) {
        case HttpMethod::kHead: return "HEAD ";
        case HttpMethod::kPost: return "POST ";
        case HttpMethod::kGet: break;
    }
    return "GET ";
}

}  // namespace

std::string HttpFetch::BuildRequest() const {
    const std::string host = platform::WithoutLineBreaks(this->host());
    const std::string target = RequestTarget(path());
    std::string request;
    request.reserve(256 + 2 * host.size() + target.size());
    request += MethodWord(method());
    if (proxy() != nullptr && proxy()->protocol() == kProxyHttp) {
        request.append("http://").append(host);
        if (port() != 80) request.append(":").append(std::to_string(port()));
    }
    request += target;
    request += " HTTP/1.0\r\n";
    request += "Accept: */*\r\n";
    request += "User-Agent: ";
    request += user_agent().empty() ? kDefaultUserAgent : platform::WithoutLineBreaks(user_agent());
    request += "\r\n";
    // The port, when not the default, names the site as much as the host
    // does: virtual hosts on other ports answer by it.
    request.append("Host: ").append(host);
    if (port() != 80) request.append(":").append(std::to_string(port()));
    request += "\r\n";
    if (proxy() != nullptr && !proxy()->credentials().empty()) {
        request.append("Proxy-Authorization: Basic ")
            .append(platform::WithoutLineBreaks(proxy()->credentials()))
            .append("\r\n");
    }
    if (!credentials().empty()) {
        request.append("Authorization: Basic ")
            .append(platform::WithoutLineBreaks(credentials()))
            .append("\r\n");
    }
    if (method() == HttpMethod::kPost) {
        request += "Content-Type: application/x-www-form-urlencoded\r\n";
        request.append("Content-Length: ")
            .append(std::to_string(post_data().size()))
            .append("\r\n");
    } else if (method() == HttpMethod::kGet) {
        if (if_modified_since() != 0) {
            request.append("If-Modified-Since: ")
                .append(HttpDate::Format(if_modified_since()))
                .append("\r\n");
        }
        if (!if_none_match().empty()) {
            request.append("If-None-Match: ")
                .append(platform::WithoutLineBreaks(if_none_match()))
                .append("\r\n");
        }
    }
    if (cookie_jar() != nullptr) {
        const std::string cookies =
            platform::WithoutLineBreaks(cookie_jar()->CookiesFor(CookieUrl()));
        if (!cookies.empty()) request.append("Cookie: ").append(cookies).append("\r\n");
    }
    request += "\r\n";
    if (method() == HttpMethod::kPost) request += post_data();
    return request;
}

bool HttpFetch::ResolveAddresses(BSockAddr* target, BSockAddr* proxy_address) const {
    if (proxy() != nullptr) {
        if (!proxy_address->Address(proxy()->server(), proxy()->port())) return false;
        // An HTTP proxy resolves the target itself.
        if (proxy()->protocol() == kProxyHttp) return true;
    }
    return target->Address(host(), port());
}

void HttpFetch::Run() {
    BWinSock::Instance();
    set_redirect_limit(0);

    SetState(kFetchLookup);
    BSockAddr target;
    BSockAddr proxy_address;
    if (!ResolveAddresses(&target, &proxy_address)) return Fail();

    BSocket socket;
    if (!socket.valid()) return Fail();

    SetState(kFetchConnect);
    if (!socket.Connect(proxy() != nullptr ? proxy_address : target, stop_)) return Fail();
    if (proxy() != nullptr && !ProxyHandshake(socket, target, *proxy(), stop_)) return Fail();

    const std::string request = BuildRequest();
    SetState(kFetchSend);
    if (!socket.Send(request)) return Fail();
    CountSent(request.size());

    SetState(kFetchReceive);
    Transfer(socket);
}

void HttpFetch::Transfer(BSocket& socket) {
    // On the stack: freeing a heap block this large after every fetch made
    // the allocator merge all its small free blocks each time.
    char buffer[kReadSize + 1];
    LowSpeedWatch speed;
    for (;;) {
        size_t count = 0;
        if (!socket.Receive(buffer, sizeof buffer, &count, stop_)) {
            Fail();
            LogMessage("receive error");
            return;
        }
        if (count == 0) {
            if (in_headers()) {  // nothing an HTTP/1 server sends
                Fail();
                LogMessage(raw_headers().empty() ? "receive error: closed without a response"
                                                 : "receive error: the response ended inside its headers");
                return;
            }
            if (body_cut_short()) {  // a broken transfer, not the end of the page
                Fail();
                LogMessage("receive error");
                return;
            }
            SetState(kFetchDone);
            return;
        }
        CountReceived(count);
        if (!speed.Arrived(count)) {
            Fail();
            LogMessage(speed.Reason());
            return;
        }
        if (!Consume(buffer, count)) {
            if (response_cap_passed()) LogMessage(CapReason());
            if (refused()) Fail();
            return;  // aborted: the state stays Receive
        }
        if (stop_ != nullptr && stop_->IsSet()) return;
    }
}

}  // namespace fw

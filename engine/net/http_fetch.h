// One URL over plain HTTP/1.0: one connection, one request, the response
// streamed into the sink. Directly or through the proxy it is given (an HTTP
// proxy, or a SOCKS4/SOCKS5 tunnel). Never follows redirects, never retries:
// every decision about the outcome is the caller's.
//
// States: Pending -> Lookup -> Connect -> Send -> Receive -> Done, or Error
// with failed_at() saying where. A stop request ends a waiting call with
// Error (failed at Receive during the transfer), except when it is noticed
// right after a successful read, when the state stays Receive. An abort by a
// callback leaves the state where it was with aborted() true.
#pragma once

#include <string>

#include "engine/net/http_fetch_base.h"

namespace platform {
class StopEvent;
}

namespace fw {

class BSockAddr;
class BSocket;

class HttpFetch : public HttpFetchBase {
public:
    // Bytes asked for per read. A large read keeps the transfer fast; what
    // reaches the sink and the counters does not depend on it.
    static constexpr size_t kReadSize = 64 * 1024;

    explicit HttpFetch(FetchSink* sink) : HttpFetchBase(sink) {}

    // The grab's stop event; null for none (the waits are then unbounded).
    // Not owned; REQUIRES: outlives Run.
    void set_stop_event(const platform::StopEvent* stop) { stop_ = stop; }

    // Performs the fetch on the calling thread.
    void Run() override;

    // The request exactly as Run sends it (the cookie jar is asked for the
    // Cookie line each time).
    std::string BuildRequest() const;

private:
    bool ResolveAddresses(BSockAddr* target, BSockAddr* proxy_address) const;
    void Transfer(BSocket& socket);

    const platform::StopEvent* stop_ = nullptr;
};

}  // namespace fw

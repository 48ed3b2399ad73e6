// The local test web server: HTTP/1.0 on 127.0.0.1, one request per
// connection (every response ends by closing the connection unless a script
// says otherwise).
//
// It serves the files of a fixture folder (Content-Type from the extension,
// Content-Length, Last-Modified from the file's time, 304 for an
// If-Modified-Since at or after it, a directory without its final "/" is
// redirected to it, "index.html" for a directory) and lets a test script the
// response for any request target: status, headers, body, redirects,
// Last-Modified / 304, Set-Cookie, a delay before answering, silence, a
// connection closed or reset early, raw bytes (a body without a blank line),
// megabytes of header lines. It also tells how many requests it was
// answering at once, in all and per host, so tests can check a client's
// connection limits.
//
// One thread runs an epoll loop over every connection, so slow or silent
// scripted responses never hold up other clients, and files go out with
// sendfile. Safe to script and inspect from any thread while it runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace fwtest {

// One request as the server received it.
struct Request {
    std::string method;
    std::string target;   // as on the request line (may be an absolute URL)
    std::string path;     // the target's path, without scheme, host and query
    std::string query;    // after "?", without it
    std::string version;  // "HTTP/1.0"
    std::string head;     // the whole header block, request line included
    std::string body;     // by Content-Length
    std::chrono::steady_clock::time_point at;  // when the request was complete

    // The value of the first header named `name` (any case), trimmed; empty
    // when there is none. `found` tells the two apart.
    std::string Header(std::string_view name, bool* found = nullptr) const;
};

// How a scripted connection ends once its bytes are out.
enum class Ending {
    Close,    // an orderly close (the normal end of an HTTP/1.0 response)
    Silence,  // stay connected and say nothing until the client goes away
    Reset,    // abort the connection (the client sees a reset)
    Endless,  // go on sending filler bytes until the client goes away
    Trickle,  // go on sending one filler byte every Response::trickle
};

struct Response {
    int status = 200;
    std::string reason;  // empty: the usual phrase for `status`
    std::vector<std::pair<std::string, std::string>> headers;  // sent as given, in order
    std::string body;
    bool content_length = true;  // add Content-Length for the body
    // Sent as Last-Modified. A request whose If-Modified-Since is the same
    // text, or a date at or after this one, gets 304 without a body.
    std::string last_modified;
    size_t header_padding = 0;  // filler header lines of about this many bytes in all
    // When not empty: these bytes exactly, instead of everything above.
    std::string raw;
    std::chrono::milliseconds delay{0};  // before the first byte
    // Only this many bytes of the response are sent before `ending` applies.
    size_t send_only = std::numeric_limits<size_t>::max();
    Ending ending = Ending::Close;
    std::chrono::milliseconds trickle{100};  // the pace of Ending::Trickle

    static Response Html(std::string body);
    static Response Text(std::string content_type, std::string body);
    static Response Redirect(int status, std::string location);
    static Response Raw(std::string bytes);
};

using Handler = std::function<Response(const Request&)>;

class TestWebServer {
public:
    // Serves the files below `root` (none when empty) besides the scripts.
    explicit TestWebServer(std::string root = std::string());
    ~TestWebServer();  // Stop()
    TestWebServer(const TestWebServer&) = delete;
    TestWebServer& operator=(const TestWebServer&) = delete;

    // Listens on 127.0.0.1 (port 0: a free port) and starts the loop thread.
    // False when the port could not be bound.
    bool Start(uint16_t port = 0);
    // Ends the loop and closes every connection. Idempotent.
    void Stop();

    uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;

    // Answers requests for `target` with `response` from now on. A target with
    // "?" matches that exact path and query; one without matches the path
    // with any query (an exact match wins). Scripts win over files.
    void Script(const std::string& target, Response response);
    void Handle(const std::string& target, Handler handler);
    void RemoveScript(const std::string& target);

    // Every request received so far (unless recording is off), in order.
    std::vector<Request> Requests() const;
    Request LastRequest() const;  // empty when there was none
    size_t RequestCount() const;  // counted even when recording is off
    void ClearRequests();
    void set_record_requests(bool record);

    // The most requests that were ever being answered at once: a request
    // counts from the moment it has been read whole until its connection is
    // closed, so a client that keeps to a limit can never show more than it.
    // `host` selects the requests whose Host header (port dropped) is that
    // text; the overload without it counts every request.
    size_t PeakInFlight() const;
    size_t PeakInFlight(const std::string& host) const;

private:
    class Loop;

    std::string root_;
    uint16_t port_ = 0;
    std::unique_ptr<Loop> loop_;
    std::thread thread_;

    mutable std::mutex mutex_;  // guards everything below
    std::map<std::string, Handler> scripts_;
    std::vector<Request> requests_;
    size_t request_count_ = 0;
    bool record_ = true;
    // Requests being answered now and the most ever, by host ("" for all).
    std::map<std::string, size_t> in_flight_;
    std::map<std::string, size_t> peak_in_flight_;

    friend class Loop;
    Response Answer(const Request& request);
    void Began(const std::string& host);
    void Ended(const std::string& host);
};

// The usual reason phrase of an HTTP status ("OK", "Not Found", ...).
const char* ReasonPhrase(int status);

// RFC 1123 text of a UTC time ("Sun, 06 Nov 1994 08:49:37 GMT") and back.
std::string FormatGmt(int64_t t);
bool ParseGmt(std::string_view text, int64_t* t);

}  // namespace fwtest

#include "tests/support/test_web_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <queue>
#include <unordered_map>

namespace fwtest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxRequestHead = 1 << 20;
constexpr size_t kMaxRequestBody = 16 << 20;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// End of the request head (after its blank line), or npos.
size_t HeadEnd(std::string_view data) {
    size_t crlf = data.find("\r\n\r\n");
    size_t lf = data.find("\n\n");
    if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::string_view::npos;
    if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf)) return crlf + 4;
    return lf + 2;
}

bool ParseRequestHead(std::string head, Request* request) {
    request->head = std::move(head);
    std::string_view text = request->head;
    std::string_view line = text.substr(0, text.find('\n'));
    line = Trimmed(line);
    size_t a = line.find(' ');
    if (a == std::string_view::npos) return false;
    size_t b = line.find(' ', a + 1);
    request->method = std::string(line.substr(0, a));
    request->target = std::string(line.substr(a + 1, b == std::string_view::npos ? line.npos : b - a - 1));
    request->version = b == std::string_view::npos ? "" : std::string(line.substr(b + 1));
    std::string_view target = request->target;
    if (size_t scheme = target.find("://"); scheme != std::string_view::npos && target[0] != '/') {
        size_t slash = target.find('/', scheme + 3);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    size_t q = target.find('?');
    request->path = std::string(target.substr(0, q));
    request->query = q == std::string_view::npos ? "" : std::string(target.substr(q + 1));
    return !request->path.empty();
}

const char* ContentTypeOf(const std::string& path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html"}, {".htm", "text/html"},   {".css", "text/css"},
        {".txt", "text/plain"}, {".js", "application/javascript"},
        {".gif", "image/gif"},  {".jpg", "image/jpeg"},  {".jpeg", "image/jpeg"},
        {".png", "image/png"},  {".svg", "image/svg+xml"}, {".pdf", "application/pdf"},
        {".xml", "text/xml"},   {".zip", "application/zip"},
    };
    for (const auto& [ext, type] : kTypes) {
        size_t n = std::strlen(ext);
        if (path.size() >= n && EqualNoCase(std::string_view(path).substr(path.size() - n), ext)) {
            return type;
        }
    }
    return "application/octet-stream";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The file path for a request path, or empty when the path must not be
// served (escapes the root, carries a NUL).
std::string DecodedPath(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
            HexValue(path[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            out += path[i];
        }
    }
    if (out.empty() || out[0] != '/' || out.find('\0') != std::string::npos) return "";
    std::string_view rest = out;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view segment = rest.substr(0, slash);
        if (segment == "..") return "";
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return out;
}

// The Host header without its port, for counting requests per host.
std::string HostOf(const Request& request) {
    std::string host = request.Header("Host");
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos &&
        host.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        host.resize(colon);
    }
    return host;
}

bool NotModified(const Request& request, const std::string& last_modified) {
    bool has = false;
    std::string since = request.Header("If-Modified-Since", &has);
    if (!has || last_modified.empty()) return false;
    if (since == last_modified) return true;
    int64_t a, b;
    return ParseGmt(since, &a) && ParseGmt(last_modified, &b) && a >= b;
}

std::string StatusLine(int status, const std::string& reason) {
    return "HTTP/1.0 " + std::to_string(status) + " " +
           (reason.empty() ? std::string(ReasonPhrase(status)) : reason) + "\r\n";
}

}  // namespace

std::string Request::Header(std::string_view name, bool* found) const {
    if (found) *found = false;
    std::string_view text = head;
    size_t pos = text.find('\n');  // skip the request line
    while (pos != std::string_view::npos && pos + 1 < text.size()) {
        size_t start = pos + 1;
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualNoCase(Trimmed(line.substr(0, colon)), name)) {
            if (found) *found = true;
            return std::string(Trimmed(line.substr(colon + 1)));
        }
        pos = end;
    }
    return "";
}

Response Response::Html(std::string body) { return Text("text/html", std::move(body)); }

Response Response::Text(std::string content_type, std::string body) {
    Response r;
    r.headers.emplace_back("Content-Type", std::move(content_type));
    r.body = std::move(body);
    return r;
}

Response Response::Redirect(int status, std::string location) {
    Response r;
    r.status = status;
    r.headers.emplace_back("Location", std::move(location));
    r.headers.emplace_back("Content-Type", "text/html");
    r.body = "<html><body>Moved</body></html>";
    return r;
}

Response Response::Raw(std::string bytes) {
    Response r;
    r.raw = std::move(bytes);
    return r;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 201: return "Created";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 304: return "Not Modified";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 407: return "Proxy Authentication Required";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string FormatGmt(int64_t t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                  tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

bool ParseGmt(std::string_view text, int64_t* t) {
    std::tm tm{};
    std::string copy(Trimmed(text));
    const char* end = ::strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (end == nullptr || *end != '\0') return false;
    *t = static_cast<int64_t>(::timegm(&tm));
    return true;
}

// ---------------------------------------------------------------------------
// The event loop.

class TestWebServer::Loop {
public:
    explicit Loop(TestWebServer* server) : server_(server) {}
    ~Loop() {
        for (auto& [fd, conn] : conns_) CloseFiles(conn);
        if (listen_fd_ >= 0) ::close(listen_fd_);
        if (wake_fd_ >= 0) ::close(wake_fd_);
        if (epoll_fd_ >= 0) ::close(epoll_fd_);
    }

    bool Open(uint16_t port, uint16_t* bound) {
        epoll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
        wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (epoll_fd_ < 0 || wake_fd_ < 0 || listen_fd_ < 0) return false;
        int one = 1;
        ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
        if (::listen(listen_fd_, 4096) != 0) return false;
        socklen_t len = sizeof addr;
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        *bound = ntohs(addr.sin_port);
        Watch(listen_fd_, EPOLLIN, EPOLL_CTL_ADD);
        Watch(wake_fd_, EPOLLIN, EPOLL_CTL_ADD);
        return true;
    }

    void Wake() {
        uint64_t one = 1;
        ssize_t ignored = ::write(wake_fd_, &one, sizeof one);
        (void)ignored;
    }

    void Run() {
        epoll_event events[128];
        while (!stopping_) {
            int n = ::epoll_wait(epoll_fd_, events, 128, NextTimeout());
            if (n < 0 && errno != EINTR) break;
            for (int i = 0; i < n; ++i) {
                int fd = events[i].data.fd;
                if (fd == wake_fd_) {
                    stopping_ = true;
                } else if (fd == listen_fd_) {
                    AcceptAll();
                } else {
                    OnEvent(fd, events[i].events);
                }
            }
            RunTimers();
        }
    }

private:
    enum class Phase { Reading, Delaying, Writing, Silent, Trickling };

    struct Conn {
        int fd = -1;
        uint64_t serial = 0;
        Phase phase = Phase::Reading;
        std::string in;
        size_t head_end = std::string::npos;
        size_t body_length = 0;
        std::string out;
        size_t out_sent = 0;
        int file_fd = -1;
        off_t file_offset = 0;
        size_t file_left = 0;
        size_t budget = 0;  // bytes still allowed out before the ending applies
        Ending ending = Ending::Close;
        std::chrono::milliseconds trickle{0};
        bool in_flight = false;  // counted by Began until the close
        std::string host;
    };

    struct Timer {
        Clock::time_point when;
        int fd;
        uint64_t serial;
        bool operator>(const Timer& other) const { return when > other.when; }
    };

    void Watch(int fd, uint32_t events, int op) {
        epoll_event ev{};
        ev.events = events;
        ev.data.fd = fd;
        ::epoll_ctl(epoll_fd_, op, fd, &ev);
    }

    int NextTimeout() const {
        if (timers_.empty()) return -1;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(timers_.top().when - Clock::now());
        return static_cast<int>(std::max<int64_t>(0, left.count()));
    }

    void AcceptAll() {
        for (;;) {
            int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) return;
            Conn& conn = conns_[fd];
            conn = Conn{};
            conn.fd = fd;
            conn.serial = ++serial_;
            Watch(fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_ADD);
        }
    }

    void OnEvent(int fd, uint32_t events) {
        auto it = conns_.find(fd);
        if (it == conns_.end()) return;
        Conn& conn = it->second;
        switch (conn.phase) {
            case Phase::Reading:
                ReadRequest(conn);
                break;
            case Phase::Writing:
                if (events & (EPOLLERR | EPOLLHUP)) {
                    Close(conn, false);
                } else {
                    WriteSome(conn);
                }
                break;
            case Phase::Delaying:
            case Phase::Silent:
            case Phase::Trickling:
                // Discard whatever arrives; end when the client goes away.
                if (!Drain(conn) || (events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP))) Close(conn, false);
                break;
        }
    }

    // Reads what is waiting; false when the client has closed or failed.
    bool Drain(Conn& conn) {
        char buffer[4096];
        for (;;) {
            ssize_t n = ::recv(conn.fd, buffer, sizeof buffer, 0);
            if (n > 0) continue;
            if (n == 0) return false;
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
    }

    void ReadRequest(Conn& conn) {
        char buffer[16384];
        for (;;) {
            ssize_t n = ::recv(conn.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                conn.in.append(buffer, static_cast<size_t>(n));
                if (RequestComplete(conn)) return Respond(conn);
                if (conn.in.size() > kMaxRequestHead + kMaxRequestBody) return Close(conn, false);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            return Close(conn, false);  // closed or failed before a whole request
        }
    }

    bool RequestComplete(Conn& conn) {
        if (conn.head_end == std::string::npos) {
            conn.head_end = HeadEnd(conn.in);
            if (conn.head_end == std::string::npos) {
                if (conn.in.size() > kMaxRequestHead) conn.head_end = conn.in.size();
                else return false;
            }
            Request probe;
            probe.head = conn.in.substr(0, conn.head_end);
            long length = std::atol(probe.Header("Content-Length").c_str());
            conn.body_length = length > 0 ? std::min<size_t>(length, kMaxRequestBody) : 0;
        }
        return conn.in.size() >= conn.head_end + conn.body_length;
    }

    void Respond(Conn& conn) {
        Request request;
        bool ok = ParseRequestHead(conn.in.substr(0, conn.head_end), &request);
        request.body = conn.in.substr(conn.head_end, conn.body_length);
        conn.in.clear();
        conn.in.shrink_to_fit();
        Response response;
        if (!ok) {
            response = Response::Text("text/plain", "bad request\n");
            response.status = 400;
        } else {
            conn.host = HostOf(request);
            conn.in_flight = true;
            server_->Began(conn.host);
            response = server_->Answer(request);
        }
        Prepare(conn, request, response);
        if (response.delay.count() > 0) {
            conn.phase = Phase::Delaying;
            timers_.push(Timer{Clock::now() + response.delay, conn.fd, conn.serial});
            return;
        }
        StartWriting(conn);
    }

    // Builds the bytes to send: the scripted response, or a file.
    void Prepare(Conn& conn, const Request& request, const Response& response) {
        conn.ending = response.ending;
        conn.trickle = response.trickle;
        conn.budget = response.send_only;
        if (!response.raw.empty()) {
            conn.out = response.raw;
            return;
        }
        if (response.status == 0 && !server_->root_.empty()) {  // not scripted: a file
            PrepareFile(conn, request);
            return;
        }
        if (NotModified(request, response.last_modified)) {
            conn.out = StatusLine(304, "") + "Last-Modified: " + response.last_modified + "\r\n\r\n";
            return;
        }
        std::string out = StatusLine(response.status, response.reason);
        bool has_length = false;
        for (const auto& [name, value] : response.headers) {
            out += name + ": " + value + "\r\n";
            if (EqualNoCase(name, "Content-Length")) has_length = true;
        }
        if (!response.last_modified.empty()) out += "Last-Modified: " + response.last_modified + "\r\n";
        if (response.content_length && !has_length) {
            out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        }
        for (size_t padded = 0, n = 0; padded < response.header_padding; ++n) {
            std::string line = "X-Padding-" + std::to_string(n) + ": " + std::string(1000, 'p') + "\r\n";
            padded += line.size();
            out += line;
        }
        out += "\r\n";
        if (request.method != "HEAD") out += response.body;
        conn.out = std::move(out);
    }

    void PrepareFile(Conn& conn, const Request& request) {
        std::string decoded = DecodedPath(request.path);
        std::string file = decoded.empty() ? "" : server_->root_ + decoded;
        struct stat st {};
        if (!file.empty() && ::stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (decoded.back() != '/') {
                conn.out = StatusLine(301, "") + "Location: " + request.path + "/\r\n" +
                           "Content-Length: 0\r\n\r\n";
                return;
            }
            file += "index.html";
        }
        int fd = file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0) ::close(fd);
            std::string body = "<html><body>Not Found</body></html>";
            conn.out = StatusLine(404, "") + "Content-Type: text/html\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\n\r\n" + body;
            return;
        }
        std::string modified = FormatGmt(st.st_mtime);
        if (NotModified(request, modified)) {
            ::close(fd);
            conn.out = StatusLine(304, "") + "Last-Modified: " + modified + "\r\n\r\n";
            return;
        }
        conn.out = StatusLine(200, "") + "Content-Type: " + ContentTypeOf(file) +
                   "\r\nContent-Length: " + std::to_string(st.st_size) +
                   "\r\nLast-Modified: " + modified + "\r\nConnection: close\r\n\r\n";
        if (request.method == "HEAD" || st.st_size == 0) {
            ::close(fd);
            return;
        }
        conn.file_fd = fd;
        conn.file_offset = 0;
        conn.file_left = static_cast<size_t>(st.st_size);
    }

    void StartWriting(Conn& conn) {
        conn.phase = Phase::Writing;
        Watch(conn.fd, EPOLLOUT, EPOLL_CTL_MOD);
        WriteSome(conn);
    }

    void WriteSome(Conn& conn) {
        while (conn.out_sent < conn.out.size() && conn.budget > 0) {
            size_t chunk = std::min(conn.out.size() - conn.out_sent, conn.budget);
            int flags = MSG_NOSIGNAL | (conn.file_left > 0 ? MSG_MORE : 0);
            ssize_t n = ::send(conn.fd, conn.out.data() + conn.out_sent, chunk, flags);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                return Close(conn, false);
            }
            conn.out_sent += static_cast<size_t>(n);
            conn.budget -= static_cast<size_t>(n);
        }
        while (conn.file_left > 0 && conn.budget > 0) {
            size_t chunk = std::min({conn.file_left, conn.budget, size_t{1} << 30});
            ssize_t n = ::sendfile(conn.fd, conn.file_fd, &conn.file_offset, chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                return Close(conn, false);
            }
            if (n == 0) break;  // the file shrank under us
            conn.file_left -= static_cast<size_t>(n);
            conn.budget -= static_cast<size_t>(n);
        }
        Finish(conn);
    }

    void Finish(Conn& conn) {
        switch (conn.ending) {
            case Ending::Close:
                return Close(conn, false);
            case Ending::Reset:
                return Close(conn, true);
            case Ending::Silence:
                conn.phase = Phase::Silent;
                Watch(conn.fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
                return;
            case Ending::Endless:
                // More of the same whenever the socket takes it.
                conn.out.assign(64 * 1024, 'x');
                conn.out_sent = 0;
                conn.budget = std::numeric_limits<size_t>::max();
                return;
            case Ending::Trickle:
                conn.phase = Phase::Trickling;
                Watch(conn.fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
                timers_.push(Timer{Clock::now() + conn.trickle, conn.fd, conn.serial});
                return;
        }
    }

    // One more filler byte, and the next one after the pace.
    void TrickleByte(Conn& conn) {
        const char filler = 'x';
        if (::send(conn.fd, &filler, 1, MSG_NOSIGNAL) < 0 && errno != EAGAIN &&
            errno != EWOULDBLOCK && errno != EINTR) {
            return Close(conn, false);
        }
        timers_.push(Timer{Clock::now() + conn.trickle, conn.fd, conn.serial});
    }

    void Close(Conn& conn, bool reset) {
        if (reset) {
            linger hard{1, 0};
            ::setsockopt(conn.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        int fd = conn.fd;
        CloseFiles(conn);
        if (conn.in_flight) server_->Ended(conn.host);
        conns_.erase(fd);
    }

    void CloseFiles(Conn& conn) {
        if (conn.file_fd >= 0) ::close(conn.file_fd);
        conn.file_fd = -1;
        // Out of the epoll set first: a process forked meanwhile holds the
        // socket too, and the set would go on reporting it under a number
        // the next connection reuses.
        if (conn.fd >= 0) ::epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, conn.fd, nullptr);
        if (conn.fd >= 0) ::close(conn.fd);
        conn.fd = -1;
    }

    void RunTimers() {
        auto now = Clock::now();
        while (!timers_.empty() && timers_.top().when <= now) {
            Timer timer = timers_.top();
            timers_.pop();
            auto it = conns_.find(timer.fd);
            if (it == conns_.end() || it->second.serial != timer.serial) continue;
            // Writing can finish and close the connection, so a delayed
            // answer never falls through to the trickle step.
            if (it->second.phase == Phase::Delaying) {
                StartWriting(it->second);
            } else if (it->second.phase == Phase::Trickling) {
                TrickleByte(it->second);
            }
        }
    }

    TestWebServer* server_;
    int epoll_fd_ = -1;
    int wake_fd_ = -1;
    int listen_fd_ = -1;
    bool stopping_ = false;
    uint64_t serial_ = 0;
    std::unordered_map<int, Conn> conns_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
};

// ---------------------------------------------------------------------------

TestWebServer::TestWebServer(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

TestWebServer::~TestWebServer() { Stop(); }

bool TestWebServer::Start(uint16_t port) {
    if (loop_) return false;
    auto loop = std::make_unique<Loop>(this);
    if (!loop->Open(port, &port_)) return false;
    loop_ = std::move(loop);
    thread_ = std::thread([this] { loop_->Run(); });
    return true;
}

void TestWebServer::Stop() {
    if (!loop_) return;
    loop_->Wake();
    if (thread_.joinable()) thread_.join();
    loop_.reset();
}

std::string TestWebServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

void TestWebServer::Script(const std::string& target, Response response) {
    Handle(target, [response = std::move(response)](const Request&) { return response; });
}

void TestWebServer::Handle(const std::string& target, Handler handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    scripts_[target] = std::move(handler);
}

void TestWebServer::RemoveScript(const std::string& target) {
    std::lock_guard<std::mutex> guard(mutex_);
    scripts_.erase(target);
}

std::vector<Request> TestWebServer::Requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

Request TestWebServer::LastRequest() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_.empty() ? Request{} : requests_.back();
}

size_t TestWebServer::RequestCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return request_count_;
}

void TestWebServer::ClearRequests() {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.clear();
}

void TestWebServer::set_record_requests(bool record) {
    std::lock_guard<std::mutex> guard(mutex_);
    record_ = record;
}

size_t TestWebServer::PeakInFlight() const { return PeakInFlight(std::string()); }

size_t TestWebServer::PeakInFlight(const std::string& host) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = peak_in_flight_.find(host);
    return it == peak_in_flight_.end() ? 0 : it->second;
}

// Every request counts under "" (all hosts) and under its host, unless it
// named none.
void TestWebServer::Began(const std::string& host) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const std::string& key : {std::string(), host}) {
        size_t now = ++in_flight_[key];
        peak_in_flight_[key] = std::max(peak_in_flight_[key], now);
        if (host.empty()) break;
    }
}

void TestWebServer::Ended(const std::string& host) {
    std::lock_guard<std::mutex> guard(mutex_);
    --in_flight_[std::string()];
    if (!host.empty()) --in_flight_[host];
}

// A scripted answer, or a Response with status 0 meaning "serve a file".
Response TestWebServer::Answer(const Request& request) {
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++request_count_;
        if (record_) {
            requests_.push_back(request);
            requests_.back().at = std::chrono::steady_clock::now();
        }
        std::string exact = request.query.empty() ? request.path : request.path + "?" + request.query;
        auto it = scripts_.find(exact);
        if (it == scripts_.end()) it = scripts_.find(request.path);
        if (it != scripts_.end()) handler = it->second;
    }
    if (handler) return handler(request);
    Response file;
    file.status = 0;
    if (root_.empty()) {
        file = Response::Html("<html><body>Not Found</body></html>");
        file.status = 404;
    }
    return file;
}

}  // namespace fwtest

#include "tests/support/scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace fwtest {

ScriptedPeer::ScriptedPeer() = default;

ScriptedPeer::~ScriptedPeer() { Stop(); }

ScriptedPeer& ScriptedPeer::Read(size_t bytes) {
    steps_.push_back({Step::kRead, bytes, {}, {}});
    return *this;
}

ScriptedPeer& ScriptedPeer::ReadUntil(std::string marker) {
    steps_.push_back({Step::kReadUntil, 0, std::move(marker), {}});
    return *this;
}

ScriptedPeer& ScriptedPeer::Write(std::string bytes) {
    steps_.push_back({Step::kWrite, 0, std::move(bytes), {}});
    return *this;
}

ScriptedPeer& ScriptedPeer::Pause(std::chrono::milliseconds time) {
    steps_.push_back({Step::kPause, 0, {}, time});
    return *this;
}

ScriptedPeer& ScriptedPeer::Hold() {
    steps_.push_back({Step::kHold, 0, {}, {}});
    return *this;
}

ScriptedPeer& ScriptedPeer::Reset() {
    steps_.push_back({Step::kReset, 0, {}, {}});
    return *this;
}

bool ScriptedPeer::Start() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listen_fd_ < 0 || stop_fd_ < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    if (::listen(listen_fd_, 64) != 0) return false;
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void ScriptedPeer::Stop() {
    if (thread_.joinable()) {
        uint64_t one = 1;
        ssize_t ignored = ::write(stop_fd_, &one, sizeof one);
        (void)ignored;
        thread_.join();
    }
    if (listen_fd_ >= 0) ::close(listen_fd_);
    if (stop_fd_ >= 0) ::close(stop_fd_);
    listen_fd_ = stop_fd_ = -1;
}

std::string ScriptedPeer::Received() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

size_t ScriptedPeer::Connections() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return connections_;
}

// Waits for `fd` or the stop request; true when `fd` is readable.
bool ScriptedPeer::WaitReadable(int fd, int timeout_ms) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, 2, timeout_ms);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (fds[1].revents & POLLIN)) return false;
        return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
}

void ScriptedPeer::Serve() {
    for (;;) {
        if (!WaitReadable(listen_fd_, -1)) return;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++connections_;
        }
        RunScript(fd);
    }
}

bool ScriptedPeer::ReadSome(int fd, std::string* got) {
    if (!WaitReadable(fd, -1)) return false;
    char buffer[4096];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    got->append(buffer, static_cast<size_t>(n));
    std::lock_guard<std::mutex> guard(mutex_);
    received_.append(buffer, static_cast<size_t>(n));
    return true;
}

void ScriptedPeer::RunScript(int fd) {
    bool reset = false;
    for (const Step& step : steps_) {
        bool go_on = true;
        std::string got;
        switch (step.kind) {
            case Step::kRead:
                // Reads no further than the step asks, so later steps see
                // what follows.
                while (go_on && got.size() < step.count) {
                    if (!WaitReadable(fd, -1)) { go_on = false; break; }
                    char buffer[4096];
                    size_t want = std::min(sizeof buffer, step.count - got.size());
                    ssize_t n = ::recv(fd, buffer, want, 0);
                    if (n <= 0) { go_on = false; break; }
                    got.append(buffer, static_cast<size_t>(n));
                    std::lock_guard<std::mutex> guard(mutex_);
                    received_.append(buffer, static_cast<size_t>(n));
                }
                break;
            case Step::kReadUntil:
                // Peeks first so nothing after the marker is consumed.
                while (go_on && got.find(step.bytes) == std::string::npos) {
                    if (!WaitReadable(fd, -1)) { go_on = false; break; }
                    char buffer[4096];
                    ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_PEEK);
                    if (n <= 0) { go_on = false; break; }
                    std::string joined = got + std::string(buffer, static_cast<size_t>(n));
                    size_t at = joined.find(step.bytes);
                    size_t take = at == std::string::npos ? static_cast<size_t>(n)
                                                          : at + step.bytes.size() - got.size();
                    n = ::recv(fd, buffer, take, 0);
                    if (n <= 0) { go_on = false; break; }
                    got.append(buffer, static_cast<size_t>(n));
                    std::lock_guard<std::mutex> guard(mutex_);
                    received_.append(buffer, static_cast<size_t>(n));
                }
                break;
            case Step::kWrite:
                go_on = ::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) ==
                        static_cast<ssize_t>(step.bytes.size());
                break;
            case Step::kPause: {
                pollfd stop = {stop_fd_, POLLIN, 0};
                go_on = ::poll(&stop, 1, static_cast<int>(step.time.count())) == 0;
                break;
            }
            case Step::kHold:
                while (ReadSome(fd, &got)) {
                }
                go_on = false;
                break;
            case Step::kReset:
                reset = true;
                go_on = false;
                break;
        }
        if (!go_on) break;
    }
    if (reset) {
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    ::close(fd);
}

}  // namespace fwtest

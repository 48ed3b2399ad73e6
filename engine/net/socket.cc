#include "engine/net/socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "engine/net/socket_error.h"
#include "platform/event.h"

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int64_t> silence_limit_ms{30000};

enum class Wait { Ready, Stopped, TimedOut, Failed };

// Waits until `fd` shows one of `events`, the stop event is set or the
// deadline passes. The socket is looked at first, so a socket that is ready
// wins over a stop request. `stop` may be null.
Wait WaitForSocket(int fd, short events, const platform::StopEvent* stop, Clock::time_point deadline) {
    const int stop_fd = stop ? stop->descriptor() : -1;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fds[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
        int timeout = static_cast<int>(left > INT_MAX ? INT_MAX : (left < 0 ? 0 : left));
        // Without a descriptor for the stop event, look at it every millisecond.
        if (stop && stop_fd < 0 && timeout > 1) timeout = 1;
        int n = ::poll(fds, stop_fd >= 0 ? 2 : 1, timeout);
        if (n < 0 && errno != EINTR) {
            SetLastSocketErrorFromErrno();
            return Wait::Failed;
        }
        if (n > 0 && (fds[0].revents & (events | POLLERR | POLLHUP | POLLNVAL))) return Wait::Ready;
        if (stop && stop->IsSet()) return Wait::Stopped;
        if (Clock::now() >= deadline) return Wait::TimedOut;
    }
}

Clock::time_point DeadlineFromNow() { return Clock::now() + SocketSilenceLimit(); }

// WaitForSocket, true only when the socket is ready. A time-out or failure
// is logged after `prefix`; a stop is not a failure and is not logged.
bool WaitOrLog(int fd, short events, const platform::StopEvent* stop, Clock::time_point deadline,
               const char* prefix) {
    switch (WaitForSocket(fd, events, stop, deadline)) {
        case Wait::Ready:
            return true;
        case Wait::Stopped:
            return false;
        case Wait::TimedOut:
            SetLastSocketError(kWsaEtimedout);
            break;
        case Wait::Failed:
            break;
    }
    LogSocketError(prefix);
    return false;
}

}  // namespace

std::chrono::milliseconds SocketSilenceLimit() {
    return std::chrono::milliseconds(silence_limit_ms.load(std::memory_order_relaxed));
}

void SetSocketSilenceLimit(std::chrono::milliseconds limit) {
    silence_limit_ms.store(limit.count(), std::memory_order_relaxed);
}

BSocket::BSocket() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        SetLastSocketErrorFromErrno();
        return;
    }
    BSockAddr any;
    if (::bind(fd_, any.get(), BSockAddr::size()) != 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::create ERROR: ");
        return;
    }
    valid_ = true;
}

BSocket::BSocket(int handle) : fd_(handle), valid_(handle >= 0) {
    if (valid_) SetBlocking(true);
}

BSocket::~BSocket() {
    // The handle is closed even after a failed connect cleared valid_, so no
    // descriptor is ever left behind.
    if (fd_ < 0) return;
    if (::close(fd_) != 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::~BSocket ERROR: ");
    }
}

bool BSocket::SetBlocking(bool blocking) {
    int non_blocking = blocking ? 0 : 1;
    if (::ioctl(fd_, FIONBIO, &non_blocking) != 0) {
        SetLastSocketErrorFromErrno();
        return false;
    }
    return true;
}

bool BSocket::Connect(const BSockAddr& address) {
    if (!address.valid() || fd_ < 0) {
        valid_ = false;
        return false;
    }
    int error = 0;
    if (::connect(fd_, address.get(), BSockAddr::size()) != 0) {
        error = errno;
        // An interrupted connect goes on in the background; calling connect
        // again would only report it as already in progress.
        if (error == EINTR) error = FinishInterruptedConnect();
    }
    if (error != 0) {
        SetLastSocketError(SocketErrorFromErrno(error));
        valid_ = false;
        LogSocketError("BSocket::Connect ERROR: ");
        return false;
    }
    valid_ = true;
    return true;
}

int BSocket::FinishInterruptedConnect() {
    pollfd p{fd_, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno != EINTR) return errno;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

bool BSocket::Connect(const BSockAddr& address, const platform::StopEvent* stop) {
    if (stop == nullptr) return Connect(address);
    if (!address.valid() || fd_ < 0) {
        valid_ = false;
        return false;
    }
    SetBlocking(false);
    if (::connect(fd_, address.get(), BSockAddr::size()) == 0) {
        valid_ = true;
    } else if (errno != EINPROGRESS && errno != EINTR) {
        SetLastSocketErrorFromErrno();
        valid_ = false;
        LogSocketError("BSocket::Connect ERROR: ");
    } else {
        valid_ = WaitForConnect(*stop);
    }
    SetBlocking(true);
    return valid_;
}

bool BSocket::WaitForConnect(const platform::StopEvent& stop) {
    if (!WaitOrLog(fd_, POLLOUT, &stop, DeadlineFromNow(), "BSocket::Connect ERROR: "))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        SetLastSocketError(SocketErrorFromErrno(error));
        LogSocketError("BSocket::Connect ERROR: ");
        return false;
    }
    return true;
}

bool BSocket::Send(const char* data, size_t length) {
    if (!valid_ || data == nullptr || length < 1) return false;
    ssize_t sent;
    do {
        sent = ::send(fd_, data, length, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::Send ERROR: ");
        return false;
    }
    return static_cast<size_t>(sent) == length;
}

bool BSocket::Receive(char* buffer, size_t size, size_t* count) {
    if (count) *count = 0;
    if (!valid_ || buffer == nullptr || count == nullptr || size < 2) return false;
    ssize_t got;
    do {
        got = ::recv(fd_, buffer, size - 1, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::Receive ERROR: ");
        return false;
    }
    *count = static_cast<size_t>(got);
    buffer[got] = '\0';
    return true;
}

bool BSocket::Receive(char* buffer, size_t size, size_t* count, const platform::StopEvent* stop) {
    if (stop == nullptr) return Receive(buffer, size, count);
    return ReceiveWithin(buffer, size, count, stop);
}

bool BSocket::ReceiveWithin(char* buffer, size_t size, size_t* count,
                            const platform::StopEvent* stop) {
    if (count) *count = 0;
    if (!valid_ || buffer == nullptr || count == nullptr || size < 2) return false;
    const Clock::time_point deadline = DeadlineFromNow();
    for (;;) {
        // Reading first costs one call when data is waiting, which is the
        // common case during a transfer; the socket itself stays blocking.
        ssize_t got = ::recv(fd_, buffer, size - 1, MSG_DONTWAIT);
        if (got >= 0) {
            *count = static_cast<size_t>(got);
            buffer[got] = '\0';
            return true;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            SetLastSocketErrorFromErrno();
            LogSocketError("BSocket::Receive ERROR: ");
            return false;
        }
        if (!WaitOrLog(fd_, POLLIN, stop, deadline, "BSocket::Receive ERROR: ")) return false;
    }
}

bool BSocket::Listen() {
    if (!valid_) return false;
    if (::listen(fd_, 0x7fffffff) != 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::Listen ERROR: ");
        return false;
    }
    return true;
}

bool BSocket::Accept(int* handle) {
    if (!valid_ || handle == nullptr) return false;
    int accepted;
    do {
        accepted = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    } while (accepted < 0 && errno == EINTR);
    if (accepted < 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::Accept ERROR: ");
        return false;
    }
    *handle = accepted;
    return true;
}

bool BSocket::AcceptWithin(int* handle, const platform::StopEvent* stop) {
    if (!valid_ || handle == nullptr) return false;
    return WaitOrLog(fd_, POLLIN, stop, DeadlineFromNow(), "BSocket::Accept ERROR: ") &&
           Accept(handle);
}

bool BSocket::GetName(BSockAddr* address) const {
    if (address == nullptr) return false;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BSocket::GetName ERROR: ");
        return false;
    }
    address->Assign(local, true);
    return true;
}

}  // namespace fw

#include "tests/support/tls_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

#include "tests/support/child_process.h"

namespace fwtest {
namespace {

constexpr size_t kChunk = 64 * 1024;

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Waits until `fd` shows `events`; false when the stop descriptor fired.
bool WaitFor(int fd, short events, int stop_fd) {
    pollfd p[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
    for (;;) {
        int n = ::poll(p, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || p[1].revents != 0) return false;
        return true;
    }
}

// Repeats a non-blocking TLS operation until it gets somewhere. Returns its
// last result: above 0 on success.
template <typename Op>
int SslRetry(SSL* ssl, int fd, int stop_fd, Op op) {
    for (;;) {
        ERR_clear_error();
        int r = op();
        if (r > 0) return r;
        int e = SSL_get_error(ssl, r);
        if (e == SSL_ERROR_WANT_READ) {
            if (!WaitFor(fd, POLLIN, stop_fd)) return -1;
        } else if (e == SSL_ERROR_WANT_WRITE) {
            if (!WaitFor(fd, POLLOUT, stop_fd)) return -1;
        } else {
            return r;
        }
    }
}

bool SendAll(int fd, const char* data, size_t size, int stop_fd) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, stop_fd)) return false;
        } else {
            return false;
        }
    }
    return true;
}

int ConnectBackend(uint16_t port) {
    const int fd = ConnectLoopback(port);
    if (fd >= 0) SetNonBlocking(fd);
    return fd;
}

void ResetAndClose(int fd) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

}  // namespace

struct TlsFront::Context {
    SSL_CTX* ctx = nullptr;
    ~Context() { SSL_CTX_free(ctx); }
};

TlsFront::TlsFront(uint16_t backend_port, std::string cert_file, std::string key_file)
    : backend_port_(backend_port), cert_file_(std::move(cert_file)), key_file_(std::move(key_file)) {}

TlsFront::~TlsFront() { Stop(); }

std::string TlsFront::BaseUrl() const { return "https://127.0.0.1:" + std::to_string(port_); }

bool TlsFront::Start(uint16_t port) {
    if (context_) return false;
    // Writes to a client that has gone must fail, not end the process.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        ::signal(SIGPIPE, SIG_IGN);
    }
    auto context = std::make_unique<Context>();
    context->ctx = SSL_CTX_new(TLS_server_method());
    if (context->ctx == nullptr ||
        SSL_CTX_use_certificate_chain_file(context->ctx, cert_file_.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context->ctx, key_file_.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context->ctx) != 1) {
        return false;
    }
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listen_fd_ < 0 || stop_fd_ < 0) return false;
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 4096) != 0) {
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    context_ = std::move(context);
    acceptor_ = std::thread([this] { Accept(); });
    return true;
}

void TlsFront::Stop() {
    if (acceptor_.joinable()) {
        uint64_t one = 1;
        ssize_t ignored = ::write(stop_fd_, &one, sizeof one);
        (void)ignored;
        acceptor_.join();
        Reap(true);
    }
    if (listen_fd_ >= 0) ::close(listen_fd_);
    if (stop_fd_ >= 0) ::close(stop_fd_);
    listen_fd_ = stop_fd_ = -1;
    context_.reset();
}

void TlsFront::Accept() {
    for (;;) {
        if (!WaitFor(listen_fd_, POLLIN, stop_fd_)) return;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        ++connections_;
        Reap(false);
        std::lock_guard<std::mutex> guard(mutex_);
        Relay& relay = relays_.emplace_back();
        relay.thread = std::thread([this, fd, &relay] { Serve(fd, &relay); });
    }
}

void TlsFront::Reap(bool all) {
    std::list<Relay> finished;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto it = relays_.begin(); it != relays_.end();) {
            auto next = std::next(it);
            if (all || it->done.load()) finished.splice(finished.end(), relays_, it);
            it = next;
        }
    }
    for (Relay& relay : finished) relay.thread.join();
}

void TlsFront::Serve(int client_fd, Relay* relay) {
    SSL* ssl = SSL_new(context_->ctx);
    int backend_fd = -1;
    bool reset_client = false;
    if (ssl != nullptr && SSL_set_fd(ssl, client_fd) == 1 &&
        SslRetry(ssl, client_fd, stop_fd_, [&] { return SSL_accept(ssl); }) == 1) {
        ++handshakes_;
        backend_fd = ConnectBackend(backend_port_);
    }
    std::vector<char> buffer(kChunk);
    bool client_open = true;
    while (backend_fd >= 0) {
        pollfd p[3] = {{client_fd, static_cast<short>(client_open ? POLLIN : 0), 0},
                       {backend_fd, POLLIN, 0},
                       {stop_fd_, POLLIN, 0}};
        if (!(client_open && SSL_pending(ssl) > 0)) {
            int n = ::poll(p, 3, -1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || p[2].revents != 0) break;
        } else {
            p[0].revents = POLLIN;
        }
        if (client_open && p[0].revents != 0) {
            ERR_clear_error();
            int r = SSL_read(ssl, buffer.data(), static_cast<int>(buffer.size()));
            if (r > 0) {
                if (!SendAll(backend_fd, buffer.data(), static_cast<size_t>(r), stop_fd_)) break;
            } else {
                int e = SSL_get_error(ssl, r);
                if (e == SSL_ERROR_WANT_WRITE) {
                    if (!WaitFor(client_fd, POLLOUT, stop_fd_)) break;
                } else if (e != SSL_ERROR_WANT_READ) {
                    // The client is done sending (or gone): let the backend know.
                    client_open = false;
                    ::shutdown(backend_fd, SHUT_WR);
                }
            }
        }
        if (p[1].revents != 0) {
            ssize_t n = ::recv(backend_fd, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                int size = static_cast<int>(n);
                if (SslRetry(ssl, client_fd, stop_fd_,
                             [&] { return SSL_write(ssl, buffer.data(), size); }) <= 0) {
                    break;
                }
            } else if (n == 0) {
                SslRetry(ssl, client_fd, stop_fd_, [&] { return SSL_shutdown(ssl) >= 0 ? 1 : -1; });
                break;
            } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                reset_client = errno == ECONNRESET;
                break;
            }
        }
    }
    if (backend_fd >= 0) ::close(backend_fd);
    SSL_free(ssl);
    if (reset_client) {
        ResetAndClose(client_fd);
    } else {
        ::close(client_fd);
    }
    relay->done = true;
}

}  // namespace fwtest

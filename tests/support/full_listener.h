// A loopback listener whose accept queue is full, so a further connect to it
// neither succeeds nor fails: the system drops the handshake and the client
// waits. For testing connect time-outs and stop requests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace fwtest {

class FullListener {
public:
    FullListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 0);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        // Backlog 0 still queues one connection; a few more make sure.
        for (int i = 0; i < 4; ++i) {
            int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            fillers_.push_back(c);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~FullListener() {
        for (int c : fillers_) ::close(c);
        ::close(fd_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    uint16_t port() const { return port_; }

private:
    int fd_;
    uint16_t port_ = 0;
    std::vector<int> fillers_;
};

}  // namespace fwtest

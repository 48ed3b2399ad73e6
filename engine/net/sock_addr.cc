#include "engine/net/sock_addr.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "engine/net/socket.h"
#include "engine/net/socket_error.h"

namespace fw {

BSockAddr::BSockAddr() : valid_(true) {
    std::memset(&addr_, 0, sizeof addr_);
    addr_.sin_family = AF_INET;
    addr_.sin_port = 0;
    addr_.sin_addr.s_addr = htonl(INADDR_ANY);
}

BSockAddr::BSockAddr(const std::string& host, int port) : valid_(false) {
    std::memset(&addr_, 0, sizeof addr_);
    Address(host, port);
}

BSockAddr::BSockAddr(const BSocket& socket) : valid_(false) {
    std::memset(&addr_, 0, sizeof addr_);
    if (!socket.GetName(this)) {
        std::memset(&addr_, 0, sizeof addr_);
        valid_ = false;
    }
}

bool BSockAddr::Address(const std::string& host, int port) {
    // A port the address cannot hold would silently become another port.
    if (port < 0 || port > 65535) {
        SetLastSocketError(kWsaEinval);
        valid_ = false;
        LogSocketError("BSockAddr::Address ERROR: ");
        return false;
    }
    in_addr numeric{};
    // inet_aton accepts exactly the dotted forms inet_addr does, without
    // confusing 255.255.255.255 with an error.
    if (::inet_aton(host.c_str(), &numeric) == 0) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (result != 0 || found == nullptr) {
            SetLastSocketError(result != 0 ? SocketErrorFromResolver(result, errno) : kWsaNoData);
            if (found) ::freeaddrinfo(found);
            valid_ = false;
            LogSocketError("BSockAddr::Address ERROR: ");
            return false;
        }
        numeric = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    std::memset(&addr_, 0, sizeof addr_);
    addr_.sin_family = AF_INET;
    addr_.sin_port = htons(static_cast<uint16_t>(port));
    addr_.sin_addr = numeric;
    valid_ = true;
    return true;
}

std::string BSockAddr::ToString() const {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &addr_.sin_addr, text, sizeof text);
    return text;
}

void BSockAddr::Assign(const sockaddr_in& addr, bool valid) {
    addr_ = addr;
    valid_ = valid;
}

}  // namespace fw

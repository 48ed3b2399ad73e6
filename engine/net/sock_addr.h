// An IPv4 socket address (a sockaddr_in: family, port and address in network
// byte order, 8 zero bytes) with a valid flag.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace fw {

class BSocket;

class BSockAddr {
public:
    // The any-address: port 0, INADDR_ANY; valid.
    BSockAddr();
    // Zeroes itself and calls Address(host, port).
    BSockAddr(const std::string& host, int port);
    // The local address of `socket` (its GetName); invalid when that fails.
    explicit BSockAddr(const BSocket& socket);

    // Takes `host` as a dotted quad when it is one, otherwise resolves it and
    // takes its first IPv4 address. On failure the address is invalid and the
    // line "BSockAddr::Address ERROR: " plus the lookup error's name
    // ("WSAHOST_NOT_FOUND", ...) is logged; a port outside 0..65535 fails the
    // same way with "WSAEINVAL". Returns valid.
    bool Address(const std::string& host, int port);

    bool valid() const { return valid_; }

    // The address to hand to the system when valid, else null.
    const sockaddr* get() const {
        return valid_ ? reinterpret_cast<const sockaddr*>(&addr_) : nullptr;
    }
    static constexpr socklen_t size() { return sizeof(sockaddr_in); }

    // Port in host byte order.
    int port() const { return ntohs(addr_.sin_port); }
    // The four address bytes in network order, as SOCKS requests carry them.
    uint32_t network_address() const { return addr_.sin_addr.s_addr; }
    uint16_t network_port() const { return addr_.sin_port; }
    // Dotted-quad text of the address.
    std::string ToString() const;

    // Replaces the whole address (as filled by getsockname or accept).
    void Assign(const sockaddr_in& addr, bool valid);

private:
    sockaddr_in addr_;
    bool valid_;
};

}  // namespace fw

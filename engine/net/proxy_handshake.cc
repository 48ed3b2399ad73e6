#include "engine/net/proxy_handshake.h"

#include <cstdint>
#include <cstring>

#include "engine/net/proxy_settings.h"
#include "engine/net/socket.h"

namespace fw {
namespace {

constexpr size_t kMaxSocks5Field = 255;

std::string Bytes(std::initializer_list<uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string NetworkPort(const BSockAddr& a) {
    uint16_t port = a.network_port();
    return std::string(reinterpret_cast<const char*>(&port), 2);
}

std::string NetworkAddress(const BSockAddr& a) {
    uint32_t address = a.network_address();
    return std::string(reinterpret_cast<const char*>(&address), 4);
}

// One read of at most `max` bytes; empty on failure or when the proxy closed.
std::string ReadReply(BSocket& socket, size_t max, const platform::StopEvent* stop) {
    std::string buffer(max + 1, '\0');
    size_t count = 0;
    if (!socket.ReceiveWithin(buffer.data(), buffer.size(), &count, stop)) return std::string();
    buffer.resize(count);
    return buffer;
}

bool Socks4(BSocket& socket, const BSockAddr& target, const ProxySettings& proxy,
            const platform::StopEvent* stop) {
    if (!socket.Send(Socks4Request(target, proxy))) return false;
    std::string reply = ReadReply(socket, 8, stop);
    // Some servers put their version (4) where the protocol says 0.
    return reply.size() >= 2 && (reply[0] == 0 || reply[0] == 4) && uint8_t(reply[1]) == 90;
}

bool Socks5(BSocket& socket, const BSockAddr& target, const ProxySettings& proxy,
            const platform::StopEvent* stop) {
    const bool with_credentials = !proxy.credentials().empty();
    if (!socket.Send(Socks5Greeting(with_credentials))) return false;
    std::string choice = ReadReply(socket, 2, stop);
    if (choice.size() < 2 || choice[0] != 5) return false;
    if (choice[1] == 2) {
        // A proxy that picks a method we did not offer breaks the protocol;
        // we have nothing to authenticate with.
        if (!with_credentials) return false;
        std::string request = Socks5Authentication(proxy.user_name(), proxy.password());
        if (request.empty() || !socket.Send(request)) return false;
        std::string status = ReadReply(socket, 2, stop);
        if (status.size() < 2 || status[0] != 1 || status[1] != 0) return false;
    } else if (choice[1] != 0) {
        return false;  // includes 255, no acceptable method
    }
    if (!socket.Send(Socks5Connect(target))) return false;
    std::string reply = ReadReply(socket, 1023, stop);
    return reply.size() >= 2 && reply[0] == 5 && reply[1] == 0;
}

std::string Socks5Field(const std::string& text) {
    if (text.empty()) return Bytes({1, 0});
    return std::string(1, static_cast<char>(text.size())) + text;
}

}  // namespace

bool ProxyHandshake(BSocket& socket, const BSockAddr& target, const ProxySettings& proxy,
                    const platform::StopEvent* stop) {
    switch (proxy.protocol()) {
        case kProxySocks4:
            return Socks4(socket, target, proxy, stop);
        case kProxySocks5:
            return Socks5(socket, target, proxy, stop);
        default:
            return true;
    }
}

std::string Socks4Request(const BSockAddr& target, const ProxySettings& proxy) {
    std::string packet = Bytes({4, 1}) + NetworkPort(target) + NetworkAddress(target);
    if (!proxy.credentials().empty()) packet += proxy.user_name();
    packet += '\0';
    return packet;
}

std::string Socks5Greeting(bool with_credentials) {
    return with_credentials ? Bytes({5, 2, 0, 2}) : Bytes({5, 1, 0});
}

std::string Socks5Authentication(const std::string& user, const std::string& password) {
    // A longer field cannot be described by its length byte; sending it cut
    // would authenticate as someone else.
    if (user.size() > kMaxSocks5Field || password.size() > kMaxSocks5Field) return std::string();
    return Bytes({1}) + Socks5Field(user) + Socks5Field(password);
}

std::string Socks5Connect(const BSockAddr& target) {
    return Bytes({5, 1, 0, 1}) + NetworkAddress(target) + NetworkPort(target);
}

}  // namespace fw

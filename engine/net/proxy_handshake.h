// The exchanges that open a tunnel through a SOCKS proxy before the HTTP
// request goes out. An HTTP proxy needs none (the request line carries the
// absolute URL instead); neither does a protocol number we do not know.
//
// Replies are read once each, bounded by the socket layer's silence limit and
// the stop event. A refused or malformed reply fails the handshake without a
// log line of its own (socket errors log theirs).
#pragma once

#include <string>

#include "engine/net/sock_addr.h"

namespace platform {
class StopEvent;
}

namespace fw {

class BSocket;
class ProxySettings;

// Runs the handshake `proxy`'s protocol needs on `socket` (connected to the
// proxy) for a connection to `target`. True when the tunnel is open or none
// is needed. `stop` may be null.
bool ProxyHandshake(BSocket& socket, const BSockAddr& target, const ProxySettings& proxy,
                    const platform::StopEvent* stop);

// The byte layouts, for tests.
//
// SOCKS4 connect: 4, 1, port (2 bytes), address (4 bytes), the user name when
// credentials exist, 0.
std::string Socks4Request(const BSockAddr& target, const ProxySettings& proxy);
// SOCKS5 greeting: 5, 1, 0 without credentials; 5, 2, 0, 2 with them.
std::string Socks5Greeting(bool with_credentials);
// SOCKS5 user name and password: 1, length, user, length, password (an empty
// field goes as length 1 and a zero byte). Empty when a field is longer than
// one length byte can say.
std::string Socks5Authentication(const std::string& user, const std::string& password);
// SOCKS5 connect: 5, 1, 0, 1, address (4 bytes), port (2 bytes).
std::string Socks5Connect(const BSockAddr& target);

}  // namespace fw

// One TCP socket over IPv4, owned by one thread.
//
// Every failure returns false and, where noted, logs one line made of
// "BSocket::<operation> ERROR: " and the Winsock name of the error; nothing
// throws. A failed connect clears the valid flag, after which Send and
// Receive fail without touching the network.
//
// Waiting calls (Connect and Receive given a stop event) never block beyond
// the silence limit: they poll() the socket together with the stop event's
// descriptor, so a stop request ends them at once (failure, no log line), and
// more than SocketSilenceLimit() without progress ends them with the line
// "... ERROR: WSAETIMEDOUT". The limit counts from the start of each call.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

#include "engine/net/sock_addr.h"

namespace platform {
class StopEvent;
}

namespace fw {

// The silence limit of waiting calls: 30 seconds unless changed. Tests shorten
// it; the value is process-wide.
std::chrono::milliseconds SocketSilenceLimit();
void SetSocketSilenceLimit(std::chrono::milliseconds limit);

// Sets the silence limit for as long as it lives, then restores the old one.
class ScopedSocketSilenceLimit {
public:
    explicit ScopedSocketSilenceLimit(std::chrono::milliseconds limit)
        : saved_(SocketSilenceLimit()) {
        SetSocketSilenceLimit(limit);
    }
    ~ScopedSocketSilenceLimit() { SetSocketSilenceLimit(saved_); }
    ScopedSocketSilenceLimit(const ScopedSocketSilenceLimit&) = delete;
    ScopedSocketSilenceLimit& operator=(const ScopedSocketSilenceLimit&) = delete;

private:
    std::chrono::milliseconds saved_;
};

class BSocket {
public:
    // Opens a stream socket and binds it to the any-address (the system picks
    // the local port). When the socket cannot be opened the object stays
    // invalid without a message; a failed bind logs "BSocket::create ERROR: ".
    BSocket();
    // Adopts an accepted handle and puts it into blocking mode.
    explicit BSocket(int handle);
    // Closes the handle; a failure logs "BSocket::~BSocket ERROR: ".
    ~BSocket();
    BSocket(const BSocket&) = delete;
    BSocket& operator=(const BSocket&) = delete;

    bool valid() const { return valid_; }
    int handle() const { return fd_; }

    // Non-blocking mode off (true) or on (false). True when the call worked.
    bool SetBlocking(bool blocking);

    // Blocking connect. Fails (valid cleared) for an invalid address; a failed
    // connect logs "BSocket::Connect ERROR: ".
    bool Connect(const BSockAddr& address);
    // Waiting connect; a null `stop` selects the blocking form. A connection
    // refused or reset while waiting fails at once with its own error name.
    // Leaves the socket in blocking mode.
    bool Connect(const BSockAddr& address, const platform::StopEvent* stop);

    // Sends `length` bytes with one call. Fails without a message for an
    // invalid socket, null data or a length of 0, and for a short count; a
    // socket error logs "BSocket::Send ERROR: ".
    bool Send(const char* data, size_t length);
    bool Send(std::string_view data) { return Send(data.data(), data.size()); }

    // Blocking receive of at most size - 1 bytes; writes a zero byte after
    // them, so the buffer may be read as text. REQUIRES: size >= 2 (smaller
    // buffers fail). *count 0 with success means the peer closed the
    // connection. A socket error logs "BSocket::Receive ERROR: ".
    bool Receive(char* buffer, size_t size, size_t* count);
    // Waiting receive; a null `stop` selects the blocking form.
    bool Receive(char* buffer, size_t size, size_t* count, const platform::StopEvent* stop);
    // Waiting receive that keeps the silence limit even without a stop event
    // (`stop` may be null).
    bool ReceiveWithin(char* buffer, size_t size, size_t* count, const platform::StopEvent* stop);

    // Listens with the system's largest backlog. Logs "BSocket::Listen ERROR: ".
    bool Listen();
    // Accepts one connection; the caller wraps *handle in a BSocket. Logs
    // "BSocket::Accept ERROR: ".
    bool Accept(int* handle);
    // Waiting accept: ends when the stop event is set (`stop` may be null)
    // and after the silence limit, like the waiting receive.
    bool AcceptWithin(int* handle, const platform::StopEvent* stop);
    // The local address. Logs "BSocket::GetName ERROR: ".
    bool GetName(BSockAddr* address) const;

private:
    bool WaitForConnect(const platform::StopEvent& stop);
    // Waits for a blocking connect that a signal interrupted; its errno value.
    int FinishInterruptedConnect();

    int fd_ = -1;         // owned; -1 when none
    bool valid_ = false;  // gates every operation after create/adopt
};

}  // namespace fw

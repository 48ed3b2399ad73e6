// TLS in front of a plain loopback server (normally a TestWebServer): every
// connection it accepts on 127.0.0.1 is taken through the TLS handshake with
// the given certificate and then relayed byte for byte to the backend port.
// The backend sees exactly what the client sent, so everything the test web
// server can script (status, cookies, 304, delays, silence) works over TLS
// too. An orderly close of the backend ends the TLS session with a
// close_notify; a reset of the backend resets the client.
//
// One thread accepts; each connection runs on a thread of its own with
// non-blocking sockets, so a silent or slow client holds up nobody and Stop
// ends everything at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace fwtest {

class TlsFront {
public:
    // `cert_file` and `key_file` are PEM files (see test_certificates.h).
    TlsFront(uint16_t backend_port, std::string cert_file, std::string key_file);
    ~TlsFront();  // Stop()
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    // Loads the certificate, listens on 127.0.0.1 (port 0: a free port) and
    // starts accepting. False when the certificate or the port failed.
    bool Start(uint16_t port = 0);
    // Ends every relay and the accept thread. Idempotent.
    void Stop();

    uint16_t port() const { return port_; }
    // "https://127.0.0.1:<port>"
    std::string BaseUrl() const;

    // Connections accepted so far, and how many of them completed the
    // handshake.
    size_t Connections() const { return connections_.load(); }
    size_t Handshakes() const { return handshakes_.load(); }

private:
    struct Context;
    struct Relay {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void Accept();
    void Serve(int client_fd, Relay* relay);
    void Reap(bool all);

    uint16_t backend_port_;
    std::string cert_file_;
    std::string key_file_;
    std::unique_ptr<Context> context_;
    int listen_fd_ = -1;
    int stop_fd_ = -1;  // eventfd, readable once Stop begins
    uint16_t port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;  // guards relays_
    std::list<Relay> relays_;
    std::atomic<size_t> connections_{0};
    std::atomic<size_t> handshakes_{0};
};

}  // namespace fwtest

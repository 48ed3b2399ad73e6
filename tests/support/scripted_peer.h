// A byte-exact scripted peer on 127.0.0.1 for the odd cases a real server
// will not produce: handshake replies of a chosen shape, silence, a
// connection closed half way. It accepts connections one after the other and
// runs the same script on each; everything it reads is recorded.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fwtest {

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();  // Stop()
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Script steps, run in order on every connection. After the last step the
    // connection is closed (unless the last step is Hold or Reset).
    ScriptedPeer& Read(size_t bytes);               // exactly this many (or until the client closes)
    ScriptedPeer& ReadUntil(std::string marker);    // up to and including `marker`
    ScriptedPeer& Write(std::string bytes);
    ScriptedPeer& Pause(std::chrono::milliseconds time);
    ScriptedPeer& Hold();   // say nothing; keep reading until the client closes
    ScriptedPeer& Reset();  // abort the connection

    // Listens on a free loopback port and serves in a thread.
    bool Start();
    void Stop();

    uint16_t port() const { return port_; }
    // Every byte read on every connection so far.
    std::string Received() const;
    size_t Connections() const;

private:
    struct Step {
        enum Kind { kRead, kReadUntil, kWrite, kPause, kHold, kReset } kind;
        size_t count = 0;
        std::string bytes;
        std::chrono::milliseconds time{0};
    };

    void Serve();
    void RunScript(int fd);
    // Reads into the record; false when the client closed, the peer is
    // stopping or the read failed.
    bool ReadSome(int fd, std::string* got);
    bool WaitReadable(int fd, int timeout_ms);

    std::vector<Step> steps_;
    int listen_fd_ = -1;
    int stop_fd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;  // guards received_ and connections_
    std::string received_;
    size_t connections_ = 0;
};

}  // namespace fwtest

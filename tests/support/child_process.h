// Real peers for tests: programs started as child processes on loopback
// ports (proxies, an FTP server, the standalone test web server).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace fwtest {

// A child process in a process group of its own, so that stopping it also
// stops whatever it started. Its output goes to `log_path` (or /dev/null).
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // Stop()
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (searched on PATH when it has no "/"). False when it
    // could not be started.
    bool Start(const std::vector<std::string>& argv, const std::string& log_path = "");
    // SIGTERM to the group, then SIGKILL after a grace period; reaps it.
    void Stop();
    // Waits for the child to end by itself and reaps it: its exit status, or
    // -1 when it was killed by a signal or is not running.
    int Wait();
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// The full path of an installed program, looked up on PATH and in the system
// directories (/usr/sbin, /sbin, ...); empty when missing.
std::string FindProgram(const std::string& name);

// A loopback TCP port that was free a moment ago (bound, then released).
uint16_t FreeLoopbackPort();

// A blocking socket connected to 127.0.0.1:port, or -1.
int ConnectLoopback(uint16_t port);

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForLoopbackPort(uint16_t port, std::chrono::milliseconds timeout);

// Connects to 127.0.0.1:port, sends `request`, reads until the peer closes
// (or `timeout` passes) and returns what came back.
std::string RawExchange(uint16_t port, const std::string& request,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace fwtest

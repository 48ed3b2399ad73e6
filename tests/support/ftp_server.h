// A real FTP server for tests: pyftpdlib (Debian's python3-pyftpdlib, run
// with the system's /usr/bin/python3) serving a folder on a free loopback
// port, with debug logging so a test can see every command it received.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/child_process.h"

namespace fwtest {

class FtpServer {
public:
    // Serves `root`; the server's log goes to `log_path`.
    FtpServer(std::string root, std::string log_path);
    ~FtpServer() = default;  // the child is stopped with it
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // True when /usr/bin/python3 can load pyftpdlib.
    static bool Available();

    // Starts the server and waits until it listens. With a user name, only
    // that user (and that password) may log in; without, only anonymous.
    bool Start(const std::string& user = "", const std::string& password = "");
    void Stop() { process_.Stop(); }

    uint16_t port() const { return port_; }
    // What the server logged so far (commands arrive as "<- COMMAND ...").
    std::string Log() const;

private:
    std::string root_;
    std::string log_path_;
    uint16_t port_ = 0;
    ChildProcess process_;
};

}  // namespace fwtest

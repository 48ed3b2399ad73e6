// A real web server for tests: nginx serving a folder on a free loopback
// port, with its own answers to conditional requests (Last-Modified, ETag,
// 304) and an access log that tells what each request cost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace fwtest {

class NginxServer {
public:
    // One request as the access log records it.
    struct Access {
        std::string request;     // the request line, e.g. "GET /a.html HTTP/1.0"
        int status = 0;
        int64_t body_bytes = 0;  // body bytes sent
        std::string if_none_match;  // the request's If-None-Match; empty for none
    };

    // Serves `root`; its configuration, logs and temporary files go into
    // `work_dir` (ending in "/").
    NginxServer(std::string root, std::string work_dir);
    ~NginxServer() = default;  // the child is stopped with it
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // The nginx program, or empty when it is not installed.
    static std::string Program();

    // Starts nginx and waits until it listens. False (with the reason in
    // ErrorLog) when it did not.
    bool Start();

    uint16_t port() const { return port_; }
    std::string BaseUrl() const;  // "http://127.0.0.1:<port>"

    // Every request logged since the start or the last ClearAccesses.
    std::vector<Access> Accesses() const;
    void ClearAccesses();
    std::string ErrorLog() const;

private:
    std::string root_;
    std::string work_;
    uint16_t port_ = 0;
    ChildProcess process_;
};

}  // namespace fwtest

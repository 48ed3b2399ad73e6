// The socket library's process-wide start-up object. Network clients call
// BWinSock::Instance() at the start of every fetch; the first call creates it.
#pragma once

namespace fw {

class BWinSock {
public:
    // The one instance, created on first use under a once-guard and destroyed
    // at process exit.
    static BWinSock& Instance();

    BWinSock(const BWinSock&) = delete;
    BWinSock& operator=(const BWinSock&) = delete;

    // True when start-up succeeded. Socket calls made without it fail with
    // their own log lines.
    bool started() const { return started_; }

private:
    // Makes writes to a connection the peer has closed fail with an error
    // instead of killing the process (SIGPIPE is ignored unless the host
    // program installed a handler of its own). A failure logs
    // "BWinSock::BWinSock ERROR: " and the error name.
    BWinSock();
    ~BWinSock() = default;

    bool started_ = false;
};

}  // namespace fw

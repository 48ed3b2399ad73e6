#include "engine/net/win_sock.h"

#include <csignal>

#include "engine/net/socket_error.h"

namespace fw {

BWinSock& BWinSock::Instance() {
    static BWinSock instance;
    return instance;
}

BWinSock::BWinSock() {
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) != 0) {
        SetLastSocketErrorFromErrno();
        LogSocketError("BWinSock::BWinSock ERROR: ");
        return;
    }
    if (current.sa_handler == SIG_DFL && !(current.sa_flags & SA_SIGINFO)) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) {
            SetLastSocketErrorFromErrno();
            LogSocketError("BWinSock::BWinSock ERROR: ");
            return;
        }
    }
    started_ = true;
}

}  // namespace fw

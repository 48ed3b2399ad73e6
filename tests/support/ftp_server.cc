#include "tests/support/ftp_server.h"

#include <chrono>

#include "tests/support/temp_dir.h"

namespace fwtest {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// A thread per session: the single-loop server that `python3 -m pyftpdlib`
// runs can leave a new session's first command unread for good while
// another session's transfer is ending, which made grab tests hang.
// Arguments: port, root folder, then user and password (else anonymous).
constexpr const char* kServerScript = R"(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import ThreadedFTPServer
config_logging(level=logging.DEBUG)
port, root = int(sys.argv[1]), sys.argv[2]
authorizer = DummyAuthorizer()
if len(sys.argv) > 4:
    authorizer.add_user(sys.argv[3], sys.argv[4], root, perm="elr")
else:
    authorizer.add_anonymous(root, perm="elr")
FTPHandler.authorizer = authorizer
ThreadedFTPServer(("127.0.0.1", port), FTPHandler).serve_forever()
)";

}  // namespace

FtpServer::FtpServer(std::string root, std::string log_path)
    : root_(std::move(root)), log_path_(std::move(log_path)) {}

bool FtpServer::Available() {
    ChildProcess probe;
    return probe.Start({kPython, "-c", "import pyftpdlib"}) && probe.Wait() == 0;
}

bool FtpServer::Start(const std::string& user, const std::string& password) {
    port_ = FreeLoopbackPort();
    std::vector<std::string> args = {kPython, "-c", kServerScript, std::to_string(port_), root_};
    if (!user.empty()) {
        args.insert(args.end(), {user, password});
    }
    return process_.Start(args, log_path_) && WaitForLoopbackPort(port_, std::chrono::seconds(10));
}

std::string FtpServer::Log() const { return ReadFile(log_path_); }

}  // namespace fwtest

#include "tests/support/ftp_server.h"

#include <chrono>

#include "tests/support/temp_dir.h"

namespace fwtest {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

}  // namespace

FtpServer::FtpServer(std::string root, std::string log_path)
    : root_(std::move(root)), log_path_(std::move(log_path)) {}

bool FtpServer::Available() {
    ChildProcess probe;
    return probe.Start({kPython, "-c", "import pyftpdlib"}) && probe.Wait() == 0;
}

bool FtpServer::Start(const std::string& user, const std::string& password) {
    port_ = FreeLoopbackPort();
    std::vector<std::string> args = {kPython, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                                     std::to_string(port_), "-d", root_, "-D"};
    if (!user.empty()) {
        args.insert(args.end(), {"-u", user, "-P", password});
    }
    return process_.Start(args, log_path_) && WaitForLoopbackPort(port_, std::chrono::seconds(10));
}

std::string FtpServer::Log() const { return ReadFile(log_path_); }

}  // namespace fwtest

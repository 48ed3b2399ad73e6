// Runs the built fetchwell program as a user would: its own process, a
// private program home (CORVALIN_HOME), a working directory, and its
// standard output and error captured through pipes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace clitest {

struct CliResult {
    int exit_code = -1;  // -1: did not end in time (then it was killed)
    std::string out;
    std::string err;
};

class CliProcess {
public:
    CliProcess(std::string home, std::string cwd) : home_(std::move(home)), cwd_(std::move(cwd)) {}
    ~CliProcess();  // kills a process still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Starts build/bin/fetchwell with `args`. False when it could not start.
    bool Start(const std::vector<std::string>& args);
    // Reads output until stderr holds `text` (true) or `timeout` passes.
    bool WaitForError(const std::string& text, std::chrono::milliseconds timeout);
    void Signal(int signal_number);
    // Reads everything to the end and reaps the process; kills it when it
    // runs past `timeout`.
    CliResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(60));

    // Start + Finish.
    CliResult Run(const std::vector<std::string>& args,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    // Reads what is available within `timeout`; false once both pipes closed.
    bool Pump(std::chrono::milliseconds timeout);

    std::string home_;
    std::string cwd_;
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    CliResult result_;
};

// The path of the built program.
std::string ProgramPath();

}  // namespace clitest

// Running a helper program to its end and keeping what it printed (the
// engine drives NetworkManager's nmcli this way).
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace platform {

// The full path of an executable `name` found on $PATH (a name with "/" is
// taken as it is); empty when there is none.
std::string FindOnPath(const std::string& name);

struct ProgramRun {
    bool started = false;    // false: the program could not be started
    bool timed_out = false;  // killed after the time limit
    int exit_code = -1;      // -1 when it did not exit by itself
    std::string out;         // standard output, at most max_output bytes
    std::string err;         // standard error, at most max_output bytes
};

struct RunLimits {
    std::chrono::milliseconds timeout{std::chrono::minutes(5)};
    size_t max_output = 1 << 20;  // more is read and dropped
};

// Runs argv[0] (looked up on $PATH) with `argv`, standard input from
// /dev/null, in a process group of its own, and waits for it. A program that
// outlives the time limit is killed with its group. Safe from any thread.
ProgramRun RunProgram(const std::vector<std::string>& argv, const RunLimits& limits = RunLimits());

}  // namespace platform

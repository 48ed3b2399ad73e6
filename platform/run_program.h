// Running other programs: a helper run to its end with what it printed kept
// (the engine drives NetworkManager's nmcli this way), and a program the user
// asked for (a browser, an editor, a run-after command) that runs on by
// itself.
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

struct ProgramStart {
    int error = 0;          // errno of the failed start; 0 when it started
    bool finished = false;  // it ended within the wait
};

// Starts argv[0] (looked up on $PATH unless it holds "/") with `argv`, in
// `working_dir` (empty: ours), standard input from /dev/null, in a session of
// its own so that it outlives this program and a Ctrl-C meant for it. Waits
// at most `wait` for it to end. A program still running when the call
// returns is reaped by a thread of its own once it ends, so none is left
// behind as a zombie. Safe from any thread.
ProgramStart StartProgram(const std::vector<std::string>& argv, const std::string& working_dir,
                          std::chrono::milliseconds wait);

}  // namespace platform

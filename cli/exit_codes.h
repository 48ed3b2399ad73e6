// The exit status of fetchwell. Scripts and cron jobs tell outcomes apart by
// these numbers, so they never change meaning.
#pragma once

namespace corvalin::cli {

enum ExitCode : int {
    kExitOk = 0,             // the work ran (bad links found are reported, not failures)
    kExitFailure = 1,        // an operation failed (details on stderr and in the error log)
    kExitUsage = 2,          // bad command line: unknown option, bad value, bad URL
    kExitProject = 3,        // the project could not be opened or created
    kExitGrab = 4,           // the grab could not start
    kExitInterrupted = 130,  // stopped by Ctrl-C (128 + SIGINT; SIGTERM gives 143)
};

}  // namespace corvalin::cli

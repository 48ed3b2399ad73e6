// Clocks, medians and options the benchmarks share.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace fwbench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and system time of the whole process, apart.
struct CpuSeconds {
    double user = 0.0;
    double system = 0.0;
    double total() const { return user + system; }
};

inline double Seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

inline CpuSeconds ProcessCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {Seconds(usage.ru_utime), Seconds(usage.ru_stime)};
}

// User and system time of the whole process.
inline double ProcessCpuSeconds() {
    return ProcessCpu().total();
}

// Processor time of the calling thread: the machine is shared, so wall time
// also counts other programs' turns.
inline double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The number after `name` on the command line, or `fallback`.
inline int ArgValue(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
    }
    return fallback;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace fwbench

// Crash reports: a processor fault (invalid memory access, division by zero,
// illegal instruction, ...) inside an engine thread becomes a thrown
// SEHException carrying a report, so the thread's destructors run, its locks
// are released, the report is logged and the process goes on.
//
// How: a process-wide signal handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGTRAP, running on a per-thread alternate stack, builds the report and
// throws from the faulting instruction. The engine is compiled with
// -fnon-call-exceptions so that trapping instructions can unwind. Threads that
// never installed a ThreadGuard keep the default behaviour (the process dies).
//
// Report layout (Windows exception names stand in for the signals):
//   Exception code: C0000005 ACCESS_VIOLATION
//   Fault address: <pc> <segment>:<offset> <module path>(<version>)
//
//   Call stack:
//   Address   Frame     Logical addr   Module
//   <pc>  <frame>  <segment>:<offset> <module path>(<version>)
//   ...
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace fw {

class SEHException : public std::exception {
public:
    SEHException(uint32_t code, std::string report) : code_(code), report_(std::move(report)) {}
    const char* what() const noexcept override { return report_.c_str(); }
    uint32_t code() const { return code_; }

private:
    uint32_t code_;
    std::string report_;
};

// Installs the fault translation for the calling thread for as long as it
// lives. Create it first thing in every engine thread; not copyable.
class ThreadGuard {
public:
    ThreadGuard();
    ~ThreadGuard();
    ThreadGuard(const ThreadGuard&) = delete;
    ThreadGuard& operator=(const ThreadGuard&) = delete;

private:
    void* alt_stack_;
    size_t alt_stack_size_;
    bool replaced_alt_stack_;
    unsigned char old_alt_stack_[32];  // the thread's previous stack_t
};

enum class ThreadRole { MainEngine, Url };

// The framing lines of a caught fault and of an unknown exception.
void LogCrash(ThreadRole role, const SEHException& fault);
void LogUnknownException(ThreadRole role);

// Runs `body` under a ThreadGuard, logging a fault or any other exception it
// throws. Returns true when the body ran to its end.
template <class Body>
bool RunGuarded(ThreadRole role, Body&& body) {
    ThreadGuard guard;
    try {
        body();
        return true;
    } catch (const SEHException& fault) {
        LogCrash(role, fault);
    } catch (...) {
        LogUnknownException(role);
    }
    return false;
}

// Windows-style exception codes and names.
inline constexpr uint32_t kAccessViolation = 0xC0000005;
const char* ExceptionName(uint32_t code);

// Builds the report text for a fault at `pc` with frame pointer `frame`
// (exposed for tests; the handler calls it).
std::string BuildCrashReport(uint32_t code, uintptr_t pc, uintptr_t frame);

}  // namespace fw

#include "engine/support/crash_report.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/support/log.h"
#include "engine/version.h"

namespace fw {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr int kMaxFrames = 256;

struct NamedCode {
    uint32_t code;
    const char* name;
};

constexpr NamedCode kCodes[] = {
    {0x80000001, "GUARD_PAGE"},
    {0x80000002, "DATATYPE_MISALIGNMENT"},
    {0x80000003, "BREAKPOINT"},
    {0x80000004, "SINGLE_STEP"},
    {0xC0000005, "ACCESS_VIOLATION"},
    {0xC0000006, "IN_PAGE_ERROR"},
    {0xC0000008, "INVALID_HANDLE"},
    {0xC000001D, "ILLEGAL_INSTRUCTION"},
    {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, "INVALID_DISPOSITION"},
    {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, "FLT_DENORMAL_OPERAND"},
    {0xC000008E, "FLT_DIVIDE_BY_ZERO"},
    {0xC000008F, "FLT_INEXACT_RESULT"},
    {0xC0000090, "FLT_INVALID_OPERATION"},
    {0xC0000091, "FLT_OVERFLOW"},
    {0xC0000092, "FLT_STACK_CHECK"},
    {0xC0000093, "FLT_UNDERFLOW"},
    {0xC0000094, "INT_DIVIDE_BY_ZERO"},
    {0xC0000095, "INT_OVERFLOW"},
    {0xC0000096, "PRIV_INSTRUCTION"},
    {0xC00000FD, "STACK_OVERFLOW"},
};

// Per-thread facts the handler needs; filled by ThreadGuard, where calling
// non-signal-safe functions is allowed.
struct GuardedThread {
    uintptr_t stack_low = 0;
    uintptr_t stack_high = 0;
};
thread_local GuardedThread* t_guarded = nullptr;
thread_local GuardedThread t_guard_state;
thread_local int t_guard_depth = 0;

struct sigaction g_previous[NSIG];
std::once_flag g_install_once;
std::string g_main_program;      // path of the executable (its dl name is "")
uintptr_t g_engine_base = 0;     // load base of the module holding this code

uint32_t CodeFor(int sig, const siginfo_t* info) {
    switch (sig) {
    case SIGSEGV: {
        uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
        // A fault just below the stack is the guard page: a stack overflow.
        if (t_guarded && addr < t_guarded->stack_low && addr + 65536 >= t_guarded->stack_low) {
            return 0xC00000FD;
        }
        return 0xC0000005;
    }
    case SIGBUS:
        return info->si_code == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGFPE:
        switch (info->si_code) {
        case FPE_INTDIV: return 0xC0000094;
        case FPE_INTOVF: return 0xC0000095;
        case FPE_FLTDIV: return 0xC000008E;
        case FPE_FLTOVF: return 0xC0000091;
        case FPE_FLTUND: return 0xC0000093;
        case FPE_FLTRES: return 0xC000008F;
        case FPE_FLTSUB: return 0xC000008C;
        default: return 0xC0000090;
        }
    case SIGILL:
        return (info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG) ? 0xC0000096
                                                                            : 0xC000001D;
    case SIGTRAP:
        return info->si_code == TRAP_TRACE ? 0x80000004 : 0x80000003;
    }
    return 0xC0000005;
}

struct Location {
    unsigned segment = 0;   // 1-based index of the loadable segment
    uintptr_t offset = 0;   // from that segment's start
    std::string module;
    uintptr_t base = 0;
};

struct LocateQuery {
    uintptr_t address;
    Location* out;
    bool found;
};

int LocateCallback(dl_phdr_info* info, size_t, void* data) {
    auto* q = static_cast<LocateQuery*>(data);
    unsigned load_index = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        ++load_index;
        uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (q->address < start || q->address >= start + ph.p_memsz) continue;
        q->out->segment = load_index;
        q->out->offset = q->address - start;
        q->out->base = info->dlpi_addr;
        q->out->module = (info->dlpi_name && *info->dlpi_name) ? info->dlpi_name : g_main_program;
        q->found = true;
        return 1;
    }
    return 0;
}

Location Locate(uintptr_t address) {
    Location where;
    LocateQuery q{address, &where, false};
    dl_iterate_phdr(LocateCallback, &q);
    return where;
}

std::string ModuleText(const Location& where, bool with_version) {
    std::string text = where.module;
    if (with_version && !where.module.empty() && where.base == g_engine_base) {
        text += "(" FW_VERSION_STRING ".0)";
    }
    return text;
}

bool FrameReadable(uintptr_t frame) {
    if (!t_guarded) return false;
    return frame % 4 == 0 && frame >= t_guarded->stack_low &&
           frame + 2 * sizeof(uintptr_t) <= t_guarded->stack_high;
}

void FaultHandler(int sig, siginfo_t* info, void* context) {
    // Only real faults of guarded threads are translated; everything else gets
    // the previous disposition back (a fault then repeats and is handled by
    // it, a sent signal is raised again).
    if (!t_guarded || info->si_code <= 0) {
        sigaction(sig, &g_previous[sig], nullptr);
        if (info->si_code <= 0) raise(sig);
        return;
    }
    auto* uc = static_cast<ucontext_t*>(context);
#if defined(__x86_64__)
    uintptr_t pc = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
    uintptr_t frame = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RBP]);
#elif defined(__aarch64__)
    uintptr_t pc = static_cast<uintptr_t>(uc->uc_mcontext.pc);
    uintptr_t frame = static_cast<uintptr_t>(uc->uc_mcontext.regs[29]);
#else
    (void)uc;
    uintptr_t pc = 0, frame = 0;
#endif
    uint32_t code = CodeFor(sig, info);
    std::string report = BuildCrashReport(code, pc, frame);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    throw SEHException(code, std::move(report));
}

void InstallHandlerOnce() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) g_main_program.assign(exe, static_cast<size_t>(n));
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&InstallHandlerOnce), &self)) {
        g_engine_base = reinterpret_cast<uintptr_t>(self.dli_fbase);
        // dli_fbase is the mapping start; dl_iterate_phdr reports the load
        // bias, which is what Locate compares against.
        g_engine_base = Locate(reinterpret_cast<uintptr_t>(&InstallHandlerOnce)).base;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = FaultHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) sigaction(sig, &action, &g_previous[sig]);
}

}  // namespace

const char* ExceptionName(uint32_t code) {
    for (const auto& c : kCodes) {
        if (c.code == code) return c.name;
    }
    return "Unknown exception";
}

std::string BuildCrashReport(uint32_t code, uintptr_t pc, uintptr_t frame) {
    char line[256];
    std::string report;
    std::snprintf(line, sizeof line, "Exception code: %08X %s\n", code, ExceptionName(code));
    report += line;
    Location fault = Locate(pc);
    std::snprintf(line, sizeof line, "Fault address: %08lX %04X:%08lX ",
                  static_cast<unsigned long>(pc), fault.segment,
                  static_cast<unsigned long>(fault.offset));
    report += line;
    report += ModuleText(fault, true);
    report += "\n";
    report += "\nCall stack:\n";
    report += "Address   Frame     Logical addr   Module\n";

    uintptr_t previous_base = ~uintptr_t{0};
    for (int row = 0; row < kMaxFrames; ++row) {
        Location where = Locate(pc);
        std::snprintf(line, sizeof line, "%08lX  %08lX  %04X:%08lX ",
                      static_cast<unsigned long>(pc), static_cast<unsigned long>(frame),
                      where.segment, static_cast<unsigned long>(where.offset));
        report += line;
        report += ModuleText(where, where.base != previous_base);
        report += "\n";
        previous_base = where.base;
        if (!FrameReadable(frame)) break;
        const auto* slots = reinterpret_cast<const uintptr_t*>(frame);
        uintptr_t next_frame = slots[0];
        uintptr_t next_pc = slots[1];
        if (next_frame % 4 != 0 || next_frame <= frame || !FrameReadable(next_frame)) break;
        pc = next_pc;
        frame = next_frame;
    }
    return report;
}

ThreadGuard::ThreadGuard()
    : alt_stack_(nullptr), alt_stack_size_(0), replaced_alt_stack_(false) {
    std::call_once(g_install_once, InstallHandlerOnce);
    if (t_guard_depth++ > 0) return;  // nested guard: the outer one is in charge

    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* low = nullptr;
        size_t size = 0;
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
        t_guard_state.stack_low = reinterpret_cast<uintptr_t>(low);
        t_guard_state.stack_high = t_guard_state.stack_low + size;
    }

    // Building the report and throwing need room even after a stack overflow.
    alt_stack_size_ = 256 * 1024;
    void* mem = mmap(nullptr, alt_stack_size_, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem != MAP_FAILED) {
        alt_stack_ = mem;
        stack_t ss{};
        ss.ss_sp = mem;
        ss.ss_size = alt_stack_size_;
        stack_t old{};
        static_assert(sizeof(stack_t) <= sizeof old_alt_stack_);
        if (sigaltstack(&ss, &old) == 0) {
            replaced_alt_stack_ = true;
            std::memcpy(old_alt_stack_, &old, sizeof old);
        }
    }
    t_guarded = &t_guard_state;
}

ThreadGuard::~ThreadGuard() {
    if (--t_guard_depth > 0) return;
    t_guarded = nullptr;
    if (replaced_alt_stack_) {
        stack_t old;
        std::memcpy(&old, old_alt_stack_, sizeof old);
        if (old.ss_flags & SS_DISABLE || old.ss_sp == nullptr) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        } else {
            sigaltstack(&old, nullptr);
        }
    }
    if (alt_stack_) munmap(alt_stack_, alt_stack_size_);
}

void LogCrash(ThreadRole role, const SEHException& fault) {
    LogMessage(role == ThreadRole::MainEngine ? "---------- main engine thread"
                                              : "---------- url thread");
    std::string_view report = fault.what();
    if (!report.empty() && report.back() == '\n') report.remove_suffix(1);  // LogMessage ends it
    LogMessage(report);
    LogMessage("----------");
}

void LogUnknownException(ThreadRole role) {
    LogMessage(role == ThreadRole::MainEngine ? "Unknown exception in main engine thread"
                                              : "Unknown exception in url thread");
}

}  // namespace fw

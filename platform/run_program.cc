#include "platform/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// A pipe whose ends close themselves.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool ok() const { return read >= 0; }
    void CloseRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void CloseWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

// Reads what is there into `into` (up to `max` bytes kept); false at the end.
bool Drain(int fd, std::string* into, size_t max) {
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    size_t room = into->size() < max ? max - into->size() : 0;
    into->append(buffer, std::min(room, static_cast<size_t>(n)));
    return true;
}

// Starts `argv` with standard input from /dev/null and the given output
// descriptors (-1: ours), SIGPIPE back at its default and no signal blocked
// (a caller may have blocked some for its own threads). `own_session` puts
// it in a session of its own; otherwise in a process group of its own.
// Returns 0 or the errno of the failed start.
int Spawn(const std::vector<std::string>& argv, const std::string& working_dir, int out_fd,
          int err_fd, bool own_session, pid_t* pid) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    if (err_fd >= 0) posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (own_session) {
        flags |= POSIX_SPAWN_SETSID;
    } else {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);
    const int rc = ::posix_spawnp(pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc;
}

// Waits for `pid` to end, at most `wait`; true when it ended (and was reaped).
bool WaitForExit(pid_t pid, std::chrono::milliseconds wait) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return false;
    pollfd pfd{fd, POLLIN, 0};
    const Clock::time_point deadline = Clock::now() + wait;
    int n = 0;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        n = ::poll(&pfd, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
        if (n >= 0 || errno != EINTR) break;
    }
    ::close(fd);
    if (n <= 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace

ProgramStart StartProgram(const std::vector<std::string>& argv, const std::string& working_dir,
                          std::chrono::milliseconds wait) {
    ProgramStart start;
    if (argv.empty() || argv[0].empty()) {
        start.error = ENOENT;
        return start;
    }
    pid_t pid = -1;
    start.error = Spawn(argv, working_dir, -1, -1, true, &pid);
    if (start.error != 0) return start;
    if (wait.count() > 0 && WaitForExit(pid, wait)) {
        start.finished = true;
        return start;
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return start;
}

std::string FindOnPath(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return std::string();
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const RunLimits& limits) {
    ProgramRun run;
    if (argv.empty()) return run;
    Pipe out;
    Pipe err;
    if (!out.ok() || !err.ok()) return run;

    pid_t pid = -1;
    const int rc = Spawn(argv, std::string(), out.write, err.write, false, &pid);
    out.CloseWrite();
    err.CloseWrite();
    if (rc != 0) return run;
    run.started = true;

    const Clock::time_point deadline = Clock::now() + limits.timeout;
    bool out_open = true;
    bool err_open = true;
    while (out_open || err_open) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            run.timed_out = true;
            ::kill(-pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{out_open ? out.read : -1, POLLIN, 0}, {err_open ? err.read : -1, POLLIN, 0}};
        int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (n < 0 && errno != EINTR) {
            ::kill(-pid, SIGKILL);  // the wait below must not outlast the limit
            break;
        }
        if (n <= 0) continue;
        if (fds[0].revents != 0) out_open = Drain(out.read, &run.out, limits.max_output);
        if (fds[1].revents != 0) err_open = Drain(err.read, &run.err, limits.max_output);
    }
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (!run.timed_out && done == pid && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
    return run;
}

}  // namespace platform

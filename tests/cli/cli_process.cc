#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace clitest {
namespace {

using Clock = std::chrono::steady_clock;

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

}  // namespace

std::string ProgramPath() {
    return std::string(FW_BINARY_DIR) + "/bin/fetchwell";
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    CloseFd(&out_fd_);
    CloseFd(&err_fd_);
}

bool CliProcess::Start(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "CORVALIN_HOME=", 14) != 0) env_text.emplace_back(*e);
    }
    env_text.push_back("CORVALIN_HOME=" + home_);
    std::vector<char*> env;
    for (auto& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<std::string> argv_text = {ProgramPath()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, cwd_.c_str());
    // The program starts as from a shell: no blocked signals, default actions.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGPIPE}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(out[1]);
    ::close(err[1]);
    out_fd_ = out[0];
    err_fd_ = err[0];
    result_ = CliResult();
    if (rc != 0) {
        pid_ = -1;
        return false;
    }
    return true;
}

bool CliProcess::Pump(std::chrono::milliseconds timeout) {
    pollfd fds[2];
    nfds_t n = 0;
    if (out_fd_ >= 0) fds[n++] = {out_fd_, POLLIN, 0};
    if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
    if (n == 0) return false;
    if (::poll(fds, n, static_cast<int>(timeout.count())) <= 0) return true;
    for (nfds_t i = 0; i < n; ++i) {
        if (!fds[i].revents) continue;
        char buffer[4096];
        const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        const bool is_out = fds[i].fd == out_fd_;
        if (got <= 0) {
            CloseFd(is_out ? &out_fd_ : &err_fd_);
            continue;
        }
        (is_out ? result_.out : result_.err).append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool CliProcess::WaitForError(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (result_.err.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !Pump(left)) return result_.err.find(text) != std::string::npos;
    }
    return true;
}

void CliProcess::Signal(int signal_number) {
    if (pid_ > 0) ::kill(pid_, signal_number);
}

CliResult CliProcess::Finish(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    bool timed_out = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timed_out = true;
            break;
        }
        if (!Pump(left)) break;
    }
    if (pid_ > 0) {
        if (timed_out) ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        if (!timed_out) {
            result_.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    CloseFd(&out_fd_);
    CloseFd(&err_fd_);
    return result_;
}

CliResult CliProcess::Run(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    if (!Start(args)) return CliResult();
    return Finish(timeout);
}

}  // namespace clitest

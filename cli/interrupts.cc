#include "cli/interrupts.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace corvalin::cli {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptWatcher::InterruptWatcher() {
    const sigset_t set = StopSignals();
    signal_fd_ = ::signalfd(-1, &set, SFD_CLOEXEC);
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC);
    if (signal_fd_ >= 0 && wake_fd_ >= 0) {
        thread_ = std::thread([this] { Watch(); });
    } else {
        // Nobody would read the blocked signals: let them act as usual so
        // Ctrl-C still ends the program.
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

InterruptWatcher::~InterruptWatcher() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
        thread_.join();
    }
    if (signal_fd_ >= 0) ::close(signal_fd_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

void InterruptWatcher::Arm(std::function<void(int)> on_stop, std::function<void()> on_abort) {
    std::lock_guard<std::mutex> guard(mutex_);
    on_stop_ = std::move(on_stop);
    on_abort_ = std::move(on_abort);
    signals_seen_ = 0;
}

void InterruptWatcher::Disarm() {
    std::lock_guard<std::mutex> guard(mutex_);
    on_stop_ = nullptr;
    on_abort_ = nullptr;
}

void InterruptWatcher::Watch() {
    for (;;) {
        pollfd fds[2] = {{signal_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[1].revents) return;
        signalfd_siginfo info{};
        if (::read(signal_fd_, &info, sizeof info) != sizeof info) continue;
        const int signal_number = static_cast<int>(info.ssi_signo);
        std::function<void(int)> action;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++signals_seen_;
            if (on_stop_ && signals_seen_ == 1) {
                action = on_stop_;
            } else {
                if (on_abort_) on_abort_();
                std::fflush(nullptr);
                ::_exit(128 + signal_number);
            }
        }
        action(signal_number);
    }
}

}  // namespace corvalin::cli

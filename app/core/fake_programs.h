// For tests: programs of our own put first on PATH (a browser, xdg-open,
// xdg-settings) that record how they were started, and a wait for what they
// wrote that takes no longer than it has to.
#pragma once

#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/support/temp_dir.h"

namespace corvalin::test {

class FakePrograms {
  public:
    FakePrograms() {
        const char* path = std::getenv("PATH");
        saved_path_ = path ? path : "";
        ::setenv("PATH", (dir_.path() + "bin:" + saved_path_).c_str(), 1);
    }
    ~FakePrograms() { ::setenv("PATH", saved_path_.c_str(), 1); }
    FakePrograms(const FakePrograms&) = delete;
    FakePrograms& operator=(const FakePrograms&) = delete;

    const fwtest::TempDir& dir() const { return dir_; }

    // An executable shell script `name` on PATH.
    void Add(const std::string& name, const std::string& body) {
        const std::string file = dir_ / ("bin/" + name);
        fwtest::WriteFile(file, "#!/bin/sh\n" + body);
        ::chmod(file.c_str(), 0755);
    }

    // A program that writes its arguments, one per line, to the record of
    // `name` (put in place whole, so a reader never sees half of it).
    void AddRecorder(const std::string& name) {
        const std::string record = RecordPath(name);
        Add(name, "printf '%s\\n' \"$@\" > '" + record + ".part' && mv '" + record + ".part' '" +
                      record + "'\n");
    }

    std::string RecordPath(const std::string& name) const { return dir_ / (name + ".args"); }

    // The record of `name` once written; empty after `timeout`.
    std::string WaitForRecord(const std::string& name,
                              std::chrono::milliseconds timeout = std::chrono::seconds(30)) const {
        return WaitForFile(RecordPath(name), timeout);
    }

    // The contents of `path` once it appears (watching its directory);
    // empty after `timeout`.
    static std::string WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
        const std::string dir = path.substr(0, path.rfind('/') + 1);
        const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        const int watch =
            fd >= 0 ? ::inotify_add_watch(fd, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) : -1;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string text;
        while (::access(path.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline) {
            if (watch < 0) break;
            pollfd p{fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, left.count()))) > 0) {
                char events[4096];
                while (::read(fd, events, sizeof events) > 0) {
                }
            }
        }
        if (fd >= 0) ::close(fd);
        if (::access(path.c_str(), F_OK) == 0) text = fwtest::ReadFile(path);
        return text;
    }

  private:
    fwtest::TempDir dir_;
    std::string saved_path_;
};

}  // namespace corvalin::test

#include "engine/support/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/file_ops.h"
#include "platform/local_time.h"
#include "platform/program_home.h"

namespace fw {
namespace {

constexpr long long kRotateAbove = 250000;

// A grab writes several records per URL, so the file stays open between
// records. A deleted log is noticed at the next record; one that another
// process renamed (rotated) is let go after this long.
constexpr std::chrono::seconds kReopenAfter{1};

struct LogState {
    std::mutex mutex;
    std::string path;
    bool first_record_done = false;
    int fd = -1;  // open on `path`, or -1
    std::chrono::steady_clock::time_point opened_at;

    void CloseFile() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

LogState& State() {
    static LogState state;
    return state;
}

// "fetchwell.log" -> "fetchwell.1.log": everything after the last "." becomes
// "1.log".
std::string PreviousGenerationPath(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path + ".1.log";
    }
    return path.substr(0, dot + 1) + "1.log";
}

void RotateIfLarge(const std::string& path) {
    if (platform::FileSize(path) <= kRotateAbove) return;
    // rename() replaces the older generation atomically; when it fails the
    // current log simply stays where it is, so it can never be lost.
    std::string previous = PreviousGenerationPath(path);
    if (::rename(path.c_str(), previous.c_str()) == 0) return;
    if (platform::CopyReplacing(path, previous)) platform::RemoveFile(path);
}

std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    const std::tm local = platform::LocalTime(now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d ", local.tm_mon + 1,
                  local.tm_mday, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp;
}

}  // namespace

void LogMessage(std::string_view text) {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.path.empty()) state.path = platform::EngineLogPath();
    if (state.path.empty()) return;
    if (!state.first_record_done) {
        state.first_record_done = true;
        state.CloseFile();
        RotateIfLarge(state.path);
    }
    std::string record = TimeStamp();
    record.append(text);
    record.push_back('\n');
    const auto now = std::chrono::steady_clock::now();
    struct stat st;
    if (state.fd >= 0 &&
        (now - state.opened_at >= kReopenAfter || ::fstat(state.fd, &st) != 0 || st.st_nlink == 0)) {
        state.CloseFile();
    }
    if (state.fd < 0) {
        state.fd = ::open(state.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (state.fd < 0) return;
        state.opened_at = now;
    }
    // One write() per record: with O_APPEND even other processes sharing the
    // file cannot interleave inside it.
    platform::WriteAll(state.fd, record.data(), record.size());
}

std::string LogFilePath() {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.path.empty()) state.path = platform::EngineLogPath();
    return state.path;
}

void ResetLogForTesting(const std::string& path) {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.CloseFile();
    state.path = path;
    state.first_record_done = false;
}

}  // namespace fw

#include "engine/support/log.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

#include "platform/file_ops.h"
#include "platform/local_time.h"
#include "platform/program_home.h"
#include "platform/unique_fd.h"

namespace fw {
namespace {

constexpr long long kRotateAbove = 250000;

// A grab writes several records per URL, so the file stays open between
// records. A deleted log is noticed at the next record; one that another
// process renamed (rotated) is let go after this long.
constexpr std::chrono::seconds kReopenAfter{1};

// Records are written outside the lock: a grab's workers log several times
// per URL, and a lock held across the write made them queue and sleep (also
// while they held the project's store lock). A writer keeps its reference to
// the file, so a reopen by another thread never closes it under the write.
using SharedFd = std::shared_ptr<const platform::UniqueFd>;

struct LogState {
    std::mutex mutex;
    std::string path;
    bool first_record_done = false;
    SharedFd file;  // open on `path`, when set
    std::chrono::steady_clock::time_point opened_at;
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

// Bumped by ResetLogForTesting, so that stamps made before (perhaps in
// another time zone) are made afresh.
std::atomic<unsigned> stamp_generation{0};

// The stamp of the current second. Each thread keeps the last one it made:
// the local-time conversion goes through a process-wide lock, and a grab
// writes thousands of records a second.
std::string_view TimeStamp() {
    struct Cached {
        std::time_t second = -1;
        unsigned generation = 0;
        char text[32] = {};
        size_t size = 0;
    };
    thread_local Cached cached;
    const std::time_t now = std::time(nullptr);
    const unsigned generation = stamp_generation.load(std::memory_order_relaxed);
    if (now != cached.second || generation != cached.generation) {
        const std::tm local = platform::LocalTime(now);
        const int n =
            std::snprintf(cached.text, sizeof cached.text, "%02d/%02d/%02d %02d:%02d:%02d ",
                          local.tm_mon + 1, local.tm_mday, local.tm_year % 100, local.tm_hour,
                          local.tm_min, local.tm_sec);
        cached.size = n > 0 ? std::min(static_cast<size_t>(n), sizeof cached.text - 1) : 0;
        cached.second = now;
        cached.generation = generation;
    }
    return {cached.text, cached.size};
}

// The file records go to now, opened when there is none or it is due to be
// let go. `stale` is a file a writer found deleted: it is replaced unless
// another thread replaced it already. Empty when the log cannot be opened.
SharedFd CurrentFile(const SharedFd& stale) {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.path.empty()) state.path = platform::EngineLogPath();
    if (state.path.empty()) return nullptr;
    if (!state.first_record_done) {
        state.first_record_done = true;
        RotateIfLarge(state.path);
    }
    const auto now = std::chrono::steady_clock::now();
    if (state.file && (state.file == stale || now - state.opened_at >= kReopenAfter)) {
        state.file.reset();
    }
    if (!state.file) {
        platform::UniqueFd fd(
            ::open(state.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        if (!fd.ok()) return nullptr;
        state.file = std::make_shared<const platform::UniqueFd>(std::move(fd));
        state.opened_at = now;
    }
    return state.file;
}

bool Deleted(const platform::UniqueFd& file) {
    struct stat st;
    return ::fstat(file.get(), &st) != 0 || st.st_nlink == 0;
}

}  // namespace

void LogMessage(std::string_view text) {
    std::string record;
    const std::string_view stamp = TimeStamp();
    record.reserve(stamp.size() + text.size() + 1);
    record.append(stamp).append(text).push_back('\n');

    SharedFd file = CurrentFile(nullptr);
    if (file && Deleted(*file)) file = CurrentFile(file);
    if (!file) return;
    // One write() per record: with O_APPEND neither other threads nor other
    // processes sharing the file can interleave inside it.
    platform::WriteAll(file->get(), record.data(), record.size());
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
    state.file.reset();
    state.path = path;
    state.first_record_done = false;
    stamp_generation.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace fw

// ReservationLog: the file names a job's grabs reserve for URLs, appended to
// a file beside the tables as they are reserved (before the file exists).
//
// A URL's row names its file only once its fetch is recorded, and rows
// reach the disk only at a commit, so a grab killed meanwhile leaves files
// no row names: reserved and empty, or even complete. Settle, run before the
// next grab, gives each such file back to its URL, whose next fetch then
// reuses the name instead of taking a numbered one beside it, or removes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace fw {

class ProjectStore;

class ReservationLog {
  public:
    // Appends to the log at `path` (created 0600 when missing).
    explicit ReservationLog(const std::string& path);
    ReservationLog(const ReservationLog&) = delete;
    ReservationLog& operator=(const ReservationLog&) = delete;

    // Records that `file` (relative to the data directory) is reserved for
    // `url_id`. One write, so records never interleave; a failure is
    // ignored (the file may then be left behind by a kill).
    void Record(int32_t url_id, std::string_view file);

    // The log of the project whose tables are at `db_dir`.
    static std::string PathFor(const std::string& db_dir);

    // For every recorded file that exists and no row names: the URL's row
    // takes it when it names no file and was never fetched; otherwise the
    // file goes. With `after_kill`, bodies a killed grab was receiving
    // beside recorded files go too. Then commits and empties the log.
    // REQUIRES: no worker runs.
    static void Settle(ProjectStore& store, const std::string& data_dir, const std::string& path,
                       bool after_kill);

  private:
    platform::UniqueFd fd_;
};

// Where the body for the file at `stored_path` is received: beside it.
std::string ReceivingPath(const std::string& stored_path, int32_t url_id);

// Removes the work files a killed grab may leave at the top of the data
// directory (bodies being received, pages being fixed).
void RemoveStaleWorkFiles(const std::string& data_dir);

}  // namespace fw

#include "engine/grab/reservation_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "engine/interface/fetchwell.h"
#include "engine/store/project_store.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

namespace {

constexpr char kLogName[] = "ZQRESERVE.LOG";
// The log of one job holds a line per URL; anything far larger is not ours.
constexpr size_t kMaxLogBytes = size_t{256} << 20;

}  // namespace

ReservationLog::ReservationLog(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {}

std::string ReservationLog::PathFor(const std::string& db_dir) {
    return db_dir + kLogName;
}

void ReservationLog::Record(int32_t url_id, std::string_view file) {
    if (!fd_.ok() || file.find('\n') != std::string_view::npos) return;
    std::string line = std::to_string(url_id);
    line += '\t';
    line += file;
    line += '\n';
    platform::WriteAll(fd_.get(), line.data(), line.size());
}

void ReservationLog::Settle(ProjectStore& store, const std::string& data_dir,
                            const std::string& path, bool after_kill) {
    std::string text;
    if (platform::ReadFilePrefix(path, kMaxLogBytes, &text) && !text.empty()) {
        auto guard = store.Lock();
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string_view line(text.data() + start, end - start);
            const size_t tab = line.find('\t');
            if (tab == std::string_view::npos) continue;
            const long id = platform::LeadingInteger(line.substr(0, tab));
            const std::string file(line.substr(tab + 1));
            if (id <= 0 || file.empty()) continue;
            // Never a path that leads out of the data directory, whatever the
            // log says.
            std::optional<std::string> path;
            if (after_kill) {
                path = platform::PathInside(data_dir, file);
                if (path) platform::RemoveFile(ReceivingPath(*path, static_cast<int32_t>(id)));
            }
            // A file a row names is settled: the usual case, so it is asked
            // first and costs no file-system lookup.
            if (store.FindByFile(file) != 0) continue;
            if (!path) path = platform::PathInside(data_dir, file);
            if (!path || !platform::FileExists(*path)) continue;
            UrlRecord row;
            if (store.LoadRow(static_cast<int32_t>(id), &row) && row.file.empty() &&
                row.status == kStatusNone && row.grabbed == 0) {
                row.file = file;
                store.Write(&row);
            } else {
                platform::RemoveFile(*path);
            }
        }
    }
    // The rows that took their files reach the disk before the log that
    // names those files goes.
    store.Commit();
    ::truncate(path.c_str(), 0);
}

std::string ReceivingPath(const std::string& stored_path, int32_t url_id) {
    return stored_path.substr(0, stored_path.rfind('/') + 1) + ".fw-receiving-" +
           std::to_string(url_id);
}

void RemoveStaleWorkFiles(const std::string& data_dir) {
    std::error_code ec;
    std::vector<std::string> stale;
    for (std::filesystem::directory_iterator it(data_dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".fw-receiving-", 0) == 0 || name.rfind(".fw-fixing-", 0) == 0 ||
            name.rfind(".fwpage-", 0) == 0) {
            stale.push_back(it->path().string());
        }
    }
    for (const std::string& file : stale) platform::RemoveFile(file);
}

}  // namespace fw

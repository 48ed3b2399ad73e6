#include "engine/store/stored_file.h"

#include <filesystem>
#include <system_error>

#include "engine/support/log.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace fw {

std::optional<std::string> StoredFilePath(const std::string& data_dir, int32_t id,
                                          std::string_view file) {
    if (file.empty()) return std::nullopt;
    std::optional<std::string> path = platform::PathInside(data_dir, file);
    if (!path) {
        LogMessage(std::to_string(id) + " - FILE \"" + platform::WithoutLineBreaks(file) +
                   "\" leads out of the content directory; left alone");
    }
    return path;
}

size_t RemoveUnnamedFiles(const std::string& data_dir, const std::string& db_dir,
                          const std::unordered_set<std::string>& named) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::recursive_directory_iterator walk(data_dir, fs::directory_options::skip_permission_denied,
                                          error);
    const fs::recursive_directory_iterator end;
    size_t removed = 0;
    for (; !error && walk != end; walk.increment(error)) {
        const fs::directory_entry& entry = *walk;
        const std::string path = entry.path().string();
        const bool hidden = entry.path().filename().string().starts_with(".");
        std::error_code ignored;  // an entry gone meanwhile is no directory
        const bool directory = entry.is_directory(ignored) && !entry.is_symlink(ignored);
        if (directory) {
            if (hidden || path + "/" == db_dir) walk.disable_recursion_pending();
            continue;
        }
        if (walk.depth() == 0 || hidden) continue;
        const std::string relative = path.substr(data_dir.size());
        if (named.count(relative)) continue;
        std::error_code failed;
        if (fs::remove(entry.path(), failed)) {
            ++removed;
        } else if (failed) {
            LogMessage("Could not remove " + path + ": " + failed.message());
        }
    }
    if (error) LogMessage("Could not list " + data_dir + ": " + error.message());
    return removed;
}

}  // namespace fw

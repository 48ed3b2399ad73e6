#include "engine/store/stored_file.h"

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

}  // namespace fw

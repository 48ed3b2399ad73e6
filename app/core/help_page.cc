#include "app/core/help_page.h"

#include <unistd.h>

#include <vector>

#include "platform/file_ops.h"

namespace corvalin {

std::string HelpPagePath() {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::vector<std::string> dirs;
    if (n > 0) {
        const std::string path(exe, static_cast<size_t>(n));
        dirs.push_back(path.substr(0, path.find_last_of('/') + 1) + "../share/corvalin/help/");
    }
#ifdef FW_HELP_INSTALL_DIR
    dirs.push_back(FW_HELP_INSTALL_DIR "/");
#endif
#ifdef FW_HELP_SOURCE_DIR
    dirs.push_back(FW_HELP_SOURCE_DIR "/");
#endif
    for (const std::string& dir : dirs) {
        if (platform::FileExists(dir + "index.html")) return dir + "index.html";
    }
    return std::string();
}

}  // namespace corvalin

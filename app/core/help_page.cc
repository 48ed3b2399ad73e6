#include "app/core/help_page.h"

#include <vector>

#include "app/core/program_files.h"
#include "platform/file_ops.h"

namespace corvalin {

std::string HelpPagePath() {
    std::vector<std::string> dirs;
    if (const std::string exe_dir = ExecutableDirectory(); !exe_dir.empty()) {
        dirs.push_back(exe_dir + "../share/corvalin/help/");
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

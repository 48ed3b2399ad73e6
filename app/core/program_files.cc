#include "app/core/program_files.h"

#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/file_ops.h"
#include "platform/program_home.h"

namespace corvalin {

std::string ExecutableDirectory() {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return std::string();
    const std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

std::string InstalledDefaultsDirectory() {
    std::vector<std::string> candidates = {ExecutableDirectory() + "../share/corvalin/home/"};
#ifdef FW_DEFAULTS_INSTALL_DIR
    candidates.push_back(FW_DEFAULTS_INSTALL_DIR "/");
#endif
#ifdef FW_DEFAULTS_SOURCE_DIR
    candidates.push_back(FW_DEFAULTS_SOURCE_DIR "/");
#endif
    for (const auto& dir : candidates) {
        if (platform::DirectoryExists(dir)) return dir;
    }
    return std::string();
}

std::string ProgramDirectory() {
    static std::once_flag seeded;
    std::call_once(seeded, [] {
        if (std::string defaults = InstalledDefaultsDirectory(); !defaults.empty()) {
            platform::SeedProgramHome(defaults);
        }
    });
    return platform::ProgramHome();
}

}  // namespace corvalin

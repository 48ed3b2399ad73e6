#include "platform/program_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file_ops.h"

namespace platform {
namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::string UserHome() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return std::string();
}

}  // namespace

std::string ProgramHome() {
    std::string home = EnvOrEmpty("CORVALIN_HOME");
    if (home.empty()) {
        std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
        if (config.empty()) {
            std::string user = UserHome();
            if (user.empty()) return std::string();
            config = WithSlash(user) + ".config";
        }
        home = WithSlash(config) + "corvalin";
    }
    home = WithSlash(home);
    CreateDirectories(home);
    return home;
}

std::string SettingsFilePath() { return ProgramHome() + "corvalin.ini"; }
std::string EngineLogPath() { return ProgramHome() + "fetchwell.log"; }
std::string AppErrorLogPath() { return ProgramHome() + "corvalin.log"; }
std::string CookieFilePath() { return ProgramHome() + "cookies.txt"; }

void SeedProgramHome(const std::string& defaults_dir) {
    namespace fs = std::filesystem;
    std::string home = ProgramHome();
    std::error_code ec;
    if (home.empty() || !fs::is_directory(defaults_dir, ec)) return;
    for (auto it = fs::recursive_directory_iterator(defaults_dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        fs::path relative = fs::relative(it->path(), defaults_dir, ec);
        if (ec) continue;
        fs::path target = fs::path(home) / relative;
        if (fs::exists(target, ec)) continue;
        CopyReplacing(it->path().string(), target.string());
    }
}

}  // namespace platform

#include "app/core/project_layout.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "app/core/project_file.h"
#include "platform/file_ops.h"

namespace corvalin {

std::string DataDirectoryFor(std::string_view project_path) {
    const size_t name_start = project_path.find_last_of('/') + 1;  // npos + 1 == 0
    const size_t dot = project_path.find_last_of('.');
    // A name that is all extension (".cvn") has nothing to name a directory by.
    if (dot == std::string_view::npos || dot <= name_start) return std::string();
    return std::string(project_path.substr(0, dot)) + "/";
}

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::string AbsolutePath(std::string_view path) {
    if (path.empty()) return std::string();
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec) return std::string(path);
    return absolute.lexically_normal().string();
}

bool CreateProject(const std::string& project_path, std::string* message) {
    const std::string path = AbsolutePath(project_path);
    const std::string data_dir = DataDirectoryFor(path);
    auto fail = [&](bool remove_data_dir) {
        if (remove_data_dir) platform::RemoveTree(data_dir);
        if (message) *message = "Could not create data directory: " + data_dir;
        return false;
    };
    if (data_dir.empty()) return fail(false);
    // The tables hold the start URLs' credentials: only the owner may enter.
    if (::mkdir(data_dir.c_str(), 0700) != 0) return fail(false);

    const bool file_existed = platform::FileExists(path);
    ProjectFile project(path);
    if (!project.SetDataDirectory(data_dir)) return fail(true);
    const std::string src_dir = project.SrcDirectory();
    if (src_dir.empty() || ::mkdir(src_dir.c_str(), 0777) != 0) {
        if (!file_existed) platform::RemoveFile(path);
        return fail(true);
    }
    return true;
}

}  // namespace corvalin

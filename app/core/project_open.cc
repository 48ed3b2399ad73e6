#include "app/core/project_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/core/engine_loader.h"
#include "app/core/project_file.h"
#include "app/core/project_layout.h"
#include "platform/file_ops.h"

namespace corvalin {
namespace {

constexpr char kCouldNotOpen[] = "Could not open document:\n";
constexpr char kCorrupt[] =
    "Corvalin has detected a corrupt database and cannot open\n"
    "your project.  The grabbed content is still available in:\n";

// The URL table of a project, in the spelling found on disk.
std::string UrlTableFile(const std::string& data_dir) {
    for (const char* name : {"ZQURL.DBF", "zqurl.dbf"}) {
        if (platform::FileExists(data_dir + name)) return data_dir + name;
    }
    return std::string();
}

// True when another process holds the table open exclusively (a grab in
// another program), which the engine reports like any failed open.
bool HeldByAnotherProcess(const std::string& table) {
    const int fd = ::open(table.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

std::string EngineMessage(const EngineLoader& loader, fw::HRESULT hr) {
    std::string description;
    if (loader.TakeError(&description) && !description.empty()) return description;
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

bool OpenProject(const EngineLoader& loader, fw::IDizoziz* engine, const std::string& project_path,
                 OpenedProject* opened, OpenFailure* failure) {
    const std::string path = AbsolutePath(project_path);
    auto fail = [&](std::string message, std::string detail, fw::HRESULT hr = fw::S_OK) {
        failure->message = std::move(message);
        failure->detail = std::move(detail);
        failure->result = hr;
        return false;
    };
    // Only a regular file: reading a FIFO or a device could hang or never end.
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return fail(kCouldNotOpen + path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return fail(kCouldNotOpen + path, "it is a directory");
    if (!S_ISREG(info.st_mode)) return fail(kCouldNotOpen + path, "it is not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(kCouldNotOpen + path, std::strerror(errno));
    ::close(fd);

    const ProjectFile project(path);
    const std::string data_dir = WithSlash(project.DataDirectory());
    if (data_dir.empty()) return fail(kCouldNotOpen + path, "it names no data directory");
    if (!platform::DirectoryExists(data_dir)) {
        return fail(kCouldNotOpen + path, "its data directory " + data_dir + " is missing");
    }
    const std::string content_dir = WithSlash(project.SrcDirectory());

    fw::HRESULT hr = engine->OpenPlus(data_dir, content_dir);
    if (fw::Failed(hr)) {
        std::string detail = EngineMessage(loader, hr);
        const std::string table = UrlTableFile(data_dir);
        if (table.empty()) return fail(kCouldNotOpen + path, detail, hr);
        if (HeldByAnotherProcess(table)) {
            return fail(kCouldNotOpen + path, "the project is in use by another program", hr);
        }
        return fail(kCorrupt + content_dir, detail, hr);
    }
    fw::ComPtr<fw::IDizozizPrefs> prefs;
    hr = engine->Preferences(prefs.Receive());
    if (fw::Succeeded(hr)) hr = prefs->put_PercentMaxThreads(100);
    if (fw::Failed(hr)) {
        std::string detail = EngineMessage(loader, hr);
        engine->Close();
        return fail(kCouldNotOpen + path, detail, hr);
    }
    opened->project_path = path;
    opened->data_dir = data_dir;
    opened->content_dir = content_dir;
    return true;
}

}  // namespace corvalin

#include "engine/content/page_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/file_ops.h"

namespace fw {

namespace {

// The mode a newly created file gets in this process: 0666 less the umask
// (read without changing it, which umask() cannot do safely in threads).
mode_t NewFileMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
                break;
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

PageOutput::PageOutput(std::string target) : target_(std::move(target)) {
    const size_t slash = target_.find_last_of('/');
    std::string name = (slash == std::string::npos ? std::string() : target_.substr(0, slash + 1)) +
                       ".fwpage-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return;
    // mkstemp makes the file private; the page replaces one that was not
    // (or a new one), so it gets the target's mode or a new file's.
    struct stat st;
    const mode_t mode = ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
    ::fchmod(fd, mode);
    ::close(fd);
    temp_ = std::move(name);
    out_.rdbuf()->pubsetbuf(buffer_, sizeof buffer_);
    out_.open(temp_, std::ios::binary | std::ios::trunc);
}

PageOutput::~PageOutput() {
    if (committed_ || temp_.empty()) return;
    if (out_.is_open()) out_.close();
    platform::RemoveFile(temp_);
}

bool PageOutput::Commit() {
    if (temp_.empty() || committed_) return false;
    out_.close();
    if (out_.fail()) return false;
    if (!platform::MoveReplacing(temp_, target_)) return false;
    committed_ = true;
    return true;
}

}  // namespace fw

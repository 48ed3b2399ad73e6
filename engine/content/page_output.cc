#include "engine/content/page_output.h"

#include <fcntl.h>
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

PageOutput::FileBuffer::FileBuffer() { setp(block_, block_ + sizeof block_); }

bool PageOutput::FileBuffer::FlushBlock() {
    const size_t used = static_cast<size_t>(pptr() - pbase());
    if (used > 0 && (fd_ < 0 || !platform::WriteAll(fd_, pbase(), used))) failed_ = true;
    setp(block_, block_ + sizeof block_);
    return !failed_;
}

PageOutput::FileBuffer::int_type PageOutput::FileBuffer::overflow(int_type c) {
    if (!FlushBlock()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int PageOutput::FileBuffer::sync() { return FlushBlock() ? 0 : -1; }

namespace {

// Pages up to this size are rewritten in memory and in place.
constexpr long long kInPlaceLimit = 16 * 1024 * 1024;

}  // namespace

PageOutput::PageOutput(std::string target, OutputMode mode) : target_(std::move(target)) {
    if (mode == OutputMode::kInPlace) {
        const long long size = platform::FileSize(target_);
        if (size >= 0 && size <= kInPlaceLimit) {
            in_place_ = true;
            old_size_ = size;
            out_.rdbuf(&memory_);
            return;
        }
    }
    const size_t slash = target_.find_last_of('/');
    std::string name = (slash == std::string::npos ? std::string() : target_.substr(0, slash + 1)) +
                       ".fwpage-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return;
    // mkstemp makes the file private; the page replaces one that was not
    // (or a new one), so it gets the target's mode or a new file's.
    struct stat st;
    const mode_t file_mode =
        ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
    ::fchmod(fd, file_mode);
    // Written through the descriptor mkstemp gave: reopening with truncation
    // would make the file system force the data out at close.
    fd_ = fd;
    temp_ = std::move(name);
    buffer_.Attach(fd_);
}

PageOutput::~PageOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (committed_ || temp_.empty()) return;
    platform::RemoveFile(temp_);
}

bool PageOutput::CommitInPlace() {
    out_.flush();
    if (!out_.good()) return false;
    const std::string page = std::move(memory_).str();
    const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Write, then cut to length (a rewritten page is seldom shorter): never
    // truncating to zero first keeps the file system from forcing the data
    // out at close.
    const off_t length = static_cast<off_t>(page.size());
    bool ok = platform::WriteAll(fd, page.data(), page.size()) &&
              (length >= old_size_ || ::ftruncate(fd, length) == 0);
    ok = ::close(fd) == 0 && ok;
    committed_ = ok;
    return ok;
}

bool PageOutput::Commit() {
    if (committed_) return false;
    if (in_place_) return CommitInPlace();
    if (temp_.empty() || fd_ < 0) return false;
    out_.flush();
    const bool written = out_.good() && !buffer_.failed();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!written || !closed) return false;
    if (!platform::MoveReplacing(temp_, target_)) return false;
    committed_ = true;
    return true;
}

}  // namespace fw

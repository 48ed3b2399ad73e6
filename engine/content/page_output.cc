#include "engine/content/page_output.h"

#include <errno.h>
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
        // Opened once for the whole rewrite: reading, writing and cutting to
        // length go through this descriptor, with no further path lookups.
        platform::UniqueFd fd(::open(target_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.ok()) {
            if (errno != ENOENT) return;  // there, but not ours to rewrite
        } else {
            struct stat st;
            if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
            if (st.st_size <= kInPlaceLimit) {
                in_place_ = true;
                old_size_ = static_cast<long long>(st.st_size);
                target_fd_ = std::move(fd);
                out_.rdbuf(&memory_);
                return;
            }
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

bool PageOutput::ReadTarget(size_t max_bytes, std::string* text) const {
    text->clear();
    if (!in_place_ || static_cast<unsigned long long>(old_size_) > max_bytes) return false;
    text->resize(static_cast<size_t>(old_size_));
    // Still the size it had at open: a file that grew would be cut short.
    struct stat st;
    const bool whole = platform::PReadAll(target_fd_.get(), text->data(), text->size(), 0) &&
                       ::fstat(target_fd_.get(), &st) == 0 && st.st_size == old_size_;
    if (!whole) text->clear();
    return whole;
}

bool PageOutput::CommitInPlace() {
    out_.flush();
    if (!out_.good() || !target_fd_.ok()) return false;
    const std::string page = std::move(memory_).str();
    // Write, then cut to length (a rewritten page is seldom shorter): never
    // truncating to zero first keeps the file system from forcing the data
    // out at close.
    const off_t length = static_cast<off_t>(page.size());
    bool ok = platform::PWriteAll(target_fd_.get(), page.data(), page.size(), 0) &&
              (length >= old_size_ || ::ftruncate(target_fd_.get(), length) == 0);
    ok = target_fd_.Close() && ok;
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

#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace platform {
namespace {

int OpenForWrite(const std::string& path, int extra_flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | extra_flags, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash);
}

bool CopyFileContents(const std::string& source, const std::string& target) {
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.ok()) return false;
    UniqueFd out(OpenForWrite(target, O_TRUNC));
    if (!out.ok()) return false;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (!WriteAll(out.get(), buffer, static_cast<size_t>(n))) return false;
    }
    return out.Close();
}

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

// Repeats `io` (pread or pwrite) until all `size` bytes have moved, retrying
// short transfers and EINTR.
template <typename Byte, typename Io>
bool TransferAll(Io io, int fd, Byte* p, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = io(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace

bool PReadAll(int fd, void* data, size_t size, uint64_t offset) {
    return TransferAll(::pread, fd, static_cast<uint8_t*>(data), size, offset);
}

bool PWriteAll(int fd, const void* data, size_t size, uint64_t offset) {
    return TransferAll(::pwrite, fd, static_cast<const uint8_t*>(data), size, offset);
}

bool CreateDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return DirectoryExists(dir);
}

namespace {

// Empties an open file only when it has content: truncating makes some file
// systems (ext4) force the file's data out at close, which costs a write-back
// per fetched file for nothing when the file was new.
bool EmptyIfNeeded(UniqueFd& fd) {
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return false;
    return st.st_size == 0 || ::ftruncate(fd.get(), 0) == 0;
}

}  // namespace

UniqueFd CreateEmptyFile(const std::string& path) {
    UniqueFd fd(OpenForWrite(path, 0));
    if (!fd.ok()) {
        if (!CreateDirectories(ParentOf(path))) return UniqueFd();
        fd = UniqueFd(OpenForWrite(path, 0));
    }
    if (!fd.ok() || !EmptyIfNeeded(fd)) return UniqueFd();
    return fd;
}

UniqueFd CreateNewFile(const std::string& path) {
    UniqueFd fd(OpenForWrite(path, O_EXCL));
    if (!fd.ok() && errno == ENOENT && CreateDirectories(ParentOf(path))) {
        fd = UniqueFd(OpenForWrite(path, O_EXCL));
    }
    return fd;
}

bool OpenCreatingDirectories(const std::string& path) {
    UniqueFd fd = CreateEmptyFile(path);
    return fd.ok() && fd.Close();
}

bool MoveReplacing(const std::string& source, const std::string& target) {
    // rename() replaces the target atomically; deleting it first as the
    // Windows original did would only open a window without either file.
    if (::rename(source.c_str(), target.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    if (!CopyFileContents(source, target)) return false;
    ::unlink(source.c_str());
    return true;
}

bool SwapReplacing(const std::string& source, const std::string& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(source.c_str());
        return true;
    }
    return MoveReplacing(source, target);
}

bool CopyReplacing(const std::string& source, const std::string& target) {
    if (!OpenCreatingDirectories(target)) return false;
    ::unlink(target.c_str());
    return CopyFileContents(source, target);
}

std::string TempFileName() {
    const char* dir = std::getenv("TMPDIR");
    std::string base = (dir && *dir) ? dir : "/tmp";
    if (base.back() != '/') base += '/';
    std::string name = base + "tfxXXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return std::string();
    ::close(fd);
    return name;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool ReadFilePrefix(const std::string& path, size_t max_bytes, std::string* out) {
    out->clear();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) return false;
    char buffer[65536];
    while (out->size() < max_bytes) {
        size_t want = std::min(sizeof buffer, max_bytes - out->size());
        ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        out->append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view content, unsigned mode) {
    std::string dir = ParentOf(path);
    if (!dir.empty() && !CreateDirectories(dir)) return false;
    std::string temp = path + ".tmpXXXXXX";
    int raw = ::mkstemp(temp.data());
    if (raw < 0) return false;
    UniqueFd fd(raw);
    ::fchmod(fd.get(), static_cast<mode_t>(mode & 07777));
    bool ok = WriteAll(fd.get(), content.data(), content.size()) && fd.Close();
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool SyncFileSystem(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const std::string dir = std::filesystem::path(path).parent_path().string();
        fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    }
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec;
}

}  // namespace platform

namespace platform {

namespace {

bool HasUnsafeSegment(std::string_view relative) {
    if (relative.find('\0') != std::string_view::npos) return true;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        if (relative.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

// realpath() as a string; nullopt when it fails.
std::optional<std::string> RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string result(real);
    ::free(real);
    return result;
}

}  // namespace

std::optional<std::string> PathInside(const std::string& dir, std::string_view relative) {
    if (relative.empty() || relative.front() == '/' || HasUnsafeSegment(relative)) {
        return std::nullopt;
    }
    const std::optional<std::string> root = RealPath(dir);
    if (!root) return std::nullopt;
    std::string full = dir + std::string(relative);
    // The nearest part of the path that exists, through every link.
    std::string probe = full;
    for (;;) {
        struct stat st;
        if (::lstat(probe.c_str(), &st) == 0) break;
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        const size_t slash = probe.find_last_of('/', probe.size() - 1);
        if (slash == std::string::npos || slash + 1 <= dir.size()) {
            probe = dir;
            break;
        }
        probe.resize(slash);
    }
    // A link that resolves nowhere (dangling, or a loop) fails here too.
    const std::optional<std::string> real = RealPath(probe);
    if (!real) return std::nullopt;
    const std::string prefix = root->back() == '/' ? *root : *root + "/";
    if (*real != *root && !real->starts_with(prefix)) return std::nullopt;
    return full;
}

}  // namespace platform

#include "engine/store/xbase/file_io.h"

#include <unistd.h>

#include <cerrno>

namespace fw::xbase {

bool PReadAll(int fd, void* data, size_t size, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool PWriteAll(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace fw::xbase

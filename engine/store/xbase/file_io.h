// Whole-buffer positioned reads and writes (retrying short transfers and
// EINTR). False on any failure, including end of file before `size` bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw::xbase {

bool PReadAll(int fd, void* data, size_t size, uint64_t offset);
bool PWriteAll(int fd, const void* data, size_t size, uint64_t offset);

}  // namespace fw::xbase

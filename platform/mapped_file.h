// MappedFile: a whole file mapped read-only into memory, unmapped when the
// object goes. For files read at random places, such as index tables.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the file at `path`; false when it cannot be opened, examined or
    // mapped. An empty file maps to empty bytes().
    bool Open(const std::string& path);
    // The same for the file open on `fd`, which the mapping does not need
    // once this returns.
    bool Map(int fd);

    // The file's bytes, valid while this object lives. The file must not be
    // truncated meanwhile (reads past its new end would fault): map only
    // files that are replaced, never rewritten in place.
    std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    void Unmap();

    void* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace platform

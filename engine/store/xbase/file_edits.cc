#include "engine/store/xbase/file_edits.h"

#include <unistd.h>

#include "engine/store/xbase/file_io.h"

namespace fw::xbase {

Result ApplyEdits(int fd, const FileEdits& edits) {
    for (const auto& [offset, bytes] : edits.writes) {
        if (!PWriteAll(fd, bytes.data(), bytes.size(), offset)) return Result::kErrorWrite;
    }
    if (edits.length >= 0 && ::ftruncate(fd, static_cast<off_t>(edits.length)) != 0) {
        return Result::kErrorWrite;
    }
    return Result::kSuccess;
}

}  // namespace fw::xbase

// Sorts the (key, row) entries of one tag while an index is built, in
// bounded memory: entries collect in memory up to a budget, each full batch
// is sorted and written to a temporary file as a run, and Finish() merges
// the runs. The temporary file is unnamed (gone when the process is) and
// lives beside the index. Not thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/xbase/definitions.h"

namespace fw::xbase {

class KeySorter {
public:
    // `directory` holds the runs; `budget` bounds the bytes kept in memory.
    KeySorter(std::string directory, size_t budget);
    KeySorter(const KeySorter&) = delete;
    KeySorter& operator=(const KeySorter&) = delete;
    ~KeySorter();

    // Keys of one sorter have one length; trailing blanks are not kept.
    Result Add(std::string_view key, uint32_t row);
    // Calls `take` with every entry in (key, row) order; keys come without
    // their trailing blanks. Stops at the first result other than success.
    Result Finish(const std::function<Result(std::string_view key, uint32_t row)>& take);

private:
    struct Run {
        uint64_t offset;
        uint64_t size;
    };
    class RunReader;

    void SortBatch();
    Result Spill();

    std::string directory_;
    size_t budget_;
    std::vector<uint8_t> arena_;     // entries: u32 row, u8 length, key bytes
    std::vector<uint32_t> entries_;  // offsets into arena_
    std::vector<Run> runs_;
    int fd_ = -1;
    uint64_t file_size_ = 0;
};

}  // namespace fw::xbase

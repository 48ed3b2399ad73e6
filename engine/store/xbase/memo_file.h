// The memo file (.FPT) in the FoxPro layout, holding the text of memo
// columns. All integers big-endian.
//
//   header (512 bytes): 0 u32 next free block; 6 u16 block size (64); the
//   rest zero. Block n starts at byte n * block size, so the first block
//   after the header is 512 / 64 = 8.
//   memo: at the start of its first block, u32 type (1 = text), u32 length,
//   then the text; it fills whole blocks (the last one zero-padded).
//
// A row's memo column holds the first block number as right-aligned decimal
// text, blank for an empty memo. A rewritten memo stays in its blocks when it
// fits, otherwise it moves to the end of the file. Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/store/xbase/definitions.h"

namespace fw::xbase {

// Longest memo text read or written; a longer length field is damage.
inline constexpr uint32_t kMaxMemoLength = 64u << 20;

class MemoFile {
public:
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;
    ~MemoFile();

    // kErrorOpen when the file cannot be opened, kErrorData when its header
    // is not a memo header.
    static Result Open(const std::string& path, std::unique_ptr<MemoFile>* out);
    // Creates (replacing) an empty memo file.
    static Result Create(const std::string& path, std::unique_ptr<MemoFile>* out);

    // The text of the memo starting at `block` ("" for block 0). kErrorData
    // when the block lies outside the file or its length is implausible.
    Result Read(uint32_t block, std::string* text) const;
    // Stores `text`, reusing the blocks of `old_block` (0: none) when it
    // fits; *block is its first block (0 for an empty text).
    Result Write(uint32_t old_block, std::string_view text, uint32_t* block);
    // Removes every memo.
    Result Reset();
    // Takes into account memos another process appended.
    Result Refresh();
    // Writes the header.
    Result Flush();

private:
    MemoFile() = default;
    Result ReadHeader();

    std::string path_;
    int fd_ = -1;
    uint32_t block_size_ = 64;
    uint32_t next_free_ = 0;
    bool dirty_ = false;
};

}  // namespace fw::xbase

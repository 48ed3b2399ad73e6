// A bounded cache of data-file rows, so that looking at a row costs a
// system call only when its block is not held.
//
// Rows are kept in blocks of consecutive rows (block_rows() of them, about
// kRowBlockBytes), read from the file as a whole. A block may hold fewer
// rows than that when it was read at the end of the file; rows added later
// are missing from it and make it be read again. The cache holds at most
// `cache_bytes` of blocks (at least one) and evicts with the clock
// algorithm.
//
// The cache never writes: its owner writes rows to the file and tells the
// cache (Update), and drops the cache whenever the file may have changed
// behind its back (Clear). Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw::xbase {

inline constexpr size_t kRowBlockBytes = 16 * 1024;

class RowCache {
  public:
    // REQUIRES: record_length > 0.
    RowCache(uint32_t record_length, size_t cache_bytes);
    RowCache(const RowCache&) = delete;
    RowCache& operator=(const RowCache&) = delete;

    uint32_t block_rows() const { return block_rows_; }
    // First row (1-based) of the block that holds `recno`.
    uint32_t BlockStart(uint32_t recno) const { return recno - (recno - 1) % block_rows_; }

    // Copies row `recno` into `record` (record_length bytes) when a block
    // holds it; false otherwise.
    bool Get(uint32_t recno, uint8_t* record);
    // A buffer for the block starting at `first` (from BlockStart), with
    // room for block_rows() rows. The caller reads the rows into it and then
    // calls Commit with how many it read; until then the block holds nothing.
    uint8_t* Fill(uint32_t first);
    void Commit(uint32_t first, uint32_t rows);
    // Keeps a held copy of row `recno` equal to what was written to the file.
    void Update(uint32_t recno, const uint8_t* record);
    // Forgets every row.
    void Clear();

    size_t held_blocks() const;

  private:
    struct Slot {
        std::unique_ptr<uint8_t[]> data;
        uint32_t block = 0;  // block number (row - 1) / block_rows
        uint32_t rows = 0;   // rows held; 0: the slot is free
        bool referenced = false;
    };

    Slot* Find(uint32_t block);
    void Unmap(uint32_t index);  // the slot holds nothing afterwards
    uint32_t Victim();

    uint32_t record_length_;
    uint32_t block_rows_;
    size_t max_slots_;
    std::vector<Slot> slots_;
    // Block number -> slot + 1 (0: not held). Four bytes per block of the
    // file: a block is found with one memory access.
    std::vector<uint32_t> map_;
    size_t hand_ = 0;
};

}  // namespace fw::xbase

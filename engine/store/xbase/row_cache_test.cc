#include "engine/store/xbase/row_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace fw::xbase {
namespace {

constexpr uint32_t kLength = 100;

std::vector<uint8_t> Row(uint32_t recno, uint8_t version = 0) {
    std::vector<uint8_t> row(kLength);
    for (uint32_t i = 0; i < kLength; ++i) row[i] = static_cast<uint8_t>(recno * 7 + i + version);
    return row;
}

// Reads the block holding `recno` as the data file would: rows up to `rows_in_file`.
void Load(RowCache& cache, uint32_t recno, uint32_t rows_in_file) {
    const uint32_t first = cache.BlockStart(recno);
    const uint32_t rows = std::min(cache.block_rows(), rows_in_file - first + 1);
    uint8_t* block = cache.Fill(first);
    for (uint32_t i = 0; i < rows; ++i)
        std::memcpy(block + i * kLength, Row(first + i).data(), kLength);
    cache.Commit(first, rows);
}

bool Holds(RowCache& cache, uint32_t recno, const std::vector<uint8_t>& expected) {
    std::vector<uint8_t> row(kLength);
    return cache.Get(recno, row.data()) && row == expected;
}

TEST(RowCacheTest, BlocksHoldTheirRowsAndFollowUpdates) {
    RowCache cache(kLength, 1 << 20);
    const uint32_t per_block = cache.block_rows();
    ASSERT_EQ(per_block, kRowBlockBytes / kLength);
    EXPECT_EQ(cache.BlockStart(1), 1u);
    EXPECT_EQ(cache.BlockStart(per_block), 1u);
    EXPECT_EQ(cache.BlockStart(per_block + 1), per_block + 1);

    std::vector<uint8_t> row(kLength);
    EXPECT_FALSE(cache.Get(5, row.data()));
    EXPECT_FALSE(cache.Get(0, row.data()));
    Load(cache, 5, 10 * per_block);
    for (uint32_t r = 1; r <= per_block; ++r) EXPECT_TRUE(Holds(cache, r, Row(r))) << r;
    EXPECT_FALSE(cache.Get(per_block + 1, row.data()));

    cache.Update(3, Row(3, 1).data());
    EXPECT_TRUE(Holds(cache, 3, Row(3, 1)));
    cache.Update(per_block + 2, Row(per_block + 2, 1).data());  // not held: nothing to do
    EXPECT_FALSE(cache.Get(per_block + 2, row.data()));

    cache.Clear();
    EXPECT_FALSE(cache.Get(3, row.data()));
    EXPECT_EQ(cache.held_blocks(), 0u);
}

// A block read at the end of the file holds only the rows there were; rows
// appended afterwards are misses until the block is read again.
TEST(RowCacheTest, BlockReadAtTheEndLacksLaterRows) {
    RowCache cache(kLength, 1 << 20);
    Load(cache, 2, 3);
    std::vector<uint8_t> row(kLength);
    EXPECT_TRUE(Holds(cache, 3, Row(3)));
    EXPECT_FALSE(cache.Get(4, row.data()));
    cache.Update(4, Row(4, 9).data());  // beyond what the block holds
    EXPECT_FALSE(cache.Get(4, row.data()));
    Load(cache, 4, 6);
    EXPECT_TRUE(Holds(cache, 4, Row(4)));
    EXPECT_TRUE(Holds(cache, 6, Row(6)));
}

// The bound holds: with room for two blocks, a third evicts one, and what
// is held is always the right row, also after a fill that was abandoned
// (a failed read) left its slot to be reused.
TEST(RowCacheTest, StaysWithinItsBoundAndNeverMixesBlocks) {
    RowCache cache(kLength, 2 * kRowBlockBytes);
    const uint32_t per_block = cache.block_rows();
    const uint32_t rows = 50 * per_block;
    for (uint32_t i = 0; i < 400; ++i) {
        const uint32_t recno = 1 + (i * 7919u) % rows;
        if (i % 5 == 4) {
            cache.Fill(cache.BlockStart(recno));
            cache.Commit(cache.BlockStart(recno), 0);
        } else {
            Load(cache, recno, rows);
        }
        EXPECT_LE(cache.held_blocks(), 2u);
        for (uint32_t r = 1; r <= rows; r += per_block / 3 + 1) {
            std::vector<uint8_t> row(kLength);
            if (cache.Get(r, row.data())) {
                EXPECT_EQ(row, Row(r)) << r;
            }
        }
    }
    // A bound below one block still keeps one.
    RowCache tiny(kLength, 1);
    Load(tiny, 1, 10);
    EXPECT_TRUE(Holds(tiny, 1, Row(1)));
}

}  // namespace
}  // namespace fw::xbase

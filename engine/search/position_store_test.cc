#include "engine/search/position_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using ::testing::ElementsAre;

constexpr std::string_view kHeader = "test positions 1\n";

class PositionStoreTest : public ::testing::Test {
protected:
    // Writes shards of the given documents (each a text of words) and the
    // store file; returns its path.
    std::string Write(const std::vector<std::vector<std::string>>& shards) {
        std::vector<std::unique_ptr<PositionShardWriter>> writers;
        std::vector<const PositionShardWriter*> order;
        for (size_t s = 0; s < shards.size(); ++s) {
            writers.push_back(std::make_unique<PositionShardWriter>());
            EXPECT_TRUE(writers.back()->Open(dir_ / ("shard" + std::to_string(s))));
            for (const std::string& text : shards[s]) {
                uint32_t position = 0;
                for (size_t at = 0; at < text.size();) {
                    const size_t end = std::min(text.find(' ', at), text.size());
                    writers.back()->Add(text.substr(at, end - at), ++position);
                    at = end + 1;
                }
                EXPECT_TRUE(writers.back()->EndDocument());
            }
            EXPECT_TRUE(writers.back()->Flush());
            order.push_back(writers.back().get());
        }
        const std::string path = dir_ / "store";
        std::string error;
        EXPECT_TRUE(WritePositionStore(path, kHeader, order, &error)) << error;
        return path;
    }

    // The positions of `word` in document `docid`.
    std::vector<uint32_t> PositionsOf(const PositionStore& store, uint64_t docid,
                                      const std::string& word) {
        const size_t shard = store.ShardOf(docid);
        const uint32_t id = store.WordId(shard, word);
        std::string block;
        std::vector<std::string_view> lists;
        std::vector<uint32_t> positions;
        if (id == PositionStore::kNoWord) return positions;
        EXPECT_TRUE(store.ReadBlock(docid, &block));
        EXPECT_TRUE(FindPositionLists(block, {id}, &lists));
        EXPECT_TRUE(DecodePositions(lists[0], &positions));
        return positions;
    }

    fwtest::TempDir dir_;
};

TEST_F(PositionStoreTest, DocumentsOfEveryShardKeepTheirOwnWords) {
    const std::string path = Write({
        {"red fox red", "blue"},          // documents 1 and 2
        {},                               // a shard that got no documents
        {"fox blue fox fox", "", "red"},  // 3, 4 (no words) and 5
    });
    PositionStore store;
    ASSERT_TRUE(store.Open(path, kHeader));
    EXPECT_EQ(store.documents(), 5u);
    EXPECT_EQ(store.shards(), 3u);
    EXPECT_EQ(store.ShardOf(1), 0u);
    EXPECT_EQ(store.ShardOf(2), 0u);
    EXPECT_EQ(store.ShardOf(3), 2u);
    EXPECT_EQ(store.ShardOf(5), 2u);
    EXPECT_EQ(store.ShardOf(0), 3u);
    EXPECT_EQ(store.ShardOf(6), 3u);

    EXPECT_THAT(PositionsOf(store, 1, "red"), ElementsAre(1, 3));
    EXPECT_THAT(PositionsOf(store, 1, "fox"), ElementsAre(2));
    EXPECT_THAT(PositionsOf(store, 1, "blue"), ElementsAre());
    EXPECT_THAT(PositionsOf(store, 2, "blue"), ElementsAre(1));
    EXPECT_THAT(PositionsOf(store, 3, "fox"), ElementsAre(1, 3, 4));
    EXPECT_THAT(PositionsOf(store, 4, "fox"), ElementsAre());
    EXPECT_THAT(PositionsOf(store, 5, "red"), ElementsAre(1));
    EXPECT_EQ(store.WordId(0, "green"), PositionStore::kNoWord);
    EXPECT_EQ(store.WordId(1, "red"), PositionStore::kNoWord);
    EXPECT_EQ(store.WordId(7, "red"), PositionStore::kNoWord);
    std::string block;
    EXPECT_FALSE(store.ReadBlock(0, &block));
    EXPECT_FALSE(store.ReadBlock(6, &block));
}

TEST_F(PositionStoreTest, LargeDictionariesAreSearchedByWord) {
    std::vector<std::string> documents;
    std::mt19937 random(3);
    for (int d = 0; d < 300; ++d) {
        std::string text;
        for (int w = 0; w < 50; ++w) text += "w" + std::to_string(random() % 5000) + " ";
        text += "d" + std::to_string(d);
        documents.push_back(text);
    }
    PositionStore store;
    ASSERT_TRUE(store.Open(Write({documents}), kHeader));
    for (int d = 0; d < 300; d += 37) {
        EXPECT_THAT(PositionsOf(store, d + 1, "d" + std::to_string(d)), ElementsAre(51)) << d;
    }
}

TEST_F(PositionStoreTest, DamagedOrForeignFilesDoNotOpen) {
    const std::string path = Write({{"a b c", "c d"}, {"e f"}});
    std::string bytes = fwtest::ReadFile(path);
    PositionStore store;
    ASSERT_TRUE(store.Open(path, kHeader));
    EXPECT_FALSE(store.Open(path, "other header\n"));
    EXPECT_FALSE(store.Open(dir_ / "missing", kHeader));
    // Cut anywhere, the tables no longer hold together.
    for (size_t size = 0; size < bytes.size(); ++size) {
        fwtest::WriteFile(dir_ / "cut", bytes.substr(0, size));
        EXPECT_FALSE(store.Open(dir_ / "cut", kHeader)) << size;
    }
    // Changed anywhere after the header, it is refused or read within its
    // bounds (the sanitizers watch).
    std::mt19937 random(5);
    for (size_t at = kHeader.size(); at < bytes.size(); ++at) {
        std::string changed = bytes;
        changed[at] = static_cast<char>(changed[at] ^ (1 + random() % 255));
        fwtest::WriteFile(dir_ / "changed", changed);
        if (!store.Open(dir_ / "changed", kHeader)) continue;
        for (uint64_t docid = 0; docid <= store.documents() + 1; ++docid) {
            std::string block;
            std::vector<std::string_view> lists;
            if (store.ReadBlock(docid, &block)) FindPositionLists(block, {0, 1, 2}, &lists);
            const size_t shard = store.ShardOf(docid);
            for (const char* word : {"a", "c", "f", "z"}) store.WordId(shard, word);
        }
    }
}

}  // namespace
}  // namespace fw

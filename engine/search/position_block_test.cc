#include "engine/search/position_block.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <random>

namespace fw {
namespace {

using ::testing::ElementsAre;

TEST(VarintTest, RoundTripsAndRejectsOverlongNumbers) {
    for (uint32_t value : {0u, 1u, 127u, 128u, 16383u, 16384u, 1u << 28, UINT32_MAX}) {
        std::string bytes;
        AppendVarint(value, &bytes);
        size_t pos = 0;
        uint32_t read = 0;
        ASSERT_TRUE(ReadVarint(bytes, &pos, &read)) << value;
        EXPECT_EQ(read, value);
        EXPECT_EQ(pos, bytes.size());
        pos = 0;
        EXPECT_EQ(ReadVarint(bytes.substr(0, bytes.size() - 1), &pos, &read), false) << value;
    }
    size_t pos = 0;
    uint32_t read = 0;
    EXPECT_FALSE(ReadVarint("\xFF\xFF\xFF\xFF\x10", &pos, &read));  // 33 bits
    pos = 0;
    EXPECT_FALSE(ReadVarint("\x80\x80\x80\x80\x80\x01", &pos, &read));
}

// A document of words given by id, each at the next position.
struct Document {
    std::vector<uint32_t> words;
    std::string block;
    std::vector<uint32_t> ids, frequencies;
    std::map<uint32_t, std::vector<uint32_t>> positions;  // expected, by id
};

Document Encode(PositionBlockBuilder* builder, std::vector<uint32_t> words) {
    Document d;
    d.words = std::move(words);
    for (uint32_t i = 0; i < d.words.size(); ++i) {
        builder->Add(d.words[i], i + 1);
        d.positions[d.words[i]].push_back(i + 1);
    }
    builder->Finish(&d.ids, &d.frequencies, &d.block);
    return d;
}

TEST(PositionBlockTest, FindsTheListsOfTheWordsAskedFor) {
    std::mt19937 random(7);
    PositionBlockBuilder builder;  // reused, as each indexing thread does
    const struct {
        const char* name;
        size_t words;
        uint32_t vocabulary;
    } cases[] = {
        {"empty", 0, 10},       {"one word", 1, 1},        {"few words", 12, 5},
        {"many words", 3000, 700}, {"large ids", 500, 3000000}, {"mostly distinct", 200, 1u << 20},
    };
    for (const auto& c : cases) {
        std::uniform_int_distribution<uint32_t> pick(0, c.vocabulary - 1);
        std::vector<uint32_t> words;
        for (size_t i = 0; i < c.words; ++i) words.push_back(pick(random));
        const Document d = Encode(&builder, words);

        std::vector<uint32_t> expected_ids;
        for (const auto& [id, positions] : d.positions) expected_ids.push_back(id);
        EXPECT_EQ(d.ids, expected_ids) << c.name;
        for (size_t i = 0; i < d.ids.size(); ++i) {
            EXPECT_EQ(d.frequencies[i], d.positions.at(d.ids[i]).size()) << c.name;
        }
        // Every word present, and absent ids below, between and above them.
        std::vector<uint32_t> asked = {0, 1, 2, c.vocabulary - 1, c.vocabulary, UINT32_MAX};
        for (uint32_t id : expected_ids) asked.push_back(id);
        std::sort(asked.begin(), asked.end());
        asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
        std::vector<std::string_view> lists;
        ASSERT_TRUE(FindPositionLists(d.block, asked, &lists)) << c.name;
        for (size_t i = 0; i < asked.size(); ++i) {
            std::vector<uint32_t> positions;
            ASSERT_TRUE(DecodePositions(lists[i], &positions)) << c.name;
            const auto it = d.positions.find(asked[i]);
            EXPECT_EQ(positions, it == d.positions.end() ? std::vector<uint32_t>() : it->second)
                << c.name << " id " << asked[i];
        }
        // One word at a time, as a query of one word asks.
        for (uint32_t id : expected_ids) {
            ASSERT_TRUE(FindPositionLists(d.block, {id}, &lists));
            EXPECT_FALSE(lists[0].empty()) << c.name << " id " << id;
        }
    }
}

TEST(PositionBlockTest, WeightsCountTowardsFrequenciesOnly) {
    PositionBlockBuilder builder;
    builder.Add(4, 1, 5);  // a title word
    builder.Add(9, 2, 5);
    builder.Add(4, 4);     // the body, after a gap
    std::vector<uint32_t> ids, frequencies;
    std::string block;
    builder.Finish(&ids, &frequencies, &block);
    EXPECT_THAT(ids, ElementsAre(4, 9));
    EXPECT_THAT(frequencies, ElementsAre(6, 5));
    std::vector<std::string_view> lists;
    ASSERT_TRUE(FindPositionLists(block, {4, 9}, &lists));
    std::vector<uint32_t> positions;
    ASSERT_TRUE(DecodePositions(lists[0], &positions));
    EXPECT_THAT(positions, ElementsAre(1, 4));
}

// Damaged blocks are refused or read as something, never read past their
// end (the sanitizers watch).
TEST(PositionBlockTest, DamagedBlocksAreReadSafely) {
    PositionBlockBuilder builder;
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 400; ++i) words.push_back((i * 7919) % 150);
    const Document d = Encode(&builder, words);
    std::vector<uint32_t> asked(d.ids.begin(), d.ids.end());
    asked.push_back(1000);
    std::vector<std::string_view> lists;
    std::vector<uint32_t> positions;
    const auto read = [&](const std::string& bytes) {
        if (!FindPositionLists(bytes, asked, &lists)) return;
        for (std::string_view list : lists) {
            if (list.empty()) continue;
            ASSERT_GE(list.data(), bytes.data());
            ASSERT_LE(list.data() + list.size(), bytes.data() + bytes.size());
            DecodePositions(list, &positions);
        }
    };
    for (size_t size = 0; size < d.block.size(); ++size) {
        const std::string cut = d.block.substr(0, size);
        read(cut);
    }
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = d.block;
        for (int flips = 0; flips < 3; ++flips) {
            bytes[random() % bytes.size()] = static_cast<char>(random());
        }
        read(bytes);
    }
    EXPECT_FALSE(DecodePositions(std::string("\x02\x00", 2), &positions));  // no gap of 0
    EXPECT_THAT(lists, ::testing::SizeIs(asked.size()));
}

}  // namespace
}  // namespace fw

// For tests: what every tag of a table must hold, worked out from the bytes
// of the data file alone, and a check that the table's walks agree.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/store/xbase/bytes.h"
#include "engine/store/xbase/key_expression.h"
#include "engine/store/xbase/table.h"
#include "tests/support/temp_dir.h"

namespace fw::xbase::testing {

struct RawTable {
    std::vector<ColumnLayout> columns;
    std::vector<std::string> rows;  // complete records
};

inline RawTable ReadRawTable(const std::string& dbf_path) {
    RawTable raw;
    const std::string file = fwtest::ReadFile(dbf_path);
    if (file.size() < 32) return raw;
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const size_t header = LoadLE16(bytes + 8);
    const size_t length = LoadLE16(bytes + 10);
    int offset = 1;
    for (size_t at = 32; at + 32 <= header && bytes[at] != 0x0D; at += 32) {
        const char type = static_cast<char>(bytes[at + 11]);
        raw.columns.push_back({std::string(reinterpret_cast<const char*>(bytes + at)), type == 'F' ? 'N' : type,
                               offset, bytes[at + 16]});
        offset += bytes[at + 16];
    }
    for (size_t at = header; length > 0 && at + length <= file.size(); at += length) {
        raw.rows.push_back(file.substr(at, length));
    }
    return raw;
}

// Row numbers a tag must list, in order.
inline std::vector<uint32_t> ExpectedOrder(const RawTable& raw, const TagDef& tag) {
    KeyExpression key, filter;
    EXPECT_TRUE(key.Compile(tag.expression, raw.columns)) << tag.expression;
    if (!tag.filter.empty()) {
        EXPECT_TRUE(filter.Compile(tag.filter, raw.columns)) << tag.filter;
    }
    std::vector<std::pair<std::string, uint32_t>> entries;
    for (uint32_t i = 0; i < raw.rows.size(); ++i) {
        const auto* row = reinterpret_cast<const uint8_t*>(raw.rows[i].data());
        if (!filter.empty() && !filter.Test(row, i + 1)) continue;
        std::string k;
        key.BuildKey(row, i + 1, &k);
        entries.push_back({k, i + 1});
    }
    std::sort(entries.begin(), entries.end());
    std::vector<uint32_t> order;
    for (size_t i = 0; i < entries.size(); ++i) {
        // A unique tag lists the first row of each key.
        if (tag.unique != Uniqueness::kNone && i > 0 && entries[i].first == entries[i - 1].first) continue;
        order.push_back(entries[i].second);
    }
    return order;
}

inline std::vector<uint32_t> WalkTag(Table& t, const std::string& tag) {
    std::vector<uint32_t> rows;
    EXPECT_EQ(t.SelectTag(tag), Result::kSuccess) << tag;
    for (Result r = t.Top(); r == Result::kSuccess && !t.Eof(); r = t.Skip()) rows.push_back(t.RecNo());
    return rows;
}

// Flushes `t`, then checks every tag against the data file at `path`.DBF.
inline void ExpectTagsAgreeWithTable(Table& t, const std::string& path, const std::vector<TagDef>& tags) {
    ASSERT_EQ(t.Flush(), Result::kSuccess);
    const RawTable raw = ReadRawTable(path + ".DBF");
    ASSERT_EQ(raw.rows.size(), t.RecordCount());
    for (const TagDef& tag : tags) EXPECT_EQ(WalkTag(t, tag.name), ExpectedOrder(raw, tag)) << "tag " << tag.name;
}

}  // namespace fw::xbase::testing

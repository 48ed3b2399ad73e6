#include "engine/search/position_block.h"

#include <algorithm>
#include <utility>

namespace fw {

namespace {

constexpr uint32_t kSkipBytes = 12;

}  // namespace

void AppendVarint(uint32_t value, std::string* out) {
    while (value >= 0x80) {
        out->push_back(static_cast<char>(value | 0x80));
        value >>= 7;
    }
    out->push_back(static_cast<char>(value));
}

bool ReadLongVarint(std::string_view bytes, size_t* pos, uint32_t* value) {
    uint32_t result = 0;
    for (unsigned shift = 0; shift < 35; shift += 7) {
        if (*pos >= bytes.size()) return false;
        const auto byte = static_cast<uint8_t>(bytes[(*pos)++]);
        if (shift == 28 && byte > 0x0F) return false;  // more than 32 bits
        result |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            *value = result;
            return true;
        }
    }
    return false;
}

void PositionBlockBuilder::Add(uint32_t id, uint32_t position, uint32_t weight) {
    if (id >= counts_.size()) {
        const size_t size = std::max<size_t>(id + 1, counts_.size() * 2);
        counts_.resize(size);
        weights_.resize(size);
    }
    occurrences_.push_back({id, position});
    weights_[id] += weight;
}

void PositionBlockBuilder::Finish(std::vector<uint32_t>* ids, std::vector<uint32_t>* frequencies,
                                  std::string* out) {
    ids->clear();
    frequencies->clear();
    for (const Occurrence& o : occurrences_) {
        if (counts_[o.id]++ == 0) ids->push_back(o.id);
    }
    std::sort(ids->begin(), ids->end());
    // A counting sort: each word's positions, still ascending, in one run.
    uint32_t start = 0;
    for (uint32_t id : *ids) start += std::exchange(counts_[id], start);
    grouped_.resize(occurrences_.size());
    for (const Occurrence& o : occurrences_) grouped_[counts_[o.id]++] = o.position;

    skips_.clear();
    header_.clear();
    lists_.clear();
    uint32_t begin = 0, previous_id = 0;
    for (size_t entry = 0; entry < ids->size(); ++entry) {
        const uint32_t id = (*ids)[entry];
        if (entry % kSkipEvery == 0) {
            AppendRaw<uint32_t>(previous_id, &skips_);
            AppendRaw<uint32_t>(static_cast<uint32_t>(header_.size()), &skips_);
            AppendRaw<uint32_t>(static_cast<uint32_t>(lists_.size()), &skips_);
        }
        const uint32_t end = std::exchange(counts_[id], 0);
        const size_t list_start = lists_.size();
        uint32_t previous = 0;
        for (uint32_t i = begin; i < end; ++i) {
            AppendVarint(grouped_[i] - previous, &lists_);
            previous = grouped_[i];
        }
        AppendVarint(id - previous_id, &header_);
        AppendVarint(static_cast<uint32_t>(lists_.size() - list_start), &header_);
        previous_id = id;
        frequencies->push_back(std::exchange(weights_[id], 0));
        begin = end;
    }
    AppendVarint(static_cast<uint32_t>(ids->size()), out);
    AppendVarint(static_cast<uint32_t>(skips_.size() / kSkipBytes), out);
    AppendVarint(static_cast<uint32_t>(header_.size()), out);
    out->append(skips_);
    out->append(header_);
    out->append(lists_);
    occurrences_.clear();
}

bool FindPositionLists(std::string_view block, const std::vector<uint32_t>& ids,
                       std::vector<std::string_view>* lists) {
    lists->assign(ids.size(), {});
    size_t pos = 0;
    uint32_t count = 0, skips = 0, header_bytes = 0;
    if (!ReadVarint(block, &pos, &count) || !ReadVarint(block, &pos, &skips) ||
        !ReadVarint(block, &pos, &header_bytes) || skips > count ||
        skips > (block.size() - pos) / kSkipBytes ||
        header_bytes > block.size() - pos - skips * kSkipBytes) {
        return false;
    }
    const std::string_view skip_table = block.substr(pos, skips * kSkipBytes);
    const std::string_view header = block.substr(pos + skip_table.size(), header_bytes);
    const std::string_view all_lists = block.substr(pos + skip_table.size() + header_bytes);

    // The walk stands before entry `entry` of the header, at byte `at`, its
    // list at `list_at`; `id` is the id of the entry before.
    uint32_t entry = 0, id = 0, next_skip = 0;
    size_t at = 0, list_at = 0;
    for (size_t wanted = 0; wanted < ids.size(); ++wanted) {
        const uint32_t target = ids[wanted];
        // Jump to the last stretch of the header that starts below target.
        uint32_t jump = UINT32_MAX;
        while (next_skip < skips &&
               LoadRaw<uint32_t>(skip_table, next_skip * kSkipBytes) < target) {
            jump = next_skip++;
        }
        if (jump != UINT32_MAX && jump * kSkipEvery > entry) {
            entry = jump * kSkipEvery;
            id = LoadRaw<uint32_t>(skip_table, jump * kSkipBytes);
            at = LoadRaw<uint32_t>(skip_table, jump * kSkipBytes + 4);
            list_at = LoadRaw<uint32_t>(skip_table, jump * kSkipBytes + 8);
            if (at > header.size() || list_at > all_lists.size()) return false;
        }
        for (; entry < count; ++entry) {
            size_t next = at;
            uint32_t gap = 0, bytes = 0;
            if (!ReadVarint(header, &next, &gap) || !ReadVarint(header, &next, &bytes) ||
                (entry > 0 && gap == 0) || gap > UINT32_MAX - id ||
                bytes > all_lists.size() - list_at) {
                return false;
            }
            if (id + gap > target) break;  // target is not in the document
            at = next;
            id += gap;
            const size_t list = std::exchange(list_at, list_at + bytes);
            if (id == target) {
                (*lists)[wanted] = all_lists.substr(list, bytes);
                ++entry;
                break;
            }
        }
    }
    return true;
}

bool DecodePositions(std::string_view list, std::vector<uint32_t>* positions) {
    size_t pos = 0;
    uint64_t position = 0;
    while (pos < list.size()) {
        uint32_t gap = 0;
        if (!ReadVarint(list, &pos, &gap) || gap == 0) return false;
        position += gap;
        if (position > UINT32_MAX) return false;
        positions->push_back(static_cast<uint32_t>(position));
    }
    return true;
}

}  // namespace fw

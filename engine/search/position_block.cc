#include "engine/search/position_block.h"

#include <algorithm>
#include <utility>

namespace fw {

void AppendVarint(uint32_t value, std::string* out) {
    while (value >= 0x80) {
        out->push_back(static_cast<char>(value | 0x80));
        value >>= 7;
    }
    out->push_back(static_cast<char>(value));
}

bool ReadVarint(std::string_view bytes, size_t* pos, uint32_t* value) {
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

    header_.clear();
    lists_.clear();
    uint32_t begin = 0, previous_id = 0;
    for (uint32_t id : *ids) {
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
    AppendVarint(static_cast<uint32_t>(header_.size()), out);
    out->append(header_);
    out->append(lists_);
    occurrences_.clear();
}

bool FindPositionLists(std::string_view block, const std::vector<uint32_t>& ids,
                       std::vector<std::string_view>* lists) {
    lists->assign(ids.size(), {});
    size_t pos = 0;
    uint32_t count = 0, header_bytes = 0;
    if (!ReadVarint(block, &pos, &count) || !ReadVarint(block, &pos, &header_bytes) ||
        header_bytes > block.size() - pos) {
        return false;
    }
    const std::string_view header = block.substr(pos, header_bytes);
    const std::string_view all_lists = block.substr(pos + header_bytes);
    pos = 0;
    size_t list_start = 0, wanted = 0;
    uint64_t id = 0;
    for (uint32_t i = 0; i < count && wanted < ids.size(); ++i) {
        uint32_t gap = 0, bytes = 0;
        if (!ReadVarint(header, &pos, &gap) || !ReadVarint(header, &pos, &bytes)) return false;
        id += gap;
        if ((i > 0 && gap == 0) || bytes > all_lists.size() - list_start) return false;
        while (wanted < ids.size() && ids[wanted] < id) ++wanted;
        if (wanted < ids.size() && ids[wanted] == id) {
            (*lists)[wanted++] = all_lists.substr(list_start, bytes);
        }
        list_start += bytes;
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

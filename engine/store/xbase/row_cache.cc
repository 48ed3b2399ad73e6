#include "engine/store/xbase/row_cache.h"

#include <algorithm>
#include <cstring>

namespace fw::xbase {

RowCache::RowCache(uint32_t record_length, size_t cache_bytes)
    : record_length_(record_length),
      block_rows_(std::max<uint32_t>(1, static_cast<uint32_t>(kRowBlockBytes / record_length))),
      max_slots_(std::max<size_t>(1, cache_bytes / (size_t{block_rows_} * record_length))) {}

RowCache::Slot* RowCache::Find(uint32_t block) {
    if (block >= map_.size() || map_[block] == 0) return nullptr;
    return &slots_[map_[block] - 1];
}

void RowCache::Unmap(uint32_t index) {
    const uint32_t block = slots_[index].block;
    if (block < map_.size() && map_[block] == index + 1) map_[block] = 0;
    slots_[index].rows = 0;
}

bool RowCache::Get(uint32_t recno, uint8_t* record) {
    if (recno == 0) return false;
    const uint32_t block = (recno - 1) / block_rows_;
    Slot* slot = Find(block);
    const uint32_t index = (recno - 1) % block_rows_;
    if (!slot || index >= slot->rows) return false;
    slot->referenced = true;
    std::memcpy(record, &slot->data[size_t{index} * record_length_], record_length_);
    return true;
}

uint32_t RowCache::Victim() {
    if (slots_.size() < max_slots_) {
        slots_.emplace_back();
        slots_.back().data = std::make_unique<uint8_t[]>(size_t{block_rows_} * record_length_);
        return static_cast<uint32_t>(slots_.size() - 1);
    }
    // Nothing is pinned, so the second sweep at the latest finds a slot.
    for (;;) {
        Slot& s = slots_[hand_];
        const size_t here = hand_;
        hand_ = (hand_ + 1) % slots_.size();
        if (s.rows != 0 && s.referenced) {
            s.referenced = false;
            continue;
        }
        Unmap(static_cast<uint32_t>(here));
        return static_cast<uint32_t>(here);
    }
}

uint8_t* RowCache::Fill(uint32_t first) {
    const uint32_t block = (first - 1) / block_rows_;
    Slot* slot = Find(block);
    if (!slot) {
        const uint32_t index = Victim();
        slot = &slots_[index];
        slot->block = block;
        if (map_.size() <= block)
            map_.resize(std::max<size_t>(size_t{block} + 1, map_.size() * 2), 0);
        map_[block] = index + 1;
    }
    slot->rows = 0;
    slot->referenced = true;
    return slot->data.get();
}

void RowCache::Commit(uint32_t first, uint32_t rows) {
    const uint32_t block = (first - 1) / block_rows_;
    Slot* slot = Find(block);
    if (!slot) return;
    slot->rows = std::min(rows, block_rows_);
    if (slot->rows == 0) Unmap(map_[block] - 1);
}

void RowCache::Update(uint32_t recno, const uint8_t* record) {
    if (recno == 0) return;
    Slot* slot = Find((recno - 1) / block_rows_);
    const uint32_t index = (recno - 1) % block_rows_;
    if (!slot || index >= slot->rows) return;
    std::memcpy(&slot->data[size_t{index} * record_length_], record, record_length_);
}

void RowCache::Clear() {
    for (Slot& s : slots_) {
        s.rows = 0;
        s.referenced = false;
    }
    std::fill(map_.begin(), map_.end(), 0);
}

size_t RowCache::held_blocks() const {
    return static_cast<size_t>(
        std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.rows != 0; }));
}

}  // namespace fw::xbase

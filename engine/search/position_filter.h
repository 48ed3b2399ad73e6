// Decides, for each document the database matched, whether it matches the
// query expression once word positions count: the database answers a phrase
// or proximity group with the documents that have all its words, and this
// filter checks their order and distance in the position store, evaluating
// the expression's ANDs and ORs around them.
#pragma once

#include <xapian.h>

#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/search/position_store.h"
#include "engine/search/query_builder.h"
#include "engine/search/query_expression.h"

namespace fw {

class PositionFilter : public Xapian::MatchDecider {
public:
    // `root`, `store` and what they refer to must outlive the filter;
    // `words` are root's leaves, expanded.
    PositionFilter(const QueryNode& root, const LeafWords& words, const PositionStore& store);

    // True when the document matches. Throws Xapian::DatabaseCorruptError
    // when its positions cannot be read. One thread at a time.
    bool operator()(const Xapian::Document& doc) const override;

private:
    struct Occurrence {
        uint32_t position;
        uint32_t item;
        bool operator<(const Occurrence& other) const {
            return position != other.position ? position < other.position : item < other.item;
        }
    };
    using Items = std::vector<const std::vector<uint32_t>*>;

    bool Matches(const QueryNode& node) const;
    bool GroupMatches(const QueryNode& node) const;
    bool InOrderWithin(const Items& items, uint32_t window) const;
    bool TogetherWithin(const Items& items, uint32_t window, bool overlapping) const;
    // The positions of the words of leaf `slot` in the current document.
    const std::vector<uint32_t>& Positions(size_t slot) const;

    const QueryNode& root_;
    const PositionStore& store_;
    std::unordered_map<const QueryNode*, size_t> slots_;     // leaf -> slot
    std::unordered_map<const QueryNode*, bool> overlapping_;  // group -> items share a word
    // For each shard: the ids of every leaf's words, ascending and distinct,
    // and for each slot where its own ids are among them.
    std::vector<std::vector<uint32_t>> wanted_;
    std::vector<std::vector<std::vector<size_t>>> slot_ids_;

    // The current document.
    mutable Xapian::docid docid_ = 0;
    mutable size_t shard_ = 0;
    mutable std::string block_;
    mutable std::vector<std::string_view> lists_;  // in block_, by index in wanted_[shard_]
    mutable std::vector<std::vector<uint32_t>> positions_;  // by slot
    mutable std::vector<bool> decoded_;                     // by slot
    mutable std::vector<Occurrence> occurrences_;           // scratch
    mutable std::vector<uint32_t> counts_;                  // scratch
};

}  // namespace fw

#include "engine/search/position_filter.h"

#include <algorithm>
#include <string>
#include <unordered_set>

namespace fw {

namespace {

bool IsLeaf(const QueryNode& node) {
    return node.kind == QueryNode::Kind::Term || node.kind == QueryNode::Kind::Wildcard ||
           node.kind == QueryNode::Kind::Range;
}

[[noreturn]] void Damaged(Xapian::docid id) {
    throw Xapian::DatabaseCorruptError("the word positions of document " + std::to_string(id) +
                                       " cannot be read");
}

// Whether the positions in `window` can go one to each item, no position
// serving two: a matching found by augmenting paths, for groups whose items
// share words.
class DistinctAssignment {
public:
    DistinctAssignment(const std::vector<std::vector<uint32_t>>& candidates)
        : candidates_(candidates) {}

    bool Exists() {
        for (size_t item = 0; item < candidates_.size(); ++item) {
            tried_.clear();
            if (!Assign(item)) return false;
        }
        return true;
    }

private:
    bool Assign(size_t item) {
        for (uint32_t position : candidates_[item]) {
            if (!tried_.insert(position).second) continue;
            const auto owner = owners_.find(position);
            if (owner == owners_.end() || Assign(owner->second)) {
                owners_[position] = item;
                return true;
            }
        }
        return false;
    }

    const std::vector<std::vector<uint32_t>>& candidates_;  // positions by item
    std::unordered_map<uint32_t, size_t> owners_;
    std::unordered_set<uint32_t> tried_;
};

}  // namespace

PositionFilter::PositionFilter(const QueryNode& root, const LeafWords& words,
                               const PositionStore& store)
    : root_(root), store_(store) {
    std::vector<const QueryNode*> leaves;
    const auto walk = [&](const auto& self, const QueryNode& node) -> void {
        if (IsLeaf(node)) {
            slots_.emplace(&node, leaves.size());
            leaves.push_back(&node);
            return;
        }
        for (const QueryNode& child : node.children) self(self, child);
        if (!IsPositionalGroup(node)) return;
        std::unordered_set<std::string_view> seen;
        bool overlapping = false;
        for (const QueryNode& item : node.children) {
            std::unordered_set<std::string_view> own;
            if (const auto it = words.find(&item); it != words.end()) {
                for (const std::string& word : it->second) own.insert(word);
            }
            for (std::string_view word : own) overlapping |= !seen.insert(word).second;
        }
        overlapping_[&node] = overlapping;
    };
    walk(walk, root);

    wanted_.resize(store.shards());
    slot_ids_.resize(store.shards());
    for (size_t shard = 0; shard < store.shards(); ++shard) {
        std::vector<std::vector<uint32_t>> ids(leaves.size());
        std::vector<uint32_t>& wanted = wanted_[shard];
        for (size_t slot = 0; slot < leaves.size(); ++slot) {
            const auto it = words.find(leaves[slot]);
            if (it == words.end()) continue;
            for (const std::string& word : it->second) {
                const uint32_t id = store.WordId(shard, word);
                if (id != PositionStore::kNoWord) ids[slot].push_back(id);
            }
            wanted.insert(wanted.end(), ids[slot].begin(), ids[slot].end());
        }
        std::sort(wanted.begin(), wanted.end());
        wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
        slot_ids_[shard].resize(leaves.size());
        for (size_t slot = 0; slot < leaves.size(); ++slot) {
            for (uint32_t id : ids[slot]) {
                const auto at = std::lower_bound(wanted.begin(), wanted.end(), id);
                slot_ids_[shard][slot].push_back(static_cast<size_t>(at - wanted.begin()));
            }
        }
    }
    positions_.resize(leaves.size());
    decoded_.resize(leaves.size());
}

bool PositionFilter::operator()(const Xapian::Document& doc) const {
    docid_ = doc.get_docid();
    shard_ = store_.ShardOf(docid_);
    if (shard_ == store_.shards() || !store_.ReadBlock(docid_, &block_) ||
        !FindPositionLists(block_, wanted_[shard_], &lists_)) {
        Damaged(docid_);
    }
    std::fill(decoded_.begin(), decoded_.end(), false);
    return Matches(root_);
}

const std::vector<uint32_t>& PositionFilter::Positions(size_t slot) const {
    std::vector<uint32_t>& positions = positions_[slot];
    if (decoded_[slot]) return positions;
    positions.clear();
    const std::vector<size_t>& ids = slot_ids_[shard_][slot];
    for (size_t index : ids) {
        if (!DecodePositions(lists_[index], &positions)) Damaged(docid_);
    }
    // One position holds one word, so the lists of several words never
    // share a position.
    if (ids.size() > 1) std::sort(positions.begin(), positions.end());
    decoded_[slot] = true;
    return positions;
}

bool PositionFilter::Matches(const QueryNode& node) const {
    switch (node.kind) {
        case QueryNode::Kind::Term:
        case QueryNode::Kind::Wildcard:
        case QueryNode::Kind::Range: {
            const auto slot = slots_.find(&node);
            if (slot == slots_.end()) return false;
            for (size_t index : slot_ids_[shard_][slot->second]) {
                if (!lists_[index].empty()) return true;
            }
            return false;
        }
        case QueryNode::Kind::Phrase:
        case QueryNode::Kind::Near: return GroupMatches(node);
        case QueryNode::Kind::And:
            return std::all_of(node.children.begin(), node.children.end(),
                               [&](const QueryNode& child) { return Matches(child); });
        case QueryNode::Kind::Or:
            return std::any_of(node.children.begin(), node.children.end(),
                               [&](const QueryNode& child) { return Matches(child); });
    }
    return false;
}

bool PositionFilter::GroupMatches(const QueryNode& node) const {
    Items items;
    for (const QueryNode& child : node.children) {
        const auto slot = slots_.find(&child);
        if (slot == slots_.end()) return false;
        items.push_back(&Positions(slot->second));
    }
    const bool in_order = node.kind == QueryNode::Kind::Phrase;
    const bool overlapping = overlapping_.at(&node);
    const auto test = [&](const Items& chosen) {
        return in_order ? InOrderWithin(chosen, node.window)
                        : TogetherWithin(chosen, node.window, overlapping);
    };
    if (node.expendable == 0) return test(items);
    bool found = false;
    ForEachChoice(items.size(), items.size() - node.expendable,
                  [&](const std::vector<size_t>& chosen) {
                      Items subset;
                      for (size_t index : chosen) subset.push_back(items[index]);
                      found = test(subset);
                      return !found;
                  });
    return found;
}

bool PositionFilter::InOrderWithin(const Items& items, uint32_t window) const {
    if (items.empty()) return false;
    // From each position of the first word, the earliest position of each
    // next word after the one before gives the shortest span starting there.
    for (uint32_t first : *items[0]) {
        uint32_t last = first;
        for (size_t i = 1; i < items.size(); ++i) {
            const auto next = std::upper_bound(items[i]->begin(), items[i]->end(), last);
            if (next == items[i]->end()) return false;  // nor from any later start
            last = *next;
        }
        if (last - first < window) return true;
    }
    return false;
}

bool PositionFilter::TogetherWithin(const Items& items, uint32_t window, bool overlapping) const {
    if (window == 0) return false;
    occurrences_.clear();
    for (uint32_t item = 0; item < items.size(); ++item) {
        if (items[item]->empty()) return false;
        for (uint32_t position : *items[item]) occurrences_.push_back({position, item});
    }
    std::sort(occurrences_.begin(), occurrences_.end());
    // A window sliding over the occurrences, counting the items inside.
    counts_.assign(items.size(), 0);
    size_t covered = 0, left = 0;
    for (size_t right = 0; right < occurrences_.size(); ++right) {
        if (counts_[occurrences_[right].item]++ == 0) ++covered;
        while (occurrences_[right].position - occurrences_[left].position >= window) {
            if (--counts_[occurrences_[left++].item] == 0) --covered;
        }
        if (covered < items.size()) continue;
        if (!overlapping) return true;
        std::vector<std::vector<uint32_t>> candidates(items.size());
        for (size_t i = left; i <= right; ++i) {
            candidates[occurrences_[i].item].push_back(occurrences_[i].position);
        }
        if (DistinctAssignment(candidates).Exists()) return true;
    }
    return false;
}

}  // namespace fw

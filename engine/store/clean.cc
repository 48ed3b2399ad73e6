// Garbage collection and compaction.
#include <unordered_set>

#include "engine/store/columns.h"
#include "engine/store/project_store.h"

namespace fw {

void ProjectStore::Clean() {
    Guard guard = Lock();
    if (!open_) return;
    // Everything reachable from a URL with settings through tree-children
    // links stays. The walk visits every reachable URL whatever its level, so
    // a requisite first recorded on a shallow level that is now linked only
    // from deeper pages keeps its own children too.
    std::vector<int32_t> pending;
    std::unordered_set<int32_t> reachable;
    auto& p = T(TableId::kProps);
    p.SelectTag("URLID");
    for (xbase::Result r = p.Top(); r == xbase::Result::kSuccess && !p.Eof(); r = p.Skip()) {
        if (p.IsDeleted()) continue;
        const auto id = static_cast<int32_t>(p.Number(col_->p_url_id));
        if (reachable.insert(id).second) pending.push_back(id);
    }
    while (!pending.empty()) {
        const int32_t id = pending.back();
        pending.pop_back();
        for (int32_t child : TreeChildren(id, false)) {
            if (reachable.insert(child).second) pending.push_back(child);
        }
    }
    // The queue stays: what a stopped grab left waiting is still there to
    // resume (entries of URLs deleted now are passed over).
    for (int32_t id : AllUrls()) {
        if (!reachable.count(id)) DeleteUrl(id);
    }
}

void ProjectStore::Compact() {
    Guard guard = Lock();
    if (!open_) return;
    Clean();
    const auto& schemas = ProjectTables();
    for (size_t i = 0; i < tables_.size(); ++i) {
        tables_[i]->Pack();
        tables_[i]->SelectTag(schemas[i].selected_tag);
        tables_[i]->Top();
    }
    // Ids continue from the highest remaining one.
    ComputeCounters();
}

}  // namespace fw

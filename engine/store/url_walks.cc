// Walks over URLs and links.
#include "engine/store/columns.h"
#include "engine/store/project_store.h"

namespace fw {

using xbase::Result;

std::vector<int32_t> ProjectStore::AllUrls() {
    std::vector<int32_t> ids;
    ForEachUrl([&](const UrlRecord& record) {
        ids.push_back(record.id);
        return true;
    });
    return ids;
}

void ProjectStore::ForEachUrl(const std::function<bool(const UrlRecord&)>& visit) {
    Guard guard = Lock();
    if (!open_) return;
    auto& u = T(TableId::kUrl);
    u.SelectTag("ID");
    Result r = u.Top();
    while (r == Result::kSuccess && !u.Eof()) {
        if (!u.IsDeleted()) {
            UrlRecord record;
            ReadCurrentUrlRow(&record, {});
            if (!visit(record)) return;
            // The visitor may have moved the cursor: stand on this id again.
            u.SelectTag("ID");
            if (u.SeekNumber(record.id) == Result::kEof) return;
            if (u.Number(col_->u_id) != record.id) continue;  // row gone: already on the next
        }
        r = u.Skip();
    }
}

std::vector<int32_t> ProjectStore::LinkTargets(int32_t from) {
    std::vector<int32_t> targets;
    auto& l = T(TableId::kLinks);
    l.SelectTag("LINKS");
    if (l.Seek(Key10(from)) == Result::kEof) return targets;
    while (!l.Eof() && l.Number(col_->l_from) == from) {
        if (!l.IsDeleted()) targets.push_back(static_cast<int32_t>(l.Number(col_->l_to)));
        if (l.Skip() != Result::kSuccess) break;
    }
    return targets;
}

std::vector<int32_t> ProjectStore::TreeChildren(int32_t parent, bool same_level) {
    std::vector<int32_t> ids;
    for (const TreeChild& child : TreeChildColumns(parent, same_level)) ids.push_back(child.id);
    return ids;
}

std::vector<ProjectStore::TreeChild> ProjectStore::TreeChildColumns(int32_t parent, bool same_level,
                                                                    int32_t* parent_level_out) {
    Guard guard = Lock();
    std::vector<TreeChild> children;
    int32_t parent_level = -1;
    if (parent_level_out) *parent_level_out = parent_level;
    if (!open_) return children;
    if (parent > 0) {
        if (!FindByIdLocked(parent)) return children;
        parent_level = static_cast<int32_t>(T(TableId::kUrl).Number(col_->u_level));
        if (parent_level_out) *parent_level_out = parent_level;
    }
    auto& u = T(TableId::kUrl);
    for (int32_t id : LinkTargets(parent)) {
        if (!FindByIdLocked(id)) break;  // links never point at missing rows
        const auto level = static_cast<int32_t>(u.Number(col_->u_level));
        const auto min_level = static_cast<int32_t>(u.Number(col_->u_min_level));
        if (min_level == 1 || level > parent_level || (same_level && level == parent_level)) {
            children.push_back(
                {id, level, min_level, static_cast<int32_t>(u.Number(col_->u_kind))});
        }
    }
    return children;
}

std::vector<int32_t> ProjectStore::PlainChildren(int32_t parent, bool filter) {
    Guard guard = Lock();
    std::vector<int32_t> children;
    if (!open_) return children;
    int32_t parent_level = -1;
    if (parent > 0 && FindByIdLocked(parent)) {
        parent_level = static_cast<int32_t>(T(TableId::kUrl).Number(col_->u_level));
    }
    auto& u = T(TableId::kUrl);
    for (int32_t id : LinkTargets(parent)) {
        if (!FindByIdLocked(id)) break;
        if (filter && u.Number(col_->u_kind) == 1 && u.Number(col_->u_level) <= parent_level) {
            continue;
        }
        children.push_back(id);
    }
    return children;
}

std::vector<int32_t> ProjectStore::Parents(int32_t child) {
    Guard guard = Lock();
    std::vector<int32_t> parents;
    if (!open_) return parents;
    auto& l = T(TableId::kLinks);
    l.SelectTag("TO");
    if (l.Seek(Key10(child)) != Result::kEof) {
        while (!l.Eof() && l.Number(col_->l_to) == child) {
            const auto from = static_cast<int32_t>(l.Number(col_->l_from));
            if (from != 0 && from != child) parents.push_back(from);
            if (l.Skip() != Result::kSuccess) break;
        }
    }
    l.SelectTag("LINKS");
    return parents;
}

}  // namespace fw

#include "engine/content/link_recorder.h"

#include "engine/content/link_values.h"
#include "engine/store/filter_sets.h"
#include "engine/store/project_store.h"

namespace fw {

namespace {

constexpr int32_t kNeverFetch = -2;

}  // namespace

LinkRecorder::LinkRecorder(ProjectStore& store, int32_t page_id, int32_t levels, int32_t filter_id,
                           int32_t auth_id, const ExtractOptions& options)
    : store_(store),
      page_id_(page_id),
      levels_(levels),
      filter_id_(filter_id),
      auth_id_(auth_id),
      options_(options) {
    UrlRecord page;
    page_found_ = store_.LoadRow(page_id, &page);
    page_level_ = page.level;
    // Set 0 is the template new URLs start from, not a filter of its own.
    if (filter_id > 0) {
        filters_ = LoadFilterSet(store_, filter_id);
        DropStayOnSiteWhenInDirectory(&filters_);
    }
}

void LinkRecorder::SetTitleIfNone(int32_t id, std::string_view title) {
    if (id > 0 && store_.Title(id).empty()) store_.SetTitle(id, title);
}

bool LinkRecorder::Record(const char* text, int32_t level, int32_t min_level, Child* child) {
    const ProjectStore::Added added = store_.AddUrl(page_id_, level, min_level, text);
    if (added.id <= 0) return false;
    child->id = added.id;
    child->created = added.created;
    if (added.created) {
        // A new row has no settings and sits where it was found.
        child->level = level;
        child->min_level = min_level;
        return true;
    }
    // Its own place in the tree is read only when it has to be queued.
    const UrlProps props = store_.LoadProps(added.id);
    child->own_levels = props.levels;
    child->own_filter_id = props.filter_id;
    return true;
}

void LinkRecorder::PageLink(const char* text, UrlScheme scheme, PageKind kind) {
    if (!text) return;
    Child child;
    last_page_link_ = 0;
    if (!Record(text, page_level_ + 1, 0, &child)) return;
    last_page_link_ = child.id;
    if (!IsWebScheme(scheme)) return;
    bool beyond = false;
    switch (kind) {
        case PageKind::kLink:
            beyond = levels_ <= 1 && child.own_levels < 1;
            break;
        case PageKind::kRefresh:
            beyond = levels_ < 2;
            break;
        case PageKind::kFrame:
            beyond = false;
            break;
    }
    if (beyond) {
        MarkBeyondLimit(child);
        return;
    }
    if (options_.pages_only && scheme == UrlScheme::Ftp) return;
    if (child.own_levels == kNeverFetch) return;
    if (!Accepts(filters_, FilterType::Url, text)) return;
    // Frames show as part of their page, so they do not use up a level.
    const int32_t remaining = kind == PageKind::kFrame ? levels_ : levels_ - 1;
    Enqueue(child, child.own_levels > 0 ? child.own_levels : remaining,
            child.own_filter_id > 0 ? child.own_filter_id : filter_id_, true);
}

void LinkRecorder::Resource(const char* text, UrlScheme scheme) {
    if (!text) return;
    Child child;
    if (!Record(text, page_level_, 1, &child)) return;
    if (!IsWebScheme(scheme)) return;
    if (child.own_levels == kNeverFetch) return;
    if (!Accepts(filters_, FilterType::Url, text) ||
        !Accepts(filters_, FilterType::Extensions, text)) {
        return;
    }
    Enqueue(child, 1, filter_id_, false);
}

void LinkRecorder::Enqueue(const Child& child, int32_t levels, int32_t filter_id, bool page) {
    if (child.id == page_id_) return;
    QueueEntry entry;
    entry.url_id = child.id;
    entry.level = child.level;
    entry.min_level = child.min_level;
    if (!child.created) {
        // A known URL is often queued already (by another page); then its
        // row need not be read.
        if (WaitIfQueued(child.id, page)) return;
        UrlRecord row;
        if (!store_.LoadRow(child.id, &row)) return;
        entry.level = row.level;
        entry.min_level = row.min_level;
    }
    if (options_.page_order) entry.min_level = 1 - entry.min_level;
    entry.levels = levels;
    entry.filter_id = filter_id;
    entry.parent_id = page_id_;
    entry.auth_id = auth_id_;
    const ProjectStore::Queued queued = store_.QueueAppendUnlessQueued(entry);
    if (queued.added) {
        AddPending(child.id, page);
    } else {
        WaitIfUnfinished(child.id, queued.row, page);
    }
}

void LinkRecorder::MarkBeyondLimit(const Child& child) {
    if (child.id == page_id_) return;
    // Queued through another page: the entry tells whether it is done.
    if (WaitIfQueued(child.id, true)) return;
    AddPending(child.id, true);
}

bool LinkRecorder::WaitIfQueued(int32_t id, bool page) {
    uint32_t row = 0;
    QueueEntry entry;
    if (!store_.QueueEntryOf(id, &row, &entry)) return false;
    if (entry.status == '0' || entry.status == '1') AddPending(id, page);
    return true;
}

void LinkRecorder::WaitIfUnfinished(int32_t id, uint32_t row, bool page) {
    QueueEntry existing;
    if (row != 0 && store_.QueueEntryAt(row, &existing) &&
        (existing.status == '0' || existing.status == '1')) {
        AddPending(id, page);
    }
}

void LinkRecorder::AddPending(int32_t id, bool page) {
    auto [it, inserted] = pending_index_.try_emplace(id, pending_.size());
    if (inserted) {
        pending_.push_back({id, page});
    } else if (!page) {
        pending_[it->second].page = false;
    }
}

}  // namespace fw

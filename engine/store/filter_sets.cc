#include "engine/store/filter_sets.h"

#include "engine/store/table_schema.h"
#include "platform/text.h"

namespace fw {

FilterSet LoadFilterSet(ProjectStore& store, int32_t filter_id) {
    FilterSet set;
    if (filter_id < 0) return set;
    for (const StoredFilter& row : store.LoadFilterRows(filter_id)) {
        Filter filter = DecodeFilter(row.type, row.text);
        filter.row = static_cast<int32_t>(row.row);
        set.filters.push_back(std::move(filter));
    }
    if (!set.filters.empty()) set.id = filter_id;
    return set;
}

void SaveFilterSet(ProjectStore& store, int32_t url_id, FilterSet* set, bool keep_id) {
    auto guard = store.Lock();
    if (!keep_id && set->id == 0) {
        set->id = store.NextFilterId();
        store.SetFilterId(url_id, set->id);
        for (Filter& filter : set->filters) filter.row = 0;  // template rows stay where they are
    }
    for (Filter& filter : set->filters) {
        if (filter.deleted) {
            // Deleted entries stay in the set (objects may still refer to
            // them by position) but lose their rows.
            if (filter.row > 0) store.DeleteFilterRow(static_cast<uint32_t>(filter.row));
            filter.row = 0;
            continue;
        }
        char type = 'U';
        std::string text;
        EncodeFilter(filter, &type, &text);
        const std::string_view stored = platform::CutUtf8(text, kTextColumnWidth);
        if (filter.row > 0) {
            store.RewriteFilterRow(static_cast<uint32_t>(filter.row), set->id, type, stored);
        } else {
            filter.row = static_cast<int32_t>(store.AppendFilterRow(set->id, type, stored));
        }
    }
}

}  // namespace fw

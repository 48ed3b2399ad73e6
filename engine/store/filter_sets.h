// Loading and saving whole filter sets: the stored ZQFILTER rows decoded into
// a FilterSet and back.
#pragma once

#include "engine/filter/filter_set.h"
#include "engine/store/project_store.h"

namespace fw {

// The filters of set `filter_id` in table order, each with its row number;
// the set takes the id when it has rows and keeps id 0 otherwise. A negative
// id gives an empty set.
FilterSet LoadFilterSet(ProjectStore& store, int32_t filter_id);

// Stores the set for URL `url_id`. Without `keep_id`, a set without an id
// (id 0) gets the next filter id, which becomes the URL's FILTERID; its
// entries are then stored as new rows, so a set that was loaded from the
// default set 0 as a template leaves the default set as it was. Entries
// marked deleted lose their rows (they stay in the set, marked); the others are appended or rewritten in
// place (taking the set's id). Hold the store lock around load, edit, save.
void SaveFilterSet(ProjectStore& store, int32_t url_id, FilterSet* set, bool keep_id);

}  // namespace fw

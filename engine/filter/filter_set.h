// FilterSet: the filters of one start URL, and how they decide.
//
// For a requested type, exclude filters veto and include filters combine
// with OR: a subject is rejected by any exclude filter that matches it, and
// when the set has include filters of the type it is accepted only if one of
// them matches. An empty set accepts everything.
//
// What "matches" means per filter: U and M filters compare the subject with
// the data (Equals, Contains, BeginsWith, or EndsWith ignoring one leading
// "*"), after lower-casing both unless the filter is case-sensitive. Stay
// filters are include filters that always compare that way with Contains.
// A Z filter matches a subject that ends with any item of its list; it is
// never inverted, so an exclude Z filter rejects every subject that ends
// with none of its items, like an include one would.
//
// A set belongs to one fetch or one page and is not shared between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/filter/filter.h"

namespace fw {

struct FilterSet {
    int32_t id = 0;  // filter set id in the filter table; 0 when not stored yet
    std::vector<Filter> filters;  // in table order
};

// Whether the filters of `type` let `subject` through (see above). Filters
// marked deleted take no part. Does not allocate for subjects of up to 2048
// bytes.
bool Accepts(const FilterSet& set, FilterType type, std::string_view subject);

// False when any S filter's size limit is below `length`.
bool AcceptsLength(const FilterSet& set, int64_t length);
// The longest length AcceptsLength lets through (the smallest S filter
// limit, which may be below 0: nothing passes), or none when no S filter
// limits it.
std::optional<int64_t> LongestAcceptedLength(const FilterSet& set);

// Points the stay filters at `start_url`: stay-on-site data becomes
// SiteOf(start_url), stay-in-directory data SiteAndDirectoryOf(start_url),
// and either becomes the whole start URL when that is empty.
void BindStayFilters(FilterSet* set, std::string_view start_url);

// For a page's links: a set that holds both a stay-in-directory and a
// stay-on-site filter loses its first stay-on-site filter, which as an
// include filter would otherwise let the whole site through.
void DropStayOnSiteWhenInDirectory(FilterSet* set);

// Makes the set fit for a link check: adds a stay-on-site filter when none
// has the flag, and an include M filter BeginsWith "text" when no M filter
// BeginsWith has exactly the data "text". Returns whether it added any; a
// caller then binds and saves the set.
bool CompleteForLinkCheck(FilterSet* set);

}  // namespace fw

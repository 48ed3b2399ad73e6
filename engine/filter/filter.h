// Filter: one rule of a start URL's filter set, and its stored text form.
//
// A filter tests one kind of subject, named by its type letter: the URL text
// (U), the content type (M), the content length (S) or the URL's ending
// against a comma-separated list (Z). Stay-on-site and stay-in-directory
// filters are U filters whose data the set's owner binds to its start URL
// (see filter_set.h).
//
// Stored form, as the project tables keep it (a TYPE letter and a FILTER
// text): S filters store the limit in decimal; stay filters "S" or "D" and
// the data; every other filter three letters and the data: "I" include or
// "E" exclude, "S" case-sensitive or "I" not, and "F" Equals, "P" Contains,
// "B" BeginsWith or "E" EndsWith.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// The type letter, whose character code is the type code callers exchange
// (85, 77, 83, 90). Other letters are kept as stored; Accepts considers such
// a filter only when asked for that same letter.
enum class FilterType : char {
    Url = 'U',
    ContentType = 'M',
    Size = 'S',
    Extensions = 'Z',
};

// Any other value matches as Contains and is stored as Contains.
enum class MatchKind : int32_t {
    Equals = 0,
    Contains = 1,
    BeginsWith = 2,
    EndsWith = 3,
};

struct Filter {
    int32_t row = 0;        // record number in the filter table; 0 when not stored yet
    bool deleted = false;   // to be removed when the set is saved; never matches
    FilterType type = FilterType::Url;
    MatchKind match = MatchKind::Contains;
    bool include = true;    // false: an exclude filter
    bool case_sensitive = false;
    bool stay_on_site = false;  // a U filter on the start URL's site
    bool stay_in_dir = false;   // a U filter on the start URL's site and directory
    std::string data;           // compared text (U, M) or comma-separated list (Z)
    int64_t size_limit = 0;     // S: the largest accepted content length

    // The Z list: `data` split at commas, empty items dropped. The views
    // point into `data`.
    std::vector<std::string_view> Extensions() const;
};

// Reads one stored filter. Never fails: a text of one character or less
// gives a default filter of `type_letter`, except "S" and "D", which are stay
// filters without data; unknown letters read as the defaults (include, not
// case-sensitive, Contains). The data of a filter that is not case-sensitive
// is lower-cased. S filters read their whole text as the limit.
Filter DecodeFilter(char type_letter, std::string_view text);

// Writes the stored form. A filter with a stay flag is written as a U filter
// (stay on site wins when both are set). The text is not cut: the table's
// column width is the store's to apply.
void EncodeFilter(const Filter& filter, char* type_letter, std::string* text);

}  // namespace fw

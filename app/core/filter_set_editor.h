// FilterSetEditor: the working copy of one start URL's filters. The URL
// property sheet, the URL wizard and every other way of adding a start URL
// (the desktop program's command line, the fetchwell CLI) edit filters
// through it, so they cannot drift apart. Nothing reaches the engine before
// Save.
//
// The engine keeps a URL's filters as one set of entries. The editor splits
// them into the two stay flags, the size limit and the other rows; rows keep
// their position in the engine's collection so that Save changes, deletes or
// keeps each one in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/interface/fetchwell.h"

namespace corvalin {

// One filter other than the stay flags and the size limit.
struct FilterRow {
    int32_t type = fw::kFilterUrl;        // 85 URL text, 77 content type, 90 file types
    int32_t match = fw::kMatchContains;   // a MatchKindCode
    int32_t includes = 0;                 // 1 keep, 0 discard
    int32_t case_sensitive = 0;           // 0/1
    std::string data;
    int32_t index = -1;  // 0-based position in the engine's collection at Load; -1: added here
    bool deleted = false;

    friend bool operator==(const FilterRow&, const FilterRow&) = default;
};

class FilterSetEditor {
  public:
    // An editor for `url_id`'s filters, empty until Load (a URL just created
    // has none, so it is not loaded).
    explicit FilterSetEditor(int32_t url_id = 0) : url_id_(url_id) {}

    int32_t url_id() const { return url_id_; }

    // Reads the URL's filters: EditUrl, EnumFilters, and for each entry its
    // stay flags, else its type, and for other entries their fields. Replaces
    // what the editor held. Returns the first failing engine result.
    fw::HRESULT Load(fw::IDizoziz* engine, int32_t url_id);

    // Writes the copy back through one EnumFilters collection taken first:
    // rows (new ones created, loaded ones changed or deleted in place), stay
    // flags, size limit, then the URL's Update. Ends at the first failing
    // call and returns its result. REQUIRES: url_id() names an existing URL.
    fw::HRESULT Save(fw::IDizoziz* engine) const;

    bool stay_on_site = false;
    bool stay_in_dir = false;
    int32_t size_limit = 0;  // bytes; 0 none

    std::vector<FilterRow>& rows() { return rows_; }
    const std::vector<FilterRow>& rows() const { return rows_; }

    // A media class ("application", "audio", "video", "image") is excluded
    // while an active content-type row discards types beginning with it.
    bool MediaClassExcluded(std::string_view word) const;
    void SetMediaClassExcluded(std::string_view word, bool excluded);

    // The file-type list: the data of the first active type-90 row.
    bool HasTypeList() const;
    std::string TypeList() const;
    // An empty text removes the list; another makes the first type-90 row
    // (even a deleted one), or a new one, active with the text as data.
    // REQUIRES: `text` is normalised (NormaliseTypeList).
    void SetTypeList(std::string_view text);

  private:
    int32_t url_id_;
    std::vector<FilterRow> rows_;
};

// A size limit in bytes for a field in kilobytes; 0 when `kilobytes` is not
// above 0. Limits above the 32-bit range are held at its largest multiple
// of 1024.
int32_t SizeLimitFromKiloBytes(int64_t kilobytes);

}  // namespace corvalin

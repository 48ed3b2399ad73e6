// What the URL property sheet ("URL Properties") shows of one URL and how
// its OK stores it: reading through EditUrl, the display-title convention
// of start URLs, the levels choice, and the order of the engine calls.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/filter_set_editor.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

inline constexpr char kUrlSheetCaption[] = "URL Properties";
inline constexpr char kSizeFilterText[] = "Document size filter must be greater that 0.";
inline constexpr char kTypeListText[] =
    "Please enter the types of files that you would like to download.";

enum class LevelsChoice { kLevels, kAllLevels, kSkip };

struct UrlSheetValues {
    // Grab page.
    std::string title;   // the display title, else the page title
    std::string url;
    std::string folder;  // of the local file, for a grabbed URL; else empty
    std::string file;
    bool open_with_shell = false;  // "Launch" opens through the desktop (kind Other)
    LevelsChoice levels_choice = LevelsChoice::kLevels;
    std::string levels;  // the field: "%ld" above 0, else empty
    // Authentication page.
    std::string user;
    std::string password;
    // Notes page: the free notes (the whole Notes when they hold no title).
    std::string notes;
    bool had_display_title = false;
    // Filter page and the advanced filter dialog.
    FilterSetEditor filters;
};

// Reads URL `id`: EditUrl; Status, Error and, for a grabbed URL (status 71,
// error below 1000), file; Html; url; Username; Password; Notes; Title;
// GrabLevels; then its filters. `src_dir` is the content directory (ends in
// "/"). Stops at the first failing call and returns its result; what was
// read stays in *values.
fw::HRESULT LoadUrlSheet(fw::IDizoziz* engine, const std::string& src_dir, int32_t id,
                         UrlSheetValues* values);

// The GrabLevels a choice and its field store: -2 skip, -1 all, else the
// field's value (an empty field gives 0: a page inherits its start URL's
// levels). REQUIRES: the field passed CheckLevelsField.
int32_t LevelsToStore(LevelsChoice choice, const std::string& levels);

// The Notes to store. A start URL whose title was changed, or which had a
// display title, keeps the Title field as its display title before the
// free notes; any other URL stores the free notes as they stand.
std::string NotesToStore(const UrlSheetValues& values, bool start_url, bool title_changed);

// Stores the sheet: EditUrl; GrabLevels; url; Username; Password; Notes;
// Update; then the filters. Stops at the first failing call and returns its
// result.
fw::HRESULT SaveUrlSheet(fw::IDizoziz* engine, int32_t id, bool start_url, bool title_changed,
                         const UrlSheetValues& values);

}  // namespace corvalin

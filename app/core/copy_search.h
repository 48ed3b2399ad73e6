// Find in the copy: the search field of the main window searches the grabbed
// pages of the open project. A plain text is a query of the full-text index
// (words, "phrases", OR, groups, [near words], wildcards); a text starting
// with "re:" is a pattern that every grabbed page is searched for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/engine_loader.h"
#include "engine/interface/fetchwell.h"

namespace corvalin {

struct CopySearchQuery {
    bool pattern = false;  // "re:": the engine's pattern search
    std::string text;      // the query or the pattern, trimmed
};
// "re:" is matched in any letter case; blanks around the text are dropped.
CopySearchQuery ParseCopySearch(std::string_view input);

struct CopySearchHit {
    int32_t id = 0;
    std::string title;  // empty when the page has none
    std::string url;
    std::string file;  // the local copy, absolute
};

struct CopySearchResult {
    // Why the search could not run: the expression's fault (shown beside the
    // field) or the engine's; empty when it ran.
    std::string error;
    std::vector<CopySearchHit> hits;  // best first for a query, in table order for a pattern
};

// Runs the search. Long work (every grabbed page may be read, the index
// rebuilt): call it on a helper thread while the project stays open.
// `content_dir` ends in "/".
CopySearchResult RunCopySearch(fw::IDizoziz* engine, const EngineLoader& loader,
                               const CopySearchQuery& query, const std::string& content_dir);

}  // namespace corvalin

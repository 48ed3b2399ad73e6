// Which stored file a link should point to in a rewritten page: the lookups
// of the Fix step. Each takes a URL's absolute text, finds its row and, when
// the row's content is stored and fit for the link, returns its file as a
// path relative to `current_file` (the referring page's FILE), with "/";
// otherwise nothing. Paths are returned as stored: escape them for the page
// with EscapeLocalPath.
//
// A row that answered with a redirect (302 or 303) stands for its target: the
// first child of the row (the redirect target is linked from it), followed
// through further redirects.
//
// Each lookup takes the store lock for itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

class ParsedUrl;
class ProjectStore;

// For page links: the row must be fetched ('G' or 'F') with an ERROR below
// 1000 (an error page is still a page). Redirects of rows below the start
// level are followed for up to 5 steps.
std::optional<std::string> PageFileFor(ProjectStore& store, std::string_view url,
                                       std::string_view current_file);

// For embedded resources: as PageFileFor, but the row must have ERROR 0 and
// redirects are followed for up to 2 steps.
std::optional<std::string> ResourceFileFor(ProjectStore& store, std::string_view url,
                                           std::string_view current_file);

// For style sheet references: as ResourceFileFor, with redirects followed
// on every level, start URLs included.
std::optional<std::string> StyleSheetFileFor(ProjectStore& store, std::string_view url,
                                             std::string_view current_file);

// The passes over fixed pages go the other way: the row whose stored file
// the file: URL `url` names, when that file lies inside `data_dir` (an
// absolute path ending in "/"); 0 otherwise. The path's percent escapes are
// undone first, as fixed pages escape stored paths.
int32_t FindStoredFile(ProjectStore& store, const ParsedUrl& url, std::string_view data_dir);

}  // namespace fw

// The Fix step of a page: the stored page is written out again with every
// link whose target is stored locally turned into a relative path to that
// file, and every other link into an absolute web URL (or, with an edge
// file, a link to the edge file that carries the web URL), so that the copy
// browses offline.
#pragma once

#include <string>

#include "engine/content/page_output.h"
#include "engine/content/page_top.h"

namespace fw {

class ProjectStore;

// Reads `source` (the page as fetched from `page_url`) and writes the offline
// page to `target`, with the comment "<!-- page_url -->" after the page's
// leading doctype or, without one, the header lines of FixedPageHeader first
// (see page_top.h). Relative paths are computed from `current_file`, the page's
// FILE (relative to the data directory), and written with "/". With
// `edge_file` (a path relative to the data directory) links to pages that
// are not stored become "<edge path>?U=<absolute URL>". The base tag is left
// out; links after it are resolved against it. The target is written as
// `mode` says (see OutputMode); `source` and `target` may be the same file.
//
// Takes the store lock for each lookup, not for the whole scan. False when
// the source cannot be read or the target written (the target is then as it
// was).
bool FixPageFile(const std::string& source, const std::string& target, ProjectStore& store,
                 const std::string& current_file, const std::string& page_url,
                 const std::string& edge_file, OutputMode mode = OutputMode::kNewFile);

}  // namespace fw

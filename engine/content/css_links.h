// Style sheet links: a fetched style sheet is handled line by line, without
// a scanner. Its parse step takes the references to other files as embedded
// resources of the style sheet; its Fix step rewrites them to relative paths
// of the stored files.
//
// The references are every url(...) and every @import of a quoted name (see
// css_references.h). Every reference on a line counts, and lines of any
// length are taken whole (minified style sheets are one long line). Values
// that are not links (data: and other schemes the URL model does not know,
// "#name") are left alone. An imported style sheet is a resource like any
// other; its content type makes the grab read it as a style sheet in turn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/content/link_extractor.h"
#include "engine/content/page_output.h"

namespace fw {

class ProjectStore;

// The style sheet counterpart of ExtractLinks (same contract): every
// reference is resolved against `css_url` and taken by the resource rule
// (recorded on the style sheet's level, queued with one level when the URL
// and extension filters accept it). Logs "<id> - parsing(css)" and
// "<id> - done parsing(css)".
std::vector<PendingChild> ExtractCssLinks(const std::string& file, int32_t css_id, int32_t levels,
                                          ProjectStore& store, const std::string& css_url,
                                          int32_t filter_id, int32_t auth_id,
                                          const ExtractOptions& options);

// The Fix step of a style sheet (same contract as FixPageFile): writes
// "/* css_url */" and a line feed, then every line of `source` with each
// reference (the text between "url(" and ")", or between an @import's
// quotes) replaced by the relative path of its stored file, or by nothing
// when the reference is not stored. Every line ends with a line feed.
bool FixCssFile(const std::string& source, const std::string& target, ProjectStore& store,
                const std::string& current_file, const std::string& css_url,
                OutputMode mode = OutputMode::kNewFile);

}  // namespace fw

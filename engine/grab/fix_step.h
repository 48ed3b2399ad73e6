// The rewrite at the heart of the Fix step, shared by the worker that fixes
// a page as its children finish and by the engine's end-of-grab pass.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

struct GrabOptions;
class ProjectStore;

// Rewrites the stored page or style sheet `file` (relative to `data_dir`) of
// row `id` so that it browses offline, over the file itself. The row must
// still say "F" while this runs: a page cut short by a killed process is then
// fetched and fixed again. A file that cannot be rewritten keeps its content
// as fetched. In help mode a copy of the file as fetched is kept beside the
// pages, named by the row's id.
void RewriteStoredFile(ProjectStore& store, const std::string& data_dir, int32_t id, int32_t kind,
                       const std::string& file, const std::string& url, const GrabOptions& options);

}  // namespace fw

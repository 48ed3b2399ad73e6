// The Fix step of one page or style sheet, shared by the worker that fixes a
// page as its children finish and by the engine's end-of-grab pass.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

struct GrabOptions;
class ProjectStore;

// Rewrites the stored file of row `id` so that it browses offline, over the
// file itself, then marks the row grabbed ("G"). The row says "F" until the
// rewrite is done: a page cut short by a killed process is then fetched and
// fixed again. A file that cannot be rewritten keeps its content as fetched.
// In help mode a copy of the file as fetched is kept beside the pages, named
// by the row's id. Nothing happens for a row that no longer exists.
void FixStoredPage(ProjectStore& store, const std::string& data_dir, int32_t id,
                   const GrabOptions& options);

}  // namespace fw

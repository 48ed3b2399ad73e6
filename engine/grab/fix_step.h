// The Fix step of one page or style sheet, shared by the worker that fixes a
// page as its children finish and by the engine's end-of-grab pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

struct GrabOptions;
class ProjectStore;

// Rewrites the stored file of row `id` so that it browses offline, then
// marks the row grabbed ("G"). The rewrite goes to a new file that replaces
// the stored one whole, and a file that already starts as a fixed one (a
// process stopped after its rewrite, before its row said so) is only
// marked: so a page is never left half rewritten nor fixed twice.
//
// `early`: the page links to URLs still to be fetched (a stopped grab left
// them waiting). What the server sent is kept (KeptOriginalPath) before the
// fix, so that a later fix, once they are in, starts from it again; a fix
// that is not early uses a kept original and then drops it.
//
// A file that cannot be rewritten keeps its content as fetched. In help
// mode a copy of the file as fetched is kept beside the pages, named by the
// row's id. Nothing happens for a row that no longer exists.
void FixStoredPage(ProjectStore& store, const std::string& data_dir, int32_t id,
                   const GrabOptions& options, bool early = false);

// Where the page of row `id` is kept as fetched after an early fix.
std::string KeptOriginalPath(const std::string& data_dir, int32_t id);
// The ids of the pages kept so.
std::vector<int32_t> KeptOriginals(const std::string& data_dir);
// Drops every kept original (a new grab fetches the pages again).
void DropKeptOriginals(const std::string& data_dir);

}  // namespace fw

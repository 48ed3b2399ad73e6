// The desktop program's page replacements, contents page and edge files,
// plugged into its document's grab steps (DocumentHooks), and the export it
// runs from the export dialog. Qt-free.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/pagewell_doc.h"

namespace corvalin {

// Fills `hooks`:
//   page_finished  rewrites a finished page with the rules the grab started
//                  with (page types only);
//   contents_page  walks the start URLs, lets the document say "Done", then
//                  writes contents.htm;
//   edge_files     copies the program home's edge files into the content
//                  directory.
// Engine failures go to the document's error log. (The document imports
// URLs itself, and builds the contents page again through contents_page.)
void InstallContentHooks(DocumentHooks* hooks);

// What the export dialog asks for.
struct ExportRequest {
    std::string folder;      // the location; created when missing
    int32_t url_id = 0;      // 0: the whole project
    bool page_only = false;  // the page and what it shows
    bool autorun = false;    // prepare the folder for a disc
};

// Export (folder, id, page flag) and, when asked, the disc's autorun files.
// False when the folder cannot be made or the engine failed (logged); the
// autorun files are written after an engine failure all the same.
bool ExportProjectContent(CPagewellDoc& doc, const ExportRequest& request);

}  // namespace corvalin

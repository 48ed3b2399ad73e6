// The desktop program's page replacements, contents page, edge files and URL
// import, plugged into its document's grab steps (DocumentHooks), and the
// export it runs from the export dialog. Qt-free: the windows pass in what
// they show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/core/pagewell_doc.h"

namespace corvalin {

// Fills `hooks`:
//   page_finished  rewrites a finished page with the rules the grab started
//                  with (page types only);
//   contents_page  walks the start URLs, lets the document say "Done", then
//                  writes contents.htm;
//   edge_files     copies the program home's edge files into the content
//                  directory;
//   import_urls    imports a file's URLs; a missing file is reported with
//                  `show_message` ("Unable to open file for Import.").
// Engine failures go to the document's error log.
void InstallContentHooks(DocumentHooks* hooks,
                         std::function<void(const std::string&)> show_message);

// Builds the contents page again, without the "Done" box, when the project
// has one (a start URL's display title changed). True when it was written.
bool RebuildContentsPage(CPagewellDoc& doc);

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

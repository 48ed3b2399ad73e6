// The passes over pages that are already fixed, which point their local
// links back to the web:
//  - Refix: links to stored files whose URL is no longer grabbed (status
//    other than 'G') become that URL's web address again; the rest stays.
//  - Restore (a copy of a stored page for use outside the project): every
//    link to a stored file becomes its web address, written relative to the
//    page's own web address when on the same site.
// Both resolve the page's links against the stored file itself (as a file:
// URL) and find the target by its FILE; neither changes a status. Anchors,
// frames, meta refresh, image, media and script sources, source sets,
// backgrounds, link tags, script strings and the references of style text
// are rewritten; all other text is written unchanged, and no header is added
// (header lines an earlier version put before the page's doctype move after
// it: see RepairedPageTop).
#pragma once

#include <string>

namespace fw {

class ProjectStore;

// Rewrites the stored page `file` (an absolute path inside `data_dir`, which
// ends in "/") in place, through a new file moved over it. False when it
// cannot be read or written (the file is then as it was).
bool RefixPageFile(const std::string& file, ProjectStore& store, const std::string& data_dir);

// Writes a copy of the stored page `file` (as for RefixPageFile), whose web
// address is `page_url`, to `target` with its local links restored. A link
// to a file of the data directory that the project does not know becomes an
// absolute file: URL (a background loses it). False when `file` cannot be
// read or `target` written.
bool RestorePageFile(const std::string& file, const std::string& target, ProjectStore& store,
                     const std::string& data_dir, const std::string& page_url);

}  // namespace fw

// Import of an HTML file of links (a browser's bookmark file): every absolute
// web link it holds becomes a start URL of the project.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace fw {

class ProjectStore;

// Scans the HTML file `file` for anchor hrefs that begin with "http://",
// "https://" or "ftp://" (exactly so; entities such as "&amp;" decoded,
// blanks around trimmed) and adds each as a top-level URL (parent 0, level
// 0, so a new row gets one level), calling `added` with its id; other hrefs
// are ignored. Holds the store lock for the whole file, `added` included.
// False when the file cannot be read.
bool BookmarkImport(const std::string& file, ProjectStore& store,
                    const std::function<void(int32_t)>& added);

}  // namespace fw

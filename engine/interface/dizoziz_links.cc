// Dizoziz: import of bookmark files and Refix, the members built on the
// page passes of engine/content.
#include "engine/content/bookmark_import.h"
#include "engine/content/link_refixer.h"
#include "engine/interface/dizoziz.h"
#include "engine/store/stored_file.h"

namespace fw {

HRESULT Dizoziz::ImportBookmarks(const std::string& path) {
    BookmarkImport(path, store_, [this](int32_t id) { Fire(kOnGrabUrlAdd, id); });
    return S_OK;
}

HRESULT Dizoziz::Refix() {
    if (!open_) return NotOpen();
    auto guard = store_.Lock();
    for (int32_t id : store_.AllUrls()) {
        UrlRecord row;
        if (!store_.LoadRow(id, &row) || row.status != kStatusGrabbed || row.kind != kKindHtml) {
            continue;
        }
        // Announced either way: a page that cannot be rewritten is left as
        // it was, which listeners may look at all the same.
        if (const auto path = StoredFilePath(data_dir_, id, row.file)) {
            RefixPageFile(*path, store_, data_dir_);
        }
        Fire(kOnGrabUrlDone, id);
    }
    return S_OK;
}

}  // namespace fw

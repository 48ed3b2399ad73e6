// UrlObject::GetInternetFile: a stored page with its local links pointing to
// the web again, or the stored file itself for other kinds.
#include "engine/content/link_refixer.h"
#include "engine/interface/url_object.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"

namespace fw {

HRESULT UrlObject::GetInternetFile(const std::string& url, std::string* file,
                                   int32_t* delete_file) {
    if (!file || !delete_file) return E_POINTER;
    // Objects handed out without a data directory use the engine's: a path
    // relative to it would mean nothing to the caller.
    const std::string data_dir = data_dir_.empty() ? engine_->data_dir() : data_dir_;
    auto guard = store().Lock();
    UrlRecord row;
    if (!store().FindUrlRow(url, &row)) return S_OK;
    const std::optional<std::string> path = StoredFilePath(data_dir, row.id, row.file);
    if (!path) return S_OK;
    if (row.kind != kKindHtml) {
        *file = *path;
        *delete_file = 0;
        return S_OK;
    }
    const std::string copy = platform::TempFileName();
    if (copy.empty()) return S_OK;
    if (!RestorePageFile(*path, copy, store(), data_dir, row.url)) {
        platform::RemoveFile(copy);
        return S_OK;
    }
    *file = copy;
    *delete_file = 1;
    return S_OK;
}

}  // namespace fw

#include "app/core/url_import.h"

#include "app/core/project_layout.h"
#include "platform/file_ops.h"

namespace corvalin {

bool IsImportableFile(const std::string& path) {
    std::string probe;
    // A directory opens for reading too, but holds no list to import.
    return platform::FileExists(path) && platform::ReadFilePrefix(path, 1, &probe);
}

ImportResult ImportUrls(fw::IDizoziz* engine, const std::string& path, fw::HRESULT* hr) {
    *hr = fw::S_OK;
    if (!IsImportableFile(path)) return ImportResult::kMissingFile;
    *hr = engine->Import(AbsolutePath(path));
    return fw::Succeeded(*hr) ? ImportResult::kImported : ImportResult::kEngineFailed;
}

}  // namespace corvalin

#include "engine/grab/fix_step.h"

#include "engine/content/css_links.h"
#include "engine/content/link_fixer.h"
#include "engine/grab/grab_options.h"
#include "engine/interface/fetchwell.h"
#include "engine/store/project_store.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"

namespace fw {

void FixStoredPage(ProjectStore& store, const std::string& data_dir, int32_t id,
                   const GrabOptions& options) {
    UrlRecord row;
    if (!store.LoadRow(id, &row)) return;
    // A missing file needs no check of its own: its rewrite finds no source
    // and leaves nothing behind.
    if (!row.file.empty()) {
        const std::optional<std::string> found = StoredFilePath(data_dir, id, row.file);
        if (!found) return;
        const std::string& path = *found;
        if (options.help_mode && platform::FileExists(path)) {
            platform::CopyReplacing(path, data_dir + std::to_string(id));
        }
        if (row.kind == kKindCss) {
            FixCssFile(path, path, store, row.file, row.url, OutputMode::kInPlace);
        } else {
            FixPageFile(path, path, store, row.file, row.url, options.edge_file,
                        OutputMode::kInPlace);
        }
    }
    store.SetStatus(id, kStatusGrabbed);
}

}  // namespace fw

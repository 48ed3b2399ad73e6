#include "engine/grab/fix_step.h"

#include "engine/content/css_links.h"
#include "engine/content/link_fixer.h"
#include "engine/grab/grab_options.h"
#include "engine/interface/fetchwell.h"
#include "platform/file_ops.h"

namespace fw {

void RewriteStoredFile(ProjectStore& store, const std::string& data_dir, int32_t id, int32_t kind,
                       const std::string& file, const std::string& url,
                       const GrabOptions& options) {
    const std::string path = data_dir + file;
    if (file.empty() || !platform::FileExists(path)) return;
    if (options.help_mode) platform::CopyReplacing(path, data_dir + std::to_string(id));
    if (kind == kKindCss) {
        FixCssFile(path, path, store, data_dir, file, url, OutputMode::kInPlace);
    } else {
        FixPageFile(path, path, store, data_dir, file, url, options.edge_file,
                    OutputMode::kInPlace);
    }
}

}  // namespace fw

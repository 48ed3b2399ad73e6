#include "engine/grab/fix_step.h"

#include <filesystem>
#include <system_error>

#include "engine/content/css_links.h"
#include "engine/content/link_fixer.h"
#include "engine/content/page_top.h"
#include "engine/grab/grab_options.h"
#include "engine/interface/fetchwell.h"
#include "engine/store/project_store.h"
#include "engine/store/stored_file.h"
#include "platform/file_ops.h"

namespace fw {

namespace {

constexpr char kKeptPrefix[] = ".fw-unfixed-";

// Whether the file at `path` already starts as the Fix step starts a file
// of `url`.
bool AlreadyFixed(const std::string& path, const UrlRecord& row) {
    std::string start;
    if (!platform::ReadFilePrefix(path, kPageTopBytes + row.url.size(), &start)) return false;
    if (row.kind == kKindCss) return start.rfind("/* " + row.url + " */\n", 0) == 0;
    return StartsAsFixedPage(start, row.url);
}

}  // namespace

std::string KeptOriginalPath(const std::string& data_dir, int32_t id) {
    return data_dir + kKeptPrefix + std::to_string(id);
}

void FixStoredPage(ProjectStore& store, const std::string& data_dir, int32_t id,
                   const GrabOptions& options, bool early) {
    UrlRecord row;
    if (!store.LoadRow(id, &row)) return;
    std::string path;
    if (!row.file.empty()) {
        // A FILE that would lead out of the content directory is left alone.
        const std::optional<std::string> found = StoredFilePath(data_dir, id, row.file);
        if (!found) return;
        path = *found;
    }
    const std::string kept = KeptOriginalPath(data_dir, id);
    bool from_kept = platform::FileExists(kept);
    // A missing file needs no check of its own: its rewrite finds no source
    // and leaves nothing behind.
    if (!path.empty() && (from_kept || !AlreadyFixed(path, row))) {
        if (early && !from_kept) from_kept = platform::CopyReplacing(path, kept);
        const std::string& source = from_kept ? kept : path;
        if (options.help_mode && platform::FileExists(source)) {
            platform::CopyReplacing(source, data_dir + std::to_string(id));
        }
        // Written beside the data directory's other work files, where the
        // next grab finds what a kill left, then moved over the page.
        const std::string fixed = data_dir + ".fw-fixing-" + std::to_string(id);
        const bool done =
            row.kind == kKindCss
                ? FixCssFile(source, fixed, store, row.file, row.url, OutputMode::kNewFile)
                : FixPageFile(source, fixed, store, row.file, row.url, options.edge_file,
                              OutputMode::kNewFile);
        if (!done || !platform::SwapReplacing(fixed, path)) platform::RemoveFile(fixed);
    }
    store.SetStatus(id, kStatusGrabbed);
    if (from_kept && !early) platform::RemoveFile(kept);
}

std::vector<int32_t> KeptOriginals(const std::string& data_dir) {
    std::vector<int32_t> ids;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(data_dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kKeptPrefix, 0) != 0) continue;
        const std::string digits = name.substr(sizeof kKeptPrefix - 1);
        if (digits.empty() || digits.size() > 10 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const long long id = std::stoll(digits);
        if (id > 0 && id <= INT32_MAX) ids.push_back(static_cast<int32_t>(id));
    }
    return ids;
}

void DropKeptOriginals(const std::string& data_dir) {
    for (int32_t id : KeptOriginals(data_dir)) platform::RemoveFile(KeptOriginalPath(data_dir, id));
}

}  // namespace fw

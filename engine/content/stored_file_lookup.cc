#include "engine/content/stored_file_lookup.h"

#include "engine/content/link_values.h"
#include "engine/content/local_path.h"
#include "engine/content/parsed_url.h"
#include "engine/interface/fetchwell.h"
#include "engine/net/http_headers.h"
#include "engine/store/project_store.h"

namespace fw {

namespace {

struct LookupRule {
    int32_t worst_error;     // rows with a higher ERROR are not used
    int max_steps;           // redirects followed at most
    bool follow_start_urls;  // a start URL's redirect is followed too
};

constexpr LookupRule kPageRule{999, 5, false};
constexpr LookupRule kResourceRule{0, 2, false};
constexpr LookupRule kStyleSheetRule{0, 2, true};

bool Fetched(const UrlRecord& row) {
    return row.status == kStatusFetched || row.status == kStatusGrabbed;
}
// A permanent redirect's own file is the server's "moved" note, not the
// content: every redirect is followed to its target.
bool IsRedirect(const UrlRecord& row) { return IsRedirectStatus(row.error); }

bool Usable(const UrlRecord& row, const LookupRule& rule) {
    return Fetched(row) && row.error <= rule.worst_error && !row.file.empty();
}

// The row a redirect leads to: its first child, through at most
// rule.max_steps redirects, when that row is usable.
bool FollowRedirect(ProjectStore& store, const UrlRecord& from, const LookupRule& rule,
                    UrlRecord* out) {
    int32_t current = from.id;
    for (int step = 0; step < rule.max_steps; ++step) {
        const std::vector<int32_t> children = store.PlainChildren(current, false);
        if (children.empty() || children.front() == current) return false;
        UrlRecord child;
        if (!store.LoadRow(children.front(), &child)) return false;
        if (IsRedirect(child)) {
            current = child.id;
            continue;
        }
        if (!Usable(child, rule)) return false;
        *out = std::move(child);
        return true;
    }
    return false;
}

std::optional<std::string> FileFor(ProjectStore& store, std::string_view url,
                                   std::string_view current_file, const LookupRule& rule) {
    std::string file;
    {
        auto guard = store.Lock();
        // Kept by the thread for its buffers: a page's fix looks up every
        // link the page holds.
        thread_local UrlRecord row;
        if (!store.FindUrlRow(url, &row)) return std::nullopt;
        if (IsRedirect(row) && (row.level != 0 || rule.follow_start_urls)) {
            // The redirect itself needs to have been fetched, as any row.
            if (!Fetched(row)) return std::nullopt;
            UrlRecord target;
            if (!FollowRedirect(store, row, rule, &target)) return std::nullopt;
            file = std::move(target.file);
        } else {
            if (!Usable(row, rule)) return std::nullopt;
            file = row.file;
        }
    }
    // A path too long to be made relative would point elsewhere: none.
    if (!RelativePath(current_file, &file, kRelativeCapacity, '/')) return std::nullopt;
    return file;
}

}  // namespace

int32_t FindStoredFile(ProjectStore& store, const ParsedUrl& url, std::string_view data_dir) {
    if (url.scheme() != UrlScheme::File || data_dir.empty()) return 0;
    const std::string path = UnescapeLocalPath(url.path());
    if (path.size() <= data_dir.size() || !path.starts_with(data_dir)) return 0;
    auto guard = store.Lock();
    return store.FindByFile(std::string_view(path).substr(data_dir.size()));
}

std::optional<std::string> PageFileFor(ProjectStore& store, std::string_view url,
                                       std::string_view current_file) {
    return FileFor(store, url, current_file, kPageRule);
}

std::optional<std::string> ResourceFileFor(ProjectStore& store, std::string_view url,
                                           std::string_view current_file) {
    return FileFor(store, url, current_file, kResourceRule);
}

std::optional<std::string> StyleSheetFileFor(ProjectStore& store, std::string_view url,
                                             std::string_view current_file) {
    return FileFor(store, url, current_file, kStyleSheetRule);
}

}  // namespace fw

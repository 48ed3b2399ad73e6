// Link extraction: the parse step of a fetched page. Every link the page
// carries is resolved against it, recorded in the project (a child row and a
// link from the page) and, as far as the page's remaining levels and its
// filters allow, queued for fetching. The caller learns which children the
// page has to wait for before its links can be rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/content/parsed_url.h"

namespace platform {
class StopEvent;
}

namespace fw {

class ProjectStore;

// A child the page waits for. `page`: a page link or a child beyond the
// level limit; false: a resource (image, style sheet, script, background,
// sound).
struct PendingChild {
    int32_t id;
    bool page;
};

struct ExtractOptions {
    bool pages_only = false;     // preview: only page links are taken
    bool page_order = false;     // queue a page's resources before the pages of its depth
    bool page_is_error = false;  // the page came with status 404
    // Once set, the parse ends where it is: the links found so far count.
    // Not owned; nullptr: the page is always read to its end.
    const platform::StopEvent* stop = nullptr;
};

// A link found on a page, resolved against it, or the title of an anchor's
// target, in the order the page holds them.
struct FoundLink {
    enum class Role : uint8_t {
        kLink,      // an anchor or script string taken as a page
        kRefresh,   // a meta refresh target
        kFrame,     // a frame's page
        kResource,  // a file the page needs
        kTitle,     // `text` is the title for the link at index `names`
    };
    Role role;
    UrlScheme scheme = UrlScheme::None;
    std::string text;
    uint32_t names = 0;
};

// A page's links as found, at most kMaxFoundLinks entries (the list is held in
// memory; a page with more is read again by RecordLinksFromFile).
constexpr size_t kMaxFoundLinks = 50000;
struct FoundLinks {
    std::vector<FoundLink> links;
    bool complete = true;  // false: the page had more than the list holds
};

// The first step of the parse, which needs no store: the links of the page
// `file` (or of the page text `page`) fetched from `page_url`. `options`
// says which links count. An unreadable file gives the links read until
// then.
FoundLinks FindLinks(const std::string& file, const std::string& page_url,
                     const ExtractOptions& options);
FoundLinks FindLinksInText(std::string_view page, const std::string& page_url,
                           const ExtractOptions& options);

// The second step: records `found` for page `page_id` as ExtractLinks does
// and returns its pending list.
// REQUIRES: the caller holds the store lock for the whole call.
std::vector<PendingChild> RecordLinks(const FoundLinks& found, int32_t page_id, int32_t levels,
                                      ProjectStore& store, int32_t filter_id, int32_t auth_id,
                                      const ExtractOptions& options);

// Both steps at once, recording each link as the file is read (no list is
// held), without ExtractLinks' log lines.
// REQUIRES: the caller holds the store lock for the whole call.
std::vector<PendingChild> RecordLinksFromFile(const std::string& file, int32_t page_id,
                                              int32_t levels, ProjectStore& store,
                                              const std::string& page_url, int32_t filter_id,
                                              int32_t auth_id, const ExtractOptions& options);

// Runs the extractor over the stored page `file` (page `page_id`, fetched
// from `page_url`, queued with `levels` remaining, `filter_id` and
// `auth_id`). Page links become children one level deeper, resources
// children on the page's level; children are queued with the page as parent
// and the page's auth id. Logs "<id> - parsing" and "<id> - done parsing".
//
// REQUIRES: the caller holds the store lock for the whole call, so the
// page's links are rewritten atomically.
//
// Returns the pending list: every child appended to the queue now, every
// child already queued and waiting or taken (it will still finish), and every
// child beyond the level limit; never the page itself, never a child whose
// queue entry is done. Each child appears once; one that is both a page link
// and a resource counts as a resource. An unreadable file gives the links
// read until then.
std::vector<PendingChild> ExtractLinks(const std::string& file, int32_t page_id, int32_t levels,
                                       ProjectStore& store, const std::string& page_url,
                                       int32_t filter_id, int32_t auth_id,
                                       const ExtractOptions& options);

}  // namespace fw

// LinkRecorder: the queue rules the page and style sheet extractors share.
// It records each link found on one page as a child row with a link from the
// page, decides whether and how the child is queued, and keeps the page's
// pending list.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/content/link_extractor.h"
#include "engine/content/parsed_url.h"
#include "engine/filter/filter_set.h"

namespace fw {

class ProjectStore;

class LinkRecorder {
  public:
    // Loads the page's level and the filter set `filter_id` (none for 0).
    // REQUIRES: `store` outlives the recorder; the caller holds its lock
    // across the page.
    LinkRecorder(ProjectStore& store, int32_t page_id, int32_t levels, int32_t filter_id,
                 int32_t auth_id, const ExtractOptions& options);
    LinkRecorder(const LinkRecorder&) = delete;
    LinkRecorder& operator=(const LinkRecorder&) = delete;

    // How a page link spends the page's remaining levels.
    enum class PageKind {
        kLink,     // anchors and script strings: one level less, beyond the
                   // limit when the page has one level left (unless the child
                   // has levels of its own)
        kRefresh,  // meta refresh: one level less, beyond the limit below 2
        kFrame,    // frames: the page's own levels, never beyond the limit
    };

    // The page rule: recorded one level below the page; web URLs are queued
    // when the URL filters accept them, or marked beyond the level limit.
    void PageLink(const ParsedUrl& url, PageKind kind) { PageLink(url.Text(), url.scheme(), kind); }
    // The same for a resolved URL's text (null: nothing) and scheme.
    void PageLink(const char* text, UrlScheme scheme, PageKind kind);

    // The resource rule: recorded on the page's level as a requisite; web
    // URLs that the URL and extension filters accept are queued with one level.
    void Resource(const ParsedUrl& url) { Resource(url.Text(), url.scheme()); }
    void Resource(const char* text, UrlScheme scheme);

    // Gives the child `id` the title `title` when it has none yet.
    void SetTitleIfNone(int32_t id, std::string_view title);

    // The row id of the child the last PageLink recorded (0 when it recorded
    // none).
    int32_t last_page_link() const { return last_page_link_; }

    int32_t page_id() const { return page_id_; }
    bool page_found() const { return page_found_; }
    const ExtractOptions& options() const { return options_; }

    // The pending list so far (see ExtractLinks).
    std::vector<PendingChild> TakePending() { return std::move(pending_); }

  private:
    struct Child {
        int32_t id = 0;
        bool created = false;  // a new row: level and min level are known
        int32_t level = 0;
        int32_t min_level = 0;
        int32_t own_levels = 0;  // from its settings; -2 never fetch
        int32_t own_filter_id = 0;
    };

    // Finds or creates the child row and links it from the page.
    bool Record(const char* text, int32_t level, int32_t min_level, Child* child);
    void Enqueue(const Child& child, int32_t levels, int32_t filter_id, bool page);
    void MarkBeyondLimit(const Child& child);
    // For a child queued earlier: wait for it unless its entry is done.
    void WaitIfUnfinished(int32_t id, uint32_t row, bool page);
    // WaitIfUnfinished for `id` when it has a queue entry; false when not.
    bool WaitIfQueued(int32_t id, bool page);
    void AddPending(int32_t id, bool page);

    ProjectStore& store_;
    const int32_t page_id_;
    const int32_t levels_;
    const int32_t filter_id_;
    const int32_t auth_id_;
    const ExtractOptions options_;
    int32_t page_level_ = 0;
    bool page_found_ = false;
    int32_t last_page_link_ = 0;
    FilterSet filters_;
    std::vector<PendingChild> pending_;
    std::unordered_map<int32_t, size_t> pending_index_;  // child id -> position in pending_
};

}  // namespace fw

// The URL context menu that the tree and the list share: which items it
// offers for a URL, which one carries a check mark and which one is the
// default. Decided when the menu opens, from the URL's GrabLevels, Status,
// Error and Html and from whether a grab runs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace corvalin {

enum class UrlMenuItem {
    kProperties,    // "URL Properties"
    kGrab,          // "Grab URL"
    kRefresh,       // "Refresh URL"
    kBrowseLocal,   // "Browse Local"
    kBrowseRemote,  // "Browse Remote"
    kSkip,          // "Skip URL"
    kDelete,        // "Delete URL"
    kEditHtml,      // "Edit HTML File"
    kExportTree,    // "Export URL Tree"
    kExportPage,    // "Export URL Page"
};
inline constexpr int kUrlMenuItems = 10;

// The menu's items in their order, with their texts and status-bar prompts.
struct UrlMenuEntry {
    UrlMenuItem item;
    int command;  // the command id
    const char* text;
    const char* prompt;
    bool separator_before;
};
const std::array<UrlMenuEntry, kUrlMenuItems>& UrlMenuEntries();

struct UrlMenuFacts {
    bool start_url = false;  // a tree item without parent (never in the list)
    bool in_list = false;    // the list's menu rather than the tree's
    bool grabbing = false;
    int32_t grab_levels = 0;
    int32_t status = 0;
    int32_t error = 0;
    int32_t html = 0;
};

struct UrlMenuState {
    std::array<bool, kUrlMenuItems> enabled{};
    bool skip_checked = false;
    std::optional<UrlMenuItem> default_item;  // the list's only

    bool Enabled(UrlMenuItem item) const { return enabled[static_cast<size_t>(item)]; }
};

UrlMenuState UrlMenuStateOf(const UrlMenuFacts& facts);

// "Skip URL" toggles GrabLevels between -2 (do not follow this page's links)
// and 0.
inline int32_t ToggledSkipLevels(int32_t grab_levels) {
    return grab_levels == -2 ? 0 : -2;
}

}  // namespace corvalin

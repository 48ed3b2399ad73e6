#include "app/core/url_menu.h"

#include "app/core/url_path.h"

namespace corvalin {

const std::array<UrlMenuEntry, kUrlMenuItems>& UrlMenuEntries() {
    static const std::array<UrlMenuEntry, kUrlMenuItems> entries = {{
        {UrlMenuItem::kProperties, 32778, "URL &Properties", "Show or change the URL's settings",
         false},
        {UrlMenuItem::kGrab, 32799, "&Grab URL", "Grab this URL", true},
        {UrlMenuItem::kRefresh, 32800, "&Refresh URL", "Fetch what changed below this URL", false},
        {UrlMenuItem::kBrowseLocal, 32779, "Browse &Local",
         "Open local version of URL in your Browser", true},
        {UrlMenuItem::kBrowseRemote, 32792, "Browse R&emote",
         "Open remote version of URL in your Browser", false},
        {UrlMenuItem::kSkip, 32789, "&Skip URL", "Do not follow the links of this page", true},
        {UrlMenuItem::kDelete, 32806, "&Delete URL",
         "Delete this URL and what was grabbed below it", false},
        {UrlMenuItem::kEditHtml, 32797, "Edit &HTML File", "Edit HTML File", false},
        {UrlMenuItem::kExportTree, 32808, "Export URL &Tree",
         "Export this URL and the pages below it", true},
        {UrlMenuItem::kExportPage, 32809, "Export URL P&age", "Export this page alone", false},
    }};
    return entries;
}

UrlMenuState UrlMenuStateOf(const UrlMenuFacts& facts) {
    UrlMenuState state;
    state.enabled.fill(true);
    const auto disable = [&state](std::initializer_list<UrlMenuItem> items) {
        for (UrlMenuItem item : items) state.enabled[static_cast<size_t>(item)] = false;
    };
    // List items are never start URLs.
    const bool start_url = facts.start_url && !facts.in_list;
    state.skip_checked = facts.grab_levels == -2;
    if (start_url) disable({UrlMenuItem::kSkip});
    if (!start_url || facts.grabbing) {
        disable({UrlMenuItem::kDelete, UrlMenuItem::kGrab, UrlMenuItem::kRefresh,
                 UrlMenuItem::kExportTree});
    }
    if (facts.grabbing) disable({UrlMenuItem::kExportPage});
    const bool grabbed = IsGrabbed(facts.status, facts.error);
    if (!grabbed) {
        disable({UrlMenuItem::kBrowseLocal, UrlMenuItem::kEditHtml, UrlMenuItem::kExportPage,
                 UrlMenuItem::kExportTree});
    } else if (facts.html != fw::kKindHtml && facts.html != fw::kKindText) {
        disable({UrlMenuItem::kEditHtml, UrlMenuItem::kExportPage, UrlMenuItem::kExportTree});
    }
    if (facts.in_list)
        state.default_item = grabbed ? UrlMenuItem::kBrowseLocal : UrlMenuItem::kBrowseRemote;
    return state;
}

}  // namespace corvalin

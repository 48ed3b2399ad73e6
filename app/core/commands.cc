#include "app/core/commands.h"

namespace corvalin {

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> commands = {
        {CommandId::kNewProject, "&New Project", "Create a new project", "document-new"},
        {CommandId::kOpenProject, "&Open Project...", "Open an existing project", "document-open"},
        {CommandId::kProjectProperties, "&Project Properties...",
         "Change the project's run-after command, replacements and edge page",
         "document-properties"},
        {CommandId::kViewContents, "&View Contents", "Browse the Contents Page", "text-html"},
        {CommandId::kImport, "&Import URL(s)...", "Add the URLs listed in a text or bookmark file",
         "document-import"},
        {CommandId::kExportContent, "&Export Content...", "Copy the grabbed content to a folder",
         "document-export"},
        {CommandId::kExit, "E&xit", "Quit the application", "application-exit"},
        {CommandId::kUrlProperties, "&URL Properties", "Show or change the selected URL's settings",
         "document-properties"},
        {CommandId::kUrlPropertiesKey, "&URL Properties",
         "Show or change the selected URL's settings", ""},
        {CommandId::kInsert, "&Insert", "Add a new web site to grab", "list-add"},
        {CommandId::kDelete, "&Delete", "Delete the selected web site", "edit-delete"},
        {CommandId::kCut, "Cu&t", "Copy the selected URL to the clipboard and delete it",
         "edit-cut"},
        {CommandId::kCopy, "&Copy", "Copy the selected URL to the clipboard", "edit-copy"},
        {CommandId::kPaste, "&Paste", "Add the URL on the clipboard as a new web site",
         "edit-paste"},
        {CommandId::kToolbar, "&Toolbar", "Show or hide the toolbar", ""},
        {CommandId::kStatusBar, "&Status Bar", "Show or hide the status bar", ""},
        {CommandId::kGrabWindow, "&Grab Window", "Show or hide the grab window", ""},
        {CommandId::kSmallIcons, "S&mall Icons", "Show the files as small icons",
         "corvalin-small-icons"},
        {CommandId::kLargeIcons, "Lar&ge Icons", "Show the files as large icons",
         "view-list-icons"},
        {CommandId::kList, "&List", "Show the files as a list", "view-list-text"},
        {CommandId::kDetails, "&Details", "Show the files with their URLs", "view-list-details"},
        {CommandId::kArrangeIcons, "&Arrange Icons", "Arrange the icons on a grid", ""},
        {CommandId::kRefreshTree, "Re&fresh Tree", "Read the URL tree again", "view-refresh"},
        {CommandId::kGrabSites, "&Grab Site(s)", "Begin Grabbing Web Site(s)", "corvalin-grab"},
        {CommandId::kRefreshSites, "&Refresh Site(s)", "Fetch what changed on the Web Site(s)",
         "view-refresh"},
        {CommandId::kStopGrabbing, "&Stop Grabbing", "Stop Grabbing", "process-stop"},
        {CommandId::kOptions, "Program &Options...",
         "Change the browser, editor, grab limits and proxy", "preferences-system"},
        {CommandId::kGrabUrl, "&Grab URL", "Grab the selected web site", "corvalin-grab"},
        {CommandId::kRefreshUrl, "&Refresh URL", "Fetch what changed on the selected web site",
         "view-refresh"},
        {CommandId::kHelpTopics, "&Help Topics", "Open the help pages in your Browser",
         "help-contents"},
        {CommandId::kAbout, "&About Corvalin...", "Program name, version and copyright",
         "help-about"},
        {CommandId::kVisitWebSite, "Visit the Corvalin &Web Site", "Visit the Marbleoak Web Site",
         "internet-web-browser"},
        {CommandId::kNextPane, "Next Pane", "Move to the next pane", ""},
        {CommandId::kPreviousPane, "Previous Pane", "Move to the previous pane", ""},
    };
    return commands;
}

const CommandInfo& CommandInfoOf(CommandId id) {
    for (const CommandInfo& info : Commands()) {
        if (info.id == id) return info;
    }
    static const CommandInfo kUnknown{id, "", "", ""};
    return kUnknown;
}

bool CommandEnabled(CommandId id, const CommandContext& c) {
    const bool idle_open = c.open && !c.grabbing;
    // Delete, Cut and the one-URL grabs act on a start URL selected in the tree.
    const bool start_url = idle_open && c.active == ActiveView::kTree && c.start_url_selected;
    switch (id) {
        case CommandId::kNewProject:
        case CommandId::kOpenProject:
            return !c.grabbing;
        case CommandId::kProjectProperties:
            return c.open;
        case CommandId::kViewContents:
            return c.open && c.contents_present;
        case CommandId::kImport:
        case CommandId::kInsert:
        case CommandId::kPaste:
        case CommandId::kGrabSites:
        case CommandId::kRefreshSites:
            return idle_open;
        case CommandId::kExportContent:
            return idle_open && c.contents_present;
        case CommandId::kDelete:
        case CommandId::kCut:
            return start_url && c.selected_id >= 1;
        case CommandId::kGrabUrl:
        case CommandId::kRefreshUrl:
            return start_url && c.selected_id >= 0;
        case CommandId::kCopy:
            return c.open && c.has_selection;
        case CommandId::kStopGrabbing:
            return c.grabbing;
        case CommandId::kUrlProperties:
        case CommandId::kUrlPropertiesKey:
            // Only the views handle them: the tree while it has items, the
            // list while a URL is selected.
            if (!idle_open) return false;
            if (c.active == ActiveView::kTree) return c.tree_has_items && c.has_selection;
            if (c.active == ActiveView::kList) return c.has_selection;
            return false;
        case CommandId::kSmallIcons:
        case CommandId::kLargeIcons:
        case CommandId::kList:
        case CommandId::kDetails:
            return c.list_exists;
        case CommandId::kArrangeIcons:
            return c.list_exists &&
                   (c.list_mode == ListMode::kLargeIcons || c.list_mode == ListMode::kSmallIcons);
        case CommandId::kExit:
        case CommandId::kToolbar:
        case CommandId::kStatusBar:
        case CommandId::kGrabWindow:
        case CommandId::kRefreshTree:
        case CommandId::kOptions:
        case CommandId::kHelpTopics:
        case CommandId::kAbout:
        case CommandId::kVisitWebSite:
        case CommandId::kNextPane:
        case CommandId::kPreviousPane:
            return true;
    }
    return false;
}

bool CommandChecked(CommandId id, const CommandContext& c) {
    switch (id) {
        case CommandId::kGrabWindow:
            return c.grab_window_shown;
        case CommandId::kSmallIcons:
            return c.list_mode == ListMode::kSmallIcons;
        case CommandId::kLargeIcons:
            return c.list_mode == ListMode::kLargeIcons;
        case CommandId::kList:
            return c.list_mode == ListMode::kList;
        case CommandId::kDetails:
            return c.list_mode == ListMode::kDetails;
        default:
            return false;
    }
}

int32_t SelectedUrl(ActiveView active, int32_t tree_selection, int32_t list_selection) {
    if (active == ActiveView::kTree && tree_selection >= 0) return tree_selection;
    if (active == ActiveView::kList && list_selection >= 0) return list_selection;
    return -1;
}

}  // namespace corvalin

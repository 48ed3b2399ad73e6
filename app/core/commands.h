// The main window's commands: their ids, menu texts, status-bar prompts and
// the rules that say when each is enabled. The window builds its menus, tool
// bar and keys from this table and asks CommandEnabled whenever the state
// changes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvalin {

enum class CommandId : int {
    kNewProject = 57600,
    kOpenProject = 57601,
    kProjectProperties = 32777,
    kViewContents = 32803,
    kImport = 32804,
    kExportContent = 32805,
    kExit = 57665,
    kUrlProperties = 32810,
    kUrlPropertiesKey = 32784,  // Alt+Enter
    kInsert = 32771,
    kDelete = 32794,
    kCut = 57635,
    kCopy = 57634,
    kPaste = 57637,
    kToolbar = 59392,
    kStatusBar = 59393,
    kGrabWindow = 32801,
    kSmallIcons = 59408,
    kLargeIcons = 59409,
    kList = 59410,
    kDetails = 59411,
    kArrangeIcons = 59412,
    kRefreshTree = 32782,
    kGrabSites = 32776,
    kRefreshSites = 32791,
    kStopGrabbing = 32802,
    kOptions = 32774,
    kGrabUrl = 32799,
    kRefreshUrl = 32800,
    kHelpTopics = 57667,
    kAbout = 57664,
    kVisitWebSite = 32795,
    kNextPane = 57680,
    kPreviousPane = 57681,
};

// The maker's web site ("Visit the Corvalin Web Site"): the one place that
// names it.
inline constexpr char kWebSiteAddress[] = "https://corvalin.marbleoak.example/";

enum class ActiveView { kNone, kTree, kList };
enum class ListMode { kLargeIcons, kSmallIcons, kList, kDetails };

// What the enable rules look at.
struct CommandContext {
    bool open = false;              // a project is open in the engine
    bool grabbing = false;          // between the start of a grab and its end
    bool contents_present = false;  // the project has its contents page
    ActiveView active = ActiveView::kNone;
    bool has_selection = false;       // the active view has a selected URL
    bool start_url_selected = false;  // the tree is active and a start URL is selected
    int32_t selected_id = -1;         // the window's selected URL
    bool tree_has_items = false;
    bool list_exists = true;
    ListMode list_mode = ListMode::kList;
    bool grab_window_shown = false;
};

bool CommandEnabled(CommandId id, const CommandContext& context);
// The radio or check mark of a command (the list mode, the grab window).
bool CommandChecked(CommandId id, const CommandContext& context);

// One command as the menus, the tool bar and the status bar show it.
struct CommandInfo {
    CommandId id;
    const char* text;    // menu text with its "&" mnemonic
    const char* prompt;  // the status bar's text while the command is under the mouse
    const char* icon;    // freedesktop icon name, also the bundled fallback's name; "" none
};
const std::vector<CommandInfo>& Commands();
const CommandInfo& CommandInfoOf(CommandId id);

// The window's selected URL: the tree's when the tree is active and has a
// selection, else the list's when the list is active and has one, else -1.
int32_t SelectedUrl(ActiveView active, int32_t tree_selection, int32_t list_selection);

}  // namespace corvalin

#include "app/core/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace corvalin {
namespace {

// The commands of interest that are enabled, by name.
std::string EnabledOf(const CommandContext& c) {
    static const std::pair<CommandId, const char*> kNames[] = {
        {CommandId::kNewProject, "New"},
        {CommandId::kImport, "Import"},
        {CommandId::kExportContent, "Export"},
        {CommandId::kViewContents, "Contents"},
        {CommandId::kInsert, "Insert"},
        {CommandId::kDelete, "Delete"},
        {CommandId::kCut, "Cut"},
        {CommandId::kCopy, "Copy"},
        {CommandId::kPaste, "Paste"},
        {CommandId::kGrabSites, "GrabSites"},
        {CommandId::kGrabUrl, "GrabUrl"},
        {CommandId::kRefreshUrl, "RefreshUrl"},
        {CommandId::kStopGrabbing, "Stop"},
        {CommandId::kUrlProperties, "Properties"},
    };
    std::string names;
    for (const auto& [id, name] : kNames) {
        if (CommandEnabled(id, c)) names += std::string(names.empty() ? "" : " ") + name;
    }
    return names;
}

TEST(CommandsTest, EnableRules) {
    CommandContext none;
    CommandContext open;
    open.open = true;
    open.tree_has_items = true;
    CommandContext start_url = open;
    start_url.active = ActiveView::kTree;
    start_url.has_selection = true;
    start_url.start_url_selected = true;
    start_url.selected_id = 4;
    CommandContext page_in_tree = start_url;
    page_in_tree.start_url_selected = false;
    CommandContext page_in_list = open;
    page_in_list.active = ActiveView::kList;
    page_in_list.has_selection = true;
    page_in_list.selected_id = 9;
    CommandContext grabbing = start_url;
    grabbing.grabbing = true;
    CommandContext with_contents = open;
    with_contents.contents_present = true;
    struct Case {
        const char* name;
        CommandContext context;
        const char* enabled;
    } cases[] = {
        {"no project", none, "New"},
        {"project open", open, "New Import Insert Paste GrabSites"},
        {"start URL in the tree", start_url,
         "New Import Insert Delete Cut Copy Paste GrabSites GrabUrl RefreshUrl Properties"},
        {"page in the tree", page_in_tree, "New Import Insert Copy Paste GrabSites Properties"},
        // Delete, Cut and the one-URL grabs want a start URL in the tree.
        {"page in the list", page_in_list, "New Import Insert Copy Paste GrabSites Properties"},
        {"grabbing", grabbing, "Copy Stop"},
        {"contents page present", with_contents,
         "New Import Export Contents Insert Paste GrabSites"},
    };
    for (const auto& c : cases) EXPECT_EQ(EnabledOf(c.context), c.enabled) << c.name;
}

TEST(CommandsTest, ListModesAndChecks) {
    CommandContext c;
    for (auto [mode, arrange] : {std::pair{ListMode::kLargeIcons, true},
                                 {ListMode::kSmallIcons, true},
                                 {ListMode::kList, false},
                                 {ListMode::kDetails, false}}) {
        c.list_mode = mode;
        EXPECT_EQ(CommandEnabled(CommandId::kArrangeIcons, c), arrange);
        int checked = 0;
        for (CommandId id : {CommandId::kSmallIcons, CommandId::kLargeIcons, CommandId::kList,
                             CommandId::kDetails}) {
            EXPECT_TRUE(CommandEnabled(id, c));
            checked += CommandChecked(id, c);
        }
        EXPECT_EQ(checked, 1);  // one radio mark
    }
    c.list_exists = false;
    EXPECT_FALSE(CommandEnabled(CommandId::kDetails, c));
    EXPECT_FALSE(CommandChecked(CommandId::kGrabWindow, c));
    c.grab_window_shown = true;
    EXPECT_TRUE(CommandChecked(CommandId::kGrabWindow, c));
    // Always available.
    for (CommandId id : {CommandId::kOptions, CommandId::kGrabWindow, CommandId::kRefreshTree,
                         CommandId::kVisitWebSite, CommandId::kAbout, CommandId::kHelpTopics}) {
        EXPECT_TRUE(CommandEnabled(id, CommandContext())) << static_cast<int>(id);
    }
}

TEST(CommandsTest, EveryCommandHasTextAndPrompt) {
    std::set<int> ids;
    for (const CommandInfo& info : Commands()) {
        EXPECT_TRUE(ids.insert(static_cast<int>(info.id)).second) << static_cast<int>(info.id);
        EXPECT_STRNE(info.text, "") << static_cast<int>(info.id);
        EXPECT_STRNE(info.prompt, "") << static_cast<int>(info.id);
    }
    EXPECT_STREQ(CommandInfoOf(CommandId::kGrabSites).prompt, "Begin Grabbing Web Site(s)");
    EXPECT_STREQ(CommandInfoOf(CommandId::kVisitWebSite).prompt, "Visit the Marbleoak Web Site");
}

TEST(CommandsTest, SelectedUrlOfTheActiveView) {
    EXPECT_EQ(SelectedUrl(ActiveView::kTree, 3, 7), 3);
    EXPECT_EQ(SelectedUrl(ActiveView::kList, 3, 7), 7);
    EXPECT_EQ(SelectedUrl(ActiveView::kTree, -1, 7), -1);
    EXPECT_EQ(SelectedUrl(ActiveView::kList, 3, -1), -1);
    EXPECT_EQ(SelectedUrl(ActiveView::kNone, 3, 7), -1);
}

}  // namespace
}  // namespace corvalin

#include "app/core/display_title.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(DisplayTitleTest, SplitFindsTheTitleBetweenTheFirstMarkers) {
    struct Case {
        const char* notes;
        std::optional<std::string> title;
        const char* free_notes;
    } cases[] = {
        {"<title>News</title>daily", "News", "daily"},
        {"<title></title>x", "", "x"},
        {"<title>A</title>b</title>", "A", "b</title>"},
        {"plain notes", std::nullopt, "plain notes"},
        {"<title>no end", std::nullopt, "<title>no end"},
        {"</title>x<title>", std::nullopt, "</title>x<title>"},
        // Text before the title stays with the free notes.
        {"see <title>T</title> tags", "T", "see  tags"},
    };
    for (const auto& c : cases) {
        const SplitNotes split = SplitDisplayTitle(c.notes);
        EXPECT_EQ(split.title, c.title) << c.notes;
        EXPECT_EQ(split.free_notes, c.free_notes) << c.notes;
    }
}

TEST(DisplayTitleTest, ComposeAddsOrRemovesTheTitleKeepingTheNotes) {
    EXPECT_EQ(ComposeNotes("News", "daily"), "<title>News</title>daily");
    EXPECT_EQ(ComposeNotes("", "daily"), "daily");
    const SplitNotes split = SplitDisplayTitle(ComposeNotes("Title", "notes"));
    EXPECT_EQ(split.title, "Title");
    EXPECT_EQ(split.free_notes, "notes");
}

}  // namespace
}  // namespace corvalin

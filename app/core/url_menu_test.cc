#include "app/core/url_menu.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalin {
namespace {

// The enabled items as letters in menu order: P(roperties) G(rab)
// R(efresh) L(ocal) E (remote) S(kip) D(elete) H(tml) T(ree) A (page).
std::string Enabled(const UrlMenuState& state) {
    std::string letters;
    for (const UrlMenuEntry& entry : UrlMenuEntries()) {
        if (!state.Enabled(entry.item)) continue;
        static const char kLetters[] = "PGRLESDHTA";
        letters += kLetters[static_cast<int>(entry.item)];
    }
    return letters;
}

TEST(UrlMenuTest, EnableRulesCheckMarkAndDefault) {
    struct Case {
        const char* name;
        UrlMenuFacts facts;
        const char* enabled;
        bool skip_checked;
        std::optional<UrlMenuItem> default_item;
    } cases[] = {
        {"grabbed start URL", {true, false, false, 0, 71, 0, 1}, "PGRLEDHTA", false, std::nullopt},
        {"start URL while grabbing", {true, false, true, 0, 71, 0, 1}, "PLEH", false, std::nullopt},
        {"page below a start URL",
         {false, false, false, 0, 71, 0, 1},
         "PLESHA",
         false,
         std::nullopt},
        {"skipped page", {false, false, false, -2, 0, 0, 1}, "PES", true, std::nullopt},
        {"grabbed image", {false, false, false, 0, 71, 0, 3}, "PLES", false, std::nullopt},
        {"grabbed text file", {false, false, false, 0, 71, 0, 2}, "PLESHA", false, std::nullopt},
        {"HTTP error page", {false, false, false, 0, 71, 404, 1}, "PLESHA", false, std::nullopt},
        {"connection failed", {false, false, false, 0, 71, 1001, 1}, "PES", false, std::nullopt},
        {"list, grabbed",
         {false, true, false, 0, 71, 0, 1},
         "PLESHA",
         false,
         UrlMenuItem::kBrowseLocal},
        {"list, not grabbed",
         {false, true, false, 0, 0, 0, 1},
         "PES",
         false,
         UrlMenuItem::kBrowseRemote},
        // A start URL that is also a child of a listed page: in the list it is
        // never treated as a start URL.
        {"list, a start URL",
         {true, true, false, 0, 71, 0, 1},
         "PLESHA",
         false,
         UrlMenuItem::kBrowseLocal},
        {"list while grabbing",
         {false, true, true, 0, 71, 0, 1},
         "PLESH",
         false,
         UrlMenuItem::kBrowseLocal},
    };
    for (const auto& c : cases) {
        const UrlMenuState state = UrlMenuStateOf(c.facts);
        EXPECT_EQ(Enabled(state), c.enabled) << c.name;
        EXPECT_EQ(state.skip_checked, c.skip_checked) << c.name;
        EXPECT_EQ(state.default_item, c.default_item) << c.name;
    }
}

TEST(UrlMenuTest, SkipTogglesBetweenMinusTwoAndZero) {
    EXPECT_EQ(ToggledSkipLevels(0), -2);
    EXPECT_EQ(ToggledSkipLevels(-2), 0);
    EXPECT_EQ(ToggledSkipLevels(ToggledSkipLevels(0)), 0);  // twice: back to 0
    EXPECT_EQ(ToggledSkipLevels(3), -2);
    EXPECT_EQ(ToggledSkipLevels(-1), -2);
}

}  // namespace
}  // namespace corvalin

#include "app/core/url_fields.h"

#include <gtest/gtest.h>

namespace corvalin {
namespace {

TEST(UrlFieldsTest, WizardAddressesGainTheirRootAndBadOnesAreRefused) {
    struct Case {
        const char* text;
        const char* shown;  // nullptr: refused with the invalid-URL message
    } cases[] = {
        {"http://www.", nullptr},  // the untouched default
        {"HTTP://WWW.", nullptr},
        {"http://www.example.com", "http://www.example.com/"},
        {"ftp://files.example", "ftp://files.example/"},
        {"https://example.com:8443", "https://example.com:8443/"},
        {"http://example.com?q=1", "http://example.com/?q=1"},
        {"http://example.com#top", "http://example.com/#top"},
        {"http://example.com/a/b.html", "http://example.com/a/b.html"},
        {"  http://example.com/  ", "http://example.com/"},
        {"mailto:someone@example.com", nullptr},
        {"www.example.com", nullptr},
        {"example.com/page.html", nullptr},
        {"gopher://example.com/", nullptr},
        {"http:///path", nullptr},
        {"http://exa mple.com/", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> shown = CheckWizardUrl(c.text);
        if (c.shown) {
            ASSERT_TRUE(shown.has_value()) << c.text;
            EXPECT_EQ(*shown, c.shown) << c.text;
        } else {
            EXPECT_FALSE(shown.has_value()) << c.text << " -> " << shown.value_or("");
        }
    }
}

TEST(UrlFieldsTest, LevelsFieldRulesForStartUrlsAndPages) {
    struct Case {
        const char* text;
        bool start_url;
        LevelsCheck check;
    } cases[] = {
        {"2", true, LevelsCheck::kOk},
        {"", true, LevelsCheck::kStartUrlNeedsLevel},
        {"0", true, LevelsCheck::kStartUrlNeedsLevel},
        {"-1", true, LevelsCheck::kStartUrlNeedsLevel},
        {"", false, LevelsCheck::kOk},  // inherits its start URL's levels
        {"0", false, LevelsCheck::kOk},
        {"00", false, LevelsCheck::kBlankOrPositive},
        {"-3", false, LevelsCheck::kBlankOrPositive},
        {"7", false, LevelsCheck::kOk},
        {"two", true, LevelsCheck::kNotANumber},
        {"1e3", false, LevelsCheck::kNotANumber},
        {"99999999999", true, LevelsCheck::kNotANumber},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckLevelsField(c.text, c.start_url), c.check) << c.text << " " << c.start_url;
    }
    EXPECT_STREQ(LevelsMessage(LevelsCheck::kStartUrlNeedsLevel), "Levels must be set to 1 or greater.");
    EXPECT_STREQ(LevelsMessage(LevelsCheck::kBlankOrPositive),
                 "Levels must be left blank or set to 1 or greater to override\ninherited behavior.");
    EXPECT_STREQ(LevelsMessage(LevelsCheck::kOk), "");
}

TEST(UrlFieldsTest, FieldTextsAndTheSpinButton) {
    EXPECT_EQ(LevelsFieldText(3), "3");
    EXPECT_EQ(LevelsFieldText(0), "");
    EXPECT_EQ(LevelsFieldText(-1), "");
    struct Case {
        const char* text;
        int step;
        const char* after;
    } cases[] = {{"2", 1, "3"}, {"2", -1, "1"}, {"1", -1, "1"}, {"", -1, "1"},
                 {"", 1, "1"},  {"x", 1, "1"},  {"2147483647", 1, "2147483647"}};
    for (const Case& c : cases) EXPECT_EQ(SpinLevels(c.text, c.step), c.after) << c.text << c.step;
    EXPECT_EQ(FieldNumber(""), 0);
    EXPECT_EQ(FieldNumber("-12"), -12);
    EXPECT_EQ(FieldNumber("-"), std::nullopt);
    EXPECT_EQ(FieldNumber("+1"), std::nullopt);
    EXPECT_EQ(FieldNumber("2147483648"), std::nullopt);
}

TEST(UrlFieldsTest, WizardChoicesBecomeStartUrlOptions) {
    WizardChoices defaults;
    defaults.url = "http://example.com";
    std::optional<StartUrlOptions> options = WizardStartUrl(defaults);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->url, "http://example.com/");
    EXPECT_EQ(options->levels, 2);
    EXPECT_TRUE(options->stay_on_site);
    EXPECT_FALSE(options->stay_in_dir);
    EXPECT_EQ(options->excluded_classes, (std::vector<std::string>{"audio", "video"}));
    EXPECT_EQ(options->only_types, "");

    WizardChoices all = defaults;
    all.all_levels = true;
    all.only_types = true;
    all.types = "zip, ,exe ,pdf";
    all.url = "ftp://anne:pw@files.example";
    options = WizardStartUrl(all);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->levels, -1);
    EXPECT_EQ(options->only_types, "zip,exe,pdf");
    EXPECT_TRUE(options->excluded_classes.empty());
    EXPECT_EQ(options->url, "ftp://files.example/");
    EXPECT_EQ(options->url_user, "anne");
    EXPECT_EQ(options->url_password, "pw");

    // "Only download" with no types left falls back to the checked classes.
    for (const char* types : {"", " , ,"}) {
        WizardChoices empty = defaults;
        empty.only_types = true;
        empty.types = types;
        empty.exclude[0] = true;
        empty.exclude[3] = true;
        options = WizardStartUrl(empty);
        ASSERT_TRUE(options.has_value());
        EXPECT_EQ(options->only_types, "");
        EXPECT_EQ(options->excluded_classes,
                  (std::vector<std::string>{"application", "audio", "video", "image"}));
    }

    WizardChoices bad = defaults;
    bad.url = "http://www.";
    EXPECT_FALSE(WizardStartUrl(bad).has_value());
}

}  // namespace
}  // namespace corvalin

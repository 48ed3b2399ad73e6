#include "app/core/url_sheet_values.h"

#include <gtest/gtest.h>

#include "app/core/engine_fixture.h"

namespace corvalin {
namespace {

class UrlSheetValuesTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        OpenScratchProject();
    }

    int32_t NewStartUrl(const char* text, int32_t levels, const char* notes) {
        fw::ComPtr<fw::IDizozizUrl> url;
        EXPECT_EQ(engine_->NewUrl(url.Receive()), fw::S_OK);
        url->put_url(text);
        url->put_GrabLevels(levels);
        url->put_Notes(notes);
        EXPECT_EQ(url->Update(), fw::S_OK);
        int32_t id = 0;
        url->get_id(&id);
        return id;
    }

    fw::ComPtr<fw::IDizozizUrl> Url(int32_t id) {
        fw::ComPtr<fw::IDizozizUrl> url;
        EXPECT_EQ(engine_->EditUrl(id, url.Receive()), fw::S_OK);
        return url;
    }
};

TEST_F(UrlSheetValuesTest, LoadShowsTheDisplayTitleFreeNotesAndLevels) {
    struct Case {
        int32_t levels;
        const char* notes;
        LevelsChoice choice;
        const char* field;
        const char* title;
        const char* free_notes;
        bool had_title;
    } cases[] = {
        {0, "<title>My site</title>weekly", LevelsChoice::kLevels, "", "My site", "weekly", true},
        {3, "just notes", LevelsChoice::kLevels, "3", "", "just notes", false},
        {-1, "", LevelsChoice::kAllLevels, "", "", "", false},
        {-2, "", LevelsChoice::kSkip, "", "", "", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string text = "http://example.com/" + std::to_string(n++) + "/";
        const int32_t id = NewStartUrl(text.c_str(), c.levels, c.notes);
        UrlSheetValues values;
        ASSERT_EQ(LoadUrlSheet(engine_.get(), dir_ / "src/", id, &values), fw::S_OK);
        EXPECT_EQ(values.url, text);
        EXPECT_EQ(values.levels_choice, c.choice) << c.levels;
        EXPECT_EQ(values.levels, c.field) << c.levels;
        EXPECT_EQ(values.title, c.title) << c.notes;
        EXPECT_EQ(values.notes, c.free_notes) << c.notes;
        EXPECT_EQ(values.had_display_title, c.had_title) << c.notes;
        EXPECT_EQ(values.folder, "");  // not grabbed: no local file
        EXPECT_EQ(values.file, "");
    }
}

TEST_F(UrlSheetValuesTest, NotesKeepADisplayTitleOnlyForStartUrlsThatHaveOrChangeOne) {
    struct Case {
        bool start_url;
        bool had_title;
        bool title_changed;
        const char* stored;
    } cases[] = {
        {true, true, false, "<title>Home</title>free"},
        {true, false, true, "<title>Home</title>free"},
        {true, false, false, "free"},
        {false, true, true, "free"},  // a page has no display title
    };
    for (const Case& c : cases) {
        UrlSheetValues values;
        values.title = "Home";
        values.notes = "free";
        values.had_display_title = c.had_title;
        EXPECT_EQ(NotesToStore(values, c.start_url, c.title_changed), c.stored);
    }
    UrlSheetValues cleared;  // a title emptied by the user leaves the free notes
    cleared.notes = "free";
    cleared.had_display_title = true;
    EXPECT_EQ(NotesToStore(cleared, true, true), "free");
}

TEST_F(UrlSheetValuesTest, LevelsChoicesStore) {
    EXPECT_EQ(LevelsToStore(LevelsChoice::kSkip, "4"), -2);
    EXPECT_EQ(LevelsToStore(LevelsChoice::kAllLevels, "4"), -1);
    EXPECT_EQ(LevelsToStore(LevelsChoice::kLevels, "4"), 4);
    EXPECT_EQ(LevelsToStore(LevelsChoice::kLevels, ""), 0);
    EXPECT_EQ(LevelsToStore(LevelsChoice::kLevels, "0"), 0);
}

TEST_F(UrlSheetValuesTest, SaveStoresEveryPageAndTheFilters) {
    const int32_t id = NewStartUrl("http://example.com/", 2, "");
    UrlSheetValues values;
    ASSERT_EQ(LoadUrlSheet(engine_.get(), dir_ / "src/", id, &values), fw::S_OK);
    values.title = "Example";
    values.notes = "check monthly";
    values.levels_choice = LevelsChoice::kAllLevels;
    values.user = "ann";
    values.password = "pw";
    values.filters.stay_on_site = true;
    values.filters.SetMediaClassExcluded("video", true);
    ASSERT_EQ(SaveUrlSheet(engine_.get(), id, true, true, values), fw::S_OK);

    fw::ComPtr<fw::IDizozizUrl> url = Url(id);
    int32_t levels = 0;
    std::string notes, user, password;
    url->get_GrabLevels(&levels);
    url->get_Notes(&notes);
    url->get_Username(&user);
    url->get_Password(&password);
    EXPECT_EQ(levels, -1);
    EXPECT_EQ(notes, "<title>Example</title>check monthly");
    EXPECT_EQ(user, "ann");
    EXPECT_EQ(password, "pw");

    UrlSheetValues again;
    ASSERT_EQ(LoadUrlSheet(engine_.get(), dir_ / "src/", id, &again), fw::S_OK);
    EXPECT_EQ(again.title, "Example");
    EXPECT_EQ(again.notes, "check monthly");
    EXPECT_TRUE(again.filters.stay_on_site);
    EXPECT_TRUE(again.filters.MediaClassExcluded("video"));
    EXPECT_EQ(again.filters.rows().size(), 1u);
}

TEST_F(UrlSheetValuesTest, LoadOfAMissingUrlFails) {
    UrlSheetValues values;
    EXPECT_TRUE(fw::Failed(LoadUrlSheet(engine_.get(), dir_ / "src/", 999, &values)));
}

}  // namespace
}  // namespace corvalin

#include "app/core/filter_set_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/core/engine_fixture.h"

namespace corvalin {
namespace {

// A stored filter as the tests compare it: stay flags, type, match,
// includes, case, data (stay entries: flags only; size: type and data).
using Stored = std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, std::string>;

Stored Site() { return {1, 0, 0, 0, 0, 0, ""}; }
Stored Dir() { return {0, 1, 0, 0, 0, 0, ""}; }
Stored Size(const char* data) { return {0, 0, fw::kFilterSize, 0, 0, 0, data}; }
Stored Row(int32_t type, int32_t match, int32_t includes, int32_t sensitive, const char* data) {
    return {0, 0, type, match, includes, sensitive, data};
}

class FilterSetEditorTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        OpenScratchProject();
    }

    int32_t NewStartUrl(const char* text) {
        fw::ComPtr<fw::IDizozizUrl> url;
        EXPECT_EQ(engine_->NewUrl(url.Receive()), fw::S_OK);
        url->put_url(text);
        url->put_GrabLevels(2);
        EXPECT_EQ(url->Update(), fw::S_OK);
        int32_t id = 0;
        url->get_id(&id);
        return id;
    }

    // Gives URL `id` filters straight through the engine, as another program
    // (or an older version of this one) may have stored them.
    void StoreDirectly(int32_t id, const std::vector<Stored>& filters) {
        fw::ComPtr<fw::IDizozizUrl> url;
        ASSERT_EQ(engine_->EditUrl(id, url.Receive()), fw::S_OK);
        for (const Stored& s : filters) {
            fw::ComPtr<fw::IDizozizFilter> f;
            ASSERT_EQ(url->NewFilter(f.Receive()), fw::S_OK);
            const auto& [site, dir, type, match, includes, sensitive, data] = s;
            if (site) {
                f->put_StayOnSite(1);
            } else if (dir) {
                f->put_StayInDir(1);
            } else {
                f->put_Type(type);
                f->put_Match(match);
                f->put_Includes(includes);
                f->put_CaseSensitive(sensitive);
                f->put_Data(data);
            }
            ASSERT_EQ(f->Update(), fw::S_OK);
        }
        ASSERT_EQ(url->Update(), fw::S_OK);
    }

    // What the engine holds for URL `id`, sorted.
    std::vector<Stored> StoredFilters(int32_t id) {
        fw::ComPtr<fw::IDizozizUrl> url;
        EXPECT_EQ(engine_->EditUrl(id, url.Receive()), fw::S_OK);
        fw::ComPtr<fw::IDizozizEnumFilter> filters;
        EXPECT_EQ(url->get_EnumFilters(filters.Receive()), fw::S_OK);
        int32_t count = 0;
        filters->get_Count(&count);
        std::vector<Stored> stored;
        for (int32_t i = 1; i <= count; ++i) {
            fw::ComPtr<fw::IDizozizFilter> f;
            EXPECT_EQ(filters->get_Item(i, f.Receive()), fw::S_OK);
            Stored s;
            auto& [site, dir, type, match, includes, sensitive, data] = s;
            f->get_StayOnSite(&site);
            f->get_StayInDir(&dir);
            if (!site && !dir) {
                f->get_Type(&type);
                f->get_Data(&data);
                if (type != fw::kFilterSize) {
                    f->get_Match(&match);
                    f->get_Includes(&includes);
                    f->get_CaseSensitive(&sensitive);
                }
            }
            stored.push_back(s);
        }
        std::sort(stored.begin(), stored.end());
        return stored;
    }

    static FilterRow* RowWithData(FilterSetEditor& editor, const char* data) {
        for (FilterRow& row : editor.rows()) {
            if (row.data == data) return &row;
        }
        return nullptr;
    }

    // The data of the filter at 0-based `index` of the URL's collection.
    std::string Positioned(int32_t id, int32_t index) {
        fw::ComPtr<fw::IDizozizUrl> url;
        EXPECT_EQ(engine_->EditUrl(id, url.Receive()), fw::S_OK);
        fw::ComPtr<fw::IDizozizEnumFilter> filters;
        EXPECT_EQ(url->get_EnumFilters(filters.Receive()), fw::S_OK);
        fw::ComPtr<fw::IDizozizFilter> f;
        EXPECT_EQ(filters->get_Item(index + 1, f.Receive()), fw::S_OK);
        std::string data;
        if (f) f->get_Data(&data);
        return data;
    }

    static std::vector<Stored> Sorted(std::vector<Stored> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(FilterSetEditorTest, LoadSplitsStayFlagsSizeAndRowsInTheEnginesOrder) {
    const int32_t id = NewStartUrl("http://example.com/");
    StoreDirectly(id, {Row(fw::kFilterUrl, fw::kMatchContains, 1, 1, "keep-me"), Site(),
                       Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "audio"),
                       Size("5120"), Row(fw::kFilterExtensions, fw::kMatchContains, 0, 0, "zip,pdf")});
    FilterSetEditor editor;
    ASSERT_EQ(editor.Load(engine_.get(), id), fw::S_OK);
    EXPECT_EQ(editor.url_id(), id);
    EXPECT_TRUE(editor.stay_on_site);
    EXPECT_FALSE(editor.stay_in_dir);
    EXPECT_EQ(editor.size_limit, 5120);
    ASSERT_EQ(editor.rows().size(), 3u);
    // Each row remembers its place in the engine's collection (which counts
    // the stay and size entries too), in the engine's order.
    FilterRow* keep = RowWithData(editor, "keep-me");
    ASSERT_NE(keep, nullptr);
    EXPECT_EQ(*keep, (FilterRow{fw::kFilterUrl, fw::kMatchContains, 1, 1, "keep-me", keep->index}));
    for (size_t i = 1; i < editor.rows().size(); ++i) {
        EXPECT_LT(editor.rows()[i - 1].index, editor.rows()[i].index);
    }
    EXPECT_EQ(Positioned(id, keep->index), "keep-me");
    EXPECT_TRUE(editor.MediaClassExcluded("audio"));
    EXPECT_FALSE(editor.MediaClassExcluded("video"));
    EXPECT_TRUE(editor.HasTypeList());
    EXPECT_EQ(editor.TypeList(), "zip,pdf");
}

TEST_F(FilterSetEditorTest, SaveKeepsEditsDeletesAndAddsRowsInPlace) {
    const int32_t id = NewStartUrl("http://example.com/dir/");
    StoreDirectly(id, {Row(fw::kFilterUrl, fw::kMatchContains, 0, 0, "ads"), Site(),
                       Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "audio"),
                       Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "video"),
                       Size("2048")});
    FilterSetEditor editor;
    ASSERT_EQ(editor.Load(engine_.get(), id), fw::S_OK);
    FilterRow* ads = RowWithData(editor, "ads");
    ASSERT_NE(ads, nullptr);
    ads->data = "banner";  // edited
    ads->match = fw::kMatchEndsWith;
    editor.SetMediaClassExcluded("audio", false);  // deleted
    editor.SetMediaClassExcluded("image", true);   // added
    FilterRow added;                               // added in the advanced dialog
    added.data = "/private/";
    added.includes = 1;
    editor.rows().push_back(added);
    FilterRow dropped;  // added and deleted again: never reaches the engine
    dropped.data = "nowhere";
    dropped.deleted = true;
    editor.rows().push_back(dropped);
    editor.stay_on_site = false;
    editor.stay_in_dir = true;
    editor.size_limit = SizeLimitFromKiloBytes(3);
    ASSERT_EQ(editor.Save(engine_.get()), fw::S_OK);

    const std::vector<Stored> expected = Sorted({
        Row(fw::kFilterUrl, fw::kMatchEndsWith, 0, 0, "banner"),
        Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "video"),
        Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "image"),
        Row(fw::kFilterUrl, fw::kMatchContains, 1, 0, "/private/"),
        Dir(),
        Size("3072"),
    });
    EXPECT_EQ(StoredFilters(id), expected);

    // Loading and saving again changes nothing: no stay entry, size entry or
    // row is doubled.
    FilterSetEditor again;
    ASSERT_EQ(again.Load(engine_.get(), id), fw::S_OK);
    ASSERT_EQ(again.Save(engine_.get()), fw::S_OK);
    EXPECT_EQ(StoredFilters(id), expected);

    // No size: every size entry goes.
    again.size_limit = 0;
    ASSERT_EQ(again.Save(engine_.get()), fw::S_OK);
    const std::vector<Stored> without_size = StoredFilters(id);
    EXPECT_EQ(std::count(without_size.begin(), without_size.end(), Size("3072")), 0);
    EXPECT_EQ(without_size.size(), expected.size() - 1);
}

TEST_F(FilterSetEditorTest, AStartUrlWithoutFiltersGetsWhatTheEditorHolds) {
    const int32_t id = NewStartUrl("http://example.com/");
    FilterSetEditor editor(id);  // new URL: nothing to load
    editor.stay_on_site = true;
    editor.SetMediaClassExcluded("audio", true);
    editor.SetTypeList("zip,exe");
    editor.size_limit = 1024;
    ASSERT_EQ(editor.Save(engine_.get()), fw::S_OK);
    EXPECT_EQ(StoredFilters(id),
              Sorted({Site(), Size("1024"),
                      Row(fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "audio"),
                      Row(fw::kFilterExtensions, fw::kMatchContains, 0, 0, "zip,exe")}));
}

TEST_F(FilterSetEditorTest, SaveOfAMissingUrlFails) {
    FilterSetEditor editor(4711);
    editor.stay_on_site = true;
    EXPECT_TRUE(fw::Failed(editor.Save(engine_.get())));
    EXPECT_TRUE(fw::Failed(editor.Load(engine_.get(), 4711)));
}

// The copy alone: media classes and the type list as the Filter page and
// the advanced dialog switch them.
TEST(FilterSetEditorCopyTest, MediaClassesAddOnceAndDeleteInPlace) {
    FilterSetEditor editor;
    FilterRow loaded{fw::kFilterContentType, fw::kMatchBeginsWith, 0, 0, "audio", 3};
    editor.rows().push_back(loaded);
    struct Step {
        const char* word;
        bool excluded;
        size_t rows;         // rows afterwards
        bool audio, video;   // classes excluded afterwards
    } steps[] = {
        {"audio", true, 1, true, false},   // already there: nothing added
        {"audio", false, 1, false, false}, // the loaded row is marked, not removed
        {"audio", true, 1, true, false},   // and comes back
        {"video", true, 2, true, true},
        {"video", false, 2, true, false},
        {"video", true, 2, true, true},    // the row added before is reused
    };
    for (const Step& s : steps) {
        editor.SetMediaClassExcluded(s.word, s.excluded);
        EXPECT_EQ(editor.rows().size(), s.rows) << s.word << s.excluded;
        EXPECT_EQ(editor.MediaClassExcluded("audio"), s.audio) << s.word << s.excluded;
        EXPECT_EQ(editor.MediaClassExcluded("video"), s.video) << s.word << s.excluded;
    }
    EXPECT_EQ(editor.rows()[0].index, 3);
    // A keeping or case-sensitive-free row of another shape is no class.
    FilterRow keep{fw::kFilterContentType, fw::kMatchBeginsWith, 1, 0, "image", -1};
    editor.rows().push_back(keep);
    EXPECT_FALSE(editor.MediaClassExcluded("image"));
}

TEST(FilterSetEditorCopyTest, TypeListReusesItsFirstRowAndEmptyTextRemovesEveryList) {
    FilterSetEditor editor;
    EXPECT_FALSE(editor.HasTypeList());
    EXPECT_EQ(editor.TypeList(), "");
    editor.SetTypeList("zip");
    ASSERT_EQ(editor.rows().size(), 1u);
    EXPECT_EQ(editor.rows()[0], (FilterRow{fw::kFilterExtensions, fw::kMatchContains, 0, 0, "zip"}));
    editor.rows().push_back({fw::kFilterExtensions, fw::kMatchContains, 0, 0, "pdf", 5});
    editor.SetTypeList("");
    EXPECT_FALSE(editor.HasTypeList());
    EXPECT_TRUE(editor.rows()[0].deleted && editor.rows()[1].deleted);
    editor.SetTypeList("exe,pdf");  // the first row, deleted or not, comes back
    EXPECT_TRUE(editor.HasTypeList());
    EXPECT_EQ(editor.TypeList(), "exe,pdf");
    EXPECT_EQ(editor.rows().size(), 2u);
    EXPECT_TRUE(editor.rows()[1].deleted);
}

TEST(FilterSetEditorCopyTest, SizeLimitsInKiloBytes) {
    struct Case {
        int64_t kilobytes;
        int32_t bytes;
    } cases[] = {{3, 3072}, {1, 1024}, {0, 0}, {-5, 0}, {2097151, 2147482624},
                 {2097152, 2147482624}, {int64_t{1} << 40, 2147482624}};
    for (const Case& c : cases) EXPECT_EQ(SizeLimitFromKiloBytes(c.kilobytes), c.bytes) << c.kilobytes;
}

}  // namespace
}  // namespace corvalin

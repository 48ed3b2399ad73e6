#include "engine/interface/url_object.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "engine/interface/dizoziz.h"
#include "engine/interface/ref_counted.h"
#include "engine/store/filter_sets.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;

class EventCount : public RefCounted<IDizozizEvents> {
  public:
    void Invoke(int32_t, int32_t) override {
        std::lock_guard<std::mutex> guard(mutex_);
        ++count_;
    }
    int Take() {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(count_, 0);
    }

  private:
    std::mutex mutex_;
    int count_ = 0;
};

// A stored row as (type letter, encoded text).
using Row = std::pair<char, std::string>;

class UrlObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_ = MakeObject<Dizoziz>();
        events_ = MakeObject<EventCount>();
        ASSERT_EQ(engine_->Advise(events_.get(), &cookie_), S_OK);
        ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    }

    ProjectStore& store() { return engine_->store(); }

    int32_t AddStart(const std::string& url) {
        const int32_t id = store().AddUrl(0, 0, 0, url).id;
        EXPECT_GT(id, 0);
        return id;
    }

    ComPtr<IDizozizUrl> Edit(int32_t id) {
        ComPtr<IDizozizUrl> u;
        EXPECT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
        return u;
    }

    std::vector<Row> Rows(int32_t filter_id) {
        std::vector<Row> rows;
        for (const StoredFilter& f : store().LoadFilterRows(filter_id))
            rows.emplace_back(f.type, f.text);
        return rows;
    }

    TempDir dir_;
    ComPtr<Dizoziz> engine_;
    ComPtr<EventCount> events_;
    uint32_t cookie_ = 0;
};

TEST_F(UrlObjectTest, FilterUpdateWritesItsCopiesIntoTheStoredEntry) {
    struct Read {
        int32_t type, match, includes, sensitive;
        std::string data;
        int32_t stay_on_site, stay_in_dir;
    };
    const struct {
        const char* what;
        std::function<void(IDizozizFilter*)> edit;
        bool update_filter;
        Row stored;
        Read read;  // through a fresh object after the URL's Update
    } cases[] = {
        {"exact url text",
         [](IDizozizFilter* f) {
             f->put_Match(kMatchEquals);
             f->put_Includes(1);
             f->put_CaseSensitive(0);
             f->put_Data("/Cgi/");
         },
         true,
         {'U', "IIF/Cgi/"},
         {kFilterUrl, kMatchEquals, 1, 0, "/cgi/", 0, 0}},
        {"excluded content type, case-sensitive",
         [](IDizozizFilter* f) {
             f->put_Type(kFilterContentType);
             f->put_Match(kMatchBeginsWith);
             f->put_Includes(0);
             f->put_CaseSensitive(1);
             f->put_Data("Text/");
         },
         true,
         {'M', "ESBText/"},
         {kFilterContentType, kMatchBeginsWith, 0, 1, "Text/", 0, 0}},
        {"file types",
         [](IDizozizFilter* f) {
             f->put_Type(kFilterExtensions);
             f->put_Match(kMatchEndsWith);
             f->put_Data("gif,jpg");
         },
         true,
         {'Z', "IIEgif,jpg"},
         {kFilterExtensions, kMatchEndsWith, 1, 0, "gif,jpg", 0, 0}},
        {"unknown match stored as contains",
         [](IDizozizFilter* f) {
             f->put_Match(9);
             f->put_Data("x");
         },
         true,
         {'U', "IIPx"},
         {kFilterUrl, kMatchContains, 1, 0, "x", 0, 0}},
        {"size limit",
         [](IDizozizFilter* f) {
             f->put_Type(kFilterSize);
             f->put_Data("5000");
         },
         true,
         {'S', "5000"},
         {kFilterSize, kMatchContains, 1, 0, "5000", 0, 0}},
        {"stay in directory takes the URL's directory",
         [](IDizozizFilter* f) {
             f->put_StayInDir(1);
             f->put_Data("ignored");
         },
         true,
         {'U', "Dh/dir/"},
         {kFilterUrl, kMatchContains, 1, 0, "h/dir/", 0, 1}},
        {"a type clears stay on site",
         [](IDizozizFilter* f) {
             f->put_StayOnSite(1);
             f->put_Type(kFilterUrl);
             f->put_Data("y");
             int32_t stay = -1;
             f->get_StayOnSite(&stay);
             EXPECT_EQ(stay, 0);
         },
         true,
         {'U', "IIPy"},
         {kFilterUrl, kMatchContains, 1, 0, "y", 0, 0}},
        {"a type leaves stay in directory",
         [](IDizozizFilter* f) {
             f->put_StayInDir(1);
             f->put_Type(kFilterContentType);
         },
         true,
         {'U', "Dh/dir/"},
         {kFilterUrl, kMatchContains, 1, 0, "h/dir/", 0, 1}},
        {"changes without the filter's Update",
         [](IDizozizFilter* f) {
             f->put_Type(kFilterContentType);
             f->put_Data("lost");
         },
         false,
         {'U', "IIP"},
         {kFilterUrl, kMatchContains, 1, 0, "", 0, 0}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t id = AddStart("http://www.h/dir/p" + std::to_string(++n) + ".htm");
        ComPtr<IDizozizUrl> u = Edit(id);
        ComPtr<IDizozizFilter> f;
        ASSERT_EQ(u->NewFilter(f.Receive()), S_OK);
        c.edit(f.get());
        if (c.update_filter) {
            ASSERT_EQ(f->Update(), S_OK);
        }
        ASSERT_EQ(u->Update(), S_OK);
        const int32_t filter_id = store().LoadProps(id).filter_id;
        ASSERT_GT(filter_id, 0);
        EXPECT_EQ(Rows(filter_id), std::vector<Row>{c.stored});

        ComPtr<IDizozizEnumFilter> list;
        ASSERT_EQ(Edit(id)->get_EnumFilters(list.Receive()), S_OK);
        ComPtr<IDizozizFilter> back;
        ASSERT_EQ(list->get_Item(1, back.Receive()), S_OK);
        Read r;
        back->get_Type(&r.type);
        back->get_Match(&r.match);
        back->get_Includes(&r.includes);
        back->get_CaseSensitive(&r.sensitive);
        back->get_Data(&r.data);
        back->get_StayOnSite(&r.stay_on_site);
        back->get_StayInDir(&r.stay_in_dir);
        EXPECT_EQ(r.type, c.read.type);
        EXPECT_EQ(r.match, c.read.match);
        EXPECT_EQ(r.includes, c.read.includes);
        EXPECT_EQ(r.sensitive, c.read.sensitive);
        EXPECT_EQ(r.data, c.read.data);
        EXPECT_EQ(r.stay_on_site, c.read.stay_on_site);
        EXPECT_EQ(r.stay_in_dir, c.read.stay_in_dir);
    }
}

TEST_F(UrlObjectTest, FilterCollectionWalksItsEntries) {
    const int32_t id = AddStart("http://h/");
    const int32_t set = store().NextFilterId();
    store().AppendFilterRow(set, 'U', "Sh");
    store().AppendFilterRow(set, 'U', "EIPa");
    store().AppendFilterRow(set, 'U', "EIPb");
    store().SetFilterId(id, set);

    ComPtr<IDizozizUrl> u = Edit(id);
    EXPECT_EQ(u->get_EnumFilters(nullptr), E_POINTER);
    EXPECT_EQ(u->NewFilter(nullptr), E_POINTER);
    ComPtr<IDizozizEnumFilter> list;
    ASSERT_EQ(u->get_EnumFilters(list.Receive()), S_OK);
    EXPECT_EQ(list->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(list->get_Item(1, nullptr), E_POINTER);
    EXPECT_EQ(list->NewEnum(nullptr), E_POINTER);
    u.Reset();  // the entries keep their URL object

    std::vector<IDizozizFilter*> items;
    for (int32_t i = 1; i <= 3; ++i) {
        ComPtr<IDizozizFilter> f;
        ASSERT_EQ(list->get_Item(i, f.Receive()), S_OK);
        items.push_back(f.get());
    }
    ComPtr<IDizozizFilterEnumerator> walk;
    ASSERT_EQ(list->NewEnum(walk.Receive()), S_OK);
    EXPECT_EQ(walk->Next(nullptr), E_POINTER);
    ComPtr<IDizozizFilter> f;
    for (IDizozizFilter* expected : items) {
        ASSERT_EQ(walk->Next(f.Receive()), S_OK);
        EXPECT_EQ(f.get(), expected);  // the collection's own objects
    }
    EXPECT_EQ(walk->Next(f.Receive()), S_FALSE);
    EXPECT_EQ(f.get(), nullptr);

    ASSERT_EQ(walk->Reset(), S_OK);
    EXPECT_EQ(walk->Skip(2), S_OK);
    ASSERT_EQ(walk->Next(f.Receive()), S_OK);
    EXPECT_EQ(f.get(), items[2]);
    ASSERT_EQ(walk->Reset(), S_OK);
    EXPECT_EQ(walk->Skip(5), S_FALSE);
    EXPECT_EQ(walk->Next(f.Receive()), S_FALSE);

    // A stored stay-on-site entry loses the flag with a type.
    int32_t stay = 0;
    items[0]->get_StayOnSite(&stay);
    EXPECT_EQ(stay, 1);
    items[0]->put_Type(kFilterUrl);
    items[0]->get_StayOnSite(&stay);
    EXPECT_EQ(stay, 0);
}

TEST_F(UrlObjectTest, SaveAsDefaultWritesATemplateSetBackAsTheDefault) {
    store().AppendFilterRow(0, 'U', "EIPcgi-bin");
    const int32_t id = AddStart("http://www.h/dir/page.htm");
    ComPtr<IDizozizUrl> u = Edit(id);
    ComPtr<IDizozizFilter> stay;
    ASSERT_EQ(u->NewFilter(stay.Receive()), S_OK);  // loads set 0 as the template
    stay->put_StayOnSite(1);
    stay->Update();
    ASSERT_EQ(u->SaveFilterAsDefault(), S_OK);
    const std::vector<Row> defaults{{'U', "EIPcgi-bin"}, {'U', "S"}};
    EXPECT_EQ(Rows(0), defaults);
    EXPECT_EQ(store().LoadProps(id).filter_id, 0);
    EXPECT_EQ(store().NextFilterId(), 1);  // no set was made

    // The URL's own Update copies the set and binds the copy, not the default.
    ASSERT_EQ(u->Update(), S_OK);
    const int32_t own = store().LoadProps(id).filter_id;
    ASSERT_GT(own, 1);
    EXPECT_EQ(Rows(own), (std::vector<Row>{{'U', "EIPcgi-bin"}, {'U', "Sh"}}));
    EXPECT_EQ(Rows(0), defaults);
}

TEST_F(UrlObjectTest, SaveAsDefaultKeepsAUrlsOwnSetInPlace) {
    const int32_t id = AddStart("http://www.h/dir/page.htm");
    const int32_t set = store().NextFilterId();
    store().AppendFilterRow(set, 'U', "Sh");
    store().AppendFilterRow(set, 'U', "Dh/dir");
    store().AppendFilterRow(set, 'U', "EIPx");
    store().AppendFilterRow(set, 'U', "EIPgone");
    store().SetFilterId(id, set);
    const std::vector<StoredFilter> before = store().LoadFilterRows(set);

    ComPtr<IDizozizUrl> u = Edit(id);
    ComPtr<IDizozizEnumFilter> list;
    u->get_EnumFilters(list.Receive());
    ComPtr<IDizozizFilter> last;
    list->get_Item(4, last.Receive());
    last->Delete();
    ASSERT_EQ(u->SaveFilterAsDefault(), S_OK);

    const std::vector<StoredFilter> after = store().LoadFilterRows(set);
    ASSERT_EQ(after.size(), 3u);
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].row, before[i].row) << i;
    EXPECT_EQ(Rows(set), (std::vector<Row>{{'U', "S"}, {'U', "D"}, {'U', "EIPx"}}));
    EXPECT_TRUE(Rows(0).empty());
    EXPECT_EQ(store().LoadProps(id).filter_id, set);
}

TEST_F(UrlObjectTest, ALazyUrlDeletedBeforeFirstUseAnswersEmpty) {
    for (bool from_collection : {false, true}) {
        SCOPED_TRACE(from_collection ? "collection item" : "ReadUrl");
        const int32_t id = AddStart("http://h/doomed");
        store().SetNotes(id, "notes");
        store().SetCredentials(id, "dTpw");
        ComPtr<IDizozizUrl> u;
        if (from_collection) {
            ComPtr<IDizozizEnumUrl> roots;
            ASSERT_EQ(engine_->NewEnumChildren(0, 0, roots.Receive()), S_OK);
            ASSERT_EQ(roots->get_Item(1, u.Receive()), S_OK);
        } else {
            ASSERT_EQ(engine_->ReadUrl(id, u.Receive()), S_OK);
        }
        ASSERT_EQ(engine_->DeleteUrl(id), S_OK);
        events_->Take();

        std::string url = "x", notes = "x", user = "x", file = "x";
        int32_t levels = 9, level = 9, status = 9, got_id = 0;
        EXPECT_EQ(u->get_url(&url), S_OK);
        u->get_Notes(&notes);
        u->get_Username(&user);
        u->get_file(&file);
        u->get_GrabLevels(&levels);
        u->get_Level(&level);
        u->get_Status(&status);
        u->get_id(&got_id);
        EXPECT_EQ(url, "");
        EXPECT_EQ(notes, "");
        EXPECT_EQ(user, "");
        EXPECT_EQ(file, "");
        EXPECT_EQ(levels, 0);
        EXPECT_EQ(level, 0);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(got_id, id);

        // Changes find nothing to store: no row comes back, nothing fires.
        u->put_url("http://h/revived");
        u->put_GrabLevels(4);
        u->put_Notes("again");
        EXPECT_EQ(u->Update(), S_OK);
        EXPECT_FALSE(store().Exists(id));
        EXPECT_EQ(store().FindByUrl("http://h/revived"), 0);
        EXPECT_FALSE(store().HasProps(id));
        EXPECT_TRUE(store().AllUrls().empty());
        EXPECT_EQ(events_->Take(), 0);
    }
}

}  // namespace
}  // namespace fw

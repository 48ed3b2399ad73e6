#include "engine/interface/dizoziz.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>

#include "engine/interface/error_info.h"
#include "engine/interface/ref_counted.h"
#include "engine/store/filter_sets.h"
#include "engine/support/log.h"
#include "platform/base64.h"
#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace fw {
namespace {

using fwtest::TempDir;
using fwtest::WriteFile;

class RecordingSink : public RefCounted<IDizozizEvents> {
public:
    void Invoke(int32_t event_id, int32_t url_id) override {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.emplace_back(event_id, url_id);
    }
    std::vector<std::pair<int32_t, int32_t>> Take() {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(events_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<int32_t, int32_t>> events_;
};

std::string LastError() {
    std::string description;
    TakeErrorInfo(&description, nullptr);
    return description;
}

class DizozizTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = MakeObject<Dizoziz>();
        sink_ = MakeObject<RecordingSink>();
        ASSERT_EQ(engine_->Advise(sink_.get(), &cookie_), S_OK);
        ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    }

    int32_t AddStart(const std::string& url) {
        ComPtr<IDizozizUrl> u;
        EXPECT_EQ(engine_->NewUrl(u.Receive()), S_OK);
        u->put_url(url);
        EXPECT_EQ(u->Update(), S_OK);
        int32_t id = 0;
        u->get_id(&id);
        sink_->Take();
        return id;
    }

    TempDir dir_;
    ComPtr<Dizoziz> engine_;
    ComPtr<RecordingSink> sink_;
    uint32_t cookie_ = 0;
};

TEST_F(DizozizTest, OpenCountsRepeatedOpensOfTheSameDirectory) {
    std::string path = dir_.path();
    path.pop_back();  // without the trailing separator
    ASSERT_EQ(engine_->Open(path), S_OK);
    EXPECT_EQ(engine_->Close(), S_OK);
    int32_t open = 0;
    engine_->IsOpen(&open);
    EXPECT_EQ(open, 1);
    EXPECT_EQ(engine_->Close(), S_OK);
    engine_->IsOpen(&open);
    EXPECT_EQ(open, 0);
    EXPECT_EQ(engine_->Close(), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Storage is not open");
}

TEST_F(DizozizTest, SecondDirectoryIsRefusedWhileOneIsOpen) {
    TempDir other;
    EXPECT_EQ(engine_->Open(other.path()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "A Storage is already open");
    EXPECT_GT(AddStart("http://h/"), 0);  // the first stays usable
}

TEST_F(DizozizTest, OpenOfADamagedProjectFailsAndStaysClosed) {
    engine_->Close();
    TempDir bad;
    WriteFile(bad / "ZQURL.DBF", "garbage");
    EXPECT_EQ(engine_->Open(bad.path()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Error opening storage");
    int32_t open = 1;
    engine_->IsOpen(&open);
    EXPECT_EQ(open, 0);
}

TEST_F(DizozizTest, MembersReportUnknownIds) {
    ComPtr<IDizozizUrl> u;
    EXPECT_EQ(engine_->EditUrl(42, u.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL ID: 42");
    EXPECT_EQ(engine_->ReadUrl(42, u.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL ID: 42");
    int32_t has = 7;
    EXPECT_EQ(engine_->HasChildren(0, &has), S_OK);
    EXPECT_EQ(has, 0);
    EXPECT_EQ(engine_->HasChildren(42, &has), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL ID");
    EXPECT_EQ(engine_->DeleteUrl(42), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL ID");
    EXPECT_EQ(engine_->GetUrl("http://nowhere/", u.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL: http://nowhere/");
    EXPECT_EQ(engine_->UpdateUrl(nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Method Not Implemented");
    std::string file = "untouched";
    int32_t del = 5;
    EXPECT_EQ(engine_->GetUrlFile("http://h/", &file, &del), S_OK);
    EXPECT_EQ(file, "untouched");
    EXPECT_EQ(del, 5);
}

TEST_F(DizozizTest, NewUrlBecomesAStartUrlAndFiresAdd) {
    ComPtr<IDizozizUrl> u;
    ASSERT_EQ(engine_->NewUrl(u.Receive()), S_OK);
    u->put_url("http://h/start.htm");
    u->put_GrabLevels(3);
    ASSERT_EQ(u->Update(), S_OK);
    int32_t id = 0, level = -1, levels = 0;
    u->get_id(&id);
    ASSERT_GT(id, 0);
    EXPECT_EQ(sink_->Take(), (std::vector<std::pair<int32_t, int32_t>>{{kOnGrabUrlAdd, id}}));
    u->get_Level(&level);
    u->get_GrabLevels(&levels);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(levels, 3);
    EXPECT_EQ(engine_->store().TreeChildren(0, false), std::vector<int32_t>{id});

    // The same text again: no second row; the object takes the existing id.
    ComPtr<IDizozizUrl> again;
    engine_->NewUrl(again.Receive());
    again->put_url("http://h/start.htm");
    again->Update();
    int32_t again_id = 0;
    again->get_id(&again_id);
    EXPECT_EQ(again_id, id);
    EXPECT_EQ(engine_->store().AllUrls().size(), 1u);
}

TEST_F(DizozizTest, UpdateOfAnEditedUrlStoresAndFiresUpdate) {
    const int32_t id = AddStart("http://h/");
    ComPtr<IDizozizUrl> u;
    ASSERT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
    EXPECT_EQ(u->put_GrabLevels(-3), E_INVALIDARG);
    u->put_Html(7);  // ignored, but the record counts as modified
    u->put_Password("secret");
    u->put_Notes("notes");
    u->put_Schedule(2);
    ASSERT_EQ(u->Update(), S_OK);
    EXPECT_EQ(sink_->Take(), (std::vector<std::pair<int32_t, int32_t>>{{kOnGrabUrlUpdate, id}}));
    UrlProps props = engine_->store().LoadProps(id);
    EXPECT_EQ(props.credentials, platform::Base64Encode(":secret"));
    EXPECT_EQ(props.notes, "notes");
    EXPECT_EQ(props.schedule, 2);
    EXPECT_EQ(props.levels, 1);
    int32_t kind = -1;
    u->get_Html(&kind);
    EXPECT_EQ(kind, 0);

    // Never grab: the status goes back to not grabbed.
    UrlRecord r;
    engine_->store().Load(id, &r);
    r.status = 71;
    engine_->store().Write(&r);
    ASSERT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
    u->put_GrabLevels(-2);
    u->Update();
    engine_->store().Load(id, &r);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(engine_->store().LoadProps(id).levels, -2);

    // Objects read lazily fire nothing.
    sink_->Take();
    ASSERT_EQ(engine_->ReadUrl(id, u.Receive()), S_OK);
    u->put_Notes("quiet");
    u->Update();
    EXPECT_TRUE(sink_->Take().empty());
    EXPECT_EQ(engine_->store().LoadProps(id).notes, "quiet");
}

TEST_F(DizozizTest, FiltersAreSavedWithANewSetAndLeaveTheDefaultSetAlone) {
    // A default set 0 with one rule.
    engine_->store().AppendFilterRow(0, 'U', "EIPcgi-bin");
    const int32_t id = AddStart("http://www.h/dir/page.htm");
    ComPtr<IDizozizUrl> u;
    ASSERT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
    ComPtr<IDizozizEnumFilter> filters;
    ASSERT_EQ(u->get_EnumFilters(filters.Receive()), S_OK);
    int32_t count = 0;
    filters->get_Count(&count);
    ASSERT_EQ(count, 1);  // the default set is the template
    ComPtr<IDizozizFilter> stay;
    ASSERT_EQ(u->NewFilter(stay.Receive()), S_OK);
    int32_t type = 0;
    stay->get_Type(&type);
    EXPECT_EQ(type, kFilterUrl);
    stay->put_StayOnSite(1);
    stay->Update();
    ComPtr<IDizozizFilter> size;
    u->NewFilter(size.Receive());
    size->put_Type(kFilterSize);
    size->put_Data("5000");
    size->Update();
    ASSERT_EQ(u->Update(), S_OK);

    const UrlProps props = engine_->store().LoadProps(id);
    ASSERT_GT(props.filter_id, 0);
    FilterSet saved = LoadFilterSet(engine_->store(), props.filter_id);
    // Loaded in table order: by type letter (S before U), then as added.
    ASSERT_EQ(saved.filters.size(), 3u);
    EXPECT_EQ(saved.filters[0].type, FilterType::Size);
    EXPECT_EQ(saved.filters[0].size_limit, 5000);
    EXPECT_EQ(saved.filters[1].data, "cgi-bin");
    EXPECT_FALSE(saved.filters[1].include);
    EXPECT_TRUE(saved.filters[2].stay_on_site);
    EXPECT_EQ(saved.filters[2].data, "h");
    EXPECT_EQ(LoadFilterSet(engine_->store(), 0).filters.size(), 1u);

    // Deleting through the object removes the row at the next Update.
    ComPtr<IDizozizFilter> first;
    ASSERT_EQ(engine_->EditUrl(id, u.Receive()), S_OK);
    u->get_EnumFilters(filters.Receive());
    filters->get_Item(1, first.Receive());
    first->Delete();
    u->Update();
    EXPECT_EQ(LoadFilterSet(engine_->store(), props.filter_id).filters.size(), 2u);
    EXPECT_EQ(filters->get_Item(0, first.Receive()), E_INVALIDARG);
    EXPECT_EQ(filters->get_Item(4, first.Receive()), E_INVALIDARG);
}

TEST_F(DizozizTest, CollectionsAreOneBasedAndNoticeDeletedUrls) {
    const int32_t a = AddStart("http://h/a");
    const int32_t b = AddStart("http://h/b");
    ComPtr<IDizozizEnumUrl> list;
    ASSERT_EQ(engine_->NewEnumChildren(0, 1, list.Receive()), S_OK);
    int32_t count = 0;
    list->get_Count(&count);
    EXPECT_EQ(count, 2);
    ComPtr<IDizozizUrl> item;
    EXPECT_EQ(list->get_Item(0, item.Receive()), E_INVALIDARG);
    EXPECT_EQ(list->get_Item(3, item.Receive()), E_INVALIDARG);
    EXPECT_EQ(list->get_Item(1, nullptr), E_POINTER);
    EXPECT_EQ(list->get_Count(nullptr), E_POINTER);
    ASSERT_EQ(engine_->DeleteUrl(a), S_OK);
    EXPECT_EQ(sink_->Take(), (std::vector<std::pair<int32_t, int32_t>>{{kOnGrabUrlDelete, a}}));
    EXPECT_EQ(list->get_Item(1, item.Receive()), E_FAIL);
    ASSERT_EQ(list->get_Item(2, item.Receive()), S_OK);
    std::string url;
    item->get_url(&url);
    EXPECT_EQ(url, "http://h/b");

    ComPtr<IDizozizUrlEnumerator> walk;
    ASSERT_EQ(list->NewEnum(walk.Receive()), S_OK);
    ASSERT_EQ(walk->Next(item.Receive()), S_OK);
    int32_t id = 0;
    item->get_id(&id);
    EXPECT_EQ(id, b);
    EXPECT_EQ(walk->Next(item.Receive()), S_FALSE);
}

// Which links of a page the tree shows: deeper URLs, and on the page's own
// level only requisites that are not pages.
TEST_F(DizozizTest, EnumChildrenKeepsDeeperUrlsAndSameLevelRequisites) {
    const int32_t start = AddStart("http://h/");
    ProjectStore& s = engine_->store();
    const int32_t page = s.AddUrl(start, 1, 0, "http://h/p.htm", kKindHtml).id;
    struct Case {
        const char* url;
        int32_t level, min_level, kind;
        bool shown;
    } cases[] = {
        {"http://h/deeper.htm", 2, 0, kKindHtml, true},
        {"http://h/deeper.gif", 2, 1, kKindImage, true},
        {"http://h/frame.htm", 1, 1, kKindHtml, false},  // a same-level page requisite
        {"http://h/style.css", 1, 1, kKindCss, true},
        {"http://h/sibling.htm", 1, 0, kKindHtml, false},
        {"http://h/sibling.gif", 1, 0, kKindImage, false},
    };
    std::vector<int32_t> expected;
    for (const auto& c : cases) {
        const int32_t id = s.AddUrl(page, c.level, c.min_level, c.url, c.kind).id;
        if (c.shown) expected.push_back(id);
    }
    ComPtr<IDizozizEnumChild> children;
    ASSERT_EQ(engine_->EnumChildren(page, children.Receive()), S_OK);
    int32_t count = 0;
    children->get_Count(&count);
    std::vector<int32_t> shown;
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDizozizUrl> item;
        ASSERT_EQ(children->get_Item(i, item.Receive()), S_OK);
        int32_t id = 0;
        item->get_id(&id);
        shown.push_back(id);
    }
    EXPECT_EQ(shown, expected);
    // An unknown parent has no children and is no error.
    ASSERT_EQ(engine_->EnumChildren(page + 1000, children.Receive()), S_OK);
    children->get_Count(&count);
    EXPECT_EQ(count, 0);
}

TEST_F(DizozizTest, TreeEnumerationsFollowLevels) {
    const int32_t start = AddStart("http://h/");
    ProjectStore& s = engine_->store();
    const int32_t page = s.AddUrl(start, 1, 0, "http://h/p.htm", 1).id;
    const int32_t image = s.AddUrl(start, 0, 1, "http://h/i.gif", 3).id;
    const int32_t other = AddStart("http://other/");
    s.AddLink(page, other);  // a cross link
    ComPtr<IDizozizEnumChild> children;
    ASSERT_EQ(engine_->EnumChildren(start, children.Receive()), S_OK);
    int32_t count = 0;
    children->get_Count(&count);
    EXPECT_EQ(count, 2);  // the page (deeper) and the image (same level, requisite)
    int32_t has = 0;
    engine_->HasChildren(page, &has);
    EXPECT_EQ(has, 0);  // a cross link is no tree child
    ComPtr<IDizozizEnumUrl> plain;
    engine_->NewEnumChildren(page, 0, plain.Receive());
    plain->get_Count(&count);
    EXPECT_EQ(count, 1);
    ComPtr<IDizozizEnumUrl> parents;
    engine_->EnumParents(other, parents.Receive());
    parents->get_Count(&count);
    EXPECT_EQ(count, 1);
    (void)image;
}

using Events = std::vector<std::pair<int32_t, int32_t>>;

// Notes its own end, to show who holds a reference to it.
class NotingSink : public RecordingSink {
public:
    explicit NotingSink(bool* gone) : gone_(gone) {}
    ~NotingSink() override { *gone_ = true; }

private:
    bool* gone_;
};

TEST_F(DizozizTest, EventsReachEveryAdvisedSinkUntilItUnadvises) {
    auto second = MakeObject<RecordingSink>();
    uint32_t second_cookie = 0;
    ASSERT_EQ(engine_->Advise(second.get(), &second_cookie), S_OK);
    EXPECT_NE(second_cookie, 0u);
    EXPECT_NE(second_cookie, cookie_);

    const int32_t a = AddStart("http://h/a");  // drains sink_ only
    EXPECT_EQ(second->Take(), (Events{{kOnGrabUrlAdd, a}}));
    ASSERT_EQ(engine_->DeleteUrl(a), S_OK);
    EXPECT_EQ(sink_->Take(), (Events{{kOnGrabUrlDelete, a}}));
    EXPECT_EQ(second->Take(), (Events{{kOnGrabUrlDelete, a}}));

    ASSERT_EQ(engine_->Unadvise(second_cookie), S_OK);
    // Cookies that are not (or no longer) advised are refused and change nothing.
    for (uint32_t cookie : {second_cookie, 0u, cookie_ + second_cookie + 100}) {
        EXPECT_EQ(engine_->Unadvise(cookie), E_INVALIDARG) << cookie;
    }
    const int32_t b = AddStart("http://h/b");
    ASSERT_EQ(engine_->DeleteUrl(b), S_OK);
    EXPECT_EQ(sink_->Take(), (Events{{kOnGrabUrlDelete, b}}));
    EXPECT_TRUE(second->Take().empty());

    // A refused Advise leaves nothing advised.
    uint32_t cookie = 77;
    EXPECT_EQ(engine_->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(engine_->Advise(second.get(), nullptr), E_POINTER);
    const int32_t c = AddStart("http://h/c");
    ASSERT_EQ(engine_->DeleteUrl(c), S_OK);
    EXPECT_TRUE(second->Take().empty());
    EXPECT_EQ(sink_->Take(), (Events{{kOnGrabUrlDelete, c}}));
}

TEST_F(DizozizTest, AnAdvisedSinkIsHeldUntilUnadvised) {
    bool gone = false;
    uint32_t cookie = 0;
    NotingSink* sink = nullptr;
    {
        auto held = MakeObject<NotingSink>(&gone);
        sink = held.get();
        ASSERT_EQ(engine_->Advise(held.get(), &cookie), S_OK);
    }
    ASSERT_FALSE(gone);
    const int32_t id = AddStart("http://h/");
    EXPECT_EQ(sink->Take(), (Events{{kOnGrabUrlAdd, id}}));
    ASSERT_EQ(engine_->Unadvise(cookie), S_OK);
    EXPECT_TRUE(gone);
}

TEST_F(DizozizTest, ASinkMayUnadviseItselfFromInsideAnEvent) {
    class LeavingSink : public RecordingSink {
    public:
        void Invoke(int32_t event_id, int32_t url_id) override {
            RecordingSink::Invoke(event_id, url_id);
            unadvised = engine->Unadvise(cookie);
        }
        Dizoziz* engine = nullptr;
        uint32_t cookie = 0;
        HRESULT unadvised = E_FAIL;
    };
    auto leaving = MakeObject<LeavingSink>();
    leaving->engine = engine_.get();
    ASSERT_EQ(engine_->Advise(leaving.get(), &leaving->cookie), S_OK);
    const int32_t id = AddStart("http://h/");
    EXPECT_EQ(leaving->unadvised, S_OK);
    EXPECT_EQ(leaving->Take(), (Events{{kOnGrabUrlAdd, id}}));
    ASSERT_EQ(engine_->DeleteUrl(id), S_OK);
    EXPECT_TRUE(leaving->Take().empty());
    EXPECT_EQ(sink_->Take(), (Events{{kOnGrabUrlDelete, id}}));
}

TEST_F(DizozizTest, NewUrlsAreMadeByTheirKind) {
    const struct {
        int32_t kind_put;
        const char* url;
        int32_t stored_kind;
        bool has_settings;
    } cases[] = {
        {kKindSearchFolder, "needle text", kKindSearchFolder, false},
        {kKindLinkCheck, "http://check/", kKindLinkCheck, true},
        {kKindHtml, "http://page/", kKindUnknown, true},   // a page's kind comes from its fetch
        {kKindImage, "http://image/", kKindUnknown, true}, // not a kind callers may set
    };
    std::vector<int32_t> roots;
    for (const auto& c : cases) {
        ComPtr<IDizozizUrl> u;
        ASSERT_EQ(engine_->NewUrl(u.Receive()), S_OK);
        u->put_Html(c.kind_put);
        u->put_url(c.url);
        ASSERT_EQ(u->Update(), S_OK) << c.url;
        int32_t id = 0, kind = -1;
        u->get_id(&id);
        ASSERT_GT(id, 0) << c.url;
        roots.push_back(id);
        u->get_Html(&kind);  // read back from the stored row
        EXPECT_EQ(kind, c.stored_kind) << c.url;
        UrlRecord r;
        ASSERT_TRUE(engine_->store().Load(id, &r));
        EXPECT_EQ(r.kind, c.stored_kind) << c.url;
        EXPECT_EQ(r.url, c.url);
        EXPECT_EQ(r.level, 0) << c.url;
        EXPECT_EQ(engine_->store().HasProps(id), c.has_settings) << c.url;
        EXPECT_EQ(sink_->Take(), (Events{{kOnGrabUrlAdd, id}})) << c.url;
    }
    EXPECT_EQ(engine_->store().TreeChildren(0, false), roots);
}

TEST_F(DizozizTest, ChildrenOfASearchFolderAreThePagesHoldingItsText) {
    ProjectStore& s = engine_->store();
    auto stored_page = [&](const std::string& name, const std::string& content) {
        const int32_t id = s.AddUrl(0, 0, 0, "http://h/" + name, kKindHtml).id;
        UrlRecord r;
        s.Load(id, &r);
        r.status = kStatusGrabbed;
        r.file = "h/" + name;
        s.Write(&r);
        WriteFile(dir_ / r.file, content);
        return id;
    };
    const int32_t hit = stored_page("hit.htm", "<p>a needle here</p>");
    const int32_t miss = stored_page("miss.htm", "<p>nothing</p>");
    ComPtr<IDizozizUrl> folder;
    engine_->NewUrl(folder.Receive());
    folder->put_Html(kKindSearchFolder);
    folder->put_url("needle");
    ASSERT_EQ(folder->Update(), S_OK);
    int32_t folder_id = 0;
    folder->get_id(&folder_id);
    s.AddLink(folder_id, miss);  // a plain child, which the search does not list

    for (int32_t safe : {0, 1}) {
        ComPtr<IDizozizEnumUrl> children;
        ASSERT_EQ(engine_->NewEnumChildren(folder_id, safe, children.Receive()), S_OK);
        int32_t count = 0;
        children->get_Count(&count);
        ASSERT_EQ(count, 1) << safe;
        ComPtr<IDizozizUrl> item;
        ASSERT_EQ(children->get_Item(1, item.Receive()), S_OK);
        int32_t id = 0;
        item->get_id(&id);
        EXPECT_EQ(id, hit) << safe;
    }
}

TEST_F(DizozizTest, ChildrenOfALinkCheckUrlAreItsBadLinks) {
    ProjectStore& s = engine_->store();
    ComPtr<IDizozizUrl> check;
    engine_->NewUrl(check.Receive());
    check->put_Html(kKindLinkCheck);
    check->put_url("http://h/");
    ASSERT_EQ(check->Update(), S_OK);
    int32_t root = 0;
    check->get_id(&root);
    auto add = [&](int32_t parent, int32_t level, int32_t min_level, const std::string& url,
                   int32_t error) {
        const int32_t id =
            s.AddUrl(parent, level, min_level, url, min_level ? kKindImage : kKindHtml).id;
        UrlRecord r;
        s.Load(id, &r);
        r.error = error;
        s.Write(&r);
        return id;
    };
    const int32_t missing = add(root, 1, 0, "http://h/missing.htm", 404);
    const int32_t fine = add(root, 1, 0, "http://h/fine.htm", 0);
    const int32_t image = add(root, 1, 1, "http://h/i.gif", 410);
    const int32_t deep = add(fine, 2, 0, "http://h/deep.htm", 500);
    add(root, 1, 0, "http://h/moved.htm", 301);  // not a bad link

    ComPtr<IDizozizEnumUrl> list;
    ASSERT_EQ(engine_->NewEnumChildren(root, 1, list.Receive()), S_OK);
    std::vector<int32_t> ids;
    int32_t count = 0;
    list->get_Count(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDizozizUrl> item;
        ASSERT_EQ(list->get_Item(i, item.Receive()), S_OK);
        int32_t id = 0;
        item->get_id(&id);
        ids.push_back(id);
    }
    // By level, pages before requisites, then as found: the whole tree, not
    // only the direct links.
    EXPECT_EQ(ids, (std::vector<int32_t>{missing, image, deep}));

    EXPECT_EQ(engine_->NewEnumChildren(deep + 100, 0, list.Receive()), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Invalid URL ID");
}

TEST_F(DizozizTest, DeletingAUrlWhoseFileIsGoneStillRemovesIt) {
    const int32_t id = AddStart("http://h/");
    UrlRecord r;
    engine_->store().Load(id, &r);
    r.file = "h/index.html";  // never written to disk
    engine_->store().Write(&r);
    EXPECT_EQ(engine_->DeleteUrl(id), S_OK);
    EXPECT_FALSE(engine_->store().Exists(id));
    EXPECT_EQ(sink_->Take(), (std::vector<std::pair<int32_t, int32_t>>{{kOnGrabUrlDelete, id}}));
}

TEST_F(DizozizTest, ImportOfTextTakesEveryAddressOnALine) {
    WriteFile(dir_ / "list.txt",
              "see http://a.example/x.htm and http://b.example/ then\tmore\n"
              "secure https://c.example/p?q=1\r\nftp://d.example/file.zip\n");
    ASSERT_EQ(engine_->Import(dir_ / "list.txt"), S_OK);
    ProjectStore& s = engine_->store();
    for (const char* url : {"http://a.example/x.htm", "http://b.example/", "https://c.example/p?q=1",
                            "ftp://d.example/file.zip"}) {
        const int32_t id = s.FindByUrl(url);
        EXPECT_GT(id, 0) << url;
        EXPECT_EQ(s.LoadProps(id).levels, 1) << url;
    }
    const auto events = sink_->Take();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], std::make_pair(int32_t{kOnGrabUrlAdd}, s.FindByUrl("http://a.example/x.htm")));
    EXPECT_EQ(engine_->Import(dir_ / "missing.txt"), S_OK);
}

// Addresses in a mail or in prose come without the marks around them, in
// their stored form, with the credentials they name; a text that starts
// with an address in angle brackets is no bookmark page.
TEST_F(DizozizTest, ImportOfProseTakesTheAddressesWithoutTheirDelimiters) {
    WriteFile(dir_ / "mail.txt",
              "<http://docs.example/manual.html>, see also \"http://docs.example/contact.html\".\n"
              "The files (ftp://anne:pw@Files.Example/pub/) are HTTP://Docs.Example/up.html;\n");
    ASSERT_EQ(engine_->Import(dir_ / "mail.txt"), S_OK);
    ProjectStore& s = engine_->store();
    for (const char* url : {"http://docs.example/manual.html", "http://docs.example/contact.html",
                            "ftp://files.example/pub/", "http://docs.example/up.html"}) {
        EXPECT_GT(s.FindByUrl(url), 0) << url;
    }
    EXPECT_EQ(sink_->Take().size(), 4u);
    EXPECT_EQ(s.LoadProps(s.FindByUrl("ftp://files.example/pub/")).credentials,
              platform::EncodeCredentials("anne", "pw"));
}

// A long list is read in pieces: an address across a piece's end is taken
// whole, and nothing after it is lost.
TEST_F(DizozizTest, ImportOfALongListTakesAddressesAcrossItsPieces) {
    const std::string across = "http://across.example/a-page-named-at-length.htm";
    std::string list(1 << 20, ' ');  // one reading block of blanks...
    list.replace(list.size() - 10, across.size(), across);  // ...ending inside an address
    list.resize((1 << 20) - 10 + across.size());
    list += "\n" + std::string(3 << 20, 'w') + " http://after.example/\n";
    WriteFile(dir_ / "long.txt", list);
    ASSERT_EQ(engine_->Import(dir_ / "long.txt"), S_OK);
    EXPECT_GT(engine_->store().FindByUrl(across), 0);
    EXPECT_GT(engine_->store().FindByUrl("http://after.example/"), 0);
    EXPECT_EQ(sink_->Take().size(), 2u);
}

TEST_F(DizozizTest, CopyOntoItselfMakesATopLevelUrl) {
    const int32_t start = AddStart("http://h/");
    const int32_t deep = engine_->store().AddUrl(start, 2, 0, "http://h/deep.htm").id;
    ASSERT_EQ(engine_->Copy(dir_.path(), deep), S_OK);
    UrlRecord r;
    engine_->store().Load(deep, &r);
    EXPECT_EQ(r.level, 0);
    EXPECT_EQ(engine_->store().LoadProps(deep).levels, 1);
    EXPECT_EQ(engine_->store().TreeChildren(0, false), (std::vector<int32_t>{start, deep}));
}

TEST_F(DizozizTest, CopyFromAnotherStorageBringsTheTreeAndItsFiles) {
    TempDir source_dir;
    {
        ProjectStore source;
        ASSERT_TRUE(source.Open(source_dir.path(), source_dir.path(), true));
        const int32_t start = source.AddUrl(0, 0, 0, "http://s/").id;
        source.SetLevels(start, 3);
        source.SetCredentials(start, "dTpw");
        const int32_t f = source.NextFilterId();
        source.AppendFilterRow(f, 'U', "Ss");
        source.SetFilterId(start, f);
        const int32_t page = source.AddUrl(start, 1, 0, "http://s/p.htm").id;
        UrlRecord r;
        source.Load(page, &r);
        r.file = "s/p.htm";
        r.status = 71;
        source.Write(&r);
        WriteFile(source_dir / "s/p.htm", "copied page");
    }
    WriteFile(dir_ / "s/p.htm", "a file of this project");  // must not be overwritten
    const int32_t source_start = 1;
    ASSERT_EQ(engine_->Copy(source_dir.path(), source_start), S_OK);
    ProjectStore& s = engine_->store();
    const int32_t copied = s.FindByUrl("http://s/");
    const int32_t page = s.FindByUrl("http://s/p.htm");
    ASSERT_GT(copied, 0);
    ASSERT_GT(page, 0);
    EXPECT_EQ(s.TreeChildren(0, false), std::vector<int32_t>{copied});
    EXPECT_EQ(s.TreeChildren(copied, false), std::vector<int32_t>{page});
    const UrlProps props = s.LoadProps(copied);
    EXPECT_EQ(props.levels, 3);
    EXPECT_EQ(props.credentials, "dTpw");
    EXPECT_EQ(LoadFilterSet(s, props.filter_id).filters.size(), 1u);
    UrlRecord r;
    s.Load(page, &r);
    EXPECT_EQ(r.status, 71);
    EXPECT_EQ(fwtest::ReadFile(dir_ / r.file), "copied page");
    EXPECT_EQ(fwtest::ReadFile(dir_ / "s/p.htm"), "a file of this project");

    EXPECT_EQ(engine_->Copy(source_dir.path(), 99), DISP_E_EXCEPTION);
    EXPECT_EQ(LastError(), "Could not copy from storage");
}

TEST_F(DizozizTest, ExportCopiesStoredFilesKeepingTheirPaths) {
    const int32_t start = AddStart("http://h/");
    ProjectStore& s = engine_->store();
    const int32_t page = s.AddUrl(start, 1, 0, "http://h/p.htm", 1).id;
    const int32_t image = s.AddUrl(page, 1, 1, "http://h/i.gif", 3).id;
    for (auto [id, file] : {std::pair{start, "h/index.html"}, std::pair{page, "h/p.htm"},
                            std::pair{image, "h/i.gif"}}) {
        UrlRecord r;
        s.Load(id, &r);
        r.file = file;
        s.Write(&r);
        WriteFile(dir_ / file, file);
    }
    TempDir out;
    ASSERT_EQ(engine_->ExportPage(page, out.path()), S_OK);
    EXPECT_TRUE(platform::FileExists(out / "h/p.htm"));
    EXPECT_TRUE(platform::FileExists(out / "h/i.gif"));
    EXPECT_FALSE(platform::FileExists(out / "h/index.html"));
    TempDir all;
    ASSERT_EQ(engine_->ExportTree(0, all.path()), S_OK);
    for (const char* f : {"h/index.html", "h/p.htm", "h/i.gif"}) {
        EXPECT_EQ(fwtest::ReadFile(all / f), f);
    }
}

}  // namespace
}  // namespace fw

namespace fw {
namespace {

TEST(DizozizPreferencesTest, PreferencesObjectReadsAndWritesTheEngineSettings) {
    TempDir home;
    const char* before = std::getenv("CORVALIN_HOME");
    const std::string saved = before ? before : "";
    setenv("CORVALIN_HOME", home.path().c_str(), 1);
    ComPtr<Dizoziz> engine = MakeObject<Dizoziz>();
    {
        ComPtr<IDizozizPrefs> prefs;
        ASSERT_EQ(engine->Preferences(prefs.Receive()), S_OK);
        int32_t threads = 0;
        prefs->get_MaxThreads(&threads);
        EXPECT_EQ(threads, 8);
        prefs->put_MaxThreads(3);
        prefs->put_ProxyServer("proxy.example");
        engine.Reset();  // the prefs object keeps what it needs alive
        prefs->get_MaxThreads(&threads);
        EXPECT_EQ(threads, 3);
    }
    const std::string ini = fwtest::ReadFile(home / "corvalin.ini");
    EXPECT_NE(ini.find("MaxThreads=3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Server=proxy.example"), std::string::npos) << ini;
    if (before) setenv("CORVALIN_HOME", saved.c_str(), 1); else unsetenv("CORVALIN_HOME");
}

}  // namespace
}  // namespace fw

namespace fw {
namespace {

using Lines = std::vector<std::string>;

class DizozizLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLogForTesting(log_dir_ / "fetchwell.log");
        engine_ = MakeObject<Dizoziz>();
    }
    void TearDown() override {
        engine_.Reset();
        ResetLogForTesting("");
    }

    // The records written since the last call, without their time stamps.
    Lines TakeLog() {
        std::istringstream in(fwtest::ReadFile(log_dir_ / "fetchwell.log"));
        platform::RemoveFile(log_dir_ / "fetchwell.log");
        Lines lines;
        const size_t stamp = std::string("MM/DD/YY hh:mm:ss ").size();
        for (std::string line; std::getline(in, line);) {
            line = line.size() >= stamp ? line.substr(stamp) : line;
            lines.push_back(line);
        }
        return lines;
    }

    TempDir log_dir_;
    TempDir dir_;
    ComPtr<Dizoziz> engine_;
};

TEST_F(DizozizLogTest, OpenAndCloseNameTheTableDirectory) {
    std::string bare = dir_.path();
    bare.pop_back();
    ASSERT_EQ(engine_->Open(bare), S_OK);
    EXPECT_EQ(TakeLog(), Lines{"Opening " + dir_.path() + " 0"});
    // Repeated opens and the closes that match them leave no trace.
    ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    ASSERT_EQ(engine_->Close(), S_OK);
    EXPECT_EQ(TakeLog(), Lines{});
    ASSERT_EQ(engine_->Close(), S_OK);
    EXPECT_EQ(TakeLog(), Lines{"Closing " + dir_.path()});

    // Exclusive mode shows in the line; releasing an open engine closes it.
    engine_->ExclusiveMode(1);
    ASSERT_EQ(engine_->Open(dir_.path()), S_OK);
    engine_.Reset();
    EXPECT_EQ(TakeLog(), (Lines{"Opening " + dir_.path() + " 1", "Closing " + dir_.path()}));

    // Separate directories: the lines name the table directory as given.
    TempDir data;
    const std::string db = dir_ / "db/";
    ASSERT_TRUE(platform::CreateDirectories(db));
    engine_ = MakeObject<Dizoziz>();
    ASSERT_EQ(engine_->OpenPlus(db, data.path()), S_OK);
    ASSERT_EQ(engine_->Close(), S_OK);
    EXPECT_EQ(TakeLog(), (Lines{"Opening " + db + " 0", "Closing " + db}));
}

TEST_F(DizozizLogTest, AFailedOpenLogsTheTableErrorAndTheDirectory) {
    WriteFile(dir_ / "ZQURL.DBF", "garbage");
    EXPECT_EQ(engine_->Open(dir_.path()), DISP_E_EXCEPTION);
    engine_.Reset();  // closed: no closing line
    EXPECT_EQ(TakeLog(), (Lines{"Opening " + dir_.path() + " 0", "ZQCB<ZQURL>::open e4data(-50)",
                                "Error Opening " + dir_.path()}));
}

}  // namespace
}  // namespace fw

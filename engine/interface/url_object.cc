#include "engine/interface/url_object.h"

#include "engine/content/web_address.h"
#include "engine/interface/error_info.h"
#include "engine/store/filter_sets.h"
#include "platform/base64.h"

namespace fw {

ComPtr<UrlObject> UrlObject::Loaded(Dizoziz* engine, bool fires_events, const UrlRecord& record,
                                    const UrlProps& props, std::string data_dir) {
    auto object = MakeObject<UrlObject>(engine);
    object->fires_events_ = fires_events;
    object->id_ = record.id;
    object->record_ = record;
    object->props_ = props;
    platform::DecodeCredentials(props.credentials, &object->user_, &object->password_);
    object->data_dir_ = std::move(data_dir);
    object->loaded_ = true;
    return object;
}

ComPtr<UrlObject> UrlObject::Lazy(Dizoziz* engine, int32_t id) {
    auto object = MakeObject<UrlObject>(engine);
    object->id_ = id;
    return object;
}

ComPtr<UrlObject> UrlObject::New(Dizoziz* engine) {
    auto object = MakeObject<UrlObject>(engine);
    object->fires_events_ = true;
    object->loaded_ = true;
    object->new_ = true;
    return object;
}

void UrlObject::EnsureLoaded() {
    if (loaded_) return;
    auto guard = store().Lock();
    UrlRecord record;
    if (!store().Load(id_, &record)) return;  // gone: members see empty values
    record_ = std::move(record);
    props_ = store().LoadProps(id_);
    platform::DecodeCredentials(props_.credentials, &user_, &password_);
    loaded_ = true;
}

#define FW_GET(member, type, expr)      \
    HRESULT UrlObject::member(type* v) { \
        if (!v) return E_POINTER;        \
        EnsureLoaded();                  \
        *v = (expr);                     \
        return S_OK;                     \
    }

FW_GET(get_url, std::string, record_.url)
FW_GET(get_Level, int32_t, record_.level)
FW_GET(get_MinLevel, int32_t, record_.min_level)
FW_GET(get_Html, int32_t, record_.kind)
FW_GET(get_Status, int32_t, record_.status)
FW_GET(get_Title, std::string, record_.title)
FW_GET(get_file, std::string, record_.file)
FW_GET(get_Created, int32_t, static_cast<int32_t>(record_.created))
FW_GET(get_Modified, int32_t, static_cast<int32_t>(record_.modified))
FW_GET(get_GrabLevels, int32_t, props_.levels)
FW_GET(get_Notes, std::string, props_.notes)
FW_GET(get_Error, int32_t, record_.error)
FW_GET(get_Username, std::string, user_)
FW_GET(get_Password, std::string, password_)
FW_GET(get_Grabbed, int32_t, static_cast<int32_t>(record_.grabbed))
FW_GET(get_New, int32_t, record_.is_new ? 1 : 0)
FW_GET(get_ContentType, std::string, record_.content_type)
FW_GET(get_Schedule, int32_t, props_.schedule)
#undef FW_GET

HRESULT UrlObject::get_id(int32_t* id) {
    if (!id) return E_POINTER;
    *id = id_;
    return S_OK;
}

HRESULT UrlObject::get_GrabNow(int32_t* now) {
    if (!now) return E_POINTER;
    *now = 0;
    return S_OK;
}

HRESULT UrlObject::put_GrabNow(int32_t) { return S_OK; }

HRESULT UrlObject::put_url(const std::string& url) {
    EnsureLoaded();
    record_.url = url;
    record_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::put_Html(int32_t kind) {
    EnsureLoaded();
    record_modified_ = true;
    if (kind == kKindHtml || kind == kKindSearchFolder || kind == kKindLinkCheck) {
        record_.kind = kind;
    }
    return S_OK;
}

HRESULT UrlObject::put_GrabLevels(int32_t levels) {
    if (levels < -2) return E_INVALIDARG;
    EnsureLoaded();
    props_.levels = levels;
    settings_modified_ = true;
    if (levels == -2) {  // never grab: the URL counts as not grabbed
        record_.status = 0;
        record_modified_ = true;
    }
    return S_OK;
}

HRESULT UrlObject::put_Notes(const std::string& notes) {
    EnsureLoaded();
    props_.notes = notes;
    settings_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::put_Error(int32_t error) {
    EnsureLoaded();
    record_.error = error;
    record_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::put_Username(const std::string& user) {
    EnsureLoaded();
    user_ = user;
    settings_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::put_Password(const std::string& password) {
    EnsureLoaded();
    password_ = password;
    settings_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::put_Schedule(int32_t schedule) {
    EnsureLoaded();
    props_.schedule = schedule;
    settings_modified_ = true;
    return S_OK;
}

HRESULT UrlObject::Update() {
    ProjectStore& s = store();
    auto guard = s.Lock();
    EnsureLoaded();
    bool created = false;
    if ((new_ && id_ == 0) || record_modified_) CanonicalUrl();
    // A new object creates its URL once; later Updates store changes to it.
    if (new_ && id_ == 0) {
        if (record_.url.empty()) return S_OK;  // nothing to create
        int32_t id = 0;
        if (record_.kind == kKindSearchFolder) {
            id = s.AddSearchFolder(record_.url);
        } else {
            id = s.AddUrl(0, 0, 0, record_.url, record_.kind == kKindLinkCheck ? kKindLinkCheck : 0)
                     .id;
        }
        if (id == 0) return S_OK;
        id_ = id;
        created = true;
    } else if (record_modified_) {
        UrlRecord row;
        if (s.Load(id_, &row)) {
            row.status = record_.status;
            row.url = record_.url;
            row.title.clear();  // unchanged: Write stores only a non-empty title
            s.Write(&row);
        }
    }
    if (settings_modified_ && s.Exists(id_)) {
        s.SetLevels(id_, props_.levels);
        s.SetSchedule(id_, props_.schedule);
        s.SetNotes(id_, props_.notes);
        SaveFilters();
        s.SetCredentials(id_, user_.empty() && password_.empty()
                                  ? std::string()
                                  : platform::EncodeCredentials(user_, password_));
    }
    const bool changed = record_modified_ || settings_modified_;
    if (created) loaded_ = false;  // the next read loads the stored row
    guard.unlock();
    if (fires_events_) {
        if (created) {
            engine_->Fire(kOnGrabUrlAdd, id_);
        } else if (changed) {
            engine_->Fire(kOnGrabUrlUpdate, id_);
        }
    }
    return S_OK;
}

void UrlObject::CanonicalUrl() {
    if (record_.kind == kKindSearchFolder) return;  // its text is a search, not an address
    std::optional<WebAddress> address = StoredAddress(record_.url);
    if (!address) return;
    // As curl and wget take them; the text is shown, logged and written into
    // pages, so they must not stay in it.
    if (!address->user.empty() && user_.empty() && password_.empty()) {
        user_ = std::move(address->user);
        password_ = std::move(address->password);
        settings_modified_ = true;
    }
    record_.url = std::move(address->url);
}

void UrlObject::LoadFilters() {
    if (filters_loaded_) return;
    auto guard = store().Lock();
    EnsureLoaded();
    // A URL without a set of its own starts from the default set 0.
    filters_ = LoadFilterSet(store(), props_.filter_id);
    filters_loaded_ = true;
}

void UrlObject::SaveFilters() {
    if (!filters_loaded_) return;
    BindStayFilters(&filters_, record_.url);
    SaveFilterSet(store(), id_, &filters_, false);
    props_.filter_id = filters_.id;
}

HRESULT UrlObject::get_EnumFilters(IDizozizEnumFilter** filters) {
    if (!filters) return E_POINTER;
    LoadFilters();
    settings_modified_ = true;
    *filters = MakeFilterList(this, filters_.filters.size()).Detach();
    return S_OK;
}

HRESULT UrlObject::NewFilter(IDizozizFilter** filter) {
    if (!filter) return E_POINTER;
    LoadFilters();
    settings_modified_ = true;
    filters_.filters.emplace_back();  // U, Contains, include, not case-sensitive, no data
    *filter = MakeFilterObject(this, filters_.filters.size() - 1).Detach();
    return S_OK;
}

HRESULT UrlObject::SaveFilterAsDefault() {
    auto guard = store().Lock();
    LoadFilters();
    for (Filter& filter : filters_.filters) {
        if (filter.stay_on_site || filter.stay_in_dir) filter.data.clear();
    }
    SaveFilterSet(store(), id_, &filters_, true);
    return S_OK;
}

}  // namespace fw

// IDizozizUrl: one URL of the project as its callers see it.
//
// Three ways to come to life: loaded (record and settings copied in at
// creation), lazy (only the id is known; the first member that needs data
// loads it) and new (empty; Update creates the URL). Every object keeps the
// engine object alive, so its store cannot go away under it; only objects
// created for events (EditUrl, NewUrl) fire events from Update.
#pragma once

#include <string>

#include "engine/interface/dizoziz.h"
#include "engine/interface/filter_object.h"
#include "engine/interface/ref_counted.h"
#include "engine/store/url_record.h"

namespace fw {

class UrlObject : public RefCounted<IDizozizUrl>, private FilterOwner {
public:
    static ComPtr<UrlObject> Loaded(Dizoziz* engine, bool fires_events, const UrlRecord& record,
                                    const UrlProps& props, std::string data_dir);
    static ComPtr<UrlObject> Lazy(Dizoziz* engine, int32_t id);
    static ComPtr<UrlObject> New(Dizoziz* engine);

    HRESULT get_url(std::string* url) override;
    HRESULT put_url(const std::string& url) override;
    HRESULT get_id(int32_t* id) override;
    HRESULT get_Level(int32_t* level) override;
    HRESULT get_MinLevel(int32_t* min_level) override;
    HRESULT get_Html(int32_t* kind) override;
    HRESULT put_Html(int32_t kind) override;
    HRESULT get_Status(int32_t* status) override;
    HRESULT get_Title(std::string* title) override;
    HRESULT get_file(std::string* file) override;
    HRESULT get_Created(int32_t* time) override;
    HRESULT get_Modified(int32_t* time) override;
    HRESULT Update() override;
    HRESULT get_GrabLevels(int32_t* levels) override;
    HRESULT put_GrabLevels(int32_t levels) override;
    HRESULT get_Notes(std::string* notes) override;
    HRESULT put_Notes(const std::string& notes) override;
    HRESULT get_GrabNow(int32_t* now) override;
    HRESULT put_GrabNow(int32_t now) override;
    HRESULT get_Error(int32_t* error) override;
    HRESULT put_Error(int32_t error) override;
    HRESULT get_Username(std::string* user) override;
    HRESULT put_Username(const std::string& user) override;
    HRESULT get_Password(std::string* password) override;
    HRESULT put_Password(const std::string& password) override;
    HRESULT get_EnumFilters(IDizozizEnumFilter** filters) override;
    HRESULT NewFilter(IDizozizFilter** filter) override;
    HRESULT get_Grabbed(int32_t* time) override;
    HRESULT get_New(int32_t* is_new) override;
    HRESULT SaveFilterAsDefault() override;
    HRESULT get_ContentType(std::string* type) override;
    HRESULT GetInternetFile(const std::string& url, std::string* file,
                            int32_t* delete_file) override;
    HRESULT get_Schedule(int32_t* schedule) override;
    HRESULT put_Schedule(int32_t schedule) override;

private:
    explicit UrlObject(Dizoziz* engine) : engine_(engine) {}
    template <class T, class... Args>
    friend ComPtr<T> MakeObject(Args&&... args);

    ProjectStore& store() { return engine_->store(); }
    void EnsureLoaded();
    void LoadFilters();
    // Stores a loaded filter set: stay filters bound to the URL, a new filter
    // id when the set has none. Under the store lock.
    void SaveFilters();
    // Gives a web address its stored form: scheme and host in lower case,
    // without the user and password it names, which become the URL's
    // credentials unless it has some.
    void CanonicalUrl();

    Filter* FilterAt(size_t index) override { return &filters_.filters[index]; }
    void HoldOwner() override { AddRef(); }
    void ReleaseOwner() override { Release(); }

    ComPtr<Dizoziz> engine_;
    bool fires_events_ = false;
    int32_t id_ = 0;
    UrlRecord record_;
    UrlProps props_;
    std::string user_;
    std::string password_;
    std::string data_dir_;  // set for objects from GetUrl only
    FilterSet filters_;
    bool loaded_ = false;
    bool new_ = false;
    bool record_modified_ = false;
    bool settings_modified_ = false;
    bool filters_loaded_ = false;
};

}  // namespace fw

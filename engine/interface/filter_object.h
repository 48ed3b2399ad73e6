// IDizozizFilter and IDizozizEnumFilter: one entry of a URL object's filter
// set, and the entries of a set. A filter object works on its own copies of
// the entry's values and writes them into the entry with Update; the entry
// reaches the tables only with the owning URL object's Update. Filter objects
// keep their URL object alive.
#pragma once

#include <vector>

#include "engine/filter/filter_set.h"
#include "engine/interface/ref_counted.h"

namespace fw {

// The owner of the entries a filter object edits.
class FilterOwner {
public:
    virtual Filter* FilterAt(size_t index) = 0;
    virtual void HoldOwner() = 0;     // AddRef of the owner
    virtual void ReleaseOwner() = 0;  // Release of the owner

protected:
    ~FilterOwner() = default;
};

class FilterObject : public RefCounted<IDizozizFilter> {
public:
    HRESULT get_Type(int32_t* type) override;
    HRESULT put_Type(int32_t type) override;
    HRESULT get_Match(int32_t* match) override;
    HRESULT put_Match(int32_t match) override;
    HRESULT get_Includes(int32_t* includes) override;
    HRESULT put_Includes(int32_t includes) override;
    HRESULT get_CaseSensitive(int32_t* sensitive) override;
    HRESULT put_CaseSensitive(int32_t sensitive) override;
    HRESULT get_Data(std::string* data) override;
    HRESULT put_Data(const std::string& data) override;
    HRESULT Update() override;
    HRESULT Delete() override;
    HRESULT get_StayOnSite(int32_t* stay) override;
    HRESULT put_StayOnSite(int32_t stay) override;
    HRESULT get_StayInDir(int32_t* stay) override;
    HRESULT put_StayInDir(int32_t stay) override;

private:
    FilterObject(FilterOwner* owner, size_t index);
    ~FilterObject() override;
    template <class T, class... Args>
    friend ComPtr<T> MakeObject(Args&&... args);

    FilterOwner* owner_;
    size_t index_;
    std::string data_;
    bool case_sensitive_;
    bool includes_;
    bool stay_on_site_;
    bool stay_in_dir_;
    int32_t match_;
    int32_t type_;
};

class FilterList : public RefCounted<IDizozizEnumFilter> {
public:
    HRESULT get_Count(int32_t* count) override;
    HRESULT get_Item(int32_t index, IDizozizFilter** item) override;
    HRESULT NewEnum(IDizozizFilterEnumerator** out) override;

private:
    explicit FilterList(std::vector<ComPtr<IDizozizFilter>> items) : items_(std::move(items)) {}
    template <class T, class... Args>
    friend ComPtr<T> MakeObject(Args&&... args);

    std::vector<ComPtr<IDizozizFilter>> items_;
};

// A filter object for entry `index` of `owner`'s set.
ComPtr<IDizozizFilter> MakeFilterObject(FilterOwner* owner, size_t index);
// A collection of filter objects for every entry of `owner` not marked deleted.
ComPtr<IDizozizEnumFilter> MakeFilterList(FilterOwner* owner, size_t entries);

}  // namespace fw

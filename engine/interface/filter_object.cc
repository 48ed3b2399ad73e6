#include "engine/interface/filter_object.h"

#include <algorithm>

#include "platform/text.h"

namespace fw {

FilterObject::FilterObject(FilterOwner* owner, size_t index) : owner_(owner), index_(index) {
    owner_->HoldOwner();
    const Filter& entry = *owner_->FilterAt(index_);
    type_ = static_cast<int32_t>(static_cast<unsigned char>(entry.type));
    data_ = entry.type == FilterType::Size ? std::to_string(entry.size_limit) : entry.data;
    case_sensitive_ = entry.case_sensitive;
    includes_ = entry.include;
    stay_on_site_ = entry.stay_on_site;
    stay_in_dir_ = entry.stay_in_dir;
    match_ = static_cast<int32_t>(entry.match);
}

FilterObject::~FilterObject() { owner_->ReleaseOwner(); }

#define FW_GET(member, type, expr)         \
    HRESULT FilterObject::member(type* v) { \
        if (!v) return E_POINTER;           \
        *v = (expr);                        \
        return S_OK;                        \
    }
FW_GET(get_Type, int32_t, type_)
FW_GET(get_Match, int32_t, match_)
FW_GET(get_Includes, int32_t, includes_ ? 1 : 0)
FW_GET(get_CaseSensitive, int32_t, case_sensitive_ ? 1 : 0)
FW_GET(get_Data, std::string, data_)
FW_GET(get_StayOnSite, int32_t, stay_on_site_ ? 1 : 0)
FW_GET(get_StayInDir, int32_t, stay_in_dir_ ? 1 : 0)
#undef FW_GET

HRESULT FilterObject::put_Type(int32_t type) {
    type_ = type;
    stay_on_site_ = false;
    return S_OK;
}
HRESULT FilterObject::put_Match(int32_t match) {
    match_ = match;
    return S_OK;
}
HRESULT FilterObject::put_Includes(int32_t includes) {
    includes_ = includes != 0;
    return S_OK;
}
HRESULT FilterObject::put_CaseSensitive(int32_t sensitive) {
    case_sensitive_ = sensitive != 0;
    return S_OK;
}
HRESULT FilterObject::put_Data(const std::string& data) {
    data_ = data;
    return S_OK;
}
HRESULT FilterObject::put_StayOnSite(int32_t stay) {
    stay_on_site_ = stay != 0;
    return S_OK;
}
HRESULT FilterObject::put_StayInDir(int32_t stay) {
    stay_in_dir_ = stay != 0;
    return S_OK;
}

HRESULT FilterObject::Update() {
    Filter& entry = *owner_->FilterAt(index_);
    if (stay_on_site_ || stay_in_dir_) {
        entry.type = FilterType::Url;
        entry.stay_on_site = stay_on_site_;
        entry.stay_in_dir = !stay_on_site_;
        entry.include = true;
        entry.match = MatchKind::Contains;
        return S_OK;
    }
    entry.stay_on_site = entry.stay_in_dir = false;
    if (type_ == static_cast<int32_t>(FilterType::Size)) {
        entry.type = FilterType::Size;
        entry.size_limit = platform::LeadingInteger(data_);
        return S_OK;
    }
    entry.type = static_cast<FilterType>(static_cast<char>(type_));
    entry.match = static_cast<MatchKind>(match_);
    entry.include = includes_;
    entry.case_sensitive = case_sensitive_;
    entry.data = data_;
    return S_OK;
}

HRESULT FilterObject::Delete() {
    owner_->FilterAt(index_)->deleted = true;
    return S_OK;
}

HRESULT FilterList::get_Count(int32_t* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int32_t>(items_.size());
    return S_OK;
}

HRESULT FilterList::get_Item(int32_t index, IDizozizFilter** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (index <= 0 || index > static_cast<int32_t>(items_.size())) return E_INVALIDARG;
    return HandOut(items_[static_cast<size_t>(index - 1)], item);
}

namespace {

class FilterEnumerator : public RefCounted<IDizozizFilterEnumerator> {
public:
    HRESULT Next(IDizozizFilter** item) override {
        if (!item) return E_POINTER;
        *item = nullptr;
        if (next_ >= items_.size()) return S_FALSE;
        return HandOut(items_[next_++], item);
    }
    HRESULT Skip(uint32_t count) override {
        next_ = std::min(items_.size(), next_ + count);
        return next_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        next_ = 0;
        return S_OK;
    }

    explicit FilterEnumerator(std::vector<ComPtr<IDizozizFilter>> items) : items_(std::move(items)) {}

private:

    std::vector<ComPtr<IDizozizFilter>> items_;
    size_t next_ = 0;
};

}  // namespace

HRESULT FilterList::NewEnum(IDizozizFilterEnumerator** out) {
    if (!out) return E_POINTER;
    return HandOut(MakeObject<FilterEnumerator>(items_), out);
}

ComPtr<IDizozizFilter> MakeFilterObject(FilterOwner* owner, size_t index) {
    ComPtr<FilterObject> object = MakeObject<FilterObject>(owner, index);
    return ComPtr<IDizozizFilter>(object.get());
}

ComPtr<IDizozizEnumFilter> MakeFilterList(FilterOwner* owner, size_t entries) {
    std::vector<ComPtr<IDizozizFilter>> items;
    for (size_t i = 0; i < entries; ++i) {
        if (!owner->FilterAt(i)->deleted) items.push_back(MakeFilterObject(owner, i));
    }
    ComPtr<FilterList> list = MakeObject<FilterList>(std::move(items));
    return ComPtr<IDizozizEnumFilter>(list.get());
}

}  // namespace fw

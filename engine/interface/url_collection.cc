#include "engine/interface/url_collection.h"

#include "engine/interface/url_object.h"

namespace fw {

namespace {

// Walks a copy of a collection's ids, yielding the URLs that still exist.
class UrlEnumerator : public RefCounted<IDizozizUrlEnumerator> {
public:
    HRESULT Next(IDizozizUrl** item) override {
        if (!item) return E_POINTER;
        *item = nullptr;
        while (next_ < ids_.size()) {
            const int32_t id = ids_[next_++];
            if (engine_->store().Exists(id)) return HandOut(UrlObject::Lazy(engine_.get(), id), item);
        }
        return S_FALSE;
    }
    HRESULT Skip(uint32_t count) override {
        next_ = std::min(ids_.size(), next_ + count);
        return next_ < ids_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        next_ = 0;
        return S_OK;
    }

    UrlEnumerator(Dizoziz* engine, std::vector<int32_t> ids) : engine_(engine), ids_(std::move(ids)) {}

private:

    ComPtr<Dizoziz> engine_;
    std::vector<int32_t> ids_;
    size_t next_ = 0;
};

}  // namespace

template <class I>
HRESULT UrlCollection<I>::get_Count(int32_t* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int32_t>(ids_.size());
    return S_OK;
}

template <class I>
HRESULT UrlCollection<I>::get_Item(int32_t index, IDizozizUrl** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (index <= 0 || index > static_cast<int32_t>(ids_.size())) return E_INVALIDARG;
    const int32_t id = ids_[static_cast<size_t>(index - 1)];
    if (!engine_->store().Exists(id)) return E_FAIL;
    return HandOut(UrlObject::Lazy(engine_.get(), id), item);
}

template <class I>
HRESULT UrlCollection<I>::NewEnum(IDizozizUrlEnumerator** out) {
    if (!out) return E_POINTER;
    return HandOut(MakeObject<UrlEnumerator>(engine_.get(), ids_), out);
}

template class UrlCollection<IDizozizEnumUrl>;
template class UrlCollection<IDizozizEnumChild>;

HRESULT HandOutUrls(Dizoziz* engine, std::vector<int32_t> ids, IDizozizEnumUrl** out) {
    if (!out) return E_POINTER;
    return HandOut(MakeObject<UrlList>(engine, std::move(ids)), out);
}

HRESULT HandOutChildren(Dizoziz* engine, std::vector<int32_t> ids, IDizozizEnumChild** out) {
    if (!out) return E_POINTER;
    return HandOut(MakeObject<ChildList>(engine, std::move(ids)), out);
}

}  // namespace fw

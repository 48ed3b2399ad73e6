// The URL collections (IDizozizEnumUrl, IDizozizEnumChild): an ordered list
// of ids fixed at creation. Items are lazy URL objects, looked up under the
// store lock when asked for.
#pragma once

#include <vector>

#include "engine/interface/dizoziz.h"
#include "engine/interface/ref_counted.h"

namespace fw {

template <class I>
class UrlCollection : public RefCounted<I> {
public:
    HRESULT get_Count(int32_t* count) override;
    // 1-based; E_INVALIDARG outside 1..Count, E_FAIL when the URL is gone.
    HRESULT get_Item(int32_t index, IDizozizUrl** item) override;
    HRESULT NewEnum(IDizozizUrlEnumerator** out) override;

    const std::vector<int32_t>& ids() const { return ids_; }

private:
    UrlCollection(Dizoziz* engine, std::vector<int32_t> ids)
        : engine_(engine), ids_(std::move(ids)) {}
    template <class T, class... Args>
    friend ComPtr<T> MakeObject(Args&&... args);

    ComPtr<Dizoziz> engine_;
    std::vector<int32_t> ids_;
};

using UrlList = UrlCollection<IDizozizEnumUrl>;
using ChildList = UrlCollection<IDizozizEnumChild>;

// Hands out a new IDizozizEnumUrl / IDizozizEnumChild of `ids`.
HRESULT HandOutUrls(Dizoziz* engine, std::vector<int32_t> ids, IDizozizEnumUrl** out);
HRESULT HandOutChildren(Dizoziz* engine, std::vector<int32_t> ids, IDizozizEnumChild** out);

}  // namespace fw

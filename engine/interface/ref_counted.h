// The engine-side base of every interface object: an atomic reference count,
// QueryInterface for IUnknown and the one interface the object implements,
// and MakeObject, the only way objects are created.
#pragma once

#include <atomic>
#include <utility>

#include "engine/interface/fetchwell.h"

namespace fw {

template <class I> struct InterfaceIdOf;
#define FW_INTERFACE_ID(I, iid) \
    template <> struct InterfaceIdOf<I> { static constexpr const Guid& value = iid; }
FW_INTERFACE_ID(IDizoziz, IID_IDizoziz);
FW_INTERFACE_ID(IDizozizUrl, IID_IDizozizUrl);
FW_INTERFACE_ID(IDizozizUrlStatus, IID_IDizozizUrlStatus);
FW_INTERFACE_ID(IDizozizPrefs, IID_IDizozizPrefs);
FW_INTERFACE_ID(IDizozizFilter, IID_IDizozizFilter);
FW_INTERFACE_ID(IDizozizEnumChild, IID_IDizozizEnumChild);
FW_INTERFACE_ID(IDizozizEnumFilter, IID_IDizozizEnumFilter);
FW_INTERFACE_ID(IDizozizEnumUrl, IID_IDizozizEnumUrl);
FW_INTERFACE_ID(IDizozizEvents, IID_IDizozizEvents);
FW_INTERFACE_ID(IDizozizUrlEnumerator, IID_IDizozizUrlEnumerator);
FW_INTERFACE_ID(IDizozizFilterEnumerator, IID_IDizozizFilterEnumerator);
#undef FW_INTERFACE_ID

// Implements IUnknown for an object exposing interface I. The count starts at
// 1 in MakeObject; the object deletes itself when the count reaches 0.
template <class I>
class RefCounted : public I {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceIdOf<I>::value) {
            this->AddRef();
            *out = static_cast<I*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override {
        uint32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    std::atomic<uint32_t> count_{1};
};

// Creates a reference-counted object; the holder owns the first reference.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
    return ComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

// Hands an object out through an interface out-parameter (one new reference).
template <class I, class T>
HRESULT HandOut(const ComPtr<T>& object, I** out) {
    if (!out) return E_POINTER;
    *out = object.get();
    if (*out) (*out)->AddRef();
    return S_OK;
}

}  // namespace fw

// The small component model the engine interface stands on: result codes,
// 128-bit identifiers, the reference-counted IUnknown base and a holder that
// releases what it holds. Header-only, so programs that load the engine at run
// time need nothing else from it.
#pragma once

#include <cstdint>
#include <utility>

namespace fw {

using HRESULT = int32_t;

inline constexpr HRESULT MakeResult(uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeResult(0x80020009u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111u);

inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];

    friend constexpr bool operator==(const Guid& a, const Guid& b) {
        if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
        for (int i = 0; i < 8; ++i) {
            if (a.data4[i] != b.data4[i]) return false;
        }
        return true;
    }
};

inline constexpr Guid IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Every engine object: reference counted, asked for its interfaces by id.
// Counts are atomic; an object deletes itself when its count reaches 0.
class IUnknown {
public:
    virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Holds one reference and releases it when it goes away.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to `p`.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    // For out-parameters: releases what is held and returns the slot.
    T** Receive() {
        Reset();
        return &p_;
    }

    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace fw

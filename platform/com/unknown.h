// Reference-counted objects with interface queries, standing in for COM's IUnknown.
//
// Interfaces derive virtually from Unknown; a concrete object derives from the
// interfaces it offers and is created with com::Make, which hands out the first
// reference. QueryInterface answers through dynamic_cast, so an interface is
// "supported" exactly when the object's class derives from it.
#pragma once

#include "hresult.h"

#include <atomic>
#include <cstddef>
#include <utility>

namespace com {

class Unknown {
public:
    Unknown();
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

    void AddRef() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    // Deletes the object when the last reference goes. Returns the new count.
    long Release() noexcept;
    // For tests: the current number of references.
    long RefCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

protected:
    virtual ~Unknown();

private:
    std::atomic<long> refs_{1};
};

// Objects derived from Unknown that exist right now in this process; tests use
// it to see that a conversion released everything it created.
long LiveObjects() noexcept;

// An owning reference: copying adds a reference, destruction releases one.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& other) : p_(other.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <typename U>
    ComPtr(const ComPtr<U>& other) : p_(other.Get()) { if (p_) p_->AddRef(); }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept { std::swap(p_, other.p_); return *this; }

    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) { ComPtr c; c.p_ = p; return c; }
    // Adds a reference to a borrowed pointer.
    static ComPtr Share(T* p) { if (p) p->AddRef(); return Adopt(p); }

    void Reset() noexcept { if (T* p = std::exchange(p_, nullptr)) p->Release(); }
    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

template <typename T, typename... Args>
ComPtr<T> Make(Args&&... args) {
    return ComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

// Asks an object for another of its interfaces: S_OK with a new reference in
// out, or E_NOINTERFACE (E_POINTER for no object) with out emptied.
template <typename I, typename T>
HRESULT QueryInterface(T* object, ComPtr<I>& out) {
    out.Reset();
    if (!object) return E_POINTER;
    I* wanted = dynamic_cast<I*>(static_cast<Unknown*>(object));
    if (!wanted) return E_NOINTERFACE;
    out = ComPtr<I>::Share(wanted);
    return S_OK;
}

template <typename I, typename T>
HRESULT QueryInterface(const ComPtr<T>& object, ComPtr<I>& out) {
    return QueryInterface(object.Get(), out);
}

} // namespace com

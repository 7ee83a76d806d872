// ComPtr<T>: owns one reference to an interface pointer.
//
// Copying adds a reference, destruction and Reset release it. The address-of
// operator releases the old pointer first, so `Create(..., &p)` never leaks
// a reference p held before; use GetAddressOf() to keep it.
#pragma once

#include <utility>

#include "unknwn.h"

template <class T>
class ComPtr;

// What &ptr gives: converts to T** or void** (releasing what ptr held, for
// an out-parameter) and to ComPtr<T>* (for As and the like).
template <class T>
class ComPtrRef {
 public:
  explicit ComPtrRef(ComPtr<T>* ptr) noexcept : ptr_(ptr) {}
  operator T**() const noexcept { return ptr_->ReleaseAndGetAddressOf(); }
  operator void**() const noexcept {
    return reinterpret_cast<void**>(ptr_->ReleaseAndGetAddressOf());
  }
  operator ComPtr<T>*() const noexcept { return ptr_; }
  T* operator*() const noexcept { return ptr_->Get(); }

 private:
  ComPtr<T>* ptr_;
};

template <class T>
void** QuillonPpvArg(ComPtrRef<T> ref) {
  return ref;
}

template <class T>
class ComPtr {
 public:
  using InterfaceType = T;

  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ComPtr(T* p) noexcept : ptr_(p) { InternalAddRef(); }
  ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { InternalAddRef(); }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ~ComPtr() { InternalRelease(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) noexcept {
    ComPtr(p).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

  T* Get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

  // For out-parameters: converts to T** after releasing the held pointer.
  ComPtrRef<T> operator&() noexcept { return ComPtrRef<T>(this); }
  T** ReleaseAndGetAddressOf() noexcept {
    InternalRelease();
    return &ptr_;
  }
  T** GetAddressOf() noexcept { return &ptr_; }
  T* const* GetAddressOf() const noexcept { return &ptr_; }

  // Takes over a reference without adding one.
  void Attach(T* p) noexcept {
    InternalRelease();
    ptr_ = p;
  }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
  ULONG Reset() noexcept { return InternalRelease(); }

  // Hands out a new reference to the held pointer.
  HRESULT CopyTo(T** out) const noexcept {
    if (out == nullptr) {
      return E_POINTER;
    }
    InternalAddRef();
    *out = ptr_;
    return S_OK;
  }
  HRESULT CopyTo(REFIID riid, void** out) const noexcept {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    return ptr_ ? ptr_->QueryInterface(riid, out) : E_POINTER;
  }

  // QueryInterface for U into *out (released first).
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    return As(__uuidof(U), out);
  }
  template <class U>
  HRESULT As(ComPtrRef<U> out) const noexcept {
    return As(__uuidof(U), static_cast<ComPtr<U>*>(out));
  }
  template <class U>
  HRESULT As(REFIID riid, ComPtrRef<U> out) const noexcept {
    return As(riid, static_cast<ComPtr<U>*>(out));
  }
  template <class U>
  HRESULT As(REFIID riid, ComPtr<U>* out) const noexcept {
    if (out == nullptr) {
      return E_POINTER;
    }
    out->Reset();
    if (ptr_ == nullptr) {
      return E_POINTER;
    }
    return ptr_->QueryInterface(riid, reinterpret_cast<void**>(out->GetAddressOf()));
  }

 private:
  void InternalAddRef() const noexcept {
    if (ptr_ != nullptr) {
      ptr_->AddRef();
    }
  }
  ULONG InternalRelease() noexcept {
    ULONG count = 0;
    if (T* p = std::exchange(ptr_, nullptr)) {
      count = p->Release();
    }
    return count;
  }

  T* ptr_ = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
  return a.Get() == b.Get();
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
  return a.Get() == nullptr;
}

// IUnknown written once: the interface table lookup, the reference count,
// and objects built from them, plain or aggregatable.
//
//   class Thing final : public ComObject<Thing, IFirst, ISecond> {
//     friend ComObject;          // Release deletes it (AggregatableObject alike)
//     ~Thing() = default;        // nobody else may
//     ...the interfaces' methods...
//   };
//   auto* thing = new (std::nothrow) Thing;  // one reference, the caller's
//
// QueryInterface answers IUnknown with the first interface (the object's
// identity), each listed interface, and IDispatch for a listed interface
// that derives from it; anything else is E_NOINTERFACE with a null result.
#pragma once

#include <atomic>
#include <type_traits>

#include "oaidl.h"

namespace quillon {

namespace detail {

template <class I, class Self>
bool Answers(Self* self, REFIID riid, void** out) {
  if (riid == __uuidof(I)) {
    *out = static_cast<I*>(self);
    return true;
  }
  if constexpr (std::is_base_of_v<IDispatch, I> && !std::is_same_v<IDispatch, I>) {
    if (riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(static_cast<I*>(self));
      return true;
    }
  }
  return false;
}

}  // namespace detail

// The pointer `self` hands out for riid, or null; adds no reference.
template <class First, class... Rest, class Self>
void* FindInterface(Self* self, REFIID riid) {
  if (riid == IID_IUnknown) return static_cast<IUnknown*>(static_cast<First*>(self));
  void* out = nullptr;
  (detail::Answers<First>(self, riid, &out) || ... || detail::Answers<Rest>(self, riid, &out));
  return out;
}

// QueryInterface over the table: the pointer for riid with a reference
// added through it, or E_NOINTERFACE and null.
template <class... Interfaces, class Self>
HRESULT QueryInterfaceOf(Self* self, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = FindInterface<Interfaces...>(self, riid);
  if (*ppv == nullptr) return E_NOINTERFACE;
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

// A reference count that starts at one (the creator's reference).
//
// Incrementing needs no ordering: a thread can only add a reference
// through one it already holds, so the object is already visible to it.
// Decrementing is acquire-release: the release half makes every write a
// thread made through its reference happen before the count drops, and
// the acquire half lets the thread that drops it to zero see all of those
// writes before it destroys the object.
class RefCount {
 public:
  ULONG Increment() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Decrement() { return count_.fetch_sub(1, std::memory_order_acq_rel) - 1; }

 private:
  std::atomic<ULONG> count_{1};
};

template <class Object, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return QueryInterfaceOf<Interfaces...>(this, riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.Increment(); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = refs_.Decrement();
    if (left == 0) delete static_cast<Object*>(this);
    return left;
  }

 protected:
  ComObject() = default;
  ~ComObject() = default;

 private:
  RefCount refs_;
};

// An object that can be aggregated: made with an outer object, its parts
// send AddRef and Release to the outer object and ask it first in
// QueryInterface; the outer object holds Inner(), which counts the object's
// own references and answers IUnknown with itself and everything else from
// the table. Made without one, it behaves as a ComObject.
template <class Object, class... Interfaces>
class AggregatableObject : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (outer_ == nullptr) return inner_.QueryInterface(riid, ppv);
    if (ppv == nullptr) return E_POINTER;
    if (SUCCEEDED(outer_->QueryInterface(riid, ppv))) return S_OK;
    return QueryInterfaceOf<Interfaces...>(this, riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_ ? outer_->AddRef() : refs_.Increment(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_ ? outer_->Release() : inner_.Release(); }

  // The unknown that controls the object's lifetime: the identity when not
  // aggregated is the first interface instead (QueryInterface(IUnknown)).
  IUnknown* Inner() { return &inner_; }

 protected:
  explicit AggregatableObject(IUnknown* outer) : outer_(outer), inner_(this) {}
  ~AggregatableObject() = default;

 private:
  static void Destroy(AggregatableObject* self) { delete static_cast<Object*>(self); }

  class InnerUnknown final : public IUnknown {
   public:
    explicit InnerUnknown(AggregatableObject* self) : self_(self) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
      if (ppv == nullptr) return E_POINTER;
      if (riid == IID_IUnknown && self_->outer_ != nullptr) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
      }
      // The table's pointers are the object's parts: AddRef through a part
      // counts with the outer object when there is one.
      return QueryInterfaceOf<Interfaces...>(self_, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return self_->refs_.Increment(); }
    STDMETHODIMP_(ULONG) Release() override {
      const ULONG left = self_->refs_.Decrement();
      if (left == 0) Destroy(self_);
      return left;
    }

   private:
    AggregatableObject* self_;
  };

  IUnknown* const outer_;  // not counted: the outer object owns this one
  RefCount refs_;
  InnerUnknown inner_;
};

}  // namespace quillon

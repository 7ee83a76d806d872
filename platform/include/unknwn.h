// IUnknown and IClassFactory.
//
// Interfaces are abstract classes with pure virtual methods only: no data,
// no destructor and no overloaded virtuals, so slot n of the table is the
// n-th declared method, counting the base interface's methods first.
#pragma once

#include <type_traits>

#include "wtypes.h"

// Maps an interface type to its identifier, for ComPtr::As and IID_PPV_ARGS.
// Each interface header specialises it; component headers may do the same.
template <class Interface>
struct QuillonIidOf;

#define QUILLON_DECLARE_IID(Interface, iid)                                    \
  template <>                                                                  \
  struct QuillonIidOf<Interface> {                                             \
    static constexpr IID value = iid;                                          \
  }

// How a generated interface header attaches an identifier to an interface
// or class type (the name the mingw-w64 toolchain gives the hook).
#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)        \
  extern "C++" {                                                               \
  template <>                                                                  \
  struct QuillonIidOf<type> {                                                  \
    static constexpr IID value = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
  };                                                                           \
  }

// The identifier of an interface type, as the original platform's
// compilers spell it.
#define __uuidof(type) (QuillonIidOf<type>::value)

template <class Interface>
void** QuillonPpvArg(Interface** pp) {
  return reinterpret_cast<void**>(pp);
}

// IID_PPV_ARGS(&p): the identifier of *p's interface and p as void**; p may
// be a raw interface pointer or a ComPtr.
#define IID_PPV_ARGS(pp)                                                       \
  QuillonIidOf<std::remove_pointer_t<std::remove_reference_t<decltype(*(pp))>>>::value, \
      QuillonPpvArg(pp)

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  STDMETHOD(LockServer)(BOOL fLock) = 0;
};
typedef IClassFactory* LPCLASSFACTORY;

QUILLON_DECLARE_IID(IUnknown, IID_IUnknown);
QUILLON_DECLARE_IID(IClassFactory, IID_IClassFactory);

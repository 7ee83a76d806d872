// The type library objects: ITypeLib over a read library and ITypeInfo
// over one of its types. Shared by the files that build them
// (typeinfo.cpp), call through them (invoke.cpp) and load and register
// them (typelib_registration.cpp).
#pragma once

#include <ffi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "comobject.h"
#include "comptr.h"
#include "typelib_format.h"

namespace quillon::platform {

// A dual interface's two halves: the dispinterface (the type as stored,
// which Invoke serves and a script sees, with IDispatch's and IUnknown's
// members counted in) and the interface (its table of operations).
enum class TypeView { kStored, kInterface };

// The member id's functions, one per combination of the four DISPATCH_
// flags: the first declared one whose kind a flag asks for.
constexpr std::uint16_t kNoFunc = 0xFFFF;
struct MemberIndex {
  MEMBERID memid = 0;
  std::uint16_t byFlags[16];
};

// What calling one function through the table takes, worked out once.
struct PreparedCall {
  HRESULT status = S_OK;        // not S_OK: the function cannot be called (a type Invoke lacks)
  std::vector<VARTYPE> types;   // each parameter as a VARIANT type
  std::vector<ffi_type*> ffi;   // `this`, then each parameter
  ffi_cif cif{};
  std::size_t inputs = 0;       // parameters the caller passes ([retval] and [lcid] not)
  bool retval = false;          // the last parameter is [out, retval]
  bool lcid = false;            // a parameter before it is [lcid]
  std::size_t lcidAt = 0;
};

// A type's functions prepared for Invoke and indexed by member id, made on
// the first Invoke and fixed from then on (ffi_call reads the call
// interfaces of concurrent calls without writing them).
struct TypeCalls {
  std::once_flag once;
  std::vector<PreparedCall> calls;   // per function
  std::vector<MemberIndex> sorted;   // by member id
  std::vector<MemberIndex> dense;    // by member id - denseBase, when the ids are compact
  MEMBERID denseBase = 0;
};

class TypeLib final : public ComObject<TypeLib, ITypeLib> {
 public:
  // Reads a library from `data` (copied); null with the reason in *why.
  static TypeLib* Read(std::span<const std::byte> data, std::string* why);

  const tlb::Library& Model() const { return lib_; }
  HRESULT MakeTypeInfo(std::size_t index, TypeView view, ITypeInfo** out);
  // The type an hreftype of this library names, imports resolved.
  HRESULT ResolveRef(HREFTYPE href, ITypeInfo** out);
  TypeCalls& Calls(std::size_t index) { return calls_[index]; }
  // How many functions a type's bases have, counted once: -1 not yet.
  std::atomic<int>& InheritedFunctions(std::size_t index) { return inherited_[index]; }

  STDMETHODIMP_(UINT) GetTypeInfoCount() override;
  STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
  STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
  STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
  STDMETHODIMP GetLibAttr(TLIBATTR** ppTLibAttr) override;
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override;
  STDMETHODIMP GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                BSTR* pBstrHelpFile) override;
  STDMETHODIMP IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
  STDMETHODIMP FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                        USHORT* pcFound) override;
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

 private:
  friend ComObject;
  TypeLib() = default;
  ~TypeLib() = default;

  tlb::Library lib_;
  std::unique_ptr<TypeCalls[]> calls_;
  std::unique_ptr<std::atomic<int>[]> inherited_;
  std::mutex importsLock_;
  std::vector<ComPtr<ITypeLib>> imported_;      // per imported library, loaded on first use
  std::vector<ComPtr<ITypeInfo>> importedTypes_;  // per imported type, resolved on first use
};

class TypeInfo final : public ComObject<TypeInfo, ITypeInfo> {
 public:
  TypeInfo(TypeLib* lib, std::size_t index, TypeView view) : lib_(lib), index_(index), view_(view) {}

  // Ours, or null for an ITypeInfo of another making.
  static TypeInfo* Of(ITypeInfo* info) { return dynamic_cast<TypeInfo*>(info); }

  const tlb::Library& Lib() const { return lib_->Model(); }
  const tlb::Type& Type() const { return lib_->Model().types[index_]; }
  TYPEKIND Kind() const { return view_ == TypeView::kInterface ? TKIND_INTERFACE : Type().kind; }
  // The base interface (an interface's or a dispinterface's first
  // implemented type); S_FALSE and null when there is none.
  HRESULT Parent(ComPtr<ITypeInfo>* out);

  STDMETHODIMP GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override;
  STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  STDMETHODIMP GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  STDMETHODIMP GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  STDMETHODIMP GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
  STDMETHODIMP GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  STDMETHODIMP Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                      EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                BSTR* pBstrHelpFile) override;
  STDMETHODIMP GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                           WORD* pwOrdinal) override;
  STDMETHODIMP GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  STDMETHODIMP AddressOfMember(MEMBERID memid, INVOKEKIND invKind, PVOID* ppv) override;
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) override;
  STDMETHODIMP GetMops(MEMBERID memid, BSTR* pBstrMops) override;
  STDMETHODIMP GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC* pVarDesc) override;

 private:
  friend ComObject;
  ~TypeInfo() = default;

  bool DispatchView() const { return Kind() == TKIND_DISPATCH; }
  HRESULT Names(MEMBERID memid, BSTR* names, UINT max, UINT* count, bool dispatchForm, int depth);
  HRESULT InvokeOwn(const tlb::Func& f, const PreparedCall& call, PVOID instance, WORD flags, DISPPARAMS* dp,
                    VARIANT* result, EXCEPINFO* excep, UINT* argErr);
  void Prepare(TypeCalls& calls);
  HRESULT VariantTypeOf(std::uint32_t node, VARTYPE* vt, int depth);

  ComPtr<TypeLib> lib_;
  std::size_t index_;
  TypeView view_;
};

// The standard library's types (IUnknown, IDispatch, OLE_COLOR and the
// records their functions take), described by platform/stdole.idl and
// built into this library: imports from "stdole2.tlb" resolve to it.
HRESULT StandardTypeLib(ITypeLib** out);
bool IsStandardLibrary(REFGUID libid);

// Hands out a new reference to a block allocated with malloc, freed by the
// matching Release... function.
std::size_t NestedTypeSize(const tlb::Library& lib, std::uint32_t node);
void WriteTypeDesc(const tlb::Library& lib, std::uint32_t node, HREFTYPE hrefOffset, TYPEDESC* out,
                   unsigned char** buffer);

}  // namespace quillon::platform

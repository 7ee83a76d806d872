// ITypeLib and ITypeInfo over a library read by typelib_format.cpp.
//
// Descriptions handed out (TYPEATTR, FUNCDESC, VARDESC, TLIBATTR) are one
// malloc block each, with the nested type descriptions after the fixed
// part, freed by the matching Release... method.
//
// A dual interface is stored as a dispinterface; that is the view clients
// get from the library, and the one Invoke serves. As a dispinterface it
// counts the members of IUnknown and IDispatch before its own (cFuncs is
// its table size in slots) and describes its functions as a script sees
// them: FUNC_DISPATCH, the [retval] as the result, no HRESULT. Its other
// half, the interface, is reached with GetRefTypeInfo(-1) and describes
// the table of operations as it is.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal.h"
#include "typelib.h"

namespace quillon::platform {
namespace {

// Inherited members of a dispinterface carry their own library's
// hreftypes; these are shifted by one such step per level of inheritance,
// and GetRefTypeInfo walks the same number of bases up to resolve them.
constexpr HREFTYPE kInheritedStep = 0x01000000;
constexpr int kMaxInheritance = 16;

constexpr std::size_t RoundUp(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

std::size_t ArrayDescSize(std::size_t dims) {
  return RoundUp(offsetof(ARRAYDESC, rgbounds) + std::max<std::size_t>(dims, 1) * sizeof(SAFEARRAYBOUND));
}

HRESULT Give(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return S_OK;
  *out = nullptr;
  if (text.empty()) return S_OK;
  *out = AllocBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

const tlb::Func* FuncById(const tlb::Type& t, MEMBERID memid) {
  for (const tlb::Func& f : t.funcs)
    if (f.memid == memid) return &f;
  return nullptr;
}
const tlb::Var* VarById(const tlb::Type& t, MEMBERID memid) {
  for (const tlb::Var& v : t.vars)
    if (v.memid == memid) return &v;
  return nullptr;
}

// A function's description as one block: the FUNCDESC, the parameters'
// ELEMDESCs, then the nested type descriptions. In the dispinterface form
// the [retval] parameter becomes the result and an HRESULT result none,
// and an [lcid] parameter (which Invoke supplies) is dropped.
HRESULT MakeFuncDesc(const tlb::Library& lib, const tlb::Func& f, bool dispatchForm, HREFTYPE hrefOffset,
                     FUNCDESC** out) {
  const std::size_t n = f.params.size();
  std::size_t size = RoundUp(sizeof(FUNCDESC)) + n * sizeof(ELEMDESC) + NestedTypeSize(lib, f.result);
  for (const tlb::Param& p : f.params) size += NestedTypeSize(lib, p.type);
  auto* block = static_cast<unsigned char*>(std::calloc(1, size));
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* fd = reinterpret_cast<FUNCDESC*>(block);
  auto* elems = reinterpret_cast<ELEMDESC*>(block + RoundUp(sizeof(FUNCDESC)));
  unsigned char* nested = reinterpret_cast<unsigned char*>(elems + n);
  fd->memid = f.memid;
  fd->funckind = dispatchForm ? FUNC_DISPATCH : f.funckind;
  fd->invkind = f.invkind;
  fd->callconv = f.callconv;
  fd->cParams = static_cast<SHORT>(n);
  fd->cParamsOpt = f.cParamsOpt;
  fd->oVft = static_cast<SHORT>(f.oVft & 0xFFFC);
  fd->wFuncFlags = f.flags;
  fd->lprgelemdescParam = n ? elems : nullptr;
  WriteTypeDesc(lib, f.result, hrefOffset, &fd->elemdescFunc.tdesc, &nested);
  for (std::size_t i = 0; i < n; ++i) {
    WriteTypeDesc(lib, f.params[i].type, hrefOffset, &elems[i].tdesc, &nested);
    elems[i].paramdesc.wParamFlags = f.params[i].flags;
  }
  if (dispatchForm && f.funckind != FUNC_DISPATCH) {
    if (fd->cParams > 0 && (elems[fd->cParams - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) {
      const TYPEDESC& last = elems[fd->cParams - 1].tdesc;
      if (last.vt != VT_PTR) {
        std::free(block);
        return E_UNEXPECTED;
      }
      fd->elemdescFunc.tdesc = *last.lptdesc;
      --fd->cParams;
    } else if (fd->elemdescFunc.tdesc.vt == VT_HRESULT) {
      fd->elemdescFunc.tdesc.vt = VT_VOID;
    }
    if (fd->cParams > 0 && (elems[fd->cParams - 1].paramdesc.wParamFlags & PARAMFLAG_FLCID)) --fd->cParams;
    if (fd->cParams == 0) fd->lprgelemdescParam = nullptr;
  }
  *out = fd;
  return S_OK;
}

}  // namespace

std::size_t NestedTypeSize(const tlb::Library& lib, std::uint32_t node) {
  const tlb::TypeNode& n = lib.nodes[node];
  switch (n.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
      return RoundUp(sizeof(TYPEDESC)) + NestedTypeSize(lib, n.inner);
    case VT_CARRAY:
      return ArrayDescSize(n.bounds.size()) + NestedTypeSize(lib, n.inner);
    default:
      return 0;
  }
}

void WriteTypeDesc(const tlb::Library& lib, std::uint32_t node, HREFTYPE hrefOffset, TYPEDESC* out,
                   unsigned char** buffer) {
  const tlb::TypeNode& n = lib.nodes[node];
  out->vt = n.vt;
  switch (n.vt) {
    case VT_PTR:
    case VT_SAFEARRAY: {
      auto* inner = reinterpret_cast<TYPEDESC*>(*buffer);
      *buffer += RoundUp(sizeof(TYPEDESC));
      out->lptdesc = inner;
      WriteTypeDesc(lib, n.inner, hrefOffset, inner, buffer);
      break;
    }
    case VT_CARRAY: {
      auto* array = reinterpret_cast<ARRAYDESC*>(*buffer);
      *buffer += ArrayDescSize(n.bounds.size());
      out->lpadesc = array;
      array->cDims = static_cast<USHORT>(n.bounds.size());
      std::copy(n.bounds.begin(), n.bounds.end(), array->rgbounds);
      WriteTypeDesc(lib, n.inner, hrefOffset, &array->tdescElem, buffer);
      break;
    }
    case VT_USERDEFINED:
      out->hreftype = n.href + hrefOffset;
      break;
    default:
      break;
  }
}

// ---- ITypeLib -----------------------------------------------------------------------

TypeLib* TypeLib::Read(std::span<const std::byte> data, std::string* why) {
  auto* lib = new (std::nothrow) TypeLib;
  if (lib == nullptr) {
    *why = "out of memory";
    return nullptr;
  }
  try {
    if (!tlb::ReadTypeLib(data, &lib->lib_, why)) {
      lib->Release();
      return nullptr;
    }
    lib->calls_ = std::make_unique<TypeCalls[]>(lib->lib_.types.size());
    lib->inherited_ = std::make_unique<std::atomic<int>[]>(lib->lib_.types.size());
    for (std::size_t i = 0; i < lib->lib_.types.size(); ++i) lib->inherited_[i] = -1;
    lib->imported_.resize(lib->lib_.files.size());
    lib->importedTypes_.resize(lib->lib_.imports.size());
  } catch (const std::bad_alloc&) {
    *why = "out of memory";
    lib->Release();
    return nullptr;
  }
  return lib;
}

HRESULT TypeLib::MakeTypeInfo(std::size_t index, TypeView view, ITypeInfo** out) {
  *out = nullptr;
  if (index >= lib_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
  *out = new (std::nothrow) TypeInfo(this, index, view);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT TypeLib::ResolveRef(HREFTYPE href, ITypeInfo** out) {
  *out = nullptr;
  ComPtr<ITypeInfo> found;
  HRESULT hr = S_OK;
  if (const tlb::Import* import = tlb::ImportOf(lib_, href)) {
    std::lock_guard<std::mutex> lock(importsLock_);
    ComPtr<ITypeInfo>& type = importedTypes_[static_cast<std::size_t>(import - lib_.imports.data())];
    if (!type) {
      ComPtr<ITypeLib>& other = imported_[import->file];
      if (!other) {
        const tlb::ImportFile& file = lib_.files[import->file];
        hr = IsStandardLibrary(file.libid)
                 ? StandardTypeLib(other.ReleaseAndGetAddressOf())
                 : LoadRegTypeLib(file.libid, file.major, file.minor, file.lcid, other.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
      }
      hr = import->byGuid ? other->GetTypeInfoOfGuid(import->guid, type.ReleaseAndGetAddressOf())
                          : other->GetTypeInfo(import->index, type.ReleaseAndGetAddressOf());
      if (FAILED(hr)) return hr;
    }
    found = type;
  } else {
    const int index = tlb::TypeIndexOf(lib_, href & ~3u);
    if (index < 0) return TYPE_E_ELEMENTNOTFOUND;
    hr = MakeTypeInfo(static_cast<std::size_t>(index), TypeView::kStored, found.GetAddressOf());
  }
  if (FAILED(hr)) return hr;
  // Bit 1 asks for the interface half of a dual interface.
  if (href & 2) {
    ComPtr<ITypeInfo> half;
    if (SUCCEEDED(found->GetRefTypeInfo(static_cast<HREFTYPE>(-1), half.GetAddressOf()))) found = half;
  }
  *out = found.Detach();
  return S_OK;
}

STDMETHODIMP_(UINT) TypeLib::GetTypeInfoCount() { return static_cast<UINT>(lib_.types.size()); }

STDMETHODIMP TypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_INVALIDARG;
  return MakeTypeInfo(index, TypeView::kStored, ppTInfo);
}

STDMETHODIMP TypeLib::GetTypeInfoType(UINT index, TYPEKIND* pTKind) {
  if (pTKind == nullptr) return E_INVALIDARG;
  if (index >= lib_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pTKind = lib_.types[index].kind;
  return S_OK;
}

STDMETHODIMP TypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) {
  if (ppTinfo == nullptr) return E_INVALIDARG;
  *ppTinfo = nullptr;
  for (std::size_t i = 0; i < lib_.types.size(); ++i) {
    if (lib_.types[i].guid == guid && guid != GUID_NULL) return MakeTypeInfo(i, TypeView::kStored, ppTinfo);
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeLib::GetLibAttr(TLIBATTR** ppTLibAttr) {
  if (ppTLibAttr == nullptr) return E_INVALIDARG;
  auto* attr = static_cast<TLIBATTR*>(std::calloc(1, sizeof(TLIBATTR)));
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = lib_.libid;
  attr->lcid = lib_.lcid;
  attr->syskind = lib_.syskind;
  attr->wMajorVerNum = lib_.major;
  attr->wMinorVerNum = lib_.minor;
  attr->wLibFlags = lib_.flags;
  *ppTLibAttr = attr;
  return S_OK;
}

STDMETHODIMP_(void) TypeLib::ReleaseTLibAttr(TLIBATTR* pTLibAttr) { std::free(pTLibAttr); }

STDMETHODIMP TypeLib::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp != nullptr) *ppTComp = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TypeLib::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                       BSTR* pBstrHelpFile) {
  if (index < -1 || index >= static_cast<INT>(lib_.types.size())) return TYPE_E_ELEMENTNOTFOUND;
  const bool self = index == -1;
  const std::u16string& name = self ? lib_.name : lib_.types[index].name;
  const std::u16string& doc = self ? lib_.help : lib_.types[index].help;
  if (pdwHelpContext != nullptr) *pdwHelpContext = self ? lib_.helpContext : lib_.types[index].helpContext;
  HRESULT hr = Give(name, pBstrName);
  if (SUCCEEDED(hr)) hr = Give(doc, pBstrDocString);
  if (SUCCEEDED(hr)) hr = Give(lib_.helpFile, pBstrHelpFile);
  return hr;
}

// Searching a library by name is for compilers; nothing here binds that way.
STDMETHODIMP TypeLib::IsName(LPOLESTR, ULONG, BOOL* pfName) {
  if (pfName != nullptr) *pfName = FALSE;
  return E_NOTIMPL;
}

STDMETHODIMP TypeLib::FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* pcFound) {
  if (pcFound != nullptr) *pcFound = 0;
  return E_NOTIMPL;
}

// ---- ITypeInfo ----------------------------------------------------------------------

HRESULT TypeInfo::Parent(ComPtr<ITypeInfo>* out) {
  *out = nullptr;
  const tlb::Type& t = Type();
  if (t.impls.empty() || (t.kind != TKIND_INTERFACE && t.kind != TKIND_DISPATCH)) return S_FALSE;
  return lib_->ResolveRef(t.impls[0].ref, out->ReleaseAndGetAddressOf());
}

STDMETHODIMP TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (ppTypeAttr == nullptr) return E_INVALIDARG;
  const tlb::Type& t = Type();
  const bool alias = t.kind == TKIND_ALIAS;
  const std::size_t nested = alias ? NestedTypeSize(Lib(), t.alias) : 0;
  auto* block = static_cast<unsigned char*>(std::calloc(1, RoundUp(sizeof(TYPEATTR)) + nested));
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* attr = reinterpret_cast<TYPEATTR*>(block);
  attr->guid = t.guid;
  attr->lcid = Lib().lcid;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = t.size;
  attr->typekind = Kind();
  attr->cFuncs = static_cast<WORD>(t.funcs.size());
  attr->cVars = static_cast<WORD>(t.vars.size());
  attr->cImplTypes = static_cast<WORD>(t.impls.size());
  attr->cbSizeVft = t.vtableBytes;
  attr->cbAlignment = t.alignment;
  attr->wTypeFlags = t.flags;
  attr->wMajorVerNum = t.major;
  attr->wMinorVerNum = t.minor;
  if (DispatchView()) {
    // Every slot of the table is a member, inherited ones included; the
    // table itself is IDispatch's.
    attr->cFuncs = static_cast<WORD>(t.vtableBytes / sizeof(void*));
    attr->cbSizeVft = static_cast<WORD>(7 * sizeof(void*));
    attr->wTypeFlags &= static_cast<WORD>(~TYPEFLAG_FOLEAUTOMATION);
    attr->cImplTypes = 1;
  }
  if (alias) {
    unsigned char* buffer = block + RoundUp(sizeof(TYPEATTR));
    WriteTypeDesc(Lib(), t.alias, 0, &attr->tdescAlias, &buffer);
  }
  *ppTypeAttr = attr;
  return S_OK;
}

STDMETHODIMP_(void) TypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr) { std::free(pTypeAttr); }

STDMETHODIMP TypeInfo::GetTypeComp(ITypeComp** ppTComp) {
  if (ppTComp != nullptr) *ppTComp = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (ppFuncDesc == nullptr) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  if (!DispatchView()) {
    if (index >= Type().funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    return MakeFuncDesc(Lib(), Type().funcs[index], false, 0, ppFuncDesc);
  }
  // The bases' members first, the root's first of all. Most calls ask for
  // the type's own, past the bases' count (worked out once).
  std::atomic<int>& known = lib_->InheritedFunctions(index_);
  const int inherited = known.load(std::memory_order_relaxed);
  if (inherited >= 0 && index >= static_cast<UINT>(inherited)) {
    index -= static_cast<UINT>(inherited);
    if (index >= Type().funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    return MakeFuncDesc(Lib(), Type().funcs[index], true, 0, ppFuncDesc);
  }
  try {
    std::vector<ComPtr<ITypeInfo>> chain;
    int total = 0;
    for (TypeInfo* current = this;;) {
      ComPtr<ITypeInfo> base;
      if (current->Parent(&base) != S_OK) break;
      current = TypeInfo::Of(base.Get());
      if (current == nullptr || chain.size() >= kMaxInheritance) return E_UNEXPECTED;
      total += static_cast<int>(current->Type().funcs.size());
      chain.push_back(base);
    }
    known.store(total, std::memory_order_relaxed);
    for (std::size_t level = chain.size(); level > 0; --level) {
      TypeInfo* owner = TypeInfo::Of(chain[level - 1].Get());
      const std::size_t count = owner->Type().funcs.size();
      if (index < count) {
        return MakeFuncDesc(owner->Lib(), owner->Type().funcs[index], true,
                            static_cast<HREFTYPE>(level) * kInheritedStep, ppFuncDesc);
      }
      index -= static_cast<UINT>(count);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (index >= Type().funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
  return MakeFuncDesc(Lib(), Type().funcs[index], true, 0, ppFuncDesc);
}

STDMETHODIMP_(void) TypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc) { std::free(pFuncDesc); }

// A block of {VARDESC, the constant's VARIANT, nested types}.
STDMETHODIMP TypeInfo::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (ppVarDesc == nullptr) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  const tlb::Type& t = Type();
  if (index >= t.vars.size()) return TYPE_E_ELEMENTNOTFOUND;
  const tlb::Var& v = t.vars[index];
  const std::size_t valueAt = RoundUp(sizeof(VARDESC));
  auto* block =
      static_cast<unsigned char*>(std::calloc(1, valueAt + sizeof(VARIANT) + NestedTypeSize(Lib(), v.type)));
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* vd = reinterpret_cast<VARDESC*>(block);
  vd->memid = v.memid;
  vd->varkind = v.kind;
  vd->wVarFlags = v.flags;
  unsigned char* nested = block + valueAt + sizeof(VARIANT);
  WriteTypeDesc(Lib(), v.type, 0, &vd->elemdescVar.tdesc, &nested);
  if (v.kind == VAR_CONST) {
    auto* value = reinterpret_cast<VARIANT*>(block + valueAt);
    VariantInit(value);
    value->vt = v.value.vt;
    if (v.value.vt == VT_BSTR) {
      value->bstrVal = AllocBstr(v.value.text);
      if (value->bstrVal == nullptr) {
        std::free(block);
        return E_OUTOFMEMORY;
      }
    } else {
      value->ullVal = v.value.bits;
    }
    vd->lpvarValue = value;
  } else {
    vd->oInst = v.offset;
  }
  *ppVarDesc = vd;
  return S_OK;
}

STDMETHODIMP_(void) TypeInfo::ReleaseVarDesc(VARDESC* pVarDesc) {
  if (pVarDesc == nullptr) return;
  if (pVarDesc->varkind == VAR_CONST && pVarDesc->lpvarValue != nullptr) VariantClear(pVarDesc->lpvarValue);
  std::free(pVarDesc);
}

// The member's name, then its parameters' names up to the first unnamed
// one (the value of a property put has none); a dispinterface leaves out
// the parameters Invoke supplies itself ([retval], [lcid]).
HRESULT TypeInfo::Names(MEMBERID memid, BSTR* names, UINT max, UINT* count, bool dispatchForm, int depth) {
  *count = 0;
  const tlb::Type& t = Type();
  const auto give = [&](const std::u16string& name) {
    names[*count] = AllocBstr(name);
    if (names[*count] == nullptr) return false;
    ++*count;
    return true;
  };
  if (const tlb::Func* f = FuncById(t, memid)) {
    if (max == 0) return S_OK;
    if (!give(f->name)) return E_OUTOFMEMORY;
    std::size_t params = f->params.size();
    if (dispatchForm && f->funckind != FUNC_DISPATCH) {
      if (params > 0 && (f->params[params - 1].flags & PARAMFLAG_FRETVAL)) --params;
      if (params > 0 && (f->params[params - 1].flags & PARAMFLAG_FLCID)) --params;
    }
    for (std::size_t i = 0; i < params && *count < max && !f->params[i].name.empty(); ++i) {
      if (!give(f->params[i].name)) return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  if (const tlb::Var* v = VarById(t, memid)) {
    if (max == 0) return S_OK;
    return give(v->name) ? S_OK : E_OUTOFMEMORY;
  }
  ComPtr<ITypeInfo> base;
  if (depth < kMaxInheritance && Parent(&base) == S_OK && TypeInfo::Of(base.Get()) != nullptr) {
    return TypeInfo::Of(base.Get())->Names(memid, names, max, count, dispatchForm, depth + 1);
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (rgBstrNames == nullptr || pcNames == nullptr) return E_INVALIDARG;
  return Names(memid, rgBstrNames, cMaxNames, pcNames, DispatchView(), 0);
}

STDMETHODIMP TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (pRefType == nullptr) return E_INVALIDARG;
  const tlb::Type& t = Type();
  if (index == static_cast<UINT>(-1)) {
    // A dual interface's other half.
    if ((t.flags & TYPEFLAG_FDUAL) == 0) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = static_cast<HREFTYPE>(-2);
    return S_OK;
  }
  if (index == 0 && Kind() == TKIND_DISPATCH) {
    // Every dispinterface derives from IDispatch.
    *pRefType = Lib().dispatchRef;
    return S_OK;
  }
  if (index >= t.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = t.impls[index].ref;
  if (Kind() == TKIND_INTERFACE) *pRefType |= 2;  // a dual base's interface half
  return S_OK;
}

STDMETHODIMP TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (pImplTypeFlags == nullptr) return E_INVALIDARG;
  if (Kind() == TKIND_DISPATCH && index == 0) {
    *pImplTypeFlags = 0;
    return S_OK;
  }
  if (index >= Type().impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = Type().impls[index].flags;
  return S_OK;
}

// rgszNames[0] is a member (ASCII case ignored), the rest its parameters,
// whose ids are their positions. Unknown names get MEMBERID_NIL.
STDMETHODIMP TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (rgszNames == nullptr || pMemId == nullptr) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
  if (cNames == 0) return S_OK;
  const std::u16string_view name = View(rgszNames[0]);
  const tlb::Type& t = Type();
  for (const tlb::Func& f : t.funcs) {
    if (!EqualsNoCase(f.name, name)) continue;
    pMemId[0] = f.memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
      for (std::size_t p = 0; p < f.params.size(); ++p) {
        if (EqualsNoCase(f.params[p].name, View(rgszNames[i]))) {
          pMemId[i] = static_cast<MEMBERID>(p);
          break;
        }
      }
      if (pMemId[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  for (const tlb::Var& v : t.vars) {
    if (EqualsNoCase(v.name, name)) {
      pMemId[0] = v.memid;
      return S_OK;
    }
  }
  ComPtr<ITypeInfo> base;
  if (Parent(&base) == S_OK) return base->GetIDsOfNames(rgszNames, cNames, pMemId);
  return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                        BSTR* pBstrHelpFile) {
  const tlb::Type& t = Type();
  const std::u16string* name = nullptr;
  const std::u16string* doc = nullptr;
  DWORD context = 0;
  if (memid == MEMBERID_NIL) {
    name = &t.name, doc = &t.help, context = t.helpContext;
  } else if (const tlb::Func* f = FuncById(t, memid)) {
    name = &f->name, doc = &f->help, context = f->helpContext;
  } else if (const tlb::Var* v = VarById(t, memid)) {
    name = &v->name, doc = &v->help, context = v->helpContext;
  } else {
    ComPtr<ITypeInfo> base;
    if (Parent(&base) == S_OK) return base->GetDocumentation(memid, pBstrName, pBstrDocString, pdwHelpContext,
                                                             pBstrHelpFile);
    return TYPE_E_ELEMENTNOTFOUND;
  }
  if (pdwHelpContext != nullptr) *pdwHelpContext = context;
  HRESULT hr = Give(*name, pBstrName);
  if (SUCCEEDED(hr)) hr = Give(*doc, pBstrDocString);
  if (SUCCEEDED(hr)) hr = Give(Lib().helpFile, pBstrHelpFile);
  return hr;
}

STDMETHODIMP TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_INVALIDARG;
  *ppTInfo = nullptr;
  const tlb::Type& t = Type();
  if (static_cast<INT>(hRefType) < 0) {
    // -1 or -2: the other half of a dual interface.
    if ((t.flags & TYPEFLAG_FDUAL) == 0 || (t.kind != TKIND_INTERFACE && t.kind != TKIND_DISPATCH)) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return lib_->MakeTypeInfo(index_, view_ == TypeView::kStored ? TypeView::kInterface : TypeView::kStored, ppTInfo);
  }
  if (DispatchView() && hRefType >= kInheritedStep) {
    // A type an inherited member names, in its own library.
    ComPtr<ITypeInfo> owner(this);
    for (HREFTYPE level = hRefType / kInheritedStep; level > 0; --level) {
      TypeInfo* current = TypeInfo::Of(owner.Get());
      ComPtr<ITypeInfo> base;
      if (current == nullptr || current->Parent(&base) != S_OK) return TYPE_E_ELEMENTNOTFOUND;
      owner = base;
    }
    return owner->GetRefTypeInfo(hRefType % kInheritedStep, ppTInfo);
  }
  return lib_->ResolveRef(hRefType, ppTInfo);
}

STDMETHODIMP TypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName, WORD* pwOrdinal) {
  if (pBstrDllName) *pBstrDllName = nullptr;
  if (pBstrName) *pBstrName = nullptr;
  if (pwOrdinal) *pwOrdinal = 0;
  return TYPE_E_BADMODULEKIND;
}

STDMETHODIMP TypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) {
  if (ppv) *ppv = nullptr;
  return TYPE_E_BADMODULEKIND;
}

// Activation is the caller's business here (CoCreateInstance).
STDMETHODIMP TypeInfo::CreateInstance(IUnknown*, REFIID, PVOID* ppvObj) {
  if (ppvObj != nullptr) *ppvObj = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TypeInfo::GetMops(MEMBERID, BSTR* pBstrMops) {
  if (pBstrMops) *pBstrMops = nullptr;
  return S_OK;
}

STDMETHODIMP TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (pIndex != nullptr) *pIndex = static_cast<UINT>(index_);
  if (ppTLib != nullptr) {
    lib_->AddRef();
    *ppTLib = lib_.Get();
  }
  return S_OK;
}

}  // namespace quillon::platform

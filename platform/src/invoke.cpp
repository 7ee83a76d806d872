// ITypeInfo::Invoke: a call by member id and DISPPARAMS becomes a call of
// the table slot the type information names, made through libffi (the one
// call path: libffi knows the ABI for every parameter list, so no function
// is ever called through a type other than its own).
//
// The rules are the automation library's: arguments arrive last first,
// named ones ahead of the positional ones; a property put carries its
// value as the named argument DISPID_PROPERTYPUT; each argument is
// converted to its parameter's type as VariantChangeType converts; the
// [retval] parameter becomes the result; a member that fails makes Invoke
// return DISP_E_EXCEPTION with EXCEPINFO filled from the thread's error
// information. puArgErr is set when the result is DISP_E_TYPEMISMATCH or
// DISP_E_PARAMNOTFOUND, as documented.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "internal.h"
#include "typelib.h"

namespace quillon::platform {
namespace {

constexpr int kMaxTypeDepth = 16;
constexpr std::size_t kInlineArgs = 8;

// Up to kInline elements on the stack, more on the heap; trivial types,
// left uninitialised.
template <class T, std::size_t kInline>
class CallArray {
 public:
  explicit CallArray(std::size_t n) : data_(inline_) {
    if (n > kInline) {
      heap_.reset(new T[n]);
      data_ = heap_.get();
    }
  }
  T& operator[](std::size_t i) { return data_[i]; }
  T* data() { return data_; }

 private:
  T inline_[kInline];
  std::unique_ptr<T[]> heap_;
  T* data_;
};

// How libffi passes a value of this VARIANT type; null for a type passed
// in memory (VARIANT, DECIMAL by value), which Invoke does not call.
ffi_type* FfiTypeOf(VARTYPE vt) {
  if (vt & (VT_BYREF | VT_ARRAY)) return &ffi_type_pointer;
  switch (vt) {
    case VT_I1: return &ffi_type_sint8;
    case VT_UI1: return &ffi_type_uint8;
    case VT_I2: case VT_BOOL: return &ffi_type_sint16;
    case VT_UI2: return &ffi_type_uint16;
    case VT_I4: case VT_INT: case VT_ERROR: case VT_HRESULT: return &ffi_type_sint32;
    case VT_UI4: case VT_UINT: return &ffi_type_uint32;
    case VT_I8: case VT_CY: return &ffi_type_sint64;
    case VT_UI8: return &ffi_type_uint64;
    case VT_R4: return &ffi_type_float;
    case VT_R8: case VT_DATE: return &ffi_type_double;
    case VT_BSTR: case VT_UNKNOWN: case VT_DISPATCH: return &ffi_type_pointer;
    case VT_EMPTY: return &ffi_type_void;
    default: return nullptr;
  }
}

bool Restricted(const tlb::Func& f) { return (f.flags & FUNCFLAG_FRESTRICTED) != 0 && f.memid >= 0; }

void FillException(HRESULT hr, EXCEPINFO* info) {
  if (info == nullptr) return;
  std::memset(info, 0, sizeof *info);
  info->scode = hr;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error != nullptr) {
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
    error->GetHelpFile(&info->bstrHelpFile);
    error->GetHelpContext(&info->dwHelpContext);
    error->Release();
  }
}

}  // namespace

// The VARIANT type that carries a value of this type, as the automation
// library maps it: a pointer becomes VT_BYREF (a pointer to an interface,
// the interface itself), an enumeration VT_I4, an alias its aliased type,
// an interface VT_UNKNOWN or VT_DISPATCH, int and unsigned int their
// 32-bit forms and an HRESULT VT_ERROR.
HRESULT TypeInfo::VariantTypeOf(std::uint32_t node, VARTYPE* vt, int depth) {
  if (depth > kMaxTypeDepth) return DISP_E_BADVARTYPE;
  const tlb::TypeNode* n = &Lib().nodes[node];
  if ((*vt & VT_BYREF) == 0 && n->vt == VT_PTR) {
    const tlb::TypeNode& inner = Lib().nodes[n->inner];
    const bool twice = inner.vt == VT_PTR && Lib().nodes[inner.inner].vt == VT_USERDEFINED;
    if (inner.vt == VT_USERDEFINED || twice) {
      VARTYPE target = twice ? static_cast<VARTYPE>(VT_BYREF) : static_cast<VARTYPE>(VT_EMPTY);
      if (SUCCEEDED(VariantTypeOf(twice ? inner.inner : n->inner, &target, depth + 1)) &&
          ((target & VT_TYPEMASK) == VT_UNKNOWN || (target & VT_TYPEMASK) == VT_DISPATCH)) {
        *vt |= target;
        return S_OK;
      }
    }
    *vt = VT_BYREF;
    n = &inner;
  }
  switch (n->vt) {
    case VT_HRESULT: *vt |= VT_ERROR; return S_OK;
    case VT_INT: *vt |= VT_I4; return S_OK;
    case VT_UINT: *vt |= VT_UI4; return S_OK;
    case VT_VOID: case VT_CARRAY: case VT_PTR: case VT_LPSTR: case VT_LPWSTR: return DISP_E_BADVARTYPE;
    case VT_SAFEARRAY: return DISP_E_BADVARTYPE;  // arrays are not passed here
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> other;
      TYPEATTR* attr = nullptr;
      HRESULT hr = GetRefTypeInfo(n->href, other.GetAddressOf());
      if (SUCCEEDED(hr)) hr = other->GetTypeAttr(&attr);
      if (FAILED(hr)) return hr;
      const TYPEKIND kind = attr->typekind;
      const WORD flags = attr->wTypeFlags;
      other->ReleaseTypeAttr(attr);
      switch (kind) {
        case TKIND_ENUM: *vt |= VT_I4; return S_OK;
        case TKIND_INTERFACE: *vt |= (flags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN; return S_OK;
        case TKIND_DISPATCH: case TKIND_COCLASS: *vt |= VT_DISPATCH; return S_OK;
        case TKIND_ALIAS: {
          TypeInfo* alias = TypeInfo::Of(other.Get());
          if (alias == nullptr) return E_NOTIMPL;
          return alias->VariantTypeOf(alias->Type().alias, vt, depth + 1);
        }
        default: return E_NOTIMPL;  // records and unions are not passed here
      }
    }
    default: *vt |= n->vt; return S_OK;
  }
}

// Prepares every function of the type and indexes them by member id.
void TypeInfo::Prepare(TypeCalls& calls) {
  const tlb::Type& t = Type();
  calls.calls.clear();
  calls.sorted.clear();
  calls.dense.clear();
  calls.calls.resize(t.funcs.size());
  for (std::size_t i = 0; i < t.funcs.size(); ++i) {
    const tlb::Func& f = t.funcs[i];
    PreparedCall& call = calls.calls[i];
    const std::size_t n = f.params.size();
    call.retval = n > 0 && (f.params[n - 1].flags & PARAMFLAG_FRETVAL) != 0;
    call.types.resize(n);
    call.ffi.push_back(&ffi_type_pointer);
    for (std::size_t p = 0; p < n && call.status == S_OK; ++p) {
      call.types[p] = VT_EMPTY;
      call.status = VariantTypeOf(f.params[p].type, &call.types[p], 0);
      if ((f.params[p].flags & PARAMFLAG_FRETVAL) && p + 1 != n) call.status = E_UNEXPECTED;
      if ((f.params[p].flags & PARAMFLAG_FLCID) && call.types[p] == VT_I4 && !call.lcid) {
        call.lcid = true;
        call.lcidAt = p;
      }
      ffi_type* type = FfiTypeOf(call.types[p]);
      if (call.status == S_OK && (type == nullptr || type == &ffi_type_void)) call.status = DISP_E_BADVARTYPE;
      call.ffi.push_back(type);
    }
    if (call.retval && call.status == S_OK && (call.types[n - 1] & VT_BYREF) == 0) call.status = E_UNEXPECTED;
    VARTYPE result = VT_EMPTY;
    if (call.status == S_OK && Lib().nodes[f.result].vt != VT_VOID) call.status = VariantTypeOf(f.result, &result, 0);
    ffi_type* resultType = FfiTypeOf(result);
    if (call.status == S_OK && (resultType == nullptr || result != VT_ERROR)) call.status = DISP_E_BADVARTYPE;
    call.inputs = n - (call.retval ? 1 : 0) - (call.lcid ? 1 : 0);
    if (call.status == S_OK && f.funckind != FUNC_DISPATCH &&
        ffi_prep_cif(&call.cif, FFI_DEFAULT_ABI, static_cast<unsigned>(call.ffi.size()), resultType,
                     call.ffi.data()) != FFI_OK) {
      call.status = E_UNEXPECTED;
    }
    if (Restricted(f)) continue;
    auto at = std::lower_bound(calls.sorted.begin(), calls.sorted.end(), f.memid,
                               [](const MemberIndex& m, MEMBERID id) { return m.memid < id; });
    if (at == calls.sorted.end() || at->memid != f.memid) {
      at = calls.sorted.insert(at, MemberIndex{f.memid, {}});
      std::fill(std::begin(at->byFlags), std::end(at->byFlags), kNoFunc);
    }
    // INVOKE_FUNC, _PROPERTYGET, _PROPERTYPUT and _PROPERTYPUTREF are the
    // DISPATCH_ flags that ask for them; earlier functions keep what they
    // already answer.
    for (unsigned combination = 0; combination < 16; ++combination) {
      if ((combination & f.invkind) != 0 && at->byFlags[combination] == kNoFunc) {
        at->byFlags[combination] = static_cast<std::uint16_t>(i);
      }
    }
  }
  if (!calls.sorted.empty()) {
    const std::int64_t first = calls.sorted.front().memid;
    const std::int64_t span = static_cast<std::int64_t>(calls.sorted.back().memid) - first + 1;
    if (span <= 2 * static_cast<std::int64_t>(calls.sorted.size()) + 16) {
      MemberIndex gap{0, {}};
      std::fill(std::begin(gap.byFlags), std::end(gap.byFlags), kNoFunc);
      calls.dense.assign(static_cast<std::size_t>(span), gap);
      calls.denseBase = calls.sorted.front().memid;
      for (const MemberIndex& m : calls.sorted) calls.dense[static_cast<std::size_t>(m.memid - first)] = m;
    }
  }
}

STDMETHODIMP TypeInfo::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                              VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  const tlb::Type& t = Type();
  if (t.flags & TYPEFLAG_FRESTRICTED) return DISP_E_MEMBERNOTFOUND;
  if (pvInstance == nullptr || pDispParams == nullptr) return E_INVALIDARG;
  DISPPARAMS& dp = *pDispParams;
  if (dp.cNamedArgs > dp.cArgs || (dp.cArgs > 0 && dp.rgvarg == nullptr) ||
      (dp.cNamedArgs > 0 && dp.rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  TypeCalls& calls = lib_->Calls(index_);
  try {
    std::call_once(calls.once, [&] { Prepare(calls); });
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // the next call tries again
  }

  const MemberIndex* entry = nullptr;
  if (!calls.dense.empty()) {
    // Unsigned: ids below the base wrap around to large offsets.
    const std::uint32_t offset = static_cast<std::uint32_t>(memid) - static_cast<std::uint32_t>(calls.denseBase);
    if (offset < calls.dense.size()) entry = &calls.dense[offset];
  } else {
    const auto at = std::lower_bound(calls.sorted.begin(), calls.sorted.end(), memid,
                                     [](const MemberIndex& m, MEMBERID id) { return m.memid < id; });
    if (at != calls.sorted.end() && at->memid == memid) entry = &*at;
  }
  const std::uint16_t found = entry != nullptr ? entry->byFlags[wFlags & 0xF] : kNoFunc;
  if (found != kNoFunc) {
    return InvokeOwn(t.funcs[found], calls.calls[found], pvInstance, wFlags, pDispParams, pVarResult, pExcepInfo,
                     puArgErr);
  }

  // A put of a property that has only a get counts as a wrong number of
  // arguments, as the automation library reports it.
  for (const tlb::Func& f : t.funcs) {
    if (f.memid != memid || (wFlags & DISPATCH_PROPERTYPUT) == 0 || (f.invkind & INVOKE_PROPERTYGET) == 0) continue;
    const auto inputs = static_cast<UINT>(
        std::count_if(f.params.begin(), f.params.end(), [](const tlb::Param& p) { return !(p.flags & PARAMFLAG_FRETVAL); }));
    if (inputs == 0 || dp.cArgs == inputs + 1) return DISP_E_BADPARAMCOUNT;
  }
  for (const tlb::Var& v : t.vars) {
    if (v.memid == memid) return E_NOTIMPL;  // variables are not invoked
  }
  ComPtr<ITypeInfo> base;
  if (Parent(&base) == S_OK) {
    return base->Invoke(pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TypeInfo::InvokeOwn(const tlb::Func& f, const PreparedCall& call, PVOID instance, WORD flags, DISPPARAMS* dpp,
                            VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  if (f.funckind == FUNC_DISPATCH) {
    // A dispinterface member: the object's own IDispatch serves it.
    ComPtr<IDispatch> dispatch;
    HRESULT hr = static_cast<IUnknown*>(instance)->QueryInterface(IID_IDispatch,
                                                                   reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(hr)) return hr;
    return dispatch->Invoke(f.memid, IID_NULL, LOCALE_USER_DEFAULT, flags, dpp, result, excep, argErr);
  }
  const DISPPARAMS& dp = *dpp;
  const bool put = (f.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
  if (put && (dp.cNamedArgs == 0 || dp.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) return DISP_E_PARAMNOTFOUND;
  if (call.status != S_OK) return call.status;

  // Which argument each parameter takes. Named arguments come first in
  // rgvarg; each names a parameter by position (DISPID_PROPERTYPUT: the
  // value of a put, the last one). The others are positional, last first.
  const std::size_t total = f.params.size();
  const std::size_t inputs = call.inputs;
  CallArray<UINT, kInlineArgs> source(total);  // index in rgvarg, or UINT max for none
  for (std::size_t p = 0; p < total; ++p) source[p] = static_cast<UINT>(-1);
  const auto isInput = [&](std::size_t p) {
    return !(call.retval && p + 1 == total) && !(call.lcid && p == call.lcidAt);
  };
  std::size_t lastInput = total;
  for (std::size_t p = 0; p < total; ++p)
    if (isInput(p)) lastInput = p;
  for (UINT j = 0; j < dp.cNamedArgs; ++j) {
    const DISPID id = dp.rgdispidNamedArgs[j];
    std::size_t p = total;
    if (id == DISPID_PROPERTYPUT && put) {
      p = lastInput;
    } else if (id >= 0 && static_cast<std::size_t>(id) < total && isInput(static_cast<std::size_t>(id))) {
      p = static_cast<std::size_t>(id);
    }
    if (p == total || source[p] != static_cast<UINT>(-1)) {
      if (argErr != nullptr) *argErr = j;
      return DISP_E_PARAMNOTFOUND;
    }
    source[p] = j;
  }
  // Arguments to a get of a property that takes none would index the value
  // it returns, which is no collection.
  if (f.invkind == INVOKE_PROPERTYGET && inputs == 0 && dp.cArgs > 0) return DISP_E_NOTACOLLECTION;
  if (dp.cArgs != inputs) return DISP_E_BADPARAMCOUNT;
  UINT positional = dp.cArgs;
  for (std::size_t p = 0; p < total; ++p) {
    if (isInput(p) && source[p] == static_cast<UINT>(-1)) source[p] = --positional;
  }

  // values[0] is `this`; values[p + 1] the address of parameter p's value.
  // Arguments of the parameter's own type are passed as they are (an input
  // string stays the caller's); others are converted into `converted`.
  CallArray<void*, kInlineArgs + 1> values(total + 1);
  CallArray<VARIANT, kInlineArgs> converted(total);
  CallArray<void*, kInlineArgs> pointers(total);
  CallArray<bool, kInlineArgs> usedConverted(total);
  VARIANT retval;
  std::memset(&retval, 0, sizeof retval);  // the member fills the start of the payload
  LONG lcid = static_cast<LONG>(Lib().lcid);
  values[0] = &instance;
  HRESULT hr = S_OK;
  std::size_t placed = 0;
  for (; placed < total; ++placed) {
    const std::size_t p = placed;
    const VARTYPE want = call.types[p];
    usedConverted[p] = false;
    if (call.retval && p + 1 == total) {
      pointers[p] = &retval.llVal;
      values[p + 1] = &pointers[p];
      continue;
    }
    if (call.lcid && p == call.lcidAt) {
      values[p + 1] = &lcid;
      continue;
    }
    VARIANT& arg = dp.rgvarg[source[p]];
    if (arg.vt == want && (want & VT_BYREF) == 0) {
      values[p + 1] = &arg.llVal;
    } else if (arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND && !(f.params[p].flags & PARAMFLAG_FOPT)) {
      hr = DISP_E_PARAMNOTOPTIONAL;
    } else if (want & VT_BYREF) {
      // An out parameter takes the caller's storage, which must be a
      // reference of exactly its type.
      if (arg.vt != want || arg.byref == nullptr) {
        hr = DISP_E_TYPEMISMATCH;
      } else {
        values[p + 1] = &arg.byref;
      }
    } else {
      VariantInit(&converted[p]);
      usedConverted[p] = true;
      hr = VariantChangeType(&converted[p], &arg, 0, want);
      values[p + 1] = &converted[p].llVal;
    }
    if (FAILED(hr)) {
      if (argErr != nullptr && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND)) *argErr = source[p];
      break;
    }
  }
  HRESULT member = S_OK;
  if (SUCCEEDED(hr)) {
    void* const target = (*static_cast<void***>(instance))[f.oVft / static_cast<int>(sizeof(void*))];
    ffi_arg rc = 0;
    ffi_call(const_cast<ffi_cif*>(&call.cif), reinterpret_cast<void (*)(void)>(target), &rc, values.data());
    member = static_cast<HRESULT>(static_cast<std::uint32_t>(rc));
  }
  for (std::size_t p = 0; p < placed && p < total; ++p) {
    if (usedConverted[p]) VariantClear(&converted[p]);
  }
  if (SUCCEEDED(hr) && FAILED(member)) {
    FillException(member, excep);
    hr = DISP_E_EXCEPTION;
  }
  if (call.retval) {
    retval.vt = static_cast<VARTYPE>(call.types[total - 1] & ~VT_BYREF);
    if (SUCCEEDED(hr) && result != nullptr) {
      *result = retval;
    } else {
      VariantClear(&retval);  // a failing member's stray string, or nobody wants it
      // A member that was called and failed still leaves a result of its
      // type: empty, zero.
      if (result != nullptr && hr == DISP_E_EXCEPTION) {
        VariantInit(result);
        result->vt = static_cast<VARTYPE>(call.types[total - 1] & ~VT_BYREF);
      }
    }
  }
  return hr;
}

}  // namespace quillon::platform

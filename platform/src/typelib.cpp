// Type libraries built from a component's TYPELIB_DESC table, their
// registration, and invocation through type information.

#include <dlfcn.h>
#include <ffi.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"
#include "typelib_desc.h"

namespace quillon::platform {
namespace {

// ---- The library model: an owned copy of the component's table ------------------

struct Param {
  std::u16string_view name;  // in the library's text
  VARTYPE vt;
  USHORT flags;
  bool ByRef() const { return (vt & VT_BYREF) != 0; }
  VARTYPE Base() const { return static_cast<VARTYPE>(vt & ~VT_BYREF); }
  bool RetVal() const { return (flags & PARAMFLAG_FRETVAL) != 0; }
};

struct Func {
  std::u16string_view name;
  MEMBERID memid;
  INVOKEKIND invkind;
  SHORT slot;
  std::u16string_view help;
  std::span<const Param> params;  // in Library::params
  WORD flags;
  bool HasRetVal() const { return !params.empty() && params.back().RetVal(); }
  std::size_t InputCount() const { return params.size() - (HasRetVal() ? 1 : 0); }

  // Filled by Prepare once the library is complete.
  struct Call {
    // Only a member that is not called directly has a call interface. It
    // points into ffiTypes, so a prepared Func must not move (the library
    // is immutable from then on). ffi_call takes the interface non-const
    // but only reads it: concurrent calls share it.
    std::vector<ffi_type*> ffiTypes;  // `this`, then each parameter
    mutable ffi_cif cif{};
    bool cifReady = false;
    bool direct = false;  // through a plain function pointer (see CallDirect)
    bool retval = false;
    VARTYPE retvalType = VT_EMPTY;  // the [retval]'s value type
    std::size_t inputs = 0;
    std::size_t total = 0;  // parameters, [retval] included
  } call;
};

// Per member id, the function Invoke calls for each combination of the
// four DISPATCH_ flags: the first, in declaration order, whose kind one of
// the flags asks for; kNoFunc when there is none.
constexpr std::uint16_t kNoFunc = 0xFFFF;
struct MemberIndex {
  MEMBERID memid;
  std::uint16_t byFlags[16];
};

struct Impl {
  UINT typeIndex;
  INT flags;
};

struct Const {
  std::u16string_view name;
  LONG value;
};

struct Type {
  TYPEKIND kind;
  std::u16string_view name;
  GUID guid;
  std::u16string_view help;
  WORD flags;
  std::vector<Func> funcs;
  std::vector<Impl> impls;
  std::vector<Const> consts;
  // Filled by Prepare: the member index sorted by id and, when the ids
  // are compact, the same indexed by id - denseBase (gaps find nothing).
  struct Lookup {
    std::vector<MemberIndex> sorted;
    std::vector<MemberIndex> dense;
    MEMBERID denseBase = 0;
    std::uint32_t denseCount = 0;
    bool callable = false;  // Callable()
  } lookup;
  // Functions can be called through the table: dual or vtable interfaces.
  bool Callable() const {
    return kind == TKIND_INTERFACE || (kind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL));
  }
};

// The library's names and help strings, UTF-16, in blocks that never move
// once written: one or two allocations for a whole table instead of one
// per string.
class TextStore {
 public:
  // utf8 may be null: empty text.
  std::u16string_view Add(const char* utf8) {
    if (utf8 == nullptr || utf8[0] == '\0') return std::u16string_view(u"", 0);
    const std::string_view text(utf8);
    if (left_ < text.size()) {  // never more units than bytes
      const std::size_t size = std::max(kBlock, text.size());
      blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(size));
      free_ = blocks_.back().get();
      left_ = size;
    }
    const std::size_t n = Utf8ToUtf16(text, free_);
    const std::u16string_view out(free_, n);
    free_ += n;
    left_ -= n;
    return out;
  }

 private:
  static constexpr std::size_t kBlock = 4096;
  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  char16_t* free_ = nullptr;
  std::size_t left_ = 0;
};

struct Library {
  GUID libid;
  std::u16string_view name;
  std::u16string_view help;
  WORD major;
  WORD minor;
  LCID lcid;
  WORD flags;
  std::vector<Type> types;
  std::vector<Param> params;  // of every function, each function's in a row
  TextStore text;
};

bool SupportedValueType(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4:
    case VT_UINT: case VT_BOOL: case VT_R4: case VT_R8: case VT_BSTR:
      return true;
    default:
      return false;
  }
}

bool Named(const char* utf8) { return utf8 != nullptr && utf8[0] != '\0'; }

// Where a fault in the table is, for the message; built only on failure.
std::string TypeWhere(UINT t, const TYPELIB_TYPE_DESC& td) {
  return "type " + std::to_string(t) + (td.name ? std::string(" ") + td.name : "");
}
std::string FuncWhere(UINT t, const TYPELIB_TYPE_DESC& td, USHORT f, const TYPELIB_FUNC_DESC& fd) {
  return TypeWhere(t, td) + " function " + std::to_string(f) + (fd.name ? std::string(" ") + fd.name : "");
}

// Parameters of all functions of a table, counting only arrays that are
// there (a missing one fails the check later).
std::size_t ParamTotal(const TYPELIB_DESC& desc) {
  std::size_t total = 0;
  if (desc.typeCount > 0 && desc.types == nullptr) return 0;
  for (UINT t = 0; t < desc.typeCount; ++t) {
    const TYPELIB_TYPE_DESC& td = desc.types[t];
    if (td.funcs == nullptr) continue;
    for (USHORT f = 0; f < td.funcCount; ++f) {
      if (td.funcs[f].params != nullptr) total += td.funcs[f].paramCount;
    }
  }
  return total;
}

// Copies and checks the table; on failure returns null and sets *why.
std::shared_ptr<Library> Build(const TYPELIB_DESC& desc, std::string* why) {
  auto lib = std::make_shared<Library>();
  if (!Named(desc.name)) return *why = "library without a name", nullptr;
  if (desc.typeCount > 0 && desc.types == nullptr) return *why = "types missing", nullptr;
  lib->libid = desc.libid;
  lib->name = lib->text.Add(desc.name);
  lib->help = lib->text.Add(desc.helpString);
  lib->major = desc.majorVersion;
  lib->minor = desc.minorVersion;
  lib->lcid = desc.lcid;
  lib->flags = desc.libFlags;
  lib->types.reserve(desc.typeCount);
  // Functions keep spans of this vector: it must not reallocate.
  lib->params.reserve(ParamTotal(desc));
  std::vector<std::uint64_t> slotsUsed;  // bit per slot, for the type at hand
  for (UINT t = 0; t < desc.typeCount; ++t) {
    const TYPELIB_TYPE_DESC& td = desc.types[t];
    if (!Named(td.name)) return *why = TypeWhere(t, td) + ": no name", nullptr;
    if ((td.funcCount && !td.funcs) || (td.implCount && !td.impls) || (td.constCount && !td.consts)) {
      return *why = TypeWhere(t, td) + ": count without array", nullptr;
    }
    if ((td.funcCount && td.kind != TKIND_DISPATCH && td.kind != TKIND_INTERFACE) ||
        (td.implCount && td.kind != TKIND_COCLASS) ||
        (td.constCount && td.kind != TKIND_ENUM && td.kind != TKIND_ALIAS)) {
      return *why = TypeWhere(t, td) + ": members do not fit its kind", nullptr;
    }
    Type& type = lib->types.emplace_back();
    type.kind = td.kind;
    type.name = lib->text.Add(td.name);
    type.guid = td.guid;
    type.help = lib->text.Add(td.helpString);
    type.flags = td.typeFlags;
    type.funcs.reserve(td.funcCount);
    std::fill(slotsUsed.begin(), slotsUsed.end(), 0);
    for (USHORT f = 0; f < td.funcCount; ++f) {
      const TYPELIB_FUNC_DESC& fd = td.funcs[f];
      if (!Named(fd.name)) return *why = FuncWhere(t, td, f, fd) + ": no name", nullptr;
      if (fd.invkind != INVOKE_FUNC && fd.invkind != INVOKE_PROPERTYGET &&
          fd.invkind != INVOKE_PROPERTYPUT && fd.invkind != INVOKE_PROPERTYPUTREF) {
        return *why = FuncWhere(t, td, f, fd) + ": bad invoke kind", nullptr;
      }
      if (fd.vtableSlot < 7 && td.kind == TKIND_DISPATCH) {
        return *why = FuncWhere(t, td, f, fd) + ": slot below 7", nullptr;
      }
      bool slotFree = fd.vtableSlot >= 3;
      if (slotFree) {
        const auto slot = static_cast<std::size_t>(fd.vtableSlot);
        if (slot / 64 >= slotsUsed.size()) slotsUsed.resize(slot / 64 + 1, 0);
        const std::uint64_t bit = std::uint64_t{1} << (slot % 64);
        slotFree = (slotsUsed[slot / 64] & bit) == 0;
        slotsUsed[slot / 64] |= bit;
      }
      if (!slotFree) return *why = FuncWhere(t, td, f, fd) + ": slot invalid or used twice", nullptr;
      if (fd.paramCount && !fd.params) return *why = FuncWhere(t, td, f, fd) + ": params missing", nullptr;
      const std::size_t firstParam = lib->params.size();
      for (USHORT p = 0; p < fd.paramCount; ++p) {
        const TYPELIB_PARAM_DESC& pd = fd.params[p];
        const Param param{{}, pd.vt, pd.flags};
        if (!SupportedValueType(param.Base()) || (pd.vt & ~(VT_TYPEMASK | VT_BYREF))) {
          return *why = FuncWhere(t, td, f, fd) + ": parameter " + std::to_string(p) + " has an unsupported type",
                 nullptr;
        }
        if ((pd.flags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)) && !param.ByRef()) {
          return *why = FuncWhere(t, td, f, fd) + ": out parameter " + std::to_string(p) + " is not VT_BYREF",
                 nullptr;
        }
        if (param.RetVal() && p + 1 != fd.paramCount) {
          return *why = FuncWhere(t, td, f, fd) + ": [retval] is not the last parameter", nullptr;
        }
        lib->params.push_back(Param{lib->text.Add(pd.name), pd.vt, pd.flags});
      }
      Func func{lib->text.Add(fd.name), fd.memid, fd.invkind, fd.vtableSlot, {}, {}, fd.funcFlags, {}};
      func.params = std::span<const Param>(lib->params.data() + firstParam, fd.paramCount);
      if (func.invkind == INVOKE_PROPERTYGET && !func.HasRetVal()) {
        return *why = FuncWhere(t, td, f, fd) + ": propget without [retval]", nullptr;
      }
      if ((func.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) &&
          (func.HasRetVal() || func.params.empty())) {
        return *why = FuncWhere(t, td, f, fd) + ": propput needs a value and no [retval]", nullptr;
      }
      func.help = lib->text.Add(fd.helpString);
      type.funcs.push_back(std::move(func));
    }
    type.impls.reserve(td.implCount);
    for (USHORT i = 0; i < td.implCount; ++i) {
      if (td.impls[i].typeIndex >= desc.typeCount) {
        return *why = TypeWhere(t, td) + ": implemented type out of range", nullptr;
      }
      type.impls.push_back(Impl{td.impls[i].typeIndex, td.impls[i].implTypeFlags});
    }
    type.consts.reserve(td.constCount);
    for (USHORT c = 0; c < td.constCount; ++c) {
      if (!Named(td.consts[c].name)) return *why = TypeWhere(t, td) + ": constant without a name", nullptr;
      type.consts.push_back(Const{lib->text.Add(td.consts[c].name), td.consts[c].value});
    }
  }
  return lib;
}

// ---- Small helpers -----------------------------------------------------------------

HRESULT GiveText(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return S_OK;
  *out = AllocBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

ffi_type* FfiTypeOf(const Param& p) {
  if (p.ByRef()) return &ffi_type_pointer;
  switch (p.Base()) {
    case VT_I1: return &ffi_type_sint8;
    case VT_UI1: return &ffi_type_uint8;
    case VT_I2: case VT_BOOL: return &ffi_type_sint16;
    case VT_UI2: return &ffi_type_uint16;
    case VT_I4: case VT_INT: return &ffi_type_sint32;
    case VT_UI4: case VT_UINT: return &ffi_type_uint32;
    case VT_R4: return &ffi_type_float;
    case VT_R8: return &ffi_type_double;
    default: return &ffi_type_pointer;
  }
}

// The DISPATCH_ flag that asks for a kind is 1 << KindPosition(kind).
int KindPosition(INVOKEKIND kind) {
  switch (kind) {
    case INVOKE_FUNC: return 0;
    case INVOKE_PROPERTYGET: return 1;
    case INVOKE_PROPERTYPUT: return 2;
    case INVOKE_PROPERTYPUTREF: return 3;
  }
  return 0;
}
static_assert(DISPATCH_METHOD == 1 << 0 && DISPATCH_PROPERTYGET == 1 << 1 &&
              DISPATCH_PROPERTYPUT == 1 << 2 && DISPATCH_PROPERTYPUTREF == 1 << 3);

// ---- Calling a member through a plain function pointer ----------------------------
//
// On x86-64 (System V) and AArch64 (AAPCS64) the first six, respectively
// eight, integer-class arguments travel in general registers, one register
// each, whatever their declared width; with at most four of them nothing
// goes on the stack, so the callee sees the same frame however the caller
// declared the function. A narrow argument (char, short, int) occupies the
// low bits of its register, and compilers differ on who widens it: some
// callees read only the low bits, others (clang on x86-64) rely on char and
// short arriving sign- or zero-extended to 32 bits. Passing every value
// already widened to the full register from its declared type (signed
// types sign-extended, unsigned ones zero-extended, pointers as they are)
// satisfies either reading. The function type used has the member's arity
// and its HRESULT result, so every register the callee reads is set and
// the result is read as the callee leaves it. A member qualifies when
// `this` and all its parameters are integer class and there are at most
// kDirectArgs of them; floating-point parameters, which travel in vector
// registers, and longer lists go through libffi. On other targets, libffi
// always.
#if (defined(__x86_64__) && !defined(__ILP32__) && !defined(_WIN32)) || \
    (defined(__aarch64__) && !defined(__ILP32__) && !defined(_WIN32))
constexpr bool kDirectCalls = true;
#else
constexpr bool kDirectCalls = false;
#endif
constexpr std::size_t kDirectArgs = 4;  // including `this`

bool IntegerClass(const Param& p) {
  if (p.ByRef()) return true;
  switch (p.Base()) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_INT: case VT_UI4:
    case VT_UINT: case VT_BOOL: case VT_BSTR:
      return true;
    default:
      return false;
  }
}

// The value at `at` (a VARIANT's payload of the parameter's type, or a
// pointer), widened to a full register as described above.
std::uintptr_t RegisterWord(const Param& p, const void* at) {
  if (p.ByRef()) return reinterpret_cast<std::uintptr_t>(*static_cast<void* const*>(at));
  switch (p.Base()) {
    case VT_I1: return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(*static_cast<const CHAR*>(at)));
    case VT_UI1: return *static_cast<const BYTE*>(at);
    case VT_I2: return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(*static_cast<const SHORT*>(at)));
    case VT_BOOL:
      return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(*static_cast<const VARIANT_BOOL*>(at)));
    case VT_UI2: return *static_cast<const USHORT*>(at);
    case VT_I4: return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(*static_cast<const LONG*>(at)));
    case VT_INT: return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(*static_cast<const INT*>(at)));
    case VT_UI4: return *static_cast<const ULONG*>(at);
    case VT_UINT: return *static_cast<const UINT*>(at);
    default: return reinterpret_cast<std::uintptr_t>(*static_cast<void* const*>(at));  // VT_BSTR
  }
}

// The call through a function type that differs from the member's declared
// one is what this path is about; clang's check for such calls
// (-fsanitize=function) is switched off here only.
#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
HRESULT CallDirect(void* target, const std::uintptr_t* w, std::size_t count) {
  using W = std::uintptr_t;
  switch (count) {
    case 1: return reinterpret_cast<HRESULT (*)(W)>(target)(w[0]);
    case 2: return reinterpret_cast<HRESULT (*)(W, W)>(target)(w[0], w[1]);
    case 3: return reinterpret_cast<HRESULT (*)(W, W, W)>(target)(w[0], w[1], w[2]);
    case 4: return reinterpret_cast<HRESULT (*)(W, W, W, W)>(target)(w[0], w[1], w[2], w[3]);
    default: return E_UNEXPECTED;  // Prepare never marks such a member direct
  }
}
static_assert(kDirectArgs == 4, "CallDirect handles up to four arguments");

// Builds each function's call interface and the member index of each type.
// Runs once on a complete library; nothing moves afterwards.
void Prepare(Library& lib) {
  for (Type& type : lib.types) {
    Type::Lookup& lookup = type.lookup;
    lookup.callable = type.Callable();
    lookup.sorted.reserve(type.funcs.size());
    for (std::size_t i = 0; i < type.funcs.size(); ++i) {
      Func& f = type.funcs[i];
      Func::Call& call = f.call;
      call.retval = f.HasRetVal();
      call.retvalType = call.retval ? f.params.back().Base() : static_cast<VARTYPE>(VT_EMPTY);
      call.inputs = f.InputCount();
      call.total = f.params.size();
      bool integers = true;
      for (const Param& p : f.params) integers = integers && IntegerClass(p);
      call.direct = kDirectCalls && integers && f.params.size() + 1 <= kDirectArgs;
      if (!call.direct) {
        call.ffiTypes.reserve(f.params.size() + 1);
        call.ffiTypes.push_back(&ffi_type_pointer);
        for (const Param& p : f.params) call.ffiTypes.push_back(FfiTypeOf(p));
        call.cifReady = ffi_prep_cif(&call.cif, FFI_DEFAULT_ABI, static_cast<unsigned>(call.ffiTypes.size()),
                                     &ffi_type_sint32, call.ffiTypes.data()) == FFI_OK;
      }

      auto at = std::lower_bound(lookup.sorted.begin(), lookup.sorted.end(), f.memid,
                                 [](const MemberIndex& m, MEMBERID id) { return m.memid < id; });
      if (at == lookup.sorted.end() || at->memid != f.memid) {
        at = lookup.sorted.insert(at, MemberIndex{f.memid, {}});
        std::fill(std::begin(at->byFlags), std::end(at->byFlags), kNoFunc);
      }
      // Functions come in declaration order: an earlier one keeps the
      // flag combinations it already answers.
      const unsigned bit = 1u << KindPosition(f.invkind);
      for (unsigned combination = 0; combination < 16; ++combination) {
        if ((combination & bit) != 0 && at->byFlags[combination] == kNoFunc) {
          at->byFlags[combination] = static_cast<std::uint16_t>(i);
        }
      }
    }
    if (!lookup.sorted.empty()) {
      const auto first = static_cast<std::int64_t>(lookup.sorted.front().memid);
      const auto span = static_cast<std::int64_t>(lookup.sorted.back().memid) - first + 1;
      if (span <= 2 * static_cast<std::int64_t>(lookup.sorted.size()) + 16) {
        MemberIndex gap{0, {}};
        std::fill(std::begin(gap.byFlags), std::end(gap.byFlags), kNoFunc);
        lookup.dense.assign(static_cast<std::size_t>(span), gap);
        lookup.denseBase = lookup.sorted.front().memid;
        lookup.denseCount = static_cast<std::uint32_t>(span);
        for (const MemberIndex& m : lookup.sorted) lookup.dense[static_cast<std::size_t>(m.memid - first)] = m;
      }
    }
  }
}

// Where argument `arg` for parameter `p` is found for the call, in *at:
// the caller's own payload when it already has the parameter's type (input
// arguments stay the caller's: a string is passed as is, not copied), the
// caller's pointer for a reference, or `slot` holding a coerced copy, which
// the caller of this function clears afterwards (*usedSlot).
inline HRESULT PlaceArgument(const Param& p, const VARIANT& arg, VARIANT* slot, const void** at,
                             bool* usedSlot) {
  if (arg.vt == p.vt && !p.ByRef()) {
    *at = &arg.llVal;
    return S_OK;
  }
  if (arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
  if (p.ByRef()) {
    // An out parameter takes the caller's storage: a reference of the
    // exact type.
    if (arg.vt != (VT_BYREF | p.Base()) || arg.byref == nullptr) return DISP_E_TYPEMISMATCH;
    *at = &arg.byref;
    return S_OK;
  }
  VariantInit(slot);
  *usedSlot = true;
  *at = &slot->llVal;
  const HRESULT hr = VariantChangeType(slot, &arg, 0, p.Base());
  return hr == DISP_E_BADVARTYPE ? DISP_E_TYPEMISMATCH : hr;
}

// Hands a [retval] to the caller: filled.vt is its type and the member
// stored a value of that type at the start of filled's zeroed payload.
// *out receives that type and value, every other byte zero. Written field
// by field with the value read at its own width: the member has just
// stored it, and a wider read of a narrower fresh store stalls the
// processor.
void TakeRetval(const VARIANT& filled, VARIANT* out) {
  ULONGLONG value;
  switch (filled.vt) {
    case VT_I1: case VT_UI1: value = filled.bVal; break;
    case VT_I2: case VT_UI2: case VT_BOOL: value = filled.uiVal; break;
    case VT_I4: case VT_INT: case VT_UI4: case VT_UINT: case VT_R4: value = filled.ulVal; break;
    default: value = filled.ullVal; break;  // VT_R8, VT_BSTR
  }
  out->vt = filled.vt;
  out->wReserved1 = 0;
  out->wReserved2 = 0;
  out->wReserved3 = 0;
  out->ullVal = value;
  out->brecVal.pRecInfo = nullptr;
}
static_assert(offsetof(VARIANT, brecVal.pRecInfo) + sizeof(void*) == sizeof(VARIANT),
              "TakeRetval writes every byte of a VARIANT");

// Up to kInline elements on the stack, more on the heap; the elements are
// left uninitialised (trivial types only).
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
constexpr std::size_t kInlineArgs = 8;

// Fills EXCEPINFO for a member that failed with hr, taking the text from
// the thread's error information when there is some.
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

class TypeLib;

// ---- ITypeInfo ---------------------------------------------------------------------

class TypeInfo final : public ITypeInfo {
 public:
  TypeInfo(ITypeLib* owner, std::shared_ptr<const Library> lib, UINT index)
      : owner_(owner), lib_(std::move(lib)), index_(index), type_(&lib_->types[index]) {
    owner_->AddRef();
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_ITypeInfo) return E_NOINTERFACE;
    *ppv = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeAttr(TYPEATTR** out) override {
    if (out == nullptr) return E_INVALIDARG;
    auto* attr = new (std::nothrow) TYPEATTR();
    if (attr == nullptr) return E_OUTOFMEMORY;
    const Type& t = type();
    attr->guid = t.guid;
    attr->lcid = lib_->lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->cbSizeInstance = sizeof(void*);
    attr->typekind = t.kind;
    attr->cFuncs = static_cast<WORD>(t.funcs.size());
    attr->cVars = static_cast<WORD>(t.consts.size());
    attr->cImplTypes = static_cast<WORD>(t.impls.size());
    int slots = t.kind == TKIND_DISPATCH ? 7 : (t.kind == TKIND_INTERFACE ? 3 : 0);
    for (const Func& f : t.funcs) slots = std::max(slots, f.slot + 1);
    attr->cbSizeVft = static_cast<WORD>(slots * sizeof(void*));
    attr->cbAlignment = alignof(void*);
    attr->wTypeFlags = t.flags;
    attr->wMajorVerNum = lib_->major;
    attr->wMinorVerNum = lib_->minor;
    attr->tdescAlias.vt = t.kind == TKIND_ALIAS ? VT_I4 : VT_EMPTY;
    *out = attr;
    return S_OK;
  }
  STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }

  STDMETHODIMP GetTypeComp(ITypeComp** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

  // The table view: HRESULT result, every parameter including [retval],
  // pointer parameters as VT_PTR to their value type. One allocation,
  // freed by ReleaseFuncDesc.
  STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    const Type& t = type();
    if (index >= t.funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Func& f = t.funcs[index];
    const std::size_t n = f.params.size();
    const std::size_t elemsAt = RoundUp(sizeof(FUNCDESC), alignof(ELEMDESC));
    const std::size_t pointeesAt = RoundUp(elemsAt + n * sizeof(ELEMDESC), alignof(TYPEDESC));
    auto* block = static_cast<unsigned char*>(std::calloc(1, pointeesAt + n * sizeof(TYPEDESC) + 1));
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* fd = reinterpret_cast<FUNCDESC*>(block);
    auto* elems = reinterpret_cast<ELEMDESC*>(block + elemsAt);
    auto* pointees = reinterpret_cast<TYPEDESC*>(block + pointeesAt);
    fd->memid = f.memid;
    fd->lprgelemdescParam = n ? elems : nullptr;
    fd->funckind = FUNC_PUREVIRTUAL;
    fd->invkind = f.invkind;
    fd->callconv = CC_STDCALL;
    fd->cParams = static_cast<SHORT>(n);
    fd->cParamsOpt = 0;
    fd->oVft = static_cast<SHORT>(f.slot * sizeof(void*));
    fd->elemdescFunc.tdesc.vt = VT_HRESULT;
    fd->wFuncFlags = f.flags;
    for (std::size_t i = 0; i < n; ++i) {
      const Param& p = f.params[i];
      if (p.ByRef()) {
        pointees[i].vt = p.Base();
        elems[i].tdesc.vt = VT_PTR;
        elems[i].tdesc.lptdesc = &pointees[i];
      } else {
        elems[i].tdesc.vt = p.Base();
      }
      elems[i].paramdesc.wParamFlags = p.flags;
    }
    *out = fd;
    return S_OK;
  }
  STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* fd) override { std::free(fd); }

  STDMETHODIMP GetVarDesc(UINT, VARDESC** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP_(void) ReleaseVarDesc(VARDESC*) override {}

  // The member's name, then the names of its parameters ([retval] and
  // unnamed ones left out).
  STDMETHODIMP GetNames(MEMBERID memid, BSTR* names, UINT max, UINT* count) override {
    if (names == nullptr || count == nullptr) return E_INVALIDARG;
    *count = 0;
    const Func* f = FindByMemid(memid);
    if (f == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    const auto give = [&](std::u16string_view name) {
      names[*count] = AllocBstr(name);
      if (names[*count] == nullptr) return false;
      ++*count;
      return true;
    };
    if (*count < max && !give(f->name)) return E_OUTOFMEMORY;
    for (const Param& p : f->params) {
      if (p.RetVal() || p.name.empty()) continue;
      if (*count >= max) break;
      if (!give(p.name)) return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* out) override {
    if (out == nullptr) return E_INVALIDARG;
    const Type& t = type();
    if (index >= t.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = t.impls[index].typeIndex;
    return S_OK;
  }
  STDMETHODIMP GetImplTypeFlags(UINT index, INT* out) override {
    if (out == nullptr) return E_INVALIDARG;
    const Type& t = type();
    if (index >= t.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = t.impls[index].flags;
    return S_OK;
  }
  STDMETHODIMP GetRefTypeInfo(HREFTYPE ref, ITypeInfo** out) override {
    return owner_->GetTypeInfo(ref, out);
  }

  // names[0] is a member (ASCII case ignored), the rest its parameters.
  STDMETHODIMP GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    const Func* found = nullptr;
    for (const Func& f : type().funcs) {
      if (EqualsNoCase(f.name, View(names[0]))) {
        found = &f;
        break;
      }
    }
    if (found == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = found->memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
      for (std::size_t p = 0; p < found->params.size(); ++p) {
        if (!found->params[p].name.empty() && EqualsNoCase(found->params[p].name, View(names[i]))) {
          ids[i] = static_cast<MEMBERID>(p);
        }
      }
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  STDMETHODIMP Invoke(PVOID instance, MEMBERID memid, WORD flags, DISPPARAMS* dp, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override;

  STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* context,
                                BSTR* helpFile) override {
    const std::u16string_view* n = nullptr;
    const std::u16string_view* d = nullptr;
    if (memid == MEMBERID_NIL) {
      n = &type().name;
      d = &type().help;
    } else if (const Func* f = FindByMemid(memid)) {
      n = &f->name;
      d = &f->help;
    } else {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    if (name) *name = nullptr;
    if (doc) *doc = nullptr;
    if (helpFile) *helpFile = nullptr;
    if (context) *context = 0;
    if (FAILED(GiveText(*n, name))) return E_OUTOFMEMORY;
    if (doc && !d->empty() && FAILED(GiveText(*d, doc))) return E_OUTOFMEMORY;
    return S_OK;
  }

  STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
  STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID, PVOID* out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetMops(MEMBERID, BSTR* out) override {
    if (out) *out = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
    if (lib) {
      owner_->AddRef();
      *lib = owner_;
    }
    if (index) *index = index_;
    return S_OK;
  }

 private:
  ~TypeInfo() { owner_->Release(); }

  static std::size_t RoundUp(std::size_t n, std::size_t a) { return (n + a - 1) / a * a; }

  const Type& type() const { return *type_; }

  // The first member, in declaration order, with this id and a kind the
  // flags ask for.
  static const Func* FindForInvoke(const Type& t, MEMBERID memid, WORD flags) {
    const Type::Lookup& lookup = t.lookup;
    const MemberIndex* entry;
    if (lookup.denseCount != 0) {
      // Unsigned: ids below the base wrap around to large offsets.
      const std::uint32_t offset =
          static_cast<std::uint32_t>(memid) - static_cast<std::uint32_t>(lookup.denseBase);
      if (offset >= lookup.denseCount) return nullptr;
      entry = &lookup.dense.data()[offset];
    } else {
      const auto at = std::lower_bound(lookup.sorted.begin(), lookup.sorted.end(), memid,
                                       [](const MemberIndex& m, MEMBERID id) { return m.memid < id; });
      if (at == lookup.sorted.end() || at->memid != memid) return nullptr;
      entry = &*at;
    }
    const std::uint16_t index = entry->byFlags[flags & 0xF];
    return index == kNoFunc ? nullptr : &t.funcs[index];
  }

  // A get or method comes before a put of the same id.
  const Func* FindByMemid(MEMBERID memid) const {
    const Func* put = nullptr;
    for (const Func& f : type().funcs) {
      if (f.memid != memid) continue;
      if (f.invkind == INVOKE_FUNC || f.invkind == INVOKE_PROPERTYGET) return &f;
      if (put == nullptr) put = &f;
    }
    return put;
  }

  std::atomic<ULONG> refs_{1};
  ITypeLib* owner_;
  std::shared_ptr<const Library> lib_;
  UINT index_;
  const Type* type_;  // in lib_, which does not change
};

// The libffi path of Invoke: places the arguments, calls the member with
// its prepared interface and clears the coerced copies. Returns the status
// of the placing (with *argErr set) or E_UNEXPECTED; the member's own in
// *memberResult. Kept out of line so the direct path stays small.
__attribute__((noinline)) HRESULT CallThroughFfi(const Func& func, PVOID instance, void* target,
                                                 const DISPPARAMS& dp, UINT* argErr, VARIANT* retval,
                                                 HRESULT* memberResult) {
  const Func::Call& call = func.call;
  const std::size_t inputs = call.inputs;
  const std::size_t total = call.total;
  // values[0] is `this`; values[i + 1] the address of parameter i's value.
  CallArray<void*, kInlineArgs + 1> values(total + 1);
  CallArray<VARIANT, kInlineArgs> coerced(total);
  CallArray<bool, kInlineArgs> usedSlot(total);
  values[0] = &instance;
  HRESULT hr = S_OK;
  std::size_t placed = 0;
  while (placed < inputs) {
    const std::size_t i = placed++;
    const UINT at = dp.cArgs - 1 - static_cast<UINT>(i);  // reverse order
    const void* value = nullptr;
    usedSlot[i] = false;
    hr = PlaceArgument(func.params[i], dp.rgvarg[at], &coerced[i], &value, &usedSlot[i]);
    values[i + 1] = const_cast<void*>(value);  // ffi_call only reads through it
    if (FAILED(hr)) {
      if (argErr != nullptr) *argErr = at;
      break;
    }
  }
  void* retvalAt = &retval->llVal;
  if (SUCCEEDED(hr) && call.retval) values[total] = &retvalAt;
  if (SUCCEEDED(hr)) {
    if (!call.cifReady) {
      hr = E_UNEXPECTED;
    } else {
      ffi_arg rc = 0;
      ffi_call(&call.cif, reinterpret_cast<void (*)(void)>(target), &rc, values.data());
      *memberResult = static_cast<HRESULT>(static_cast<std::uint32_t>(rc));
    }
  }
  for (std::size_t i = 0; i < placed; ++i) {
    if (usedSlot[i]) VariantClear(&coerced[i]);
  }
  return hr;
}

// Invoke: find the member by id and kind, check the argument count, coerce
// each argument (they arrive last first) to its parameter's type, call
// table slot `slot` of the instance (instance first) directly or with
// libffi, and hand back the [retval] or, for a failing HRESULT,
// DISP_E_EXCEPTION with EXCEPINFO filled from the thread's error
// information.
HRESULT TypeInfo::Invoke(PVOID instance, MEMBERID memid, WORD flags, DISPPARAMS* dp,
                         VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
  if (instance == nullptr || dp == nullptr) return E_INVALIDARG;
  if (dp->cArgs > 0 && dp->rgvarg == nullptr) return E_INVALIDARG;
  if (dp->cNamedArgs > dp->cArgs || (dp->cNamedArgs > 0 && dp->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  const Type& t = type();
  if (!t.lookup.callable) return DISP_E_MEMBERNOTFOUND;
  const Func* func = FindForInvoke(t, memid, flags);
  if (func == nullptr) return DISP_E_MEMBERNOTFOUND;
  const Func::Call& call = func->call;

  const bool isPut = (func->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
  if (isPut) {
    if (dp->cNamedArgs != 1 || dp->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
  } else if (dp->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  const std::size_t inputs = call.inputs;
  if (dp->cArgs != inputs) return DISP_E_BADPARAMCOUNT;

  const std::size_t total = call.total;
  const Param* const params = func->params.data();
  void* const target = (*static_cast<void***>(instance))[func->slot];
  // The member stores its [retval] at the start of the payload; the rest
  // of the VARIANT is only read once vt is set (TakeRetval, VariantClear).
  VARIANT retval;
  retval.vt = VT_EMPTY;
  retval.llVal = 0;
  HRESULT hr = S_OK;
  HRESULT memberResult = S_OK;

  if (call.direct) {
    std::uintptr_t words[kDirectArgs];
    VARIANT coerced[kDirectArgs - 1];
    unsigned toClear = 0;  // bit i: coerced[i] was used
    words[0] = reinterpret_cast<std::uintptr_t>(instance);
    for (std::size_t i = 0; i < inputs; ++i) {
      const UINT at = dp->cArgs - 1 - static_cast<UINT>(i);  // reverse order
      const void* value = nullptr;
      bool usedSlot = false;
      hr = PlaceArgument(params[i], dp->rgvarg[at], &coerced[i], &value, &usedSlot);
      if (usedSlot) toClear |= 1u << i;
      if (FAILED(hr)) {
        if (argErr != nullptr) *argErr = at;
        break;
      }
      words[i + 1] = RegisterWord(params[i], value);
    }
    if (SUCCEEDED(hr)) {
      if (call.retval) words[total] = reinterpret_cast<std::uintptr_t>(&retval.llVal);
      memberResult = CallDirect(target, words, total + 1);
    }
    for (std::size_t i = 0; toClear != 0; ++i, toClear >>= 1) {
      if (toClear & 1u) VariantClear(&coerced[i]);
    }
  } else {
    hr = CallThroughFfi(*func, instance, target, *dp, argErr, &retval, &memberResult);
  }

  if (SUCCEEDED(hr) && FAILED(memberResult)) {
    FillException(memberResult, excep);
    hr = DISP_E_EXCEPTION;
  }
  if (call.retval) {
    retval.vt = call.retvalType;
    if (SUCCEEDED(hr) && result != nullptr) {
      TakeRetval(retval, result);
    } else {
      VariantClear(&retval);  // a failing member's stray string, or nobody wants it
    }
  } else if (SUCCEEDED(hr) && result != nullptr) {
    VariantInit(result);
  }
  return hr;
}

// ---- ITypeLib ----------------------------------------------------------------------

class TypeLib final : public ITypeLib {
 public:
  explicit TypeLib(std::shared_ptr<const Library> lib) : lib_(std::move(lib)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_ITypeLib) return E_NOINTERFACE;
    *ppv = static_cast<ITypeLib*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP_(UINT) GetTypeInfoCount() override { return static_cast<UINT>(lib_->types.size()); }
  STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = new (std::nothrow) TypeInfo(this, lib_, index);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* out) override {
    if (out == nullptr) return E_INVALIDARG;
    if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = lib_->types[index].kind;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    for (UINT i = 0; i < lib_->types.size(); ++i) {
      if (lib_->types[i].guid == guid && guid != GUID_NULL) return GetTypeInfo(i, out);
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetLibAttr(TLIBATTR** out) override {
    if (out == nullptr) return E_INVALIDARG;
    auto* attr = new (std::nothrow) TLIBATTR();
    if (attr == nullptr) return E_OUTOFMEMORY;
    attr->guid = lib_->libid;
    attr->lcid = lib_->lcid;
    attr->syskind = SYS_WIN64;
    attr->wMajorVerNum = lib_->major;
    attr->wMinorVerNum = lib_->minor;
    attr->wLibFlags = lib_->flags;
    *out = attr;
    return S_OK;
  }
  STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }
  STDMETHODIMP GetTypeComp(ITypeComp** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  // index -1: the library itself.
  STDMETHODIMP GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context,
                                BSTR* helpFile) override {
    if (index < -1 || index >= static_cast<INT>(lib_->types.size())) return TYPE_E_ELEMENTNOTFOUND;
    const std::u16string_view n = index == -1 ? lib_->name : lib_->types[index].name;
    const std::u16string_view d = index == -1 ? lib_->help : lib_->types[index].help;
    if (name) *name = nullptr;
    if (doc) *doc = nullptr;
    if (helpFile) *helpFile = nullptr;
    if (context) *context = 0;
    if (FAILED(GiveText(n, name))) return E_OUTOFMEMORY;
    if (doc && !d.empty() && FAILED(GiveText(d, doc))) return E_OUTOFMEMORY;
    return S_OK;
  }
  // Whether a type, member, parameter or constant has this name; on a match
  // the buffer receives the name as the library spells it.
  STDMETHODIMP IsName(LPOLESTR name, ULONG, BOOL* found) override {
    if (name == nullptr || found == nullptr) return E_INVALIDARG;
    *found = FALSE;
    auto check = [&](std::u16string_view candidate) {
      if (!*found && EqualsNoCase(candidate, View(name))) {
        std::copy(candidate.begin(), candidate.end(), name);
        *found = TRUE;
      }
    };
    for (const Type& t : lib_->types) {
      check(t.name);
      for (const Func& f : t.funcs) {
        check(f.name);
        for (const Param& p : f.params) check(p.name);
      }
      for (const Const& c : t.consts) check(c.name);
    }
    return S_OK;
  }
  STDMETHODIMP FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* found) override {
    if (found) *found = 0;
    return E_NOTIMPL;
  }

 private:
  ~TypeLib() = default;
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<const Library> lib_;
};

// ---- Registration helpers ----------------------------------------------------------

const char16_t* SysKindName(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16: return u"win16";
    case SYS_WIN32: return u"win32";
    case SYS_MAC: return u"mac";
    case SYS_WIN64: return u"win64";
  }
  return u"win64";
}

std::u16string Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", value);
  return Utf8ToUtf16(buf);
}

std::u16string VersionText(WORD major, WORD minor) { return Hex(major) + u"." + Hex(minor); }

constexpr GUID kPSOAInterface = {0x00020424, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kPSDispatch = {0x00020420, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::vector<std::u16string> SubkeyNames(HKEY root, const std::u16string& path) {
  std::vector<std::u16string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char16_t name[256];
    DWORD len = 256;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  RegCloseKey(key);
  return names;
}

// Interfaces that registration lists under HKCR\Interface, with their
// proxy class: dual and automation interfaces use the automation marshaler,
// pure dispatch interfaces the dispatch one.
struct InterfaceEntry {
  GUID iid;
  std::u16string name;
  GUID proxy;
};

std::vector<InterfaceEntry> InterfacesOf(ITypeLib* lib) {
  std::vector<InterfaceEntry> out;
  const UINT count = lib->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfo(i, &info))) continue;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      const bool automation = (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
      if (attr->typekind == TKIND_DISPATCH || (attr->typekind == TKIND_INTERFACE && automation)) {
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        out.push_back({attr->guid, std::u16string(View(name)), automation ? kPSOAInterface : kPSDispatch});
        SysFreeString(name);
      }
      info->ReleaseTypeAttr(attr);
    }
    info->Release();
  }
  return out;
}

// Path registered for the library, trying the exact locale, its primary
// language, then the neutral locale.
HRESULT RegisteredPath(REFGUID libid, WORD major, WORD minor, LCID lcid, std::u16string* path) {
  const std::u16string base = u"TypeLib\\" + GuidToString(libid);
  int best = -1;
  for (const auto& version : SubkeyNames(HKEY_CLASSES_ROOT, base)) {
    unsigned maj = 0, min = 0;
    char tail = 0;
    if (std::sscanf(Utf16ToUtf8(version).c_str(), "%x.%x%c", &maj, &min, &tail) != 2) continue;
    if (maj == major && min >= minor && static_cast<int>(min) > best) best = static_cast<int>(min);
  }
  if (best < 0) return TYPE_E_LIBNOTREGISTERED;
  const std::u16string versionKey = base + u"\\" + VersionText(major, static_cast<WORD>(best));
  for (LCID candidate : {lcid, static_cast<LCID>(lcid & 0x3ff), static_cast<LCID>(0)}) {
    const std::u16string key = versionKey + u"\\" + Hex(candidate) + u"\\" + SysKindName(SYS_WIN64);
    if (ReadRegString(HKEY_CLASSES_ROOT, key, u"", path) == ERROR_SUCCESS && !path->empty()) {
      return S_OK;
    }
  }
  return TYPE_E_LIBNOTREGISTERED;
}

}  // namespace
}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  if (szFile == nullptr || *szFile == u'\0') return E_INVALIDARG;
  const std::string path = ToUtf8(szFile);
  // Opened for its data only: DllMain does not run, and the library is
  // closed again once its table has been copied.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    DebugLine(std::string("LoadTypeLib: ") + (why ? why : path));
    return TYPE_E_CANTLOADLIBRARY;
  }
  HRESULT hr = TYPE_E_CANTLOADLIBRARY;
  auto describe = reinterpret_cast<LPFNGETTYPELIBDESCRIPTION>(OwnSymbol(handle, QUILLON_TYPELIB_EXPORT));
  const TYPELIB_DESC* desc = describe ? describe(1) : nullptr;
  if (desc == nullptr) {
    DebugLine("LoadTypeLib: " + path + " carries no type library");
  } else {
    std::string why;
    if (auto lib = Build(*desc, &why)) {
      Prepare(*lib);
      *pptlib = new (std::nothrow) TypeLib(std::move(lib));
      hr = *pptlib ? S_OK : E_OUTOFMEMORY;
    } else {
      DebugLine("LoadTypeLib: " + path + ": " + why);
    }
  }
  dlclose(handle);
  return hr;
}

HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
  HRESULT hr = LoadTypeLib(szFile, pptlib);
  if (SUCCEEDED(hr) && regkind == REGKIND_REGISTER) {
    std::u16string dir(View(szFile));
    dir.erase(dir.find_last_of(u'/') == std::u16string::npos ? 0 : dir.find_last_of(u'/') + 1);
    hr = RegisterTypeLib(*pptlib, szFile, dir.c_str());
    if (FAILED(hr)) {
      (*pptlib)->Release();
      *pptlib = nullptr;
    }
  }
  return hr;
}

HRESULT QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid,
                              BSTR* lpbstrPathName) {
  if (lpbstrPathName == nullptr) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  std::u16string path;
  if (HRESULT hr = RegisteredPath(guid, wMaj, wMin, lcid, &path); FAILED(hr)) return hr;
  *lpbstrPathName = AllocBstr(path);
  return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
}

HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                       ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  std::u16string path;
  if (HRESULT hr = RegisteredPath(rguid, wVerMajor, wVerMinor, lcid, &path); FAILED(hr)) return hr;
  return LoadTypeLib(path.c_str(), pptlib);
}

// Writes HKCR\TypeLib\{libid}\<major.minor> (default: help string or name)
// with \<lcid>\win64 = path, \FLAGS and \HELPDIR, and HKCR\Interface\{iid}
// for each dispatch, dual or automation interface.
HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (ptlib == nullptr || szFullPath == nullptr) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  if (HRESULT hr = ptlib->GetLibAttr(&attr); FAILED(hr)) return hr;
  const TLIBATTR a = *attr;
  ptlib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  const std::u16string title(SysStringLen(doc) ? View(doc) : View(name));
  SysFreeString(name);
  SysFreeString(doc);

  const std::u16string libid = GuidToString(a.guid);
  const std::u16string version = VersionText(a.wMajorVerNum, a.wMinorVerNum);
  const std::u16string versionKey = u"TypeLib\\" + libid + u"\\" + version;
  LONG err = WriteRegString(HKEY_CLASSES_ROOT, versionKey, u"", title);
  if (err == ERROR_SUCCESS) {
    err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\" + Hex(a.lcid) + u"\\" + SysKindName(a.syskind),
                         u"", View(szFullPath));
  }
  if (err == ERROR_SUCCESS) {
    err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\FLAGS", u"",
                         Utf8ToUtf16(std::to_string(a.wLibFlags)));
  }
  if (err == ERROR_SUCCESS) {
    err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\HELPDIR", u"", View(szHelpDir));
  }
  for (const InterfaceEntry& entry : InterfacesOf(ptlib)) {
    if (err != ERROR_SUCCESS) break;
    const std::u16string key = u"Interface\\" + GuidToString(entry.iid);
    const std::u16string proxy = GuidToString(entry.proxy);
    err = WriteRegString(HKEY_CLASSES_ROOT, key, u"", entry.name);
    if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid", u"", proxy);
    if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid32", u"", proxy);
    if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"", libid);
    if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"Version", version);
  }
  return err == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

// Removes what RegisterTypeLib wrote for this version, locale and system,
// bottom up; keys that still hold other registrations stay.
HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                          SYSKIND syskind) {
  const std::u16string libid = GuidToString(libID);
  const std::u16string libKey = u"TypeLib\\" + libid;
  const std::u16string versionKey = libKey + u"\\" + VersionText(wVerMajor, wVerMinor);
  const std::u16string lcidKey = versionKey + u"\\" + Hex(lcid);
  const std::u16string sysKey = lcidKey + u"\\" + SysKindName(syskind);
  std::u16string path;
  if (ReadRegString(HKEY_CLASSES_ROOT, sysKey, u"", &path) != ERROR_SUCCESS) {
    return TYPE_E_REGISTRYACCESS;
  }
  ITypeLib* lib = nullptr;
  if (!path.empty() && SUCCEEDED(LoadTypeLib(path.c_str(), &lib))) {
    for (const InterfaceEntry& entry : InterfacesOf(lib)) {
      const std::u16string key = u"Interface\\" + GuidToString(entry.iid);
      std::u16string owner;
      if (ReadRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"", &owner) == ERROR_SUCCESS &&
          EqualsNoCase(owner, libid)) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
      }
    }
    lib->Release();
  }
  RegDeleteKeyW(HKEY_CLASSES_ROOT, sysKey.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, lcidKey.c_str());  // fails while other systems remain
  bool otherLocales = false;
  for (const auto& sub : SubkeyNames(HKEY_CLASSES_ROOT, versionKey)) {
    if (!EqualsNoCase(sub, u"FLAGS") && !EqualsNoCase(sub, u"HELPDIR")) otherLocales = true;
  }
  if (!otherLocales) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, versionKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());  // fails while other versions remain
  }
  return S_OK;
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid) {
  if (ptinfo == nullptr) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                   DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                   UINT* puArgErr) {
  if (ptinfo == nullptr) return E_INVALIDARG;
  return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}

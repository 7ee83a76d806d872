// The interface has one definition, and three things made from it must
// agree: the generated header's table (where a client compiled against it
// calls), the type library's slots (where Invoke calls), and the object
// (which the compiler lays out from the header).
#include <cstring>
#include <functional>
#include <type_traits>

#include "component_env.h"
#include "quillon_text.h"

namespace quillon::testing {
namespace {

// Enumerations are 4 bytes in the type library, and the object stores and
// returns values outside the named ones: a client must be able to hold
// them (without a fixed type, 7 would not be a Font_JustifyType).
static_assert(std::is_same_v<std::underlying_type_t<Font_JustifyType>, LONG>);
static_assert(std::is_same_v<std::underlying_type_t<Object_Id>, LONG>);

// A pointer to a virtual member function holds, in this ABI, the byte
// offset of its slot (plus one on targets that mark virtual functions in
// the pointer itself).
template <class PMF>
long SlotOf(PMF pmf) {
  static_assert(sizeof(PMF) == 2 * sizeof(std::ptrdiff_t));
  std::ptrdiff_t repr[2];
  std::memcpy(repr, &pmf, sizeof repr);
#if defined(__aarch64__) || defined(__arm__)
  return (repr[1] & 1) ? static_cast<long>(repr[0] / static_cast<std::ptrdiff_t>(sizeof(void*))) : -1;
#else
  return (repr[0] & 1) ? static_cast<long>((repr[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*))) : -1;
#endif
}

// A get called through the header, by name: its value as a VARIANT. Gets
// with an index read entry 1.
using Get = std::function<HRESULT(IPreferences*, VARIANT*)>;

template <class T>
void Store(T value, VARIANT* out) {
  VariantInit(out);
  if constexpr (std::is_same_v<T, BSTR>) {
    out->vt = VT_BSTR;
    out->bstrVal = value;
  } else if constexpr (std::is_same_v<T, short>) {
    out->vt = VT_I2;
    out->iVal = value;
  } else if constexpr (std::is_unsigned_v<T>) {
    out->vt = VT_UI4;
    out->ulVal = value;
  } else {
    out->vt = VT_I4;
    out->lVal = static_cast<LONG>(value);
  }
}

template <class T>
Get Getter(HRESULT (STDMETHODCALLTYPE IPreferences::*get)(T*)) {
  return [get](IPreferences* p, VARIANT* out) {
    T value{};
    const HRESULT hr = (p->*get)(&value);
    Store(value, out);
    return hr;
  };
}
template <class Index, class T>
Get Getter(HRESULT (STDMETHODCALLTYPE IPreferences::*get)(Index, T*)) {
  return [get](IPreferences* p, VARIANT* out) {
    T value{};
    const HRESULT hr = (p->*get)(static_cast<Index>(1), &value);
    Store(value, out);
    return hr;
  };
}

template <class Interface, class... Params>
constexpr unsigned Arity(HRESULT (STDMETHODCALLTYPE Interface::*)(Params...)) {
  return sizeof...(Params);
}

struct HeaderMember {
  const char16_t* name;
  long slot;
  Get get;
  unsigned params;  // an index, when there are two
};

std::u16string AsText(VARIANT* v) {
  VARIANT text;
  VariantInit(&text);
  EXPECT_EQ(VariantChangeType(&text, v, 0, VT_BSTR), S_OK);
  std::u16string out(text.bstrVal ? text.bstrVal : u"");
  VariantClear(&text);
  VariantClear(v);
  return out;
}

const HeaderMember kHeader[] = {
#include "ipreferences_members.inc"
};

// The method name the header gives a function of the type library.
std::u16string MethodName(ITypeInfo* info, const FUNCDESC& fd) {
  BSTR name = nullptr;
  EXPECT_EQ(info->GetDocumentation(fd.memid, &name, nullptr, nullptr, nullptr), S_OK);
  std::u16string method = fd.invkind == INVOKE_PROPERTYGET   ? u"get_"
                          : fd.invkind == INVOKE_PROPERTYPUT ? u"put_"
                                                             : u"";
  method += name ? name : u"";
  SysFreeString(name);
  return method;
}

TEST(Interface, HeaderTypeLibraryAndObjectAgree) {
  // The header: its members follow IDispatch's seven, in declared order.
  constexpr std::size_t kCount = sizeof kHeader / sizeof kHeader[0];
  ASSERT_EQ(kCount, 71u);
  for (std::size_t i = 0; i < kCount; ++i) EXPECT_EQ(kHeader[i].slot, static_cast<long>(7 + i)) << i;

  // The type library: every function, found in the header by name and
  // kind, at the header's slot.
  ComPtr<ITypeInfo> dispatch;
  HREFTYPE half = 0;
  ComPtr<ITypeInfo> table;
  ASSERT_EQ(NewPreferences()->GetTypeInfo(0, 0, &dispatch), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &half), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(half, &table), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(table->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, kCount);
  EXPECT_EQ(attr->cbSizeVft, (7 + kCount) * sizeof(void*));
  const WORD count = attr->cFuncs;
  table->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(table->GetFuncDesc(i, &fd), S_OK);
    const std::u16string method = MethodName(table.Get(), *fd);
    const HeaderMember* found = nullptr;
    for (const HeaderMember& m : kHeader)
      if (method == m.name) found = &m;
    ASSERT_NE(found, nullptr) << Utf16ToUtf8(method) << " is not in the header";
    EXPECT_EQ(fd->oVft, static_cast<SHORT>(found->slot * sizeof(void*))) << Utf16ToUtf8(method);
    table->ReleaseFuncDesc(fd);
  }

  // The object: what Invoke reaches at a get's slot is what a client of
  // the header reaches by name. The settings are made to differ first.
  auto prefs = NewPreferences();
  IDispatch* d = prefs.Get();
  const auto index = [](const HeaderMember& m) { return m.params == 2 ? std::vector{I4(1)} : std::vector<VARIANT>{}; };
  for (const HeaderMember& m : kHeader) {
    if (m.get || std::u16string(m.name).rfind(u"put_", 0) != 0) continue;
    const DISPID id = IdOf(d, m.name + 4);
    std::vector<VARIANT> args = index(m);
    args.push_back(I4(3 * id));
    ASSERT_EQ(Call(d, id, DISPATCH_PROPERTYPUT, std::move(args)), S_OK) << Utf16ToUtf8(m.name);
  }
  for (const HeaderMember& m : kHeader) {
    if (!m.get) continue;
    VARIANT direct, invoked;
    VariantInit(&invoked);
    ASSERT_EQ(m.get(prefs.Get(), &direct), S_OK) << Utf16ToUtf8(m.name);
    ASSERT_EQ(Call(d, IdOf(d, m.name + 4), DISPATCH_PROPERTYGET, index(m), &invoked), S_OK) << Utf16ToUtf8(m.name);
    EXPECT_EQ(invoked.vt, direct.vt) << Utf16ToUtf8(m.name);
    EXPECT_EQ(AsText(&invoked), AsText(&direct)) << Utf16ToUtf8(m.name);
  }
}

}  // namespace
}  // namespace quillon::testing

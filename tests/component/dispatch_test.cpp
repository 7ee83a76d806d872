// The same object reached by name through IDispatch, as a script would.
#include <thread>
#include <vector>

#include "component_env.h"
#include "quillon_text.h"

namespace quillon::testing {
namespace {

DISPID IdOf(IDispatch* d, const std::u16string& name) {
  std::u16string copy = name;
  LPOLESTR names[] = {copy.data()};
  DISPID id = -99;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << std::string(name.begin(), name.end());
  return id;
}

// Invokes with the arguments in the order a caller writes them; they are
// handed over in reverse, as the dispatch protocol wants.
HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                    static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  UINT argErr = 0;
  const HRESULT hr = d->Invoke(id, IID_NULL, 0, flags, &params, result, excep, &argErr);
  for (auto& v : args) VariantClear(&v);
  return hr;
}

VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}

LONG GetNumber(IDispatch* d, const std::u16string& name, std::vector<VARIANT> index = {}) {
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(Call(d, IdOf(d, name), DISPATCH_PROPERTYGET, std::move(index), &r), S_OK);
  VARIANT n;
  VariantInit(&n);
  EXPECT_EQ(VariantChangeType(&n, &r, 0, VT_I4), S_OK);
  VariantClear(&r);
  return n.lVal;
}

ComPtr<IDispatch> NewDispatch() {
  ComPtr<IDispatch> d;
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"Quillon.Preferences", &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(d.GetAddressOf())),
            S_OK);
  return d;
}

// The dispatch view's functions as the type information describes them.
struct Member {
  std::u16string name;
  DISPID id;
  INVOKEKIND kind;
  UINT params;
};

std::vector<Member> MembersOf(IDispatch* d) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(d->GetTypeInfo(0, 0, &info), S_OK);
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
  std::vector<Member> members;
  for (UINT i = 0; attr != nullptr && i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    EXPECT_EQ(info->GetFuncDesc(i, &fd), S_OK);
    BSTR name = nullptr;
    UINT got = 0;
    EXPECT_EQ(info->GetNames(fd->memid, &name, 1, &got), S_OK);
    members.push_back({std::u16string(name, SysStringLen(name)), fd->memid, fd->invkind,
                       static_cast<UINT>(fd->cParams)});
    SysFreeString(name);
    info->ReleaseFuncDesc(fd);
  }
  if (attr != nullptr) info->ReleaseTypeAttr(attr);
  return members;
}

// Every function of the type information is found by its name in any
// case; names it lacks are not.
TEST(Dispatch, NamesMapToTheirIds) {
  auto d = NewDispatch();
  UINT count = 0;
  EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  const std::vector<Member> members = MembersOf(d.Get());
  ASSERT_GT(members.size(), 7u);
  for (const Member& m : members) {
    EXPECT_EQ(IdOf(d.Get(), m.name), m.id) << Utf16ToUtf8(m.name);
    std::u16string lower = m.name;
    for (char16_t& c : lower) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    EXPECT_EQ(IdOf(d.Get(), lower), m.id) << Utf16ToUtf8(lower);
  }
  std::u16string unknown = u"NoSuchMember";
  LPOLESTR names[] = {unknown.data()};
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

// A put through any member changes that member only: catches a field read
// or written at the wrong offset or width. Every number property with a
// put, each index of an indexed one (indexes run from 0 to the first a
// get refuses).
TEST(Dispatch, EveryPutChangesItsOwnPropertyOnly) {
  struct Prop {
    std::u16string name;
    std::vector<LONG> index;
  };
  auto d = NewDispatch();
  std::vector<Prop> props;
  for (const Member& m : MembersOf(d.Get())) {
    if (m.kind != INVOKE_PROPERTYPUT || m.name == u"VIN") continue;
    if (m.params == 1) {
      props.push_back({m.name, {}});
      continue;
    }
    for (LONG i = 0; i < 256; ++i) {
      VARIANT r;
      VariantInit(&r);
      if (Call(d.Get(), m.id, DISPATCH_PROPERTYGET, {I4(i)}, &r) != S_OK) break;
      VariantClear(&r);
      props.push_back({m.name, {i}});
    }
  }
  ASSERT_GT(props.size(), 30u);
  auto snapshot = [&](IDispatch* d) {
    std::vector<LONG> values;
    for (const Prop& p : props) {
      std::vector<VARIANT> idx;
      for (LONG i : p.index) idx.push_back(I4(i));
      values.push_back(GetNumber(d, p.name, std::move(idx)));
    }
    return values;
  };
  // Two puts of values that fit every field and differ in their low bits:
  // a write that lands elsewhere too changes that property between them.
  const auto put = [&](std::size_t k, LONG value) {
    std::vector<VARIANT> args;
    for (LONG i : props[k].index) args.push_back(I4(i));
    args.push_back(I4(value));
    return Call(d.Get(), IdOf(d.Get(), props[k].name), DISPATCH_PROPERTYPUT, std::move(args));
  };
  for (std::size_t k = 0; k < props.size(); ++k) {
    std::vector<LONG> last = snapshot(d.Get());
    for (LONG value : {5, 6}) {
      ASSERT_EQ(put(k, value), S_OK) << Utf16ToUtf8(props[k].name);
      const std::vector<LONG> now = snapshot(d.Get());
      for (std::size_t j = 0; j < props.size(); ++j) {
        if (j == k) {
          EXPECT_EQ(now[j], value) << "put " << Utf16ToUtf8(props[k].name);
        } else {
          EXPECT_EQ(now[j], last[j]) << "put of " << Utf16ToUtf8(props[k].name) << " changed "
                                     << Utf16ToUtf8(props[j].name);
        }
      }
      last = now;
    }
  }
}

// Threads each with their own objects; the type description is shared and
// the lock count returns to zero.
TEST(Concurrency, ObjectsOnManyThreads) {
  ITypeInfo* first = nullptr;
  {
    auto d = NewDispatch();
    ASSERT_EQ(d->GetTypeInfo(0, 0, &first), S_OK);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        ComPtr<IDispatch> d;
        if (CoCreateInstance(CLSID_Preferences, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(d.GetAddressOf())) != S_OK) {
          ++failures;
          continue;
        }
        ITypeInfo* info = nullptr;
        if (d->GetTypeInfo(0, 0, &info) != S_OK || info != first) ++failures;
        if (info) info->Release();
        if (Call(d.Get(), 6, DISPATCH_PROPERTYPUT, {I4(t * 1000 + i)}) != S_OK) ++failures;
        if (GetNumber(d.Get(), u"SpeedUpdate") != t * 1000 + i) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  first->Release();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quillon::testing

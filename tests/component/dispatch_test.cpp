// The same object reached by name through IDispatch, as a script would.
// (Names, conversions and bad arguments are the dispatch cases', compared
// with the system's automation library under Wine, and the command-line
// client's.)
#include <thread>
#include <vector>

#include "component_env.h"
#include "quillon_text.h"

namespace quillon::testing {
namespace {

ComPtr<IDispatch> NewDispatch() {
  ComPtr<IDispatch> d;
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"Quillon.Preferences", &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(d.GetAddressOf())),
            S_OK);
  return d;
}

// A number property, with its index when it takes one.
struct Prop {
  DISPID id;
  std::vector<LONG> index;
  std::string name;
};

// The property's value as a number, or the status of a get that failed.
LONG GetNumber(IDispatch* d, DISPID id, const std::vector<LONG>& index, HRESULT* status = nullptr) {
  std::vector<VARIANT> args;
  for (LONG i : index) args.push_back(I4(i));
  VARIANT r, n;
  VariantInit(&r);
  VariantInit(&n);
  const HRESULT hr = Call(d, id, DISPATCH_PROPERTYGET, std::move(args), &r);
  if (status != nullptr) *status = hr;
  if (hr == S_OK) {
    EXPECT_EQ(VariantChangeType(&n, &r, 0, VT_I4), S_OK);
  }
  VariantClear(&r);
  return n.lVal;
}

// Every number property with a put, from the type information; each index
// of an indexed one (indexes run from 0 to the first a get refuses).
std::vector<Prop> NumberProperties(IDispatch* d) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(d->GetTypeInfo(0, 0, &info), S_OK);
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
  std::vector<Prop> props;
  for (UINT f = 0; attr != nullptr && f < attr->cFuncs; ++f) {
    FUNCDESC* fd = nullptr;
    EXPECT_EQ(info->GetFuncDesc(f, &fd), S_OK);
    Bstr name;
    UINT got = 0;
    EXPECT_EQ(info->GetNames(fd->memid, &name, 1, &got), S_OK);
    if (fd->invkind == INVOKE_PROPERTYPUT && name.Text() != u"VIN") {
      HRESULT status = S_OK;
      for (LONG i = 0; i < (fd->cParams == 1 ? 1 : 256); ++i) {
        const std::vector<LONG> index = fd->cParams == 1 ? std::vector<LONG>{} : std::vector<LONG>{i};
        GetNumber(d, fd->memid, index, &status);
        if (status != S_OK) break;
        props.push_back({fd->memid, index, Utf16ToUtf8(name.Text()) + (index.empty() ? "" : "(" + std::to_string(i) + ")")});
      }
    }
    info->ReleaseFuncDesc(fd);
  }
  if (attr != nullptr) info->ReleaseTypeAttr(attr);
  return props;
}

// A put through any member changes that member only: catches a field read
// or written at the wrong offset or width. Two puts of values that fit
// every field and differ in their low bits: a write that lands elsewhere
// too changes that property between them.
TEST(Dispatch, EveryPutChangesItsOwnPropertyOnly) {
  auto d = NewDispatch();
  const std::vector<Prop> props = NumberProperties(d.Get());
  ASSERT_GT(props.size(), 30u);
  const auto snapshot = [&] {
    std::vector<LONG> values;
    for (const Prop& p : props) values.push_back(GetNumber(d.Get(), p.id, p.index));
    return values;
  };
  for (std::size_t k = 0; k < props.size(); ++k) {
    const Prop& p = props[k];
    std::vector<LONG> expected = snapshot();
    for (LONG value : {5, 6}) {
      std::vector<VARIANT> args;
      for (LONG i : p.index) args.push_back(I4(i));
      args.push_back(I4(value));
      ASSERT_EQ(Call(d.Get(), p.id, DISPATCH_PROPERTYPUT, std::move(args)), S_OK) << p.name;
      expected[k] = value;
      const std::vector<LONG> now = snapshot();
      for (std::size_t j = 0; j < props.size(); ++j)
        EXPECT_EQ(now[j], expected[j]) << "put of " << p.name << " = " << value << ", then " << props[j].name;
    }
  }
}

// Threads each with their own objects; the type description is shared and
// the lock count returns to zero.
TEST(Concurrency, ObjectsOnManyThreads) {
  ITypeInfo* first = nullptr;
  DISPID speed = 0;
  {
    auto d = NewDispatch();
    ASSERT_EQ(d->GetTypeInfo(0, 0, &first), S_OK);
    speed = IdOf(d.Get(), u"SpeedUpdate");
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
        if (Call(d.Get(), speed, DISPATCH_PROPERTYPUT, {I4(t * 1000 + i)}) != S_OK) ++failures;
        if (GetNumber(d.Get(), speed, {}) != t * 1000 + i) ++failures;
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

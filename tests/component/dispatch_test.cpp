// The same object reached by name through IDispatch, as a script would.
#include <thread>
#include <vector>

#include "component_env.h"

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

VARIANT Text(const std::u16string& s) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_BSTR;
  x.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
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

const char16_t* const kMembers[] = {
    u"Flags", u"Version", u"Region", u"BrightnessDay", u"SplashTime", u"SpeedUpdate", u"CompassUpdate",
    u"SpeedFilterThreshold", u"IceWarning", u"ShortPressTime", u"LongPressTime", u"SatTime", u"FontColor",
    u"Fuel005", u"RefuelWarning", u"CANBaudrate", u"GPSBaudrate", u"TimeZoneOffset", u"NMEAFlags",
    u"ColorBalance", u"WriteS19", u"ReadS19", u"VIN", u"FuelDiv", u"FuelMul", u"BrightnessNight",
    u"Ill_min_volt", u"ElementX", u"ElementAlignment", u"ElementY", u"PPMKM", u"PPMDividend", u"Aircore",
    u"Debounce", u"OdoDisplayTime", u"AircoreTestSpeed", u"AircoreTestRange"};

TEST(Dispatch, NamesMapToTheirIds) {
  auto d = NewDispatch();
  UINT count = 0;
  EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  for (DISPID i = 0; i < 37; ++i) EXPECT_EQ(IdOf(d.Get(), kMembers[i]), i + 1);
  EXPECT_EQ(IdOf(d.Get(), u"readS19"), 22) << "falls back to the type description, which ignores case";
  std::u16string unknown = u"NoSuchMember";
  LPOLESTR names[] = {unknown.data()};
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST(Dispatch, PutAndGetBehaveLikeDirectCalls) {
  auto d = NewDispatch();
  EXPECT_EQ(Call(d.Get(), 4, DISPATCH_PROPERTYPUT, {I4(20)}), S_OK);
  EXPECT_EQ(GetNumber(d.Get(), u"BrightnessDay"), 4);
  // A number typed as text is coerced.
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"SpeedUpdate"), DISPATCH_PROPERTYPUT, {Text(u"1500")}), S_OK);
  EXPECT_EQ(GetNumber(d.Get(), u"SpeedUpdate"), 1500);
  // Index first, value last.
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"ElementX"), DISPATCH_PROPERTYPUT, {I4(WIN_MPG), Text(u"99")}), S_OK);
  EXPECT_EQ(GetNumber(d.Get(), u"ElementX", {I4(WIN_MPG)}), 99);
  EXPECT_EQ(GetNumber(d.Get(), u"ElementX", {I4(WIN_CLOCK)}), 0);
  EXPECT_EQ(GetNumber(d.Get(), u"FontColor"), 0x00FFFFFF);
}

TEST(Dispatch, BadArgumentsAreReportedAsSuch) {
  auto d = NewDispatch();
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"Region"), DISPATCH_PROPERTYPUT, {Text(u"abc")}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"FuelDiv"), DISPATCH_PROPERTYPUT, {I4(70000)}), DISP_E_OVERFLOW);
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"ColorBalance"), DISPATCH_PROPERTYPUT, {I4(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(d.Get(), 99, DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(GetNumber(d.Get(), u"FuelDiv"), 3) << "a refused put changes nothing";
}

TEST(Dispatch, FailingMembersFillTheExceptionInfo) {
  auto d = NewDispatch();
  EXCEPINFO e{};
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"ColorBalance"), DISPATCH_PROPERTYGET, {I4(3)}, &r, &e), DISP_E_EXCEPTION);
  EXPECT_EQ(e.scode, E_INVALIDARG);
  SysFreeString(e.bstrDescription);
  SysFreeString(e.bstrSource);
  SysFreeString(e.bstrHelpFile);

  EXCEPINFO w{};
  const std::string path = ComponentEnvironment::Folder() + "/missing/x.S19";
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"WriteS19"), DISPATCH_METHOD, {Text(U16(path))}, nullptr, &w),
            DISP_E_EXCEPTION);
  EXPECT_EQ(w.scode, DISP_E_EXCEPTION);
  ASSERT_NE(w.bstrDescription, nullptr);
  EXPECT_EQ(std::u16string(w.bstrDescription), u"File not found!");
  ASSERT_NE(w.bstrSource, nullptr);
  EXPECT_EQ(std::u16string(w.bstrSource), u"Quillon.Preferences.1");
  SysFreeString(w.bstrDescription);
  SysFreeString(w.bstrSource);
  SysFreeString(w.bstrHelpFile);
}

// A put through any member changes that member only: catches a field read
// or written at the wrong offset or width.
TEST(Dispatch, EveryPutChangesItsOwnPropertyOnly) {
  struct Prop {
    const char16_t* name;
    std::vector<LONG> index;
  };
  std::vector<Prop> props;
  for (const char16_t* name : kMembers) {
    const std::u16string n = name;
    if (n == u"WriteS19" || n == u"ReadS19" || n == u"Version" || n == u"VIN") continue;
    if (n == u"ColorBalance") {
      for (LONG i = 0; i < 3; ++i) props.push_back({name, {i}});
    } else if (n.rfind(u"Element", 0) == 0) {
      for (LONG i = 0; i < 5; ++i) props.push_back({name, {i}});
    } else {
      props.push_back({name, {}});
    }
  }
  auto snapshot = [&](IDispatch* d) {
    std::vector<LONG> values;
    for (const Prop& p : props) {
      std::vector<VARIANT> idx;
      for (LONG i : p.index) idx.push_back(I4(i));
      values.push_back(GetNumber(d, p.name, std::move(idx)));
    }
    return values;
  };
  auto d = NewDispatch();
  for (std::size_t k = 0; k < props.size(); ++k) {
    const std::vector<LONG> before = snapshot(d.Get());
    std::vector<VARIANT> args;
    for (LONG i : props[k].index) args.push_back(I4(i));
    const LONG value = (before[k] & 0xF) == 5 ? 6 : 5;  // fits every field, differs from what is there
    args.push_back(I4(value));
    ASSERT_EQ(Call(d.Get(), IdOf(d.Get(), props[k].name), DISPATCH_PROPERTYPUT, std::move(args)), S_OK);
    const std::vector<LONG> after = snapshot(d.Get());
    for (std::size_t j = 0; j < props.size(); ++j) {
      if (j == k) {
        EXPECT_EQ(after[j], value) << "put " << k;
      } else {
        EXPECT_EQ(after[j], before[j]) << "put of property " << k << " changed property " << j;
      }
    }
  }
}

TEST(Dispatch, VinAsText) {
  auto d = NewDispatch();
  EXPECT_EQ(Call(d.Get(), IdOf(d.Get(), u"VIN"), DISPATCH_PROPERTYPUT, {Text(u"ABCDEFGHIJ")}), S_OK);
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(Call(d.Get(), IdOf(d.Get(), u"VIN"), DISPATCH_PROPERTYGET, {}, &r), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(r.bstrVal, SysStringLen(r.bstrVal)), u"1G D   H J 000001");
  VariantClear(&r);
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

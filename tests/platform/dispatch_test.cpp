// Calls by member id through IDispatch / ITypeInfo::Invoke on the test
// component, for what the component's own interface cannot show: several
// positional and named arguments, parameters of every width and kind, and
// members sharing ids. How the component's members are called and
// converted, and how a failure fills the exception information, is
// compared with the system's automation library by the dispatch cases in
// tests/windows.
#define INITGUID  // this unit defines the test component's identifiers
#include <cstring>

#include "comptr.h"
#include "test_calc.h"
#include "test_support.h"

namespace {

const std::u16string kComponent = quillon::Utf8ToUtf16(TEST_COMPONENT_PATH);

// A variant of type vt holding value, the rest of it zero.
template <class T>
VARIANT Of(VARTYPE vt, T value) {
  VARIANT x{};
  x.vt = vt;
  std::memcpy(&x.llVal, &value, sizeof value);
  return x;
}
VARIANT Long(LONG v) { return Of(VT_I4, v); }
VARIANT Text(const char16_t* text) { return Of(VT_BSTR, SysAllocString(text)); }

// Text of a VT_BSTR result, which the caller owns and frees here.
std::u16string TakeText(VARIANT* r) {
  EXPECT_EQ(r->vt, VT_BSTR);
  std::u16string text(r->vt == VT_BSTR && r->bstrVal ? r->bstrVal : u"");
  VariantClear(r);
  return text;
}

class DispatchTest : public TempRegistryTest {
 protected:
  void SetUp() override {
    TempRegistryTest::SetUp();
    ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\" + quillon::testing::GuidText(CLSID_TestCalc) + u"\\InprocServer32",
                        u"", kComponent),
              ERROR_SUCCESS);
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&calc_)), S_OK);
    ASSERT_EQ(calc_.As(&disp_), S_OK);
    VariantInit(&r_);
  }

  DISPID Id(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << quillon::ToUtf8(name);
    return id;
  }
  // Invokes with args as rgvarg (the last argument first) and the ids of
  // the named ones; the caller's arguments must come back as they were, and
  // are freed here.
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, UINT* argErr = nullptr,
               std::vector<DISPID> named = {}) {
    const std::vector<VARIANT> before = args;
    std::vector<std::u16string> texts;
    for (const VARIANT& v : args) texts.emplace_back(v.vt == VT_BSTR ? v.bstrVal : u"");
    DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    const HRESULT hr = disp_->Invoke(id, IID_NULL, 0, flags, &params, &r_, nullptr, argErr);
    for (std::size_t i = 0; i < args.size(); ++i) {
      EXPECT_EQ(std::memcmp(&before[i], &args[i], sizeof(VARIANT)), 0) << "argument " << i << " changed";
      EXPECT_EQ(texts[i], args[i].vt == VT_BSTR ? args[i].bstrVal : u"") << "argument " << i << " changed";
      VariantClear(&args[i]);
    }
    return hr;
  }

  ComPtr<ITestCalc> calc_;
  ComPtr<IDispatch> disp_;
  VARIANT r_;  // the last call's result
};

// Positional arguments arrive last first. Named ones come ahead of them in
// rgvarg and name their parameter by position; the positional ones fill
// the rest, last first.
TEST_F(DispatchTest, PositionalAndNamedArgumentsReachTheirParameters) {
  const struct {
    std::vector<DISPID> named;  // for rgvarg {10, 3}
    HRESULT hr;
    LONG result;  // of Subtract(a, b)
    UINT argErr;
  } cases[] = {
      {{}, S_OK, 3 - 10, 99},      // b = 10, a = 3
      {{1}, S_OK, 3 - 10, 99},     // b = 10 named, then a = 3
      {{0}, S_OK, 10 - 3, 99},     // a = 10 named, then b = 3
      {{1, 0}, S_OK, 3 - 10, 99},  // b = 10, a = 3, both named
      {{0, 1}, S_OK, 10 - 3, 99},
      {{2}, DISP_E_PARAMNOTFOUND, 0, 0},  // the [retval] is no argument
      {{0, 0}, DISP_E_PARAMNOTFOUND, 0, 1},
      {{DISPID_PROPERTYPUT}, DISP_E_PARAMNOTFOUND, 0, 0},  // only a put takes its value that way
  };
  for (const auto& c : cases) {
    UINT argErr = 99;
    r_.lVal = 0;
    EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(10), Long(3)}, &argErr, c.named), c.hr) << c.named.size();
    EXPECT_EQ(r_.lVal, c.result);
    EXPECT_EQ(argErr, c.argErr);
  }
}

TEST_F(DispatchTest, ValuesOfEveryWidthReachTheMemberWhole) {
  // Arguments already of the parameter's type, then ones that need coercion.
  const struct {
    const char16_t* member;
    std::vector<VARIANT> args;
    const char16_t* text;
  } calls[] = {
      {u"Describe", {Of(VT_UI4, ULONG{4000000000u}), Of(VT_I2, SHORT{-300})}, u"-300 4000000000"},
      {u"Describe", {Of(VT_UI4, ULONG{0xFFFFFFFFu}), Of(VT_I2, SHORT{-32768})}, u"-32768 4294967295"},
      {u"Describe", {Text(u"2147483648"), Long(-1)}, u"-1 2147483648"},
      // Seven arguments with `this`: every one-byte and two-byte kind.
      {u"DescribeAll",
       {Of(VT_UINT, 4000000000u), Of(VT_BOOL, VARIANT_BOOL{VARIANT_TRUE}), Of(VT_UI2, USHORT{65535}),
        Of(VT_UI1, BYTE{250}), Of(VT_I1, static_cast<signed char>(-5))},
       u"-5 250 65535 -1 4000000000"},
      {u"DescribeAll", {Long(7), Text(u"True"), Long(1), Long(2), Long(-128)}, u"-128 2 1 -1 7"},
  };
  for (const auto& c : calls) {
    EXPECT_EQ(Call(Id(c.member), DISPATCH_METHOD, c.args), S_OK) << quillon::ToUtf8(c.text);
    EXPECT_EQ(TakeText(&r_), c.text);
  }
  EXPECT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {Long(7), Text(u"True"), Long(-1), Long(2), Long(3)}),
            DISP_E_OVERFLOW);  // w
  EXPECT_EQ(r_.vt, VT_EMPTY);

  // Floating point, in registers of their own.
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(3), Of(VT_R4, -4.0f), Of(VT_R8, 2.5)}), S_OK);
  EXPECT_EQ(r_.vt, VT_R8);
  EXPECT_EQ(r_.dblVal, -7.0);
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(10), Long(6), Text(u"0.5")}), S_OK);
  EXPECT_EQ(r_.dblVal, 13.0);
}

// Through the type information directly: a description of the same table
// whose ids are far apart, a get and a method sharing one, two puts another.
TEST_F(DispatchTest, InvokePicksTheFirstDeclaredMemberOfARequestedKind) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &lib), S_OK);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestCalcScattered, &info), S_OK);
  ASSERT_EQ(calc_->put_Value(41), S_OK);
  ASSERT_EQ(calc_->put_Small(-9), S_OK);
  const auto invoke = [&](MEMBERID id, WORD flags, std::vector<VARIANT> args, std::vector<DISPID> named = {}) {
    DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    return info->Invoke(calc_.Get(), id, flags, &params, (flags & DISPATCH_PROPERTYPUT) ? nullptr : &r_, nullptr,
                        nullptr);
  };
  ASSERT_EQ(invoke(5000000, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}), S_OK);
  EXPECT_EQ(r_.vt, VT_I4);  // the get, declared first
  EXPECT_EQ(r_.lVal, 41);
  ASSERT_EQ(invoke(5000000, DISPATCH_METHOD, {}), S_OK);
  EXPECT_EQ(r_.vt, VT_I2);
  EXPECT_EQ(r_.iVal, -9);
  EXPECT_EQ(invoke(5000000, DISPATCH_PROPERTYPUT, {}), DISP_E_BADPARAMCOUNT);
  ASSERT_EQ(invoke(-7, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, {Long(1234)}, {DISPID_PROPERTYPUT}), S_OK);
  LONG direct = 0;
  short small = 0;
  calc_->get_Value(&direct);
  calc_->get_Small(&small);
  EXPECT_EQ(direct, 1234);
  EXPECT_EQ(small, -9);  // the second put of id -7 was not called
  ASSERT_EQ(invoke(3, DISPATCH_METHOD, {Long(2), Long(9)}), S_OK);
  EXPECT_EQ(r_.lVal, 7);
  for (MEMBERID missing : {0, 2, 4, -8, -6, 4999999, 5000001, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(invoke(missing, 0xF, {}), DISP_E_MEMBERNOTFOUND) << missing;
  }
  // Ids around the compact range of the dual interface and in its gaps find
  // nothing either, nor do IDispatch's own members.
  for (DISPID missing : {0, -1, 7, 13, 0x60010000, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(Call(missing, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND) << missing;
  }
}

}  // namespace

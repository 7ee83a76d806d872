// Calls by member id through IDispatch / ITypeInfo::Invoke on the test
// component, for what the component's own interface cannot show: several
// positional and named arguments, parameters of every width and kind,
// members sharing ids, and error information with a help file. How the
// component's members are called and converted is compared with the
// system's automation library by the dispatch cases in tests/windows.
#define INITGUID  // this unit defines the test component's identifiers
#include <cstring>

#include "comptr.h"
#include "test_calc.h"
#include "test_support.h"

namespace {

const std::u16string kComponent = quillon::Utf8ToUtf16(TEST_COMPONENT_PATH);
constexpr HRESULT kCalcFailure = QUILLON_HR(0x80040301u);

VARIANT Long(LONG v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}

// Owns a VT_BSTR variant.
struct TextArg {
  explicit TextArg(const char16_t* text) {
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
  }
  ~TextArg() { VariantClear(&v); }
  VARIANT v;
};

class DispatchTest : public TempRegistryTest {
 protected:
  void SetUp() override {
    TempRegistryTest::SetUp();
    module_ = LoadLibraryA(TEST_COMPONENT_PATH);  // gives the component its module handle
    ASSERT_NE(module_, nullptr);
    auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(
        GetProcAddress(module_, "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_TestCalc, IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&calc_)), S_OK);
    ASSERT_EQ(calc_.As(&disp_), S_OK);
  }
  void TearDown() override {
    disp_.Reset();
    calc_.Reset();
    FreeLibrary(module_);
    TempRegistryTest::TearDown();
  }

  DISPID Id(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << quillon::ToUtf8(name);
    return id;
  }
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
               EXCEPINFO* excep = nullptr, UINT* argErr = nullptr) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr,
                      static_cast<UINT>(args.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    return disp_->Invoke(id, IID_NULL, 0, flags, &params, result, excep, argErr);
  }

  HMODULE module_ = nullptr;
  ComPtr<ITestCalc> calc_;
  ComPtr<IDispatch> disp_;
};

// Positional arguments arrive last first. Named ones come ahead of them in
// rgvarg and name their parameter by position; the positional ones fill
// the rest, last first.
TEST_F(DispatchTest, PositionalAndNamedArgumentsReachTheirParameters) {
  VARIANT r;
  VariantInit(&r);
  // Subtract(a, b): rgvarg[0] is b, rgvarg[1] is a.
  ASSERT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(3), Long(10)}, &r), S_OK);
  EXPECT_EQ(r.lVal, 7);
  VARIANT args[] = {Long(10), Long(3)};  // b = 10 (named), then a = 3 (positional)
  DISPID named[] = {1};
  DISPPARAMS one{args, named, 2, 1};
  ASSERT_EQ(disp_->Invoke(Id(u"Subtract"), IID_NULL, 0, DISPATCH_METHOD, &one, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.lVal, 3 - 10);
  DISPID both[] = {1, 0};  // b = 10, a = 3
  DISPPARAMS two{args, both, 2, 2};
  ASSERT_EQ(disp_->Invoke(Id(u"Subtract"), IID_NULL, 0, DISPATCH_METHOD, &two, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.lVal, 3 - 10);

  UINT argErr = 99;
  DISPID unknown[] = {2};  // the [retval] is no argument
  DISPPARAMS bad{args, unknown, 2, 1};
  EXPECT_EQ(disp_->Invoke(Id(u"Subtract"), IID_NULL, 0, DISPATCH_METHOD, &bad, &r, nullptr, &argErr),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 0u);
  DISPID twice[] = {0, 0};
  DISPPARAMS same{args, twice, 2, 2};
  EXPECT_EQ(disp_->Invoke(Id(u"Subtract"), IID_NULL, 0, DISPATCH_METHOD, &same, &r, nullptr, &argErr),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 1u);
  DISPID put[] = {DISPID_PROPERTYPUT};  // only a put takes its value that way
  DISPPARAMS notAPut{args, put, 2, 1};
  EXPECT_EQ(disp_->Invoke(Id(u"Subtract"), IID_NULL, 0, DISPATCH_METHOD, &notAPut, &r, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchTest, FailingMemberFillsExceptionInfoFromErrorInfo) {
  EXCEPINFO excep;
  TextArg path(u"/no/such/dir/x.S19");
  ASSERT_EQ(Call(Id(u"Fail"), DISPATCH_METHOD, {path.v}, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, kCalcFailure);
  EXPECT_EQ(std::u16string(excep.bstrDescription), u"Cannot open /no/such/dir/x.S19");
  EXPECT_EQ(std::u16string(excep.bstrSource), u"Test.Calc.1");
  EXPECT_EQ(std::u16string(excep.bstrHelpFile), u"calc.hlp");
  EXPECT_EQ(excep.dwHelpContext, 42u);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
  ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);  // taken by Invoke
}

// A variant of type vt holding value, the rest of its payload zero.
template <class T>
VARIANT Of(VARTYPE vt, T value) {
  VARIANT x;
  VariantInit(&x);
  x.vt = vt;
  x.llVal = 0;
  std::memcpy(&x.llVal, &value, sizeof value);
  return x;
}

// Text of a VT_BSTR result, which the caller owns and frees here.
std::u16string TakeText(VARIANT* r) {
  EXPECT_EQ(r->vt, VT_BSTR);
  std::u16string text(r->vt == VT_BSTR && r->bstrVal ? r->bstrVal : u"");
  VariantClear(r);
  return text;
}

TEST_F(DispatchTest, NarrowAndUnsignedValuesReachTheMemberWhole) {
  VARIANT r;
  VariantInit(&r);
  // Arguments already of the parameter's type, then ones that need coercion.
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {Of(VT_UI4, ULONG{4000000000u}), Of(VT_I2, SHORT{-300})}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-300 4000000000");
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {Of(VT_UI4, ULONG{0xFFFFFFFFu}), Of(VT_I2, SHORT{-32768})}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-32768 4294967295");
  TextArg big(u"2147483648");
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {big.v, Long(-1)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-1 2147483648");
  EXPECT_EQ(std::u16string(big.v.bstrVal), u"2147483648");  // the caller's string is left alone

  // Seven arguments with `this`: every one-byte and two-byte kind.
  ASSERT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD,
                 {Of(VT_UINT, 4000000000u), Of(VT_BOOL, VARIANT_BOOL{VARIANT_TRUE}), Of(VT_UI2, USHORT{65535}),
                  Of(VT_UI1, BYTE{250}), Of(VT_I1, static_cast<signed char>(-5))},
                 &r),
            S_OK);
  EXPECT_EQ(TakeText(&r), u"-5 250 65535 -1 4000000000");
  TextArg yes(u"True");
  ASSERT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {Long(7), yes.v, Long(1), Long(2), Long(-128)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-128 2 1 -1 7");
  UINT argErr = 99;
  EXPECT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {Long(7), yes.v, Long(-1), Long(2), Long(3)}, &r, nullptr,
                 &argErr),
            DISP_E_OVERFLOW);  // w
  EXPECT_EQ(r.vt, VT_EMPTY);
}

TEST_F(DispatchTest, FloatingPointParametersAndResults) {
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(3), Of(VT_R4, -4.0f), Of(VT_R8, 2.5)}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_R8);
  EXPECT_EQ(r.dblVal, -7.0);
  TextArg half(u"0.5");
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(10), Long(6), half.v}, &r), S_OK);
  EXPECT_EQ(r.dblVal, 13.0);
}

// Through the type information directly: a description of the same table
// whose ids are far apart, a get and a method sharing one, two puts another.
TEST_F(DispatchTest, InvokePicksTheFirstDeclaredMemberOfARequestedKind) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &lib), S_OK);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestCalcScattered, &info), S_OK);
  ITestCalc* self = calc_.Get();
  ASSERT_EQ(calc_->put_Value(41), S_OK);
  ASSERT_EQ(calc_->put_Small(-9), S_OK);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(info->Invoke(self, 5000000, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.vt, VT_I4);  // the get, declared first
  EXPECT_EQ(r.lVal, 41);
  ASSERT_EQ(info->Invoke(self, 5000000, DISPATCH_METHOD, &none, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.vt, VT_I2);
  EXPECT_EQ(r.iVal, -9);
  EXPECT_EQ(info->Invoke(self, 5000000, DISPATCH_PROPERTYPUT, &none, &r, nullptr, nullptr), DISP_E_BADPARAMCOUNT);

  VARIANT value = Long(1234);
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS one{&value, &put, 1, 1};
  ASSERT_EQ(info->Invoke(self, -7, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, &one, nullptr, nullptr, nullptr),
            S_OK);
  LONG direct = 0;
  calc_->get_Value(&direct);
  EXPECT_EQ(direct, 1234);
  short small = 0;
  calc_->get_Small(&small);
  EXPECT_EQ(small, -9);  // the second put of id -7 was not called

  VARIANT ab[] = {Long(2), Long(9)};
  DISPPARAMS two{ab, nullptr, 2, 0};
  ASSERT_EQ(info->Invoke(self, 3, DISPATCH_METHOD, &two, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.lVal, 7);
  for (MEMBERID missing : {0, 2, 4, -8, -6, 4999999, 5000001, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(info->Invoke(self, missing, 0xF, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND) << missing;
  }
  // Ids around the compact range of the dual interface find nothing either,
  // nor do IDispatch's own members.
  for (DISPID missing : {0, -1, 13, 0x60010000, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(Call(missing, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &r), DISP_E_MEMBERNOTFOUND) << missing;
  }
}

}  // namespace

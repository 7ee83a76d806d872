// Type libraries from a component's table, their registration, and calls
// by name through IDispatch / ITypeInfo::Invoke.
#include "comptr.h"
#include "test_component.h"
#include "test_support.h"

namespace {

const std::u16string kComponent = quillon::Utf8ToUtf16(TEST_COMPONENT_PATH);

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
  LONG GetLong(const char16_t* name) {
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(Call(Id(name), DISPATCH_PROPERTYGET, {}, &r), S_OK);
    VARIANT asLong;
    VariantInit(&asLong);
    EXPECT_EQ(VariantChangeType(&asLong, &r, 0, VT_I4), S_OK);
    VariantClear(&r);
    return asLong.lVal;
  }

  HMODULE module_ = nullptr;
  ComPtr<ITestCalc> calc_;
  ComPtr<IDispatch> disp_;
};

TEST_F(DispatchTest, NamesMapToIdsIgnoringCase) {
  EXPECT_EQ(Id(u"Value"), 1);
  EXPECT_EQ(Id(u"SUBTRACT"), 5);
  EXPECT_EQ(Id(u"failbare"), 8);
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Subtract"), const_cast<LPOLESTR>(u"B"),
                      const_cast<LPOLESTR>(u"nope")};
  DISPID ids[3] = {0, 0, 0};
  EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 5);
  EXPECT_EQ(ids[1], 1);  // parameter position
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Valu")};
  EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, PropertyGetAndPutReachTheRightSlots) {
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYPUT, {Long(-7)}, nullptr), S_OK);
  LONG direct = 0;
  calc_->get_Value(&direct);
  EXPECT_EQ(direct, -7);
  ASSERT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, -7);

  ASSERT_EQ(Call(Id(u"Small"), DISPATCH_PROPERTYPUT, {Long(-300)}, nullptr), S_OK);
  ASSERT_EQ(Call(Id(u"Small"), DISPATCH_PROPERTYGET, {}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_I2);
  EXPECT_EQ(r.iVal, -300);

  ASSERT_EQ(Call(Id(u"Color"), DISPATCH_PROPERTYGET, {}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_UI4);
  EXPECT_EQ(r.ulVal, 0x00FFFFFFu);
  TextArg big(u"4278190080");  // 0xFF000000 fits an unsigned colour
  ASSERT_EQ(Call(Id(u"Color"), DISPATCH_PROPERTYPUT, {big.v}, nullptr), S_OK);
  OLE_COLOR color = 0;
  calc_->get_Color(&color);
  EXPECT_EQ(color, 0xFF000000u);

  TextArg name(u"Quillon \u00E9");
  ASSERT_EQ(Call(Id(u"Name"), DISPATCH_PROPERTYPUT, {name.v}, nullptr), S_OK);
  ASSERT_EQ(Call(Id(u"Name"), DISPATCH_PROPERTYGET, {}, &r), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(r.bstrVal), u"Quillon \u00E9");
  EXPECT_NE(r.bstrVal, name.v.bstrVal);
  VariantClear(&r);  // the caller owns the returned string
}

TEST_F(DispatchTest, ArgumentsArriveLastFirst) {
  VARIANT r;
  VariantInit(&r);
  // Subtract(a, b): rgvarg[0] is b, rgvarg[1] is a.
  ASSERT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(3), Long(10)}, &r), S_OK);
  EXPECT_EQ(r.lVal, 7);

  // Indexed property put: index first, value (named PROPERTYPUT) in rgvarg[0].
  ASSERT_EQ(Call(Id(u"Item"), DISPATCH_PROPERTYPUT, {Long(99), Long(2)}, nullptr), S_OK);
  ASSERT_EQ(Call(Id(u"Item"), DISPATCH_PROPERTYGET, {Long(2)}, &r), S_OK);
  EXPECT_EQ(r.lVal, 99);
  ASSERT_EQ(Call(Id(u"Item"), DISPATCH_PROPERTYGET, {Long(0)}, &r), S_OK);
  EXPECT_EQ(r.lVal, 10);
}

TEST_F(DispatchTest, TextIsCoercedToNumbersAsAScriptExpects) {
  VARIANT r;
  VariantInit(&r);
  TextArg five(u" 5 ");
  ASSERT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYPUT, {five.v}, nullptr), S_OK);
  EXPECT_EQ(GetLong(u"Value"), 5);
  TextArg hex(u"&H10");
  TextArg ten(u"10");
  ASSERT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {hex.v, ten.v}, &r), S_OK);
  EXPECT_EQ(r.lVal, 10 - 16);
  VARIANT half;
  VariantInit(&half);
  half.vt = VT_R8;
  half.dblVal = 2.5;
  ASSERT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYPUT, {half}, nullptr), S_OK);
  EXPECT_EQ(GetLong(u"Value"), 2);  // halves to even
  // A number given for a string parameter becomes its text.
  ASSERT_EQ(Call(Id(u"Name"), DISPATCH_PROPERTYPUT, {Long(42)}, nullptr), S_OK);
  ASSERT_EQ(Call(Id(u"Name"), DISPATCH_PROPERTYGET, {}, &r), S_OK);
  EXPECT_EQ(std::u16string(r.bstrVal), u"42");
  VariantClear(&r);
}

TEST_F(DispatchTest, BadArgumentsAreReportedWithTheirPosition) {
  UINT argErr = 99;
  TextArg abc(u"abc");
  EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(1), abc.v}, nullptr, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);  // rgvarg index of `a`
  TextArg tooBig(u"40000");
  argErr = 99;
  EXPECT_EQ(Call(Id(u"Small"), DISPATCH_PROPERTYPUT, {tooBig.v}, nullptr, nullptr, &argErr), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 0u);
  TextArg negative(u"-1");  // (a long -1 keeps its bits in an unsigned parameter)
  EXPECT_EQ(Call(Id(u"Color"), DISPATCH_PROPERTYPUT, {negative.v}, nullptr), DISP_E_OVERFLOW);
  TextArg huge(u"2147483648");
  EXPECT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYPUT, {huge.v}, nullptr), DISP_E_OVERFLOW);
  EXPECT_EQ(GetLong(u"Value"), 0);  // nothing was called

  EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(1)}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(1), Long(2), Long(3)}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(Id(u"Value"), DISPATCH_PROPERTYGET, {Long(1)}, nullptr), DISP_E_BADPARAMCOUNT);
  VARIANT missing;
  VariantInit(&missing);
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_METHOD, {Long(1), missing}, nullptr), DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(DispatchTest, WrongKindsAndIdsAreNotFound) {
  EXPECT_EQ(Call(77, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(Id(u"Subtract"), DISPATCH_PROPERTYPUT, {Long(1), Long(2)}, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(Id(u"Value"), DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
  // A put must name its value DISPID_PROPERTYPUT.
  VARIANT arg = Long(1);
  DISPPARAMS unnamed{&arg, nullptr, 1, 0};
  EXPECT_EQ(disp_->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchTest, FailingMemberFillsExceptionInfoFromErrorInfo) {
  EXCEPINFO excep;
  TextArg path(u"/no/such/dir/x.S19");
  ASSERT_EQ(Call(Id(u"Fail"), DISPATCH_METHOD, {path.v}, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, TESTCALC_E_FAIL);
  EXPECT_EQ(std::u16string(excep.bstrDescription), u"Cannot open /no/such/dir/x.S19");
  EXPECT_EQ(std::u16string(excep.bstrSource), u"Test.Calc.1");
  EXPECT_EQ(std::u16string(excep.bstrHelpFile), u"calc.hlp");
  EXPECT_EQ(excep.dwHelpContext, 42u);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
  ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);  // taken by Invoke

  ASSERT_EQ(Call(Id(u"FailBare"), DISPATCH_METHOD, {}, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_INVALIDARG);
  EXPECT_EQ(excep.bstrDescription, nullptr);
  EXPECT_EQ(excep.bstrSource, nullptr);
  // The indexed get refuses an index: its status comes through the same way.
  ASSERT_EQ(Call(Id(u"Item"), DISPATCH_PROPERTYGET, {Long(3)}, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_INVALIDARG);
}

VARIANT Typed(VARTYPE vt, LONGLONG bits) {
  VARIANT x;
  VariantInit(&x);
  x.vt = vt;
  x.llVal = bits;
  return x;
}

VARIANT Short(SHORT v) {
  VARIANT x = Typed(VT_I2, 0);
  x.iVal = v;
  return x;
}

VARIANT Unsigned(ULONG v) {
  VARIANT x = Typed(VT_UI4, 0);
  x.ulVal = v;
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
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {Unsigned(4000000000u), Short(-300)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-300 4000000000");
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {Unsigned(0xFFFFFFFFu), Short(-32768)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-32768 4294967295");
  TextArg big(u"2147483648");
  ASSERT_EQ(Call(Id(u"Describe"), DISPATCH_METHOD, {big.v, Long(-1)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-1 2147483648");
  EXPECT_EQ(std::u16string(big.v.bstrVal), u"2147483648");  // the caller's string is left alone

  // Seven arguments with `this`: every one-byte and two-byte kind.
  VARIANT c = Typed(VT_I1, 0);
  c.cVal = -5;
  VARIANT b = Typed(VT_UI1, 0);
  b.bVal = 250;
  VARIANT w = Typed(VT_UI2, 0);
  w.uiVal = 65535;
  VARIANT f = Typed(VT_BOOL, 0);
  f.boolVal = VARIANT_TRUE;
  VARIANT n = Typed(VT_UINT, 0);
  n.uintVal = 4000000000u;
  ASSERT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {n, f, w, b, c}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-5 250 65535 -1 4000000000");
  TextArg yes(u"True");
  ASSERT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {Long(7), yes.v, Long(1), Long(2), Long(-128)}, &r), S_OK);
  EXPECT_EQ(TakeText(&r), u"-128 2 1 -1 7");
  UINT argErr = 99;
  EXPECT_EQ(Call(Id(u"DescribeAll"), DISPATCH_METHOD, {Long(7), yes.v, Long(-1), Long(2), Long(3)}, &r, nullptr,
                 &argErr),
            DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 2u);  // w
  EXPECT_EQ(r.vt, VT_EMPTY);
}

TEST_F(DispatchTest, FloatingPointParametersAndResults) {
  VARIANT r;
  VariantInit(&r);
  VARIANT x = Typed(VT_R8, 0);
  x.dblVal = 2.5;
  VARIANT y = Typed(VT_R4, 0);
  y.fltVal = -4.0f;
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(3), y, x}, &r), S_OK);
  EXPECT_EQ(r.vt, VT_R8);
  EXPECT_EQ(r.dblVal, -7.0);
  TextArg half(u"0.5");
  ASSERT_EQ(Call(Id(u"Scale"), DISPATCH_METHOD, {Long(10), Long(6), half.v}, &r), S_OK);
  EXPECT_EQ(r.dblVal, 13.0);
}

// Through the type information directly: a description whose ids are far
// apart, with a method and a get sharing an id, and two puts sharing one.
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
  EXPECT_EQ(r.vt, VT_I2);  // the method, declared first
  EXPECT_EQ(r.iVal, -9);
  ASSERT_EQ(info->Invoke(self, 5000000, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, 41);
  EXPECT_EQ(info->Invoke(self, 5000000, DISPATCH_PROPERTYPUT, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);

  VARIANT value = Long(1234);
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS one{&value, &put, 1, 1};
  ASSERT_EQ(info->Invoke(self, -7, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, &one, nullptr, nullptr, nullptr),
            S_OK);
  LONG direct = 0;
  calc_->get_Value(&direct);
  EXPECT_EQ(direct, 1234);
  SHORT small = 0;
  calc_->get_Small(&small);
  EXPECT_EQ(small, -9);  // the second put of id -7 was not called

  VARIANT ab[] = {Long(2), Long(9)};
  DISPPARAMS two{ab, nullptr, 2, 0};
  ASSERT_EQ(info->Invoke(self, 3, DISPATCH_METHOD, &two, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.lVal, 7);
  for (MEMBERID missing : {0, 2, 4, -8, -6, 4999999, 5000001, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(info->Invoke(self, missing, 0xF, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND) << missing;
  }
  // Ids around the compact range of the dual interface find nothing either.
  for (DISPID missing : {0, -1, 13, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(Call(missing, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &r), DISP_E_MEMBERNOTFOUND) << missing;
  }
}

TEST_F(DispatchTest, TypeInfoDescribesMembersInInterfaceOrder) {
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(disp_->GetTypeInfo(0, 0, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->guid == IID_ITestCalc);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_EQ(attr->cFuncs, 18);
  EXPECT_EQ(attr->cbSizeVft, 25 * sizeof(void*));
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);

  std::vector<std::pair<std::u16string, INVOKEKIND>> members;
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &fd), S_OK);
    BSTR name = nullptr;
    UINT got = 0;
    ASSERT_EQ(info->GetNames(fd->memid, &name, 1, &got), S_OK);
    members.emplace_back(name, fd->invkind);
    EXPECT_EQ(fd->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
    if (i == 8) {  // Subtract(a, b, [out, retval] result)
      EXPECT_EQ(fd->cParams, 3);
      EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_I4);
      EXPECT_EQ(fd->lprgelemdescParam[2].tdesc.vt, VT_PTR);
      EXPECT_EQ(fd->lprgelemdescParam[2].tdesc.lptdesc->vt, VT_I4);
      EXPECT_EQ(fd->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    }
    SysFreeString(name);
    info->ReleaseFuncDesc(fd);
  }
  ASSERT_EQ(members.size(), 18u);
  EXPECT_EQ(members[0], std::make_pair(std::u16string(u"Value"), INVOKE_PROPERTYGET));
  EXPECT_EQ(members[1], std::make_pair(std::u16string(u"Value"), INVOKE_PROPERTYPUT));
  EXPECT_EQ(members[8], std::make_pair(std::u16string(u"Subtract"), INVOKE_FUNC));
  FUNCDESC* none = nullptr;
  EXPECT_EQ(info->GetFuncDesc(18, &none), TYPE_E_ELEMENTNOTFOUND);

  BSTR names[4] = {};
  UINT got = 0;
  ASSERT_EQ(info->GetNames(5, names, 4, &got), S_OK);
  ASSERT_EQ(got, 3u);  // Subtract, a, b ([retval] is not a dispatch argument)
  EXPECT_EQ(std::u16string(names[2]), u"b");
  for (UINT i = 0; i < got; ++i) SysFreeString(names[i]);

  BSTR doc = nullptr;
  ASSERT_EQ(info->GetDocumentation(7, nullptr, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::u16string(doc), u"method Fail");
  SysFreeString(doc);
}

TEST_F(DispatchTest, LibraryListsItsTypesAndAttributes) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &lib), S_OK);
  ASSERT_EQ(lib->GetTypeInfoCount(), 5u);
  TYPEKIND kind;
  ASSERT_EQ(lib->GetTypeInfoType(1, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_COCLASS);
  ASSERT_EQ(lib->GetTypeInfoType(3, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_ALIAS);
  ASSERT_EQ(lib->GetTypeInfoType(4, &kind), S_OK);
  EXPECT_EQ(kind, TKIND_INTERFACE);
  EXPECT_EQ(lib->GetTypeInfoType(5, &kind), TYPE_E_ELEMENTNOTFOUND);

  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(attr->guid == LIBID_TestCalcLib);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  lib->ReleaseTLibAttr(attr);

  BSTR name = nullptr, doc = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::u16string(name), u"TESTCALCLib");
  EXPECT_EQ(std::u16string(doc), u"TestCalc 1.0 Type Library");
  SysFreeString(name);
  SysFreeString(doc);

  // The class: default interface and default source interface.
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_TestCalc, &coclass), S_OK);
  HREFTYPE ref = 0;
  INT flags = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(1, &ref), S_OK);
  ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  ComPtr<ITypeInfo> events;
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, &events), S_OK);
  TYPEATTR* ta = nullptr;
  ASSERT_EQ(events->GetTypeAttr(&ta), S_OK);
  EXPECT_TRUE(ta->guid == DIID_ITestCalcEvents);
  EXPECT_EQ(ta->cFuncs, 0);
  events->ReleaseTypeAttr(ta);

  OLECHAR probe[] = u"mode_auto";
  BOOL found = FALSE;
  ASSERT_EQ(lib->IsName(probe, 0, &found), S_OK);
  EXPECT_TRUE(found);
  EXPECT_EQ(std::u16string(probe), u"MODE_AUTO");
}

TEST_F(DispatchTest, LibrariesWithoutAValidTableDoNotLoad) {
  ComPtr<ITypeLib> lib;
  const std::u16string noExport = quillon::Utf8ToUtf16(TEST_NOEXPORT_PATH);
  EXPECT_EQ(LoadTypeLib(noExport.c_str(), &lib), TYPE_E_CANTLOADLIBRARY);  // malformed table
  EXPECT_EQ(LoadTypeLib(u"/nonexistent/lib.so", &lib), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(LoadTypeLib(quillon::Utf8ToUtf16(dir_ + "/x.tlb").c_str(), &lib), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(lib.Get(), nullptr);
}

// Slots are unique within an interface, not across interfaces.
TEST_F(DispatchTest, SlotsAreCheckedPerInterface) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLib(quillon::Utf8ToUtf16(TEST_SLOTS_PATH).c_str(), &lib), S_OK);
  ASSERT_EQ(lib->GetTypeInfoCount(), 2u);
  for (UINT t = 0; t < 2; ++t) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfo(t, &info), S_OK);
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info->GetFuncDesc(t == 0 ? 2 : 1, &fd), S_OK);
    EXPECT_EQ(fd->oVft, static_cast<SHORT>(200 * sizeof(void*)));
    info->ReleaseFuncDesc(fd);
  }
  ComPtr<ITypeLib> twice;
  EXPECT_EQ(LoadTypeLib(quillon::Utf8ToUtf16(TEST_SLOTS_TWICE_PATH).c_str(), &twice), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(twice.Get(), nullptr);
}

TEST_F(DispatchTest, RegistrationRoundTripLeavesUnrelatedKeys) {
  const std::u16string libid = u"{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C14}";
  const std::u16string iid = u"{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C12}";
  ComPtr<ITypeLib> notYet;
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 1, 0, 0, &notYet), TYPE_E_LIBNOTREGISTERED);

  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Interface\\{00000000-0000-0000-0000-000000000001}", u"", u"Other"),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\2.0", u"", u"another version"), ERROR_SUCCESS);

  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &lib), S_OK);
  ASSERT_EQ(RegisterTypeLib(lib.Get(), kComponent.c_str(), u"/opt/help/"), S_OK);
  std::u16string value;
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\1.0", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"TestCalc 1.0 Type Library");
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\1.0\\0\\win64", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, kComponent);
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\1.0\\FLAGS", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"0");
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\1.0\\HELPDIR", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"/opt/help/");
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"Interface\\" + iid, u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"ITestCalc");
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"Interface\\" + iid + u"\\ProxyStubClsid32", u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"{00020424-0000-0000-C000-000000000046}");
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"Interface\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C13}\\ProxyStubClsid32",
                      u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"{00020420-0000-0000-C000-000000000046}");  // pure dispatch interface
  ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, u"Interface\\" + iid + u"\\TypeLib", u"Version", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, u"1.0");

  ComPtr<ITypeLib> registered;
  ASSERT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 1, 0, 0x409, &registered), S_OK);  // falls back to locale 0
  EXPECT_EQ(registered->GetTypeInfoCount(), 5u);
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 1, 1, 0, &registered), TYPE_E_LIBNOTREGISTERED);

  ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\1.0"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid + u"\\2.0"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"Interface\\" + iid));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Interface\\{00000000-0000-0000-0000-000000000001}"));
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 1, 0, 0, SYS_WIN64), TYPE_E_REGISTRYACCESS);

  // The last version gone, the library key goes too.
  ASSERT_EQ(RegisterTypeLib(lib.Get(), kComponent.c_str(), u""), S_OK);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (u"TypeLib\\" + libid + u"\\2.0").c_str()), ERROR_SUCCESS);
  ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib\\" + libid));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib"));
}

}  // namespace

// The Preferences object through its table of operations, as the editor
// calls it.
#include <memory>

#include "component_env.h"

namespace quillon::testing {
namespace {

LONG Get(IPreferences* p, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(LONG*)) {
  LONG v = 0x7EADBEEF;
  EXPECT_EQ((p->*get)(&v), S_OK);
  return v;
}

SHORT GetShort(IPreferences* p, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(SHORT*)) {
  SHORT v = 0x7EAD;
  EXPECT_EQ((p->*get)(&v), S_OK);
  return v;
}

std::u16string Vin(IPreferences* p) {
  Bstr vin;
  EXPECT_EQ(p->get_VIN(&vin), S_OK);
  return vin.Text();
}

TEST(Object, PutsCutValuesToTheFieldWidth) {
  auto p = NewPreferences();
  struct Case {
    HRESULT (STDMETHODCALLTYPE IPreferences::*put)(LONG);
    HRESULT (STDMETHODCALLTYPE IPreferences::*get)(LONG*);
    LONG in, out;
  } cases[] = {
      {&IPreferences::put_BrightnessDay, &IPreferences::get_BrightnessDay, 20, 4},
      {&IPreferences::put_BrightnessDay, &IPreferences::get_BrightnessDay, -1, 15},
      {&IPreferences::put_BrightnessNight, &IPreferences::get_BrightnessNight, 20, 4},
      {&IPreferences::put_IceWarning, &IPreferences::get_IceWarning, 200, -56},
      {&IPreferences::put_TimeZoneOffset, &IPreferences::get_TimeZoneOffset, 200, -56},
      {&IPreferences::put_Flags, &IPreferences::get_Flags, -1, 65535},
      {&IPreferences::put_Region, &IPreferences::get_Region, 256, 0},
      {&IPreferences::put_SatTime, &IPreferences::get_SatTime, 0x12345, 0x2345},
      {&IPreferences::put_PPMDividend, &IPreferences::get_PPMDividend, -1, -1},
      {&IPreferences::put_AircoreTestRange, &IPreferences::get_AircoreTestRange, -1, 65535},
  };
  for (const Case& c : cases) {
    EXPECT_EQ((p.Get()->*c.put)(c.in), S_OK);
    EXPECT_EQ(Get(p.Get(), c.get), c.out) << "put " << c.in;
  }
  EXPECT_EQ(p->put_FuelDiv(300), S_OK);
  EXPECT_EQ(GetShort(p.Get(), &IPreferences::get_FuelDiv), 44);
  EXPECT_EQ(p->put_Aircore(-1), S_OK);
  EXPECT_EQ(GetShort(p.Get(), &IPreferences::get_Aircore), -1);
  EXPECT_EQ(p->put_AircoreTestRange(0xB800), S_OK);
  EXPECT_EQ(p->put_Aircore(static_cast<SHORT>(0xB800)), S_OK);
  EXPECT_EQ(GetShort(p.Get(), &IPreferences::get_Aircore), -18432);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_AircoreTestRange), 47104);
}

TEST(Object, IndexedPropertiesCheckTheirIndex) {
  auto p = NewPreferences();
  LONG v = 1234;
  for (INT bad : {3, -1, 1000}) {
    EXPECT_EQ(p->get_ColorBalance(bad, &v), E_INVALIDARG);
    EXPECT_EQ(p->put_ColorBalance(bad, 5), E_INVALIDARG);
  }
  EXPECT_EQ(v, 1234) << "out-parameter written on failure";
  EXPECT_EQ(p->put_ColorBalance(2, 200), S_OK);
  EXPECT_EQ(p->get_ColorBalance(2, &v), S_OK);
  EXPECT_EQ(v, -56);
  EXPECT_EQ(p->get_ColorBalance(1, &v), S_OK);
  EXPECT_EQ(v, 0);

  v = 1234;
  const auto five = static_cast<Object_Id>(5), minus = static_cast<Object_Id>(-1);
  EXPECT_EQ(p->get_ElementX(five, &v), E_INVALIDARG);
  EXPECT_EQ(p->put_ElementX(five, 1), E_INVALIDARG);
  EXPECT_EQ(p->get_ElementY(minus, &v), E_INVALIDARG);
  EXPECT_EQ(p->put_ElementY(minus, 1), E_INVALIDARG);
  Font_JustifyType a = FONT_RIGHT;
  EXPECT_EQ(p->get_ElementAlignment(five, &a), E_INVALIDARG);
  EXPECT_EQ(p->put_ElementAlignment(five, FONT_LEFT), E_INVALIDARG);
  EXPECT_EQ(v, 1234);
  EXPECT_EQ(a, FONT_RIGHT);

  EXPECT_EQ(p->put_ElementX(WIN_INFO, 300), S_OK);
  EXPECT_EQ(p->get_ElementX(WIN_INFO, &v), S_OK);
  EXPECT_EQ(v, 44);
  EXPECT_EQ(p->put_ElementAlignment(WIN_FUEL, static_cast<Font_JustifyType>(7)), S_OK);
  EXPECT_EQ(p->get_ElementAlignment(WIN_FUEL, &a), S_OK);
  EXPECT_EQ(a, 7);  // (neighbours untouched: Dispatch.EveryPutChangesItsOwnPropertyOnly)
}

// The frame and positions are vin_test's; here, the text crossing the
// interface: Windows-1252 characters pass, others become "?", and a null or
// short string stores blanks.
TEST(Object, VinIsSingleByteTextInsideTheFrame) {
  auto p = NewPreferences();
  Bstr letters(u"ABCDEFGHIJ");
  EXPECT_EQ(p->put_VIN(letters.value), S_OK);
  EXPECT_EQ(Vin(p.Get()), u"1G D   H J 000001");
  Bstr accented(u"1G \u00C4   \u4E00 \u00E9 000001");
  EXPECT_EQ(p->put_VIN(accented.value), S_OK);
  EXPECT_EQ(Vin(p.Get()), u"1G \u00C4   ? \u00E9 000001");
  EXPECT_EQ(p->put_VIN(nullptr), S_OK);
  EXPECT_EQ(Vin(p.Get()), u"1G         000001");
  Bstr shorter(u"1G Q   R");  // 8 characters: position 10 is missing
  EXPECT_EQ(p->put_VIN(shorter.value), S_OK);
  EXPECT_EQ(Vin(p.Get()), u"1G Q   R   000001");
}

TEST(Object, NullOutParametersAreRefused) {
  auto p = NewPreferences();
  EXPECT_EQ(p->get_Flags(nullptr), E_POINTER);
  EXPECT_EQ(p->get_VIN(nullptr), E_POINTER);
  EXPECT_EQ(p->get_FuelDiv(nullptr), E_POINTER);
  EXPECT_EQ(p->get_ColorBalance(0, nullptr), E_POINTER);
  EXPECT_EQ(p->get_FontColor(nullptr), E_POINTER);
  EXPECT_EQ(p->GetTypeInfoCount(nullptr), E_POINTER);
  EXPECT_EQ(p->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(p->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// Files themselves are the reader's and writer's tests; here, a path that
// is null or names nothing.
TEST(Object, FailedReadsKeepTheSettings) {
  auto q = NewPreferences();
  Bstr missing(U16(ComponentEnvironment::Folder() + "/absent.S19"));
  ASSERT_EQ(q->put_SpeedUpdate(77), S_OK);
  EXPECT_EQ(q->ReadS19(missing.value), E_FAIL);
  EXPECT_EQ(q->ReadS19(nullptr), E_FAIL);
  EXPECT_EQ(Get(q.Get(), &IPreferences::get_SpeedUpdate), 77);
  EXPECT_EQ(q->WriteS19(nullptr), DISP_E_EXCEPTION);
}

// (That the information stays on this thread is the platform's error slot
// test's.)
TEST(Object, FailedWriteLeavesErrorInformation) {
  auto p = NewPreferences();
  Bstr path(U16(ComponentEnvironment::Folder() + "/no/such/folder/a.S19"));
  ASSERT_EQ(p->WriteS19(path.value), DISP_E_EXCEPTION);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(p.As(std::addressof(support)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPreferences), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  Bstr description, source;
  GUID guid = IID_IPreferences;
  EXPECT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_EQ(info->GetSource(&source), S_OK);
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_EQ(description.Text(), u"File not found!");
  EXPECT_EQ(source.Text(), u"Quillon.Preferences.1");
  EXPECT_EQ(guid, GUID_NULL);
}

// One identity through every interface; the connection-point container
// has no points and says so through its out-parameters.
TEST(Object, InterfacesShareOneIdentityAndNoConnectionPoints) {
  auto p = NewPreferences();
  ComPtr<IUnknown> unknown;
  ComPtr<IDispatch> dispatch;
  ComPtr<IPreferences> prefs;
  ASSERT_EQ(p.As(std::addressof(unknown)), S_OK);
  ASSERT_EQ(p.As(std::addressof(dispatch)), S_OK);
  ASSERT_EQ(unknown.As(std::addressof(prefs)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(p.Get()));
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(p.Get()));
  EXPECT_EQ(prefs.Get(), p.Get());
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(p.As(std::addressof(cpc)), S_OK);
  ComPtr<IUnknown> back;
  ASSERT_EQ(cpc.As(std::addressof(back)), S_OK);
  EXPECT_EQ(back.Get(), unknown.Get());
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(p->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(0x1);
  EXPECT_EQ(cpc->FindConnectionPoint(DIID__IPreferencesEvents, &point), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point, nullptr);
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(cpc->EnumConnectionPoints(&points), S_OK);
  ULONG fetched = 7;
  EXPECT_EQ(points->Next(1, &point, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
}

}  // namespace
}  // namespace quillon::testing

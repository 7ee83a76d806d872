// The Preferences object through its table of operations, as the editor
// calls it.
#include <memory>

#include "component_env.h"

namespace quillon::testing {
namespace {

template <class T>
T Get(IPreferences* p, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(T*)) {
  T v{};
  EXPECT_EQ((p->*get)(&v), S_OK);
  return v;
}
template <class I, class T>
T GetAt(IPreferences* p, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(I, T*), I index) {
  T v{};
  EXPECT_EQ((p->*get)(index, &v), S_OK);
  return v;
}

std::u16string Vin(IPreferences* p) {
  Bstr vin;
  EXPECT_EQ(p->get_VIN(&vin), S_OK);
  return vin.Text();
}

TEST(Object, PutsCutValuesToTheFieldWidth) {
  auto p = NewPreferences();
#define ROW(name, in, out) {&IPreferences::put_##name, &IPreferences::get_##name, in, out}
  struct Case {
    HRESULT (STDMETHODCALLTYPE IPreferences::*put)(LONG);
    HRESULT (STDMETHODCALLTYPE IPreferences::*get)(LONG*);
    LONG in, out;
  } cases[] = {
      ROW(BrightnessDay, 20, 4), ROW(BrightnessDay, -1, 15), ROW(BrightnessNight, 20, 4), ROW(IceWarning, 200, -56),
      ROW(TimeZoneOffset, 200, -56), ROW(Flags, -1, 65535), ROW(Region, 256, 0), ROW(SatTime, 0x12345, 0x2345),
      ROW(PPMDividend, -1, -1), ROW(AircoreTestRange, -1, 65535),
  };
#undef ROW
  for (const Case& c : cases) {
    EXPECT_EQ((p.Get()->*c.put)(c.in), S_OK);
    EXPECT_EQ(Get(p.Get(), c.get), c.out) << "put " << c.in;
  }
  EXPECT_EQ(p->put_FuelDiv(300), S_OK);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_FuelDiv), 44);
  EXPECT_EQ(p->put_Aircore(-1), S_OK);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_Aircore), -1);
  EXPECT_EQ(p->put_AircoreTestRange(0xB800), S_OK);
  EXPECT_EQ(p->put_Aircore(static_cast<SHORT>(0xB800)), S_OK);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_Aircore), -18432);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_AircoreTestRange), 47104);
}

// (Neighbours left untouched are the dispatch test's, for every index.)
TEST(Object, IndexedPropertiesCheckTheirIndex) {
  auto p = NewPreferences();
  LONG v = 1234;
  Font_JustifyType a = FONT_RIGHT;
  const auto five = static_cast<Object_Id>(5), minus = static_cast<Object_Id>(-1);
  int call = 0;
  for (HRESULT hr : {p->get_ColorBalance(3, &v), p->put_ColorBalance(3, 5), p->get_ColorBalance(-1, &v),
                     p->put_ColorBalance(-1, 5), p->get_ColorBalance(1000, &v), p->put_ColorBalance(1000, 5),
                     p->get_ElementX(five, &v), p->put_ElementX(five, 1), p->get_ElementY(minus, &v),
                     p->put_ElementY(minus, 1), p->get_ElementAlignment(five, &a), p->put_ElementAlignment(five, FONT_LEFT)})
    EXPECT_EQ(hr, E_INVALIDARG) << "call " << call++;
  EXPECT_EQ(v, 1234) << "out-parameter written on failure";
  EXPECT_EQ(a, FONT_RIGHT);

  EXPECT_EQ(p->put_ColorBalance(2, 200), S_OK);
  EXPECT_EQ(GetAt(p.Get(), &IPreferences::get_ColorBalance, 2), -56);
  EXPECT_EQ(GetAt(p.Get(), &IPreferences::get_ColorBalance, 1), 0);
  EXPECT_EQ(p->put_ElementX(WIN_INFO, 300), S_OK);
  EXPECT_EQ(GetAt(p.Get(), &IPreferences::get_ElementX, WIN_INFO), 44);
  EXPECT_EQ(p->put_ElementAlignment(WIN_FUEL, static_cast<Font_JustifyType>(7)), S_OK);
  EXPECT_EQ(GetAt(p.Get(), &IPreferences::get_ElementAlignment, WIN_FUEL), 7);
}

// The VIN's frame is the record test's; here, the text crossing the
// interface: Windows-1252 characters pass, others become "?"; the digits
// come from positions 4, 8 and 10, and a null, short or NUL-ended string
// gives blanks for what it lacks.
TEST(Object, VinIsSingleByteTextInsideTheFrame) {
  auto p = NewPreferences();
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"ABCDEFGHIJ", u"1G D   H J 000001"},
      {u"1G \u00C4   \u4E00 \u00E9 000001", u"1G \u00C4   ? \u00E9 000001"},
      {u"1G Q   R ", u"1G Q   R   000001"},  // ends just before position 10
      {std::u16string(u"1G A\0  B C", 10), u"1G A       000001"},
  };
  for (const auto& [put, got] : cases) {
    Bstr text(put);
    EXPECT_EQ(p->put_VIN(text.value), S_OK);
    EXPECT_EQ(Vin(p.Get()), got);
  }
  EXPECT_EQ(p->put_VIN(nullptr), S_OK);
  EXPECT_EQ(Vin(p.Get()), u"1G         000001");
}

// Null pointers are refused; a read of a null path or of a file that is
// not there keeps the settings. (Files themselves are the reader's and
// writer's tests.)
TEST(Object, NullPointersAndFailedReads) {
  auto p = NewPreferences();
  EXPECT_EQ(p->get_Flags(nullptr), E_POINTER);
  EXPECT_EQ(p->get_VIN(nullptr), E_POINTER);
  EXPECT_EQ(p->get_FuelDiv(nullptr), E_POINTER);
  EXPECT_EQ(p->get_ColorBalance(0, nullptr), E_POINTER);
  EXPECT_EQ(p->get_FontColor(nullptr), E_POINTER);
  EXPECT_EQ(p->GetTypeInfoCount(nullptr), E_POINTER);
  EXPECT_EQ(p->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(p->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  Bstr missing(U16(ComponentEnvironment::Folder() + "/absent.S19"));
  ASSERT_EQ(p->put_SpeedUpdate(77), S_OK);
  EXPECT_EQ(p->ReadS19(nullptr), E_FAIL);
  EXPECT_EQ(p->ReadS19(missing.value), E_FAIL);
  EXPECT_EQ(Get(p.Get(), &IPreferences::get_SpeedUpdate), 77);
  EXPECT_EQ(p->WriteS19(nullptr), DISP_E_EXCEPTION);
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
  ComPtr<IConnectionPointContainer> cpc;
  ComPtr<IUnknown> back;
  ASSERT_EQ(p.As(std::addressof(unknown)), S_OK);
  ASSERT_EQ(p.As(std::addressof(dispatch)), S_OK);
  ASSERT_EQ(unknown.As(std::addressof(prefs)), S_OK);
  ASSERT_EQ(p.As(std::addressof(cpc)), S_OK);
  ASSERT_EQ(cpc.As(std::addressof(back)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(p.Get()));
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(p.Get()));
  EXPECT_EQ(prefs.Get(), p.Get());
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

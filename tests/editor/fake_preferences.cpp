#include "fake_preferences.h"

#include <oleauto.h>

namespace brindle::test {

bool FakePreferences::Enter(const std::string& name) {
  calls.push_back(name);
  return name != failOn;
}

std::vector<std::string> FakePreferences::Puts() const {
  std::vector<std::string> puts;
  for (const std::string& call : calls) {
    if (call.rfind("put_", 0) == 0) {
      puts.push_back(call);
    }
  }
  return puts;
}

HRESULT FakePreferences::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IPreferences) {
    *ppv = static_cast<IPreferences*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG FakePreferences::Release() {
  const ULONG left = --refs_;
  if (left == 0) {
    delete this;
  }
  return left;
}

// Plain accessors: the get widens the field (sign-extending the signed
// ones), the put cuts the value to the field's width.
#define FAKE_PROPERTY(Name, Type, Field, Cut)                 \
  HRESULT FakePreferences::get_##Name(Type* pVal) {          \
    if (!Enter("get_" #Name)) return failStatus;              \
    *pVal = static_cast<Type>(record.Field);                  \
    return S_OK;                                              \
  }                                                           \
  HRESULT FakePreferences::put_##Name(Type newVal) {         \
    if (!Enter("put_" #Name)) return failStatus;              \
    record.Field = static_cast<decltype(record.Field)>(Cut); \
    return S_OK;                                              \
  }

FAKE_PROPERTY(Flags, LONG, Flags, newVal & 0xFFFF)
FAKE_PROPERTY(Region, LONG, Region, newVal & 0xFF)
FAKE_PROPERTY(BrightnessDay, LONG, BrightnessDay, newVal & 0x0F)
FAKE_PROPERTY(SplashTime, LONG, SplashTime, newVal & 0xFF)
FAKE_PROPERTY(SpeedUpdate, LONG, SpeedUpdate, newVal & 0xFFFF)
FAKE_PROPERTY(CompassUpdate, LONG, CompassUpdate, newVal & 0xFF)
FAKE_PROPERTY(SpeedFilterThreshold, LONG, SpeedFilterThreshold, newVal & 0xFF)
FAKE_PROPERTY(IceWarning, LONG, IceWarning, newVal & 0xFF)
FAKE_PROPERTY(ShortPressTime, LONG, ShortPressTime, newVal & 0xFF)
FAKE_PROPERTY(LongPressTime, LONG, LongPressTime, newVal & 0xFFFF)
FAKE_PROPERTY(SatTime, LONG, SatTime, newVal & 0xFFFF)
FAKE_PROPERTY(FontColor, OLE_COLOR, FontColor, newVal)
FAKE_PROPERTY(Fuel005, LONG, Fuel005, newVal & 0xFFFF)
FAKE_PROPERTY(RefuelWarning, LONG, RefuelWarning, newVal & 0xFFFF)
FAKE_PROPERTY(CANBaudrate, LONG, CANBaudrate, newVal & 0xFFFF)
FAKE_PROPERTY(GPSBaudrate, LONG, GPSBaudrate, newVal & 0xFFFF)
FAKE_PROPERTY(TimeZoneOffset, LONG, TimeZoneOffset, newVal & 0xFF)
FAKE_PROPERTY(NMEAFlags, LONG, NMEAFlags, newVal & 0xFF)
FAKE_PROPERTY(FuelDiv, SHORT, FuelDiv, newVal & 0xFF)
FAKE_PROPERTY(FuelMul, SHORT, FuelMul, newVal & 0xFF)
FAKE_PROPERTY(BrightnessNight, LONG, BrightnessNight, newVal & 0x0F)
FAKE_PROPERTY(Ill_min_volt, LONG, Ill_min_volt, newVal & 0xFF)
FAKE_PROPERTY(PPMKM, LONG, PPMKM, newVal & 0xFFFF)
FAKE_PROPERTY(PPMDividend, LONG, PPMDividend, static_cast<std::uint32_t>(newVal))
FAKE_PROPERTY(Aircore, SHORT, Aircore, static_cast<std::uint16_t>(newVal))
FAKE_PROPERTY(Debounce, SHORT, Debounce, newVal & 0xFF)
FAKE_PROPERTY(OdoDisplayTime, SHORT, OdoDisplayTime, newVal & 0xFF)
FAKE_PROPERTY(AircoreTestSpeed, SHORT, AircoreTestSpeed, newVal & 0xFF)
FAKE_PROPERTY(AircoreTestRange, LONG, AircoreTestRange, newVal & 0xFFFF)
#undef FAKE_PROPERTY

HRESULT FakePreferences::get_Version(LONG* pVal) {
  if (!Enter("get_Version")) return failStatus;
  *pVal = record.Version;
  return S_OK;
}

HRESULT FakePreferences::get_ColorBalance(INT index, LONG* pVal) {
  if (!Enter("get_ColorBalance(" + std::to_string(index) + ")")) return failStatus;
  if (index < 0 || index > 2) return E_INVALIDARG;
  *pVal = record.ColorBalance[static_cast<std::size_t>(index)];
  return S_OK;
}

HRESULT FakePreferences::put_ColorBalance(INT index, LONG newVal) {
  if (!Enter("put_ColorBalance(" + std::to_string(index) + ")")) return failStatus;
  if (index < 0 || index > 2) return E_INVALIDARG;
  record.ColorBalance[static_cast<std::size_t>(index)] = static_cast<std::int8_t>(newVal & 0xFF);
  return S_OK;
}

#define FAKE_ELEMENT(Name, Type, Member)                                                     \
  HRESULT FakePreferences::get_##Name(Object_Id index, Type* pVal) {                        \
    if (!Enter("get_" #Name "(" + std::to_string(index) + ")")) return failStatus;           \
    if (static_cast<std::uint32_t>(index) > 4) return E_INVALIDARG;                          \
    *pVal = static_cast<Type>(record.Elements[static_cast<std::size_t>(index)].Member);      \
    return S_OK;                                                                             \
  }                                                                                          \
  HRESULT FakePreferences::put_##Name(Object_Id index, Type newVal) {                       \
    if (!Enter("put_" #Name "(" + std::to_string(index) + ")")) return failStatus;           \
    if (static_cast<std::uint32_t>(index) > 4) return E_INVALIDARG;                          \
    record.Elements[static_cast<std::size_t>(index)].Member =                               \
        static_cast<std::uint8_t>(static_cast<LONG>(newVal) & 0xFF);                         \
    return S_OK;                                                                             \
  }

FAKE_ELEMENT(ElementX, LONG, X)
FAKE_ELEMENT(ElementY, LONG, Y)
FAKE_ELEMENT(ElementAlignment, Font_JustifyType, Alignment)
#undef FAKE_ELEMENT

HRESULT FakePreferences::get_VIN(BSTR* pVal) {
  if (!Enter("get_VIN")) return failStatus;
  std::u16string vin = u"1G P   9 H 000001";
  vin[3] = record.VINDigits[0];
  vin[7] = record.VINDigits[1];
  vin[9] = record.VINDigits[2];
  // A zero byte ends the text there.
  vin = vin.substr(0, vin.find(u'\0'));
  *pVal = SysAllocStringLen(vin.data(), static_cast<UINT>(vin.size()));
  return *pVal != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT FakePreferences::put_VIN(BSTR newVal) {
  if (!Enter("put_VIN")) return failStatus;
  lastVin.assign(newVal, SysStringLen(newVal));
  const auto at = [&](std::size_t position) -> std::uint8_t {
    return position <= lastVin.size() ? static_cast<std::uint8_t>(lastVin[position - 1]) : 0;
  };
  record.VINDigits = {at(4), at(8), at(10)};
  return S_OK;
}

HRESULT FakePreferences::WriteS19(BSTR) {
  Enter("WriteS19");
  return E_NOTIMPL;
}

HRESULT FakePreferences::ReadS19(BSTR) {
  Enter("ReadS19");
  return E_NOTIMPL;
}

}  // namespace brindle::test

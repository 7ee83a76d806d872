// A stand-in settings object for the editor's tests: a record with the
// component's field widths (8- and 16-bit cuts, the 4-bit brightness, signed
// bytes, index checks, the VIN frame), a log of every call, and a way to
// make one named call fail.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <Quillon.h>

namespace brindle::test {

struct FakeRecord {
  std::uint16_t Version = 256;
  std::uint16_t Flags = 15;
  std::array<std::uint8_t, 3> VINDigits = {'F', 'G', 'Y'};
  std::uint8_t Region = 0;
  std::uint8_t BrightnessDay = 11;
  std::uint8_t SplashTime = 50;
  std::uint16_t SpeedUpdate = 700;
  std::uint8_t CompassUpdate = 250;
  std::uint8_t SpeedFilterThreshold = 20;
  std::int8_t IceWarning = 4;
  std::uint8_t ShortPressTime = 10;
  std::uint16_t LongPressTime = 1200;
  std::uint16_t SatTime = 60000;
  std::uint32_t FontColor = 0x00FFFFFF;
  std::uint8_t FuelDiv = 3;
  std::uint8_t FuelMul = 255;
  std::uint16_t Fuel005 = 743;
  std::uint16_t RefuelWarning = 560;
  std::uint16_t CANBaudrate = 100;
  std::uint16_t GPSBaudrate = 4800;
  std::int8_t TimeZoneOffset = -5;
  std::uint8_t NMEAFlags = 1;
  std::array<std::int8_t, 3> ColorBalance = {0, 0, 0};
  std::uint8_t BrightnessNight = 11;
  std::uint8_t Ill_min_volt = 60;
  std::uint32_t PPMDividend = 90000;
  std::uint16_t PPMKM = 4000;
  std::uint16_t Aircore = 0;
  std::uint8_t OdoDisplayTime = 15;
  std::uint8_t Debounce = 50;
  std::uint16_t AircoreTestRange = 47104;
  std::uint8_t AircoreTestSpeed = 32;
  struct Element {
    std::uint8_t X, Y, Alignment;
    bool operator==(const Element&) const = default;
  };
  std::array<Element, 5> Elements = {{{0, 7, 0}, {132, 7, 1}, {46, 7, 1}, {58, 114, 1}, {46, 7, 1}}};

  bool operator==(const FakeRecord&) const = default;
};

class FakePreferences final : public IPreferences {
 public:
  FakeRecord record;
  // Every call, by member name ("put_Flags", "get_ElementX(3)", ...), in order.
  std::vector<std::string> calls;
  // The member (as logged) that returns failStatus instead of working.
  std::string failOn;
  HRESULT failStatus = E_FAIL;
  // The last string given to put_VIN.
  std::u16string lastVin;

  // Puts in the log, without the gets.
  std::vector<std::string> Puts() const;

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override;
  // IDispatch: not used by the editor.
  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHOD(get_Flags)(LONG* pVal) override;
  STDMETHOD(put_Flags)(LONG newVal) override;
  STDMETHOD(get_Version)(LONG* pVal) override;
  STDMETHOD(get_Region)(LONG* pVal) override;
  STDMETHOD(put_Region)(LONG newVal) override;
  STDMETHOD(get_BrightnessDay)(LONG* pVal) override;
  STDMETHOD(put_BrightnessDay)(LONG newVal) override;
  STDMETHOD(get_SplashTime)(LONG* pVal) override;
  STDMETHOD(put_SplashTime)(LONG newVal) override;
  STDMETHOD(get_SpeedUpdate)(LONG* pVal) override;
  STDMETHOD(put_SpeedUpdate)(LONG newVal) override;
  STDMETHOD(get_CompassUpdate)(LONG* pVal) override;
  STDMETHOD(put_CompassUpdate)(LONG newVal) override;
  STDMETHOD(get_SpeedFilterThreshold)(LONG* pVal) override;
  STDMETHOD(put_SpeedFilterThreshold)(LONG newVal) override;
  STDMETHOD(get_IceWarning)(LONG* pVal) override;
  STDMETHOD(put_IceWarning)(LONG newVal) override;
  STDMETHOD(get_ShortPressTime)(LONG* pVal) override;
  STDMETHOD(put_ShortPressTime)(LONG newVal) override;
  STDMETHOD(get_LongPressTime)(LONG* pVal) override;
  STDMETHOD(put_LongPressTime)(LONG newVal) override;
  STDMETHOD(get_SatTime)(LONG* pVal) override;
  STDMETHOD(put_SatTime)(LONG newVal) override;
  STDMETHOD(get_FontColor)(OLE_COLOR* pVal) override;
  STDMETHOD(put_FontColor)(OLE_COLOR newVal) override;
  STDMETHOD(get_Fuel005)(LONG* pVal) override;
  STDMETHOD(put_Fuel005)(LONG newVal) override;
  STDMETHOD(get_RefuelWarning)(LONG* pVal) override;
  STDMETHOD(put_RefuelWarning)(LONG newVal) override;
  STDMETHOD(get_CANBaudrate)(LONG* pVal) override;
  STDMETHOD(put_CANBaudrate)(LONG newVal) override;
  STDMETHOD(get_GPSBaudrate)(LONG* pVal) override;
  STDMETHOD(put_GPSBaudrate)(LONG newVal) override;
  STDMETHOD(get_TimeZoneOffset)(LONG* pVal) override;
  STDMETHOD(put_TimeZoneOffset)(LONG newVal) override;
  STDMETHOD(get_NMEAFlags)(LONG* pVal) override;
  STDMETHOD(put_NMEAFlags)(LONG newVal) override;
  STDMETHOD(get_ColorBalance)(INT index, LONG* pVal) override;
  STDMETHOD(put_ColorBalance)(INT index, LONG newVal) override;
  STDMETHOD(WriteS19)(BSTR path) override;
  STDMETHOD(ReadS19)(BSTR path) override;
  STDMETHOD(get_VIN)(BSTR* pVal) override;
  STDMETHOD(put_VIN)(BSTR newVal) override;
  STDMETHOD(get_FuelDiv)(SHORT* pVal) override;
  STDMETHOD(put_FuelDiv)(SHORT newVal) override;
  STDMETHOD(get_FuelMul)(SHORT* pVal) override;
  STDMETHOD(put_FuelMul)(SHORT newVal) override;
  STDMETHOD(get_BrightnessNight)(LONG* pVal) override;
  STDMETHOD(put_BrightnessNight)(LONG newVal) override;
  STDMETHOD(get_Ill_min_volt)(LONG* pVal) override;
  STDMETHOD(put_Ill_min_volt)(LONG newVal) override;
  STDMETHOD(get_ElementX)(Object_Id index, LONG* pVal) override;
  STDMETHOD(put_ElementX)(Object_Id index, LONG newVal) override;
  STDMETHOD(get_ElementAlignment)(Object_Id index, Font_JustifyType* pVal) override;
  STDMETHOD(put_ElementAlignment)(Object_Id index, Font_JustifyType newVal) override;
  STDMETHOD(get_ElementY)(Object_Id index, LONG* pVal) override;
  STDMETHOD(put_ElementY)(Object_Id index, LONG newVal) override;
  STDMETHOD(get_PPMKM)(LONG* pVal) override;
  STDMETHOD(put_PPMKM)(LONG newVal) override;
  STDMETHOD(get_PPMDividend)(LONG* pVal) override;
  STDMETHOD(put_PPMDividend)(LONG newVal) override;
  STDMETHOD(get_Aircore)(SHORT* pVal) override;
  STDMETHOD(put_Aircore)(SHORT newVal) override;
  STDMETHOD(get_Debounce)(SHORT* pVal) override;
  STDMETHOD(put_Debounce)(SHORT newVal) override;
  STDMETHOD(get_OdoDisplayTime)(SHORT* pVal) override;
  STDMETHOD(put_OdoDisplayTime)(SHORT newVal) override;
  STDMETHOD(get_AircoreTestSpeed)(SHORT* pVal) override;
  STDMETHOD(put_AircoreTestSpeed)(SHORT newVal) override;
  STDMETHOD(get_AircoreTestRange)(LONG* pVal) override;
  STDMETHOD(put_AircoreTestRange)(LONG newVal) override;

  // Made with one reference, which the caller owns.
  static FakePreferences* Create() { return new FakePreferences; }

 private:
  FakePreferences() = default;
  ~FakePreferences() = default;
  // Logs the call; false when it is the one that must fail.
  bool Enter(const std::string& name);

  std::atomic<ULONG> refs_{1};
};

}  // namespace brindle::test

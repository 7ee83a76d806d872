// The Preferences object: one configuration record behind IPreferences,
// with the dispatch part, error-information support and an empty
// connection-point container.
#pragma once

#include <windows.h>

#include "Quillon.h"
#include "comobject.h"
#include "preferences_record.h"

namespace quillon {

// The interface table: IPreferences (which also answers IDispatch and
// IUnknown), ISupportErrorInfo, IConnectionPointContainer. An aggregated
// object sends IUnknown's calls to its outer object.
class Preferences final
    : public AggregatableObject<Preferences, IPreferences, ISupportErrorInfo, IConnectionPointContainer> {
 public:
  // Makes an object and hands out `riid` of it. With an outer object the
  // object is aggregated: `riid` must then be IID_IUnknown, and what comes
  // back is the inner unknown that controls the object's lifetime.
  static HRESULT Create(IUnknown* outer, REFIID riid, void** out);

  // IDispatch, through the shared type description of IPreferences.
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // IPreferences
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

  // ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

  // IConnectionPointContainer: the object raises no events, so the list of
  // connection points is empty.
  STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) override;
  STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) override;

 private:
  friend AggregatableObject;

  explicit Preferences(IUnknown* outer);
  ~Preferences();  // only Release destroys the object
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;

  PreferencesRecord record_;
};

}  // namespace quillon

// Public interface of the Quillon component: the identifiers of its type
// library, class and interfaces, the two enumerations, and IPreferences.
// Clients include this header and link against the platform only; they
// create the object by class identifier (or ProgID "Quillon.Preferences").
#pragma once

#include <oaidl.h>
#include <ocidl.h>

// {BC0741CF-56FD-4D6D-A356-DEE4A70BC0BE}
inline constexpr GUID LIBID_QUILLONLib = {
    0xbc0741cf, 0x56fd, 0x4d6d, {0xa3, 0x56, 0xde, 0xe4, 0xa7, 0x0b, 0xc0, 0xbe}};
// {04A79BE7-1A99-439D-B796-4FB0E02CEBB7}
inline constexpr GUID IID_IPreferences = {
    0x04a79be7, 0x1a99, 0x439d, {0xb7, 0x96, 0x4f, 0xb0, 0xe0, 0x2c, 0xeb, 0xb7}};
// {2A876BE3-E6BF-4206-A1B3-10F6F60FD295}
inline constexpr GUID DIID__IPreferencesEvents = {
    0x2a876be3, 0xe6bf, 0x4206, {0xa1, 0xb3, 0x10, 0xf6, 0xf6, 0x0f, 0xd2, 0x95}};
// {49A6EE4C-4943-475A-9561-2772EBBE59F5}
inline constexpr GUID CLSID_Preferences = {
    0x49a6ee4c, 0x4943, 0x475a, {0x95, 0x61, 0x27, 0x72, 0xeb, 0xbe, 0x59, 0xf5}};

inline constexpr WORD QUILLONLib_MajorVersion = 1;
inline constexpr WORD QUILLONLib_MinorVersion = 0;

// The display windows of the device; they index the Element... properties.
enum Object_Id : LONG {
  WIN_CLOCK = 0,
  WIN_COMPASS = 1,
  WIN_MPG = 2,
  WIN_FUEL = 3,
  WIN_INFO = 4,
};

// Text alignment of a display window.
enum Font_JustifyType : LONG {
  FONT_LEFT = 0,
  FONT_CENTER = 1,
  FONT_RIGHT = 2,
};

// The settings of one configuration. A dual interface: clients bound at
// build time call these slots in this order (after IDispatch's seven), and
// scripts reach the same members by name through IDispatch. The order is
// part of the interface and never changes.
//
// Every operation returns a status; a get writes its out-parameter only on
// success. Puts never refuse a value: they cut it to the field's width.
struct IPreferences : public IDispatch {
  STDMETHOD(get_Flags)(LONG* pVal) = 0;
  STDMETHOD(put_Flags)(LONG newVal) = 0;
  STDMETHOD(get_Version)(LONG* pVal) = 0;
  STDMETHOD(get_Region)(LONG* pVal) = 0;
  STDMETHOD(put_Region)(LONG newVal) = 0;
  STDMETHOD(get_BrightnessDay)(LONG* pVal) = 0;
  STDMETHOD(put_BrightnessDay)(LONG newVal) = 0;
  STDMETHOD(get_SplashTime)(LONG* pVal) = 0;
  STDMETHOD(put_SplashTime)(LONG newVal) = 0;
  STDMETHOD(get_SpeedUpdate)(LONG* pVal) = 0;
  STDMETHOD(put_SpeedUpdate)(LONG newVal) = 0;
  STDMETHOD(get_CompassUpdate)(LONG* pVal) = 0;
  STDMETHOD(put_CompassUpdate)(LONG newVal) = 0;
  STDMETHOD(get_SpeedFilterThreshold)(LONG* pVal) = 0;
  STDMETHOD(put_SpeedFilterThreshold)(LONG newVal) = 0;
  STDMETHOD(get_IceWarning)(LONG* pVal) = 0;
  STDMETHOD(put_IceWarning)(LONG newVal) = 0;
  STDMETHOD(get_ShortPressTime)(LONG* pVal) = 0;
  STDMETHOD(put_ShortPressTime)(LONG newVal) = 0;
  STDMETHOD(get_LongPressTime)(LONG* pVal) = 0;
  STDMETHOD(put_LongPressTime)(LONG newVal) = 0;
  STDMETHOD(get_SatTime)(LONG* pVal) = 0;
  STDMETHOD(put_SatTime)(LONG newVal) = 0;
  STDMETHOD(get_FontColor)(OLE_COLOR* pVal) = 0;
  STDMETHOD(put_FontColor)(OLE_COLOR newVal) = 0;
  STDMETHOD(get_Fuel005)(LONG* pVal) = 0;
  STDMETHOD(put_Fuel005)(LONG newVal) = 0;
  STDMETHOD(get_RefuelWarning)(LONG* pVal) = 0;
  STDMETHOD(put_RefuelWarning)(LONG newVal) = 0;
  STDMETHOD(get_CANBaudrate)(LONG* pVal) = 0;
  STDMETHOD(put_CANBaudrate)(LONG newVal) = 0;
  STDMETHOD(get_GPSBaudrate)(LONG* pVal) = 0;
  STDMETHOD(put_GPSBaudrate)(LONG newVal) = 0;
  STDMETHOD(get_TimeZoneOffset)(LONG* pVal) = 0;
  STDMETHOD(put_TimeZoneOffset)(LONG newVal) = 0;
  STDMETHOD(get_NMEAFlags)(LONG* pVal) = 0;
  STDMETHOD(put_NMEAFlags)(LONG newVal) = 0;
  STDMETHOD(get_ColorBalance)(INT index, LONG* pVal) = 0;
  STDMETHOD(put_ColorBalance)(INT index, LONG newVal) = 0;
  STDMETHOD(WriteS19)(BSTR path) = 0;
  STDMETHOD(ReadS19)(BSTR path) = 0;
  STDMETHOD(get_VIN)(BSTR* pVal) = 0;
  STDMETHOD(put_VIN)(BSTR newVal) = 0;
  STDMETHOD(get_FuelDiv)(SHORT* pVal) = 0;
  STDMETHOD(put_FuelDiv)(SHORT newVal) = 0;
  STDMETHOD(get_FuelMul)(SHORT* pVal) = 0;
  STDMETHOD(put_FuelMul)(SHORT newVal) = 0;
  STDMETHOD(get_BrightnessNight)(LONG* pVal) = 0;
  STDMETHOD(put_BrightnessNight)(LONG newVal) = 0;
  STDMETHOD(get_Ill_min_volt)(LONG* pVal) = 0;
  STDMETHOD(put_Ill_min_volt)(LONG newVal) = 0;
  STDMETHOD(get_ElementX)(Object_Id index, LONG* pVal) = 0;
  STDMETHOD(put_ElementX)(Object_Id index, LONG newVal) = 0;
  STDMETHOD(get_ElementAlignment)(Object_Id index, Font_JustifyType* pVal) = 0;
  STDMETHOD(put_ElementAlignment)(Object_Id index, Font_JustifyType newVal) = 0;
  STDMETHOD(get_ElementY)(Object_Id index, LONG* pVal) = 0;
  STDMETHOD(put_ElementY)(Object_Id index, LONG newVal) = 0;
  STDMETHOD(get_PPMKM)(LONG* pVal) = 0;
  STDMETHOD(put_PPMKM)(LONG newVal) = 0;
  STDMETHOD(get_PPMDividend)(LONG* pVal) = 0;
  STDMETHOD(put_PPMDividend)(LONG newVal) = 0;
  STDMETHOD(get_Aircore)(SHORT* pVal) = 0;
  STDMETHOD(put_Aircore)(SHORT newVal) = 0;
  STDMETHOD(get_Debounce)(SHORT* pVal) = 0;
  STDMETHOD(put_Debounce)(SHORT newVal) = 0;
  STDMETHOD(get_OdoDisplayTime)(SHORT* pVal) = 0;
  STDMETHOD(put_OdoDisplayTime)(SHORT newVal) = 0;
  STDMETHOD(get_AircoreTestSpeed)(SHORT* pVal) = 0;
  STDMETHOD(put_AircoreTestSpeed)(SHORT newVal) = 0;
  STDMETHOD(get_AircoreTestRange)(LONG* pVal) = 0;
  STDMETHOD(put_AircoreTestRange)(LONG newVal) = 0;
};

#ifdef QUILLON_DECLARE_IID
QUILLON_DECLARE_IID(IPreferences, IID_IPreferences);
#endif

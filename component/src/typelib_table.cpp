// The description of the type library QUILLONLib 1.0 that this library
// carries: the events interface, the Preferences class, the dual interface
// IPreferences with its 71 members in interface order, and the two
// enumerations. The platform reads it through DllGetTypeLibDescription.
#include <typelib_desc.h>

#include "Quillon.h"
#include "typelib_table.h"

namespace quillon {
namespace {

constexpr TYPELIB_PARAM_DESC kGetFlagsParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutFlagsParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetVersionParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kGetRegionParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutRegionParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetBrightnessDayParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutBrightnessDayParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetSplashTimeParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutSplashTimeParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetSpeedUpdateParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutSpeedUpdateParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetCompassUpdateParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutCompassUpdateParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetSpeedFilterThresholdParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutSpeedFilterThresholdParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetIceWarningParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutIceWarningParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetShortPressTimeParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutShortPressTimeParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetLongPressTimeParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutLongPressTimeParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetSatTimeParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutSatTimeParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetFontColorParams[] = {{"pVal", VT_BYREF | VT_UI4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutFontColorParams[] = {{"", VT_UI4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetFuel005Params[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutFuel005Params[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetRefuelWarningParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutRefuelWarningParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetCANBaudrateParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutCANBaudrateParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetGPSBaudrateParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutGPSBaudrateParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetTimeZoneOffsetParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutTimeZoneOffsetParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetNMEAFlagsParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutNMEAFlagsParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetColorBalanceParams[] = {{"index", VT_INT, PARAMFLAG_NONE}, {"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutColorBalanceParams[] = {{"index", VT_INT, PARAMFLAG_NONE}, {"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kWriteS19Params[] = {{"path", VT_BSTR, PARAMFLAG_NONE}};
constexpr TYPELIB_PARAM_DESC kReadS19Params[] = {{"path", VT_BSTR, PARAMFLAG_NONE}};
constexpr TYPELIB_PARAM_DESC kGetVINParams[] = {{"pVal", VT_BYREF | VT_BSTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutVINParams[] = {{"", VT_BSTR, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetFuelDivParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutFuelDivParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetFuelMulParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutFuelMulParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetBrightnessNightParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutBrightnessNightParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetIll_min_voltParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutIll_min_voltParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetElementXParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutElementXParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetElementAlignmentParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutElementAlignmentParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetElementYParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutElementYParams[] = {{"index", VT_I4, PARAMFLAG_FIN}, {"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetPPMKMParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutPPMKMParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetPPMDividendParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutPPMDividendParams[] = {{"", VT_I4, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetAircoreParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutAircoreParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetDebounceParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutDebounceParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetOdoDisplayTimeParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutOdoDisplayTimeParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetAircoreTestSpeedParams[] = {{"pVal", VT_BYREF | VT_I2, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutAircoreTestSpeedParams[] = {{"", VT_I2, PARAMFLAG_FIN}};
constexpr TYPELIB_PARAM_DESC kGetAircoreTestRangeParams[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
constexpr TYPELIB_PARAM_DESC kPutAircoreTestRangeParams[] = {{"", VT_I4, PARAMFLAG_FIN}};

// Slots count IUnknown's three and IDispatch's four methods first.
constexpr TYPELIB_FUNC_DESC kPreferencesFuncs[] = {
    {"Flags", 1, INVOKE_PROPERTYGET, 7, "property Flags", kGetFlagsParams, 1, 0},
    {"Flags", 1, INVOKE_PROPERTYPUT, 8, "property Flags", kPutFlagsParams, 1, 0},
    {"Version", 2, INVOKE_PROPERTYGET, 9, "property Version", kGetVersionParams, 1, 0},
    {"Region", 3, INVOKE_PROPERTYGET, 10, "property Region", kGetRegionParams, 1, 0},
    {"Region", 3, INVOKE_PROPERTYPUT, 11, "property Region", kPutRegionParams, 1, 0},
    {"BrightnessDay", 4, INVOKE_PROPERTYGET, 12, "property BrightnessDay", kGetBrightnessDayParams, 1, 0},
    {"BrightnessDay", 4, INVOKE_PROPERTYPUT, 13, "property BrightnessDay", kPutBrightnessDayParams, 1, 0},
    {"SplashTime", 5, INVOKE_PROPERTYGET, 14, "property SplashTime", kGetSplashTimeParams, 1, 0},
    {"SplashTime", 5, INVOKE_PROPERTYPUT, 15, "property SplashTime", kPutSplashTimeParams, 1, 0},
    {"SpeedUpdate", 6, INVOKE_PROPERTYGET, 16, "property SpeedUpdate", kGetSpeedUpdateParams, 1, 0},
    {"SpeedUpdate", 6, INVOKE_PROPERTYPUT, 17, "property SpeedUpdate", kPutSpeedUpdateParams, 1, 0},
    {"CompassUpdate", 7, INVOKE_PROPERTYGET, 18, "property CompassUpdate", kGetCompassUpdateParams, 1, 0},
    {"CompassUpdate", 7, INVOKE_PROPERTYPUT, 19, "property CompassUpdate", kPutCompassUpdateParams, 1, 0},
    {"SpeedFilterThreshold", 8, INVOKE_PROPERTYGET, 20, "property SpeedFilterThreshold", kGetSpeedFilterThresholdParams, 1, 0},
    {"SpeedFilterThreshold", 8, INVOKE_PROPERTYPUT, 21, "property SpeedFilterThreshold", kPutSpeedFilterThresholdParams, 1, 0},
    {"IceWarning", 9, INVOKE_PROPERTYGET, 22, "property IceWarning", kGetIceWarningParams, 1, 0},
    {"IceWarning", 9, INVOKE_PROPERTYPUT, 23, "property IceWarning", kPutIceWarningParams, 1, 0},
    {"ShortPressTime", 10, INVOKE_PROPERTYGET, 24, "property ShortPressTime", kGetShortPressTimeParams, 1, 0},
    {"ShortPressTime", 10, INVOKE_PROPERTYPUT, 25, "property ShortPressTime", kPutShortPressTimeParams, 1, 0},
    {"LongPressTime", 11, INVOKE_PROPERTYGET, 26, "property LongPressTime", kGetLongPressTimeParams, 1, 0},
    {"LongPressTime", 11, INVOKE_PROPERTYPUT, 27, "property LongPressTime", kPutLongPressTimeParams, 1, 0},
    {"SatTime", 12, INVOKE_PROPERTYGET, 28, "property SatTime", kGetSatTimeParams, 1, 0},
    {"SatTime", 12, INVOKE_PROPERTYPUT, 29, "property SatTime", kPutSatTimeParams, 1, 0},
    {"FontColor", 13, INVOKE_PROPERTYGET, 30, "property FontColor", kGetFontColorParams, 1, 0},
    {"FontColor", 13, INVOKE_PROPERTYPUT, 31, "property FontColor", kPutFontColorParams, 1, 0},
    {"Fuel005", 14, INVOKE_PROPERTYGET, 32, "property Fuel005", kGetFuel005Params, 1, 0},
    {"Fuel005", 14, INVOKE_PROPERTYPUT, 33, "property Fuel005", kPutFuel005Params, 1, 0},
    {"RefuelWarning", 15, INVOKE_PROPERTYGET, 34, "property RefuelWarning", kGetRefuelWarningParams, 1, 0},
    {"RefuelWarning", 15, INVOKE_PROPERTYPUT, 35, "property RefuelWarning", kPutRefuelWarningParams, 1, 0},
    {"CANBaudrate", 16, INVOKE_PROPERTYGET, 36, "property CANBaudrate", kGetCANBaudrateParams, 1, 0},
    {"CANBaudrate", 16, INVOKE_PROPERTYPUT, 37, "property CANBaudrate", kPutCANBaudrateParams, 1, 0},
    {"GPSBaudrate", 17, INVOKE_PROPERTYGET, 38, "property GPSBaudrate", kGetGPSBaudrateParams, 1, 0},
    {"GPSBaudrate", 17, INVOKE_PROPERTYPUT, 39, "property GPSBaudrate", kPutGPSBaudrateParams, 1, 0},
    {"TimeZoneOffset", 18, INVOKE_PROPERTYGET, 40, "property TimeZoneOffset", kGetTimeZoneOffsetParams, 1, 0},
    {"TimeZoneOffset", 18, INVOKE_PROPERTYPUT, 41, "property TimeZoneOffset", kPutTimeZoneOffsetParams, 1, 0},
    {"NMEAFlags", 19, INVOKE_PROPERTYGET, 42, "property NMEAFlags", kGetNMEAFlagsParams, 1, 0},
    {"NMEAFlags", 19, INVOKE_PROPERTYPUT, 43, "property NMEAFlags", kPutNMEAFlagsParams, 1, 0},
    {"ColorBalance", 20, INVOKE_PROPERTYGET, 44, "property ColorBalance", kGetColorBalanceParams, 2, 0},
    {"ColorBalance", 20, INVOKE_PROPERTYPUT, 45, "property ColorBalance", kPutColorBalanceParams, 2, 0},
    {"WriteS19", 21, INVOKE_FUNC, 46, "method WriteS19", kWriteS19Params, 1, 0},
    {"ReadS19", 22, INVOKE_FUNC, 47, "method ReadS19", kReadS19Params, 1, 0},
    {"VIN", 23, INVOKE_PROPERTYGET, 48, "property VIN", kGetVINParams, 1, 0},
    {"VIN", 23, INVOKE_PROPERTYPUT, 49, "property VIN", kPutVINParams, 1, 0},
    {"FuelDiv", 24, INVOKE_PROPERTYGET, 50, "property FuelDiv", kGetFuelDivParams, 1, 0},
    {"FuelDiv", 24, INVOKE_PROPERTYPUT, 51, "property FuelDiv", kPutFuelDivParams, 1, 0},
    {"FuelMul", 25, INVOKE_PROPERTYGET, 52, "property FuelMul", kGetFuelMulParams, 1, 0},
    {"FuelMul", 25, INVOKE_PROPERTYPUT, 53, "property FuelMul", kPutFuelMulParams, 1, 0},
    {"BrightnessNight", 26, INVOKE_PROPERTYGET, 54, "property BrightnessNight", kGetBrightnessNightParams, 1, 0},
    {"BrightnessNight", 26, INVOKE_PROPERTYPUT, 55, "property BrightnessNight", kPutBrightnessNightParams, 1, 0},
    {"Ill_min_volt", 27, INVOKE_PROPERTYGET, 56, "property Ill_min_volt", kGetIll_min_voltParams, 1, 0},
    {"Ill_min_volt", 27, INVOKE_PROPERTYPUT, 57, "property Ill_min_volt", kPutIll_min_voltParams, 1, 0},
    {"ElementX", 28, INVOKE_PROPERTYGET, 58, "property ElementX", kGetElementXParams, 2, 0},
    {"ElementX", 28, INVOKE_PROPERTYPUT, 59, "property ElementX", kPutElementXParams, 2, 0},
    {"ElementAlignment", 29, INVOKE_PROPERTYGET, 60, "property ElementAlignment", kGetElementAlignmentParams, 2, 0},
    {"ElementAlignment", 29, INVOKE_PROPERTYPUT, 61, "property ElementAlignment", kPutElementAlignmentParams, 2, 0},
    {"ElementY", 30, INVOKE_PROPERTYGET, 62, "property ElementY", kGetElementYParams, 2, 0},
    {"ElementY", 30, INVOKE_PROPERTYPUT, 63, "property ElementY", kPutElementYParams, 2, 0},
    {"PPMKM", 31, INVOKE_PROPERTYGET, 64, "property PPMKM", kGetPPMKMParams, 1, 0},
    {"PPMKM", 31, INVOKE_PROPERTYPUT, 65, "property PPMKM", kPutPPMKMParams, 1, 0},
    {"PPMDividend", 32, INVOKE_PROPERTYGET, 66, "property PPMDividend", kGetPPMDividendParams, 1, 0},
    {"PPMDividend", 32, INVOKE_PROPERTYPUT, 67, "property PPMDividend", kPutPPMDividendParams, 1, 0},
    {"Aircore", 33, INVOKE_PROPERTYGET, 68, "property Aircore", kGetAircoreParams, 1, 0},
    {"Aircore", 33, INVOKE_PROPERTYPUT, 69, "property Aircore", kPutAircoreParams, 1, 0},
    {"Debounce", 34, INVOKE_PROPERTYGET, 70, "property Debounce", kGetDebounceParams, 1, 0},
    {"Debounce", 34, INVOKE_PROPERTYPUT, 71, "property Debounce", kPutDebounceParams, 1, 0},
    {"OdoDisplayTime", 35, INVOKE_PROPERTYGET, 72, "property OdoDisplayTime", kGetOdoDisplayTimeParams, 1, 0},
    {"OdoDisplayTime", 35, INVOKE_PROPERTYPUT, 73, "property OdoDisplayTime", kPutOdoDisplayTimeParams, 1, 0},
    {"AircoreTestSpeed", 36, INVOKE_PROPERTYGET, 74, "property AircoreTestSpeed", kGetAircoreTestSpeedParams, 1, 0},
    {"AircoreTestSpeed", 36, INVOKE_PROPERTYPUT, 75, "property AircoreTestSpeed", kPutAircoreTestSpeedParams, 1, 0},
    {"AircoreTestRange", 37, INVOKE_PROPERTYGET, 76, "property AircoreTestRange", kGetAircoreTestRangeParams, 1, 0},
    {"AircoreTestRange", 37, INVOKE_PROPERTYPUT, 77, "property AircoreTestRange", kPutAircoreTestRangeParams, 1, 0},
};
static_assert(sizeof kPreferencesFuncs / sizeof kPreferencesFuncs[0] == 71);

constexpr TYPELIB_IMPL_DESC kPreferencesImpls[] = {
    {2, IMPLTYPEFLAG_FDEFAULT},
    {0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
};

constexpr TYPELIB_CONST_DESC kObjectIds[] = {
    {"WIN_CLOCK", WIN_CLOCK}, {"WIN_COMPASS", WIN_COMPASS}, {"WIN_MPG", WIN_MPG},
    {"WIN_FUEL", WIN_FUEL},   {"WIN_INFO", WIN_INFO},
};

constexpr TYPELIB_CONST_DESC kJustifyTypes[] = {
    {"FONT_LEFT", FONT_LEFT}, {"FONT_CENTER", FONT_CENTER}, {"FONT_RIGHT", FONT_RIGHT},
};

constexpr TYPELIB_TYPE_DESC kTypes[] = {
    {TKIND_DISPATCH, "_IPreferencesEvents", DIID__IPreferencesEvents, "_IPreferencesEvents Interface", 0,
     nullptr, 0, nullptr, 0, nullptr, 0},
    {TKIND_COCLASS, "Preferences", CLSID_Preferences, "Preferences Class", TYPEFLAG_FCANCREATE,
     nullptr, 0, kPreferencesImpls, 2, nullptr, 0},
    {TKIND_DISPATCH, "IPreferences", IID_IPreferences, "IPreferences Interface",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
     kPreferencesFuncs, 71, nullptr, 0, nullptr, 0},
    {TKIND_ALIAS, "Object_Id", GUID_NULL, nullptr, 0, nullptr, 0, nullptr, 0, kObjectIds, 5},
    {TKIND_ALIAS, "Font_JustifyType", GUID_NULL, nullptr, 0, nullptr, 0, nullptr, 0, kJustifyTypes, 3},
};

constexpr TYPELIB_DESC kLibrary = {
    LIBID_QUILLONLib, "QUILLONLib", "Quillon 1.0 Type Library", QUILLONLib_MajorVersion,
    QUILLONLib_MinorVersion, 0, 0, kTypes, 5,
};

}  // namespace

const TYPELIB_DESC& TypeLibrary() { return kLibrary; }

}  // namespace quillon

// Resource id 1 is the type library; there is no other.
extern "C" __attribute__((visibility("default"))) const TYPELIB_DESC* DllGetTypeLibDescription(int resourceId) {
  return resourceId == 1 ? &quillon::kLibrary : nullptr;
}

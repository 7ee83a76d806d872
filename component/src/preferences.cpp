#include "preferences.h"

#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstring>
#include <new>
#include <string>

#include "error_report.h"
#include "module.h"
#include "ole_text.h"
#include "s19_reader.h"
#include "s19_writer.h"
#include "vin.h"

namespace quillon {
namespace {

// A get writes its out-parameter only on success.
template <typename T, typename V>
HRESULT Deliver(T* out, V value) {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<T>(value);
  return S_OK;
}

std::uint8_t Low8(LONG value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint16_t Low16(LONG value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
// Brightness has 16 steps; the upper four bits of the byte stay clear.
std::uint8_t Low4(LONG value) { return static_cast<std::uint8_t>(value & 0x0F); }

bool ValidBalanceIndex(INT index) { return index >= 0 && index < 3; }
// An Object_Id is taken as an unsigned number, so negative ones are too large.
bool ValidWindowIndex(Object_Id index) { return static_cast<std::uint32_t>(index) <= WIN_INFO; }

// The path a caller passed, as UTF-8 for the file system; false for a null
// or empty path and for one with a NUL inside, which no file can have.
bool PathFromBstr(BSTR path, std::string& out) {
  if (path == nullptr) return false;
  const OleStringView text(path, SysStringLen(path));
  if (text.empty() || text.find(OLESTR('\0')) != OleStringView::npos) return false;
  out = ToBytes(text);
  return true;
}

// The connection-point enumerator of an object without connection points.
class EmptyConnectionPoints final : public ComObject<EmptyConnectionPoints, IEnumConnectionPoints> {
 public:
  STDMETHOD(Next)(ULONG, LPCONNECTIONPOINT*, ULONG* pcFetched) override {
    if (pcFetched != nullptr) *pcFetched = 0;
    return S_FALSE;
  }
  STDMETHOD(Skip)(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
  STDMETHOD(Reset)() override { return S_OK; }
  STDMETHOD(Clone)(IEnumConnectionPoints** ppEnum) override {
    if (ppEnum == nullptr) return E_POINTER;
    *ppEnum = new (std::nothrow) EmptyConnectionPoints;
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
  }

 private:
  friend ComObject;
  ~EmptyConnectionPoints() = default;
};

}  // namespace

// ---- creation, lifetime and interface lookup ------------------------------

Preferences::Preferences(IUnknown* outer) : AggregatableObject(outer), record_(DefaultPreferences()) {
  module::Lock();
}

Preferences::~Preferences() { module::Unlock(); }

HRESULT Preferences::Create(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && riid != IID_IUnknown) {
    OutputDebugStringA("CComClassFactory: asked for non IUnknown interface while creating an aggregated object\n");
    return CLASS_E_NOAGGREGATION;
  }
  Preferences* object = new (std::nothrow) Preferences(outer);
  if (object == nullptr) return E_OUTOFMEMORY;
  // The object starts with one reference of its own, a temporary one that
  // keeps it alive while it is asked for the interface; when that fails,
  // dropping it destroys the object again.
  const HRESULT hr = object->Inner()->QueryInterface(riid, out);
  object->Inner()->Release();
  return hr;
}

// ---- IDispatch --------------------------------------------------------------

STDMETHODIMP Preferences::GetTypeInfoCount(UINT* pctinfo) { return Deliver(pctinfo, 1); }

STDMETHODIMP Preferences::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  return module::SharedTypeInfo(ppTInfo);
}

STDMETHODIMP Preferences::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  ITypeInfo* info = nullptr;
  const HRESULT loaded = module::BorrowTypeInfo(info);
  if (FAILED(loaded)) return loaded;
  // The exact spelling is looked up in our own table first; anything else
  // (another case, several names) goes to the type description.
  if (cNames == 1 && rgszNames != nullptr && rgDispId != nullptr) {
    const DISPID id = module::FindMemberId(rgszNames[0]);
    if (id != DISPID_UNKNOWN) {
      rgDispId[0] = id;
      return S_OK;
    }
  }
  return info->GetIDsOfNames(rgszNames, cNames, rgDispId);
}

STDMETHODIMP Preferences::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  ITypeInfo* info = nullptr;
  const HRESULT loaded = module::BorrowTypeInfo(info);
  if (FAILED(loaded)) return loaded;
  return info->Invoke(static_cast<IPreferences*>(this), dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                      puArgErr);
}

// ---- plain properties -------------------------------------------------------

STDMETHODIMP Preferences::get_Flags(LONG* pVal) { return Deliver(pVal, record_.Flags); }
STDMETHODIMP Preferences::put_Flags(LONG v) { record_.Flags = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_Version(LONG* pVal) { return Deliver(pVal, record_.Version); }
STDMETHODIMP Preferences::get_Region(LONG* pVal) { return Deliver(pVal, record_.Region); }
STDMETHODIMP Preferences::put_Region(LONG v) { record_.Region = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_BrightnessDay(LONG* pVal) { return Deliver(pVal, record_.BrightnessDay); }
STDMETHODIMP Preferences::put_BrightnessDay(LONG v) { record_.BrightnessDay = Low4(v); return S_OK; }
STDMETHODIMP Preferences::get_SplashTime(LONG* pVal) { return Deliver(pVal, record_.SplashTime); }
STDMETHODIMP Preferences::put_SplashTime(LONG v) { record_.SplashTime = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_SpeedUpdate(LONG* pVal) { return Deliver(pVal, record_.SpeedUpdate); }
STDMETHODIMP Preferences::put_SpeedUpdate(LONG v) { record_.SpeedUpdate = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_CompassUpdate(LONG* pVal) { return Deliver(pVal, record_.CompassUpdate); }
STDMETHODIMP Preferences::put_CompassUpdate(LONG v) { record_.CompassUpdate = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_SpeedFilterThreshold(LONG* pVal) { return Deliver(pVal, record_.SpeedFilterThreshold); }
STDMETHODIMP Preferences::put_SpeedFilterThreshold(LONG v) { record_.SpeedFilterThreshold = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_IceWarning(LONG* pVal) { return Deliver(pVal, record_.IceWarning); }
STDMETHODIMP Preferences::put_IceWarning(LONG v) { record_.IceWarning = static_cast<std::int8_t>(Low8(v)); return S_OK; }
STDMETHODIMP Preferences::get_ShortPressTime(LONG* pVal) { return Deliver(pVal, record_.ShortPressTime); }
STDMETHODIMP Preferences::put_ShortPressTime(LONG v) { record_.ShortPressTime = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_LongPressTime(LONG* pVal) { return Deliver(pVal, record_.LongPressTime); }
STDMETHODIMP Preferences::put_LongPressTime(LONG v) { record_.LongPressTime = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_SatTime(LONG* pVal) { return Deliver(pVal, record_.SatTime); }
STDMETHODIMP Preferences::put_SatTime(LONG v) { record_.SatTime = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_FontColor(OLE_COLOR* pVal) { return Deliver(pVal, record_.FontColor); }
STDMETHODIMP Preferences::put_FontColor(OLE_COLOR v) { record_.FontColor = v; return S_OK; }
STDMETHODIMP Preferences::get_Fuel005(LONG* pVal) { return Deliver(pVal, record_.Fuel005); }
STDMETHODIMP Preferences::put_Fuel005(LONG v) { record_.Fuel005 = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_RefuelWarning(LONG* pVal) { return Deliver(pVal, record_.RefuelWarning); }
STDMETHODIMP Preferences::put_RefuelWarning(LONG v) { record_.RefuelWarning = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_CANBaudrate(LONG* pVal) { return Deliver(pVal, record_.CANBaudrate); }
STDMETHODIMP Preferences::put_CANBaudrate(LONG v) { record_.CANBaudrate = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_GPSBaudrate(LONG* pVal) { return Deliver(pVal, record_.GPSBaudrate); }
STDMETHODIMP Preferences::put_GPSBaudrate(LONG v) { record_.GPSBaudrate = Low16(v); return S_OK; }
STDMETHODIMP Preferences::get_TimeZoneOffset(LONG* pVal) { return Deliver(pVal, record_.TimeZoneOffset); }
STDMETHODIMP Preferences::put_TimeZoneOffset(LONG v) { record_.TimeZoneOffset = static_cast<std::int8_t>(Low8(v)); return S_OK; }
STDMETHODIMP Preferences::get_NMEAFlags(LONG* pVal) { return Deliver(pVal, record_.NMEAFlags); }
STDMETHODIMP Preferences::put_NMEAFlags(LONG v) { record_.NMEAFlags = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_FuelDiv(SHORT* pVal) { return Deliver(pVal, record_.FuelDiv); }
STDMETHODIMP Preferences::put_FuelDiv(SHORT v) { record_.FuelDiv = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_FuelMul(SHORT* pVal) { return Deliver(pVal, record_.FuelMul); }
STDMETHODIMP Preferences::put_FuelMul(SHORT v) { record_.FuelMul = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_BrightnessNight(LONG* pVal) { return Deliver(pVal, record_.BrightnessNight); }
STDMETHODIMP Preferences::put_BrightnessNight(LONG v) { record_.BrightnessNight = Low4(v); return S_OK; }
STDMETHODIMP Preferences::get_Ill_min_volt(LONG* pVal) { return Deliver(pVal, record_.Ill_min_volt); }
STDMETHODIMP Preferences::put_Ill_min_volt(LONG v) { record_.Ill_min_volt = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_PPMKM(LONG* pVal) { return Deliver(pVal, record_.PPMKM); }
STDMETHODIMP Preferences::put_PPMKM(LONG v) { record_.PPMKM = Low16(v); return S_OK; }
// All 32 bits: values from 2^31 up read as negative.
STDMETHODIMP Preferences::get_PPMDividend(LONG* pVal) { return Deliver(pVal, static_cast<LONG>(record_.PPMDividend)); }
STDMETHODIMP Preferences::put_PPMDividend(LONG v) { record_.PPMDividend = static_cast<std::uint32_t>(v); return S_OK; }
// All 16 bits: values from 32768 up read as negative.
STDMETHODIMP Preferences::get_Aircore(SHORT* pVal) { return Deliver(pVal, static_cast<SHORT>(record_.Aircore)); }
STDMETHODIMP Preferences::put_Aircore(SHORT v) { record_.Aircore = static_cast<std::uint16_t>(v); return S_OK; }
STDMETHODIMP Preferences::get_Debounce(SHORT* pVal) { return Deliver(pVal, record_.Debounce); }
STDMETHODIMP Preferences::put_Debounce(SHORT v) { record_.Debounce = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_OdoDisplayTime(SHORT* pVal) { return Deliver(pVal, record_.OdoDisplayTime); }
STDMETHODIMP Preferences::put_OdoDisplayTime(SHORT v) { record_.OdoDisplayTime = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_AircoreTestSpeed(SHORT* pVal) { return Deliver(pVal, record_.AircoreTestSpeed); }
STDMETHODIMP Preferences::put_AircoreTestSpeed(SHORT v) { record_.AircoreTestSpeed = Low8(v); return S_OK; }
STDMETHODIMP Preferences::get_AircoreTestRange(LONG* pVal) { return Deliver(pVal, record_.AircoreTestRange); }
STDMETHODIMP Preferences::put_AircoreTestRange(LONG v) { record_.AircoreTestRange = Low16(v); return S_OK; }

// ---- indexed properties -----------------------------------------------------

STDMETHODIMP Preferences::get_ColorBalance(INT index, LONG* pVal) {
  if (!ValidBalanceIndex(index)) return E_INVALIDARG;
  return Deliver(pVal, record_.ColorBalance[index]);
}
STDMETHODIMP Preferences::put_ColorBalance(INT index, LONG v) {
  if (!ValidBalanceIndex(index)) return E_INVALIDARG;
  record_.ColorBalance[index] = static_cast<std::int8_t>(Low8(v));
  return S_OK;
}
STDMETHODIMP Preferences::get_ElementX(Object_Id index, LONG* pVal) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  return Deliver(pVal, record_.Elements[index].X);
}
STDMETHODIMP Preferences::put_ElementX(Object_Id index, LONG v) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  record_.Elements[index].X = Low8(v);
  return S_OK;
}
STDMETHODIMP Preferences::get_ElementY(Object_Id index, LONG* pVal) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  return Deliver(pVal, record_.Elements[index].Y);
}
STDMETHODIMP Preferences::put_ElementY(Object_Id index, LONG v) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  record_.Elements[index].Y = Low8(v);
  return S_OK;
}
// The alignment byte is stored as given, whether or not it names a
// Font_JustifyType value.
STDMETHODIMP Preferences::get_ElementAlignment(Object_Id index, Font_JustifyType* pVal) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  return Deliver(pVal, record_.Elements[index].Alignment);
}
STDMETHODIMP Preferences::put_ElementAlignment(Object_Id index, Font_JustifyType v) {
  if (!ValidWindowIndex(index)) return E_INVALIDARG;
  record_.Elements[index].Alignment = Low8(v);
  return S_OK;
}

// ---- VIN ----------------------------------------------------------------------

STDMETHODIMP Preferences::get_VIN(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  const std::string text = VinText(record_.VINDigits);
  OLECHAR wide[sizeof kVinTemplate] = {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide,
                                    static_cast<int>(sizeof kVinTemplate));
  BSTR result = SysAllocStringLen(wide, static_cast<UINT>(n > 0 ? n : 0));
  if (result == nullptr) return E_OUTOFMEMORY;
  *pVal = result;
  return S_OK;
}

// A null string counts as empty text; see VinDigitsFromText for positions
// past the end of the text.
STDMETHODIMP Preferences::put_VIN(BSTR newVal) {
  const UINT length = newVal != nullptr ? SysStringLen(newVal) : 0;
  std::string text;
  if (length > 0) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, newVal, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
      text.resize(static_cast<std::size_t>(bytes));
      WideCharToMultiByte(CP_ACP, 0, newVal, static_cast<int>(length), text.data(), bytes, nullptr, nullptr);
    }
  }
  VinDigitsFromText(text, record_.VINDigits);
  return S_OK;
}

// ---- files ----------------------------------------------------------------------

STDMETHODIMP Preferences::WriteS19(BSTR path) {
  std::string file;
  if (!PathFromBstr(path, file)) return ReportError(kFileNotFound, IID_NULL, 0);
  const WriteResult result = quillon::WriteS19(file, record_);
  if (SUCCEEDED(result.status)) return S_OK;
  if (result.description == kFileNotFound) return ReportError(kFileNotFound, IID_NULL, 0);
  // Other reasons name the file, whose path may hold any character.
  return ReportErrorText(ToOle(result.description).c_str(), IID_NULL, 0);
}

STDMETHODIMP Preferences::ReadS19(BSTR path) {
  std::string file;
  if (!PathFromBstr(path, file)) return E_FAIL;
  return quillon::ReadS19(file, record_);
}

// ---- error information and connection points --------------------------------

STDMETHODIMP Preferences::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_IPreferences ? S_OK : S_FALSE;
}

STDMETHODIMP Preferences::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  *ppEnum = new (std::nothrow) EmptyConnectionPoints;
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Preferences::FindConnectionPoint(REFIID, IConnectionPoint** ppCP) {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  return CONNECT_E_NOCONNECTION;
}

}  // namespace quillon

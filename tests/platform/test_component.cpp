// The test component: class factory, object, exports and type library
// table. DllMain appends "attach"/"detach" lines to the file named by
// QUILLON_TEST_DLLMAIN_LOG, so tests can watch the loader.

#include "test_component.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

#include "typelib_desc.h"

namespace {

std::atomic<LONG> g_locks{0};
HMODULE g_module = nullptr;

void LogEntry(const char* what) {
  if (const char* path = std::getenv("QUILLON_TEST_DLLMAIN_LOG")) {
    if (FILE* f = std::fopen(path, "a")) {
      std::fprintf(f, "%s\n", what);
      std::fclose(f);
    }
  }
}

// The type library table.
#define OUT_RETVAL (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)
const TYPELIB_PARAM_DESC kLongRet[] = {{"pVal", VT_BYREF | VT_I4, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kLongIn[] = {{nullptr, VT_I4, PARAMFLAG_FIN}};
const TYPELIB_PARAM_DESC kShortRet[] = {{"pVal", VT_BYREF | VT_I2, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kShortIn[] = {{nullptr, VT_I2, PARAMFLAG_FIN}};
const TYPELIB_PARAM_DESC kColorRet[] = {{"pVal", VT_BYREF | VT_UI4, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kColorIn[] = {{nullptr, VT_UI4, PARAMFLAG_FIN}};
const TYPELIB_PARAM_DESC kTextRet[] = {{"pVal", VT_BYREF | VT_BSTR, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kTextIn[] = {{nullptr, VT_BSTR, PARAMFLAG_FIN}};
const TYPELIB_PARAM_DESC kSubtract[] = {{"a", VT_I4, PARAMFLAG_FIN},
                                        {"b", VT_I4, PARAMFLAG_FIN},
                                        {"result", VT_BYREF | VT_I4, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kItemGet[] = {{"index", VT_INT, PARAMFLAG_NONE},
                                       {"pVal", VT_BYREF | VT_I4, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kItemPut[] = {{"index", VT_INT, PARAMFLAG_NONE},
                                       {nullptr, VT_I4, PARAMFLAG_FIN}};
const TYPELIB_PARAM_DESC kPath[] = {{"path", VT_BSTR, PARAMFLAG_NONE}};
const TYPELIB_PARAM_DESC kDescribe[] = {{"s", VT_I2, PARAMFLAG_FIN},
                                        {"u", VT_UI4, PARAMFLAG_FIN},
                                        {"text", VT_BYREF | VT_BSTR, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kDescribeAll[] = {{"c", VT_I1, PARAMFLAG_FIN},  {"b", VT_UI1, PARAMFLAG_FIN},
                                           {"w", VT_UI2, PARAMFLAG_FIN}, {"f", VT_BOOL, PARAMFLAG_FIN},
                                           {"n", VT_UINT, PARAMFLAG_FIN},
                                           {"text", VT_BYREF | VT_BSTR, OUT_RETVAL}};
const TYPELIB_PARAM_DESC kScale[] = {{"x", VT_R8, PARAMFLAG_FIN},
                                     {"y", VT_R4, PARAMFLAG_FIN},
                                     {"n", VT_I4, PARAMFLAG_FIN},
                                     {"result", VT_BYREF | VT_R8, OUT_RETVAL}};

const TYPELIB_FUNC_DESC kCalcFuncs[] = {
    {"Value", 1, INVOKE_PROPERTYGET, 7, "property Value", kLongRet, 1, 0},
    {"Value", 1, INVOKE_PROPERTYPUT, 8, "property Value", kLongIn, 1, 0},
    {"Small", 2, INVOKE_PROPERTYGET, 9, "property Small", kShortRet, 1, 0},
    {"Small", 2, INVOKE_PROPERTYPUT, 10, "property Small", kShortIn, 1, 0},
    {"Color", 3, INVOKE_PROPERTYGET, 11, "property Color", kColorRet, 1, 0},
    {"Color", 3, INVOKE_PROPERTYPUT, 12, "property Color", kColorIn, 1, 0},
    {"Name", 4, INVOKE_PROPERTYGET, 13, "property Name", kTextRet, 1, 0},
    {"Name", 4, INVOKE_PROPERTYPUT, 14, "property Name", kTextIn, 1, 0},
    {"Subtract", 5, INVOKE_FUNC, 15, "method Subtract", kSubtract, 3, 0},
    {"Item", 6, INVOKE_PROPERTYGET, 16, "property Item", kItemGet, 2, 0},
    {"Item", 6, INVOKE_PROPERTYPUT, 17, "property Item", kItemPut, 2, 0},
    {"Fail", 7, INVOKE_FUNC, 18, "method Fail", kPath, 1, 0},
    {"FailBare", 8, INVOKE_FUNC, 19, "method FailBare", nullptr, 0, 0},
    {"Mode", 9, INVOKE_PROPERTYGET, 20, "property Mode", kLongRet, 1, 0},
    {"Mode", 9, INVOKE_PROPERTYPUT, 21, "property Mode", kLongIn, 1, 0},
    {"Describe", 10, INVOKE_FUNC, 22, "method Describe", kDescribe, 3, 0},
    {"DescribeAll", 11, INVOKE_FUNC, 23, "method DescribeAll", kDescribeAll, 6, 0},
    {"Scale", 12, INVOKE_FUNC, 24, "method Scale", kScale, 4, 0},
};
// The same table slots under other ids: id 5000000 is a method (Small's
// get) declared before a get (Value's); id -7 is a put (Value's) and then
// another put (Small's), which Invoke never reaches.
const TYPELIB_FUNC_DESC kScatteredFuncs[] = {
    {"SmallAsMethod", 5000000, INVOKE_FUNC, 9, nullptr, kShortRet, 1, 0},
    {"Value", 5000000, INVOKE_PROPERTYGET, 7, nullptr, kLongRet, 1, 0},
    {"Value", -7, INVOKE_PROPERTYPUT, 8, nullptr, kLongIn, 1, 0},
    {"Small", -7, INVOKE_PROPERTYPUT, 10, nullptr, kShortIn, 1, 0},
    {"Subtract", 3, INVOKE_FUNC, 15, nullptr, kSubtract, 3, 0},
};
const TYPELIB_IMPL_DESC kCalcImpls[] = {{2, IMPLTYPEFLAG_FDEFAULT},
                                        {0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
const TYPELIB_CONST_DESC kModes[] = {{"MODE_OFF", 0}, {"MODE_ON", 1}, {"MODE_AUTO", 2}};

const TYPELIB_TYPE_DESC kTypes[] = {
    {TKIND_DISPATCH, "_ITestCalcEvents", DIID_ITestCalcEvents, "_ITestCalcEvents Interface", 0,
     nullptr, 0, nullptr, 0, nullptr, 0},
    {TKIND_COCLASS, "TestCalc", CLSID_TestCalc, "TestCalc Class", TYPEFLAG_FCANCREATE, nullptr, 0,
     kCalcImpls, 2, nullptr, 0},
    {TKIND_DISPATCH, "ITestCalc", IID_ITestCalc, "ITestCalc Interface",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, kCalcFuncs,
     sizeof kCalcFuncs / sizeof kCalcFuncs[0], nullptr, 0, nullptr, 0},
    {TKIND_ALIAS, "Mode_Type", GUID_NULL, nullptr, 0, nullptr, 0, nullptr, 0, kModes, 3},
    {TKIND_INTERFACE, "ITestCalcScattered", IID_ITestCalcScattered, nullptr, 0, kScatteredFuncs,
     sizeof kScatteredFuncs / sizeof kScatteredFuncs[0], nullptr, 0, nullptr, 0},
};

const TYPELIB_DESC kLibrary = {LIBID_TestCalcLib, "TESTCALCLib", "TestCalc 1.0 Type Library",
                               1, 0, 0, 0, kTypes, sizeof kTypes / sizeof kTypes[0]};

// Type information shared by all objects, loaded from this library's file.
std::mutex g_typeInfoLock;
ITypeInfo* g_typeInfo = nullptr;

HRESULT CalcTypeInfo(ITypeInfo** out) {
  std::lock_guard<std::mutex> guard(g_typeInfoLock);
  if (g_typeInfo == nullptr) {
    OLECHAR path[4096];
    if (GetModuleFileNameW(g_module, path, 4096) == 0) return E_UNEXPECTED;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLib(path, &lib);
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(IID_ITestCalc, &g_typeInfo);
    lib->Release();
    if (FAILED(hr)) return hr;
  }
  g_typeInfo->AddRef();
  *out = g_typeInfo;
  return S_OK;
}

class Calc final : public ITestCalc {
 public:
  Calc() { g_locks.fetch_add(1); }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITestCalc) {
      *ppv = static_cast<ITestCalc*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    return CalcTypeInfo(out);
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ITypeInfo* info = nullptr;
    HRESULT hr = CalcTypeInfo(&info);
    if (FAILED(hr)) return hr;
    hr = DispGetIDsOfNames(info, names, count, ids);
    info->Release();
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override {
    ITypeInfo* info = nullptr;
    HRESULT hr = CalcTypeInfo(&info);
    if (FAILED(hr)) return hr;
    hr = DispInvoke(static_cast<ITestCalc*>(this), info, id, flags, params, result, excep, argErr);
    info->Release();
    return hr;
  }

  STDMETHODIMP get_Value(LONG* p) override { return *p = value_, S_OK; }
  STDMETHODIMP put_Value(LONG v) override { return value_ = v, S_OK; }
  STDMETHODIMP get_Small(SHORT* p) override { return *p = small_, S_OK; }
  STDMETHODIMP put_Small(SHORT v) override { return small_ = v, S_OK; }
  STDMETHODIMP get_Color(OLE_COLOR* p) override { return *p = color_, S_OK; }
  STDMETHODIMP put_Color(OLE_COLOR v) override { return color_ = v, S_OK; }
  STDMETHODIMP get_Name(BSTR* p) override {
    *p = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return *p ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP put_Name(BSTR v) override {
    name_.assign(v ? v : u"", SysStringLen(v));
    return S_OK;
  }
  STDMETHODIMP Subtract(LONG a, LONG b, LONG* r) override { return *r = a - b, S_OK; }
  STDMETHODIMP get_Item(INT index, LONG* p) override {
    if (index < 0 || index > 2) return E_INVALIDARG;
    return *p = items_[index], S_OK;
  }
  STDMETHODIMP put_Item(INT index, LONG v) override {
    if (index < 0 || index > 2) return E_INVALIDARG;
    return items_[index] = v, S_OK;
  }
  STDMETHODIMP Fail(BSTR path) override {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
      std::u16string text = u"Cannot open ";
      text += path ? path : u"";
      create->SetDescription(text.data());
      create->SetSource(const_cast<LPOLESTR>(u"Test.Calc.1"));
      create->SetHelpFile(const_cast<LPOLESTR>(u"calc.hlp"));
      create->SetHelpContext(42);
      IErrorInfo* info = nullptr;
      if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
      }
      create->Release();
    }
    return TESTCALC_E_FAIL;
  }
  STDMETHODIMP FailBare() override { return E_INVALIDARG; }
  STDMETHODIMP get_Mode(LONG* p) override { return *p = mode_, S_OK; }
  STDMETHODIMP put_Mode(LONG v) override { return mode_ = v, S_OK; }
  STDMETHODIMP Describe(SHORT s, ULONG u, BSTR* text) override {
    return Text(std::to_string(s) + " " + std::to_string(u), text);
  }
  STDMETHODIMP DescribeAll(CHAR c, BYTE b, USHORT w, VARIANT_BOOL f, UINT n, BSTR* text) override {
    return Text(std::to_string(c) + " " + std::to_string(b) + " " + std::to_string(w) + " " +
                    std::to_string(f) + " " + std::to_string(n),
                text);
  }
  STDMETHODIMP Scale(DOUBLE x, FLOAT y, LONG n, DOUBLE* result) override {
    return *result = x * y + n, S_OK;
  }

 private:
  ~Calc() { g_locks.fetch_sub(1); }
  static HRESULT Text(const std::string& ascii, BSTR* out) {
    const std::u16string text(ascii.begin(), ascii.end());
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  std::atomic<ULONG> refs_{1};
  LONG value_ = 0;
  SHORT small_ = 0;
  OLE_COLOR color_ = 0x00FFFFFF;
  std::u16string name_ = u"calc";
  LONG items_[3] = {10, 20, 30};
  LONG mode_ = 0;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    g_locks.fetch_add(1);
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    g_locks.fetch_sub(1);
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* calc = new (std::nothrow) Calc();
    if (calc == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = calc->QueryInterface(riid, ppv);
    calc->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lock ? g_locks.fetch_add(1) : g_locks.fetch_sub(1);
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" {

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    LogEntry("attach");
  } else if (reason == DLL_PROCESS_DETACH) {
    if (g_typeInfo != nullptr) {
      g_typeInfo->Release();
      g_typeInfo = nullptr;
    }
    LogEntry("detach");
  }
  return TRUE;
}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_TestCalc) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

HRESULT DllCanUnloadNow() { return g_locks.load() == 0 ? S_OK : S_FALSE; }

const TYPELIB_DESC* DllGetTypeLibDescription(int resourceId) {
  return resourceId == 1 ? &kLibrary : nullptr;
}

}  // extern "C"

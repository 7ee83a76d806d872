// The test component: class factory, object and exports over the interface
// test_calc.idl defines; its type library is embedded as resource TYPELIB 1.
// DllMain appends "attach"/"detach" lines to the file named by
// QUILLON_TEST_DLLMAIN_LOG, so tests can watch the loader. Asked for the
// class or interface kNothing, it claims success and hands out nothing.

#define INITGUID  // this library defines the identifiers it uses
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "comobject.h"
#include "comptr.h"
#include "test_calc.h"

namespace {

const GUID kNothing = {0x0badfac7, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
HMODULE g_module = nullptr;

void LogEntry(const char* what) {
  if (const char* path = std::getenv("QUILLON_TEST_DLLMAIN_LOG")) std::ofstream(path, std::ios::app) << what << "\n";
}

// Type information shared by all objects, loaded from this library's file
// on first use and released when the library is unloaded.
ITypeInfo* CalcTypeInfo() {
  static const ComPtr<ITypeInfo> info = [] {
    OLECHAR path[4096];
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> loaded;
    if (GetModuleFileNameW(g_module, path, 4096) != 0 && SUCCEEDED(LoadTypeLib(path, &lib))) {
      lib->GetTypeInfoOfGuid(IID_ITestCalc, &loaded);
    }
    return loaded;
  }();
  return info.Get();
}

// The tests call by name and id only.
class Calc final : public quillon::ComObject<Calc, ITestCalc> {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ITypeInfo* info = CalcTypeInfo();
    return info ? info->GetIDsOfNames(names, count, ids) : E_UNEXPECTED;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                      UINT* argErr) override {
    ITypeInfo* info = CalcTypeInfo();
    return info ? info->Invoke(static_cast<ITestCalc*>(this), id, flags, params, result, excep, argErr) : E_UNEXPECTED;
  }

  STDMETHODIMP get_Value(LONG* p) override { return *p = value_, S_OK; }
  STDMETHODIMP put_Value(LONG v) override { return value_ = v, S_OK; }
  STDMETHODIMP get_Small(short* p) override { return *p = small_, S_OK; }
  STDMETHODIMP put_Small(short v) override { return small_ = v, S_OK; }
  STDMETHODIMP Subtract(LONG a, LONG b, LONG* r) override { return *r = a - b, S_OK; }
  STDMETHODIMP get_Mode(Calc_Mode* p) override { return *p = mode_, S_OK; }
  STDMETHODIMP put_Mode(Calc_Mode v) override { return mode_ = v, S_OK; }
  STDMETHODIMP Describe(short s, ULONG u, BSTR* text) override {
    return Text(std::to_string(s) + " " + std::to_string(u), text);
  }
  STDMETHODIMP DescribeAll(signed char c, unsigned char b, unsigned short w, VARIANT_BOOL f, UINT n,
                           BSTR* text) override {
    return Text(std::to_string(c) + " " + std::to_string(b) + " " + std::to_string(w) + " " + std::to_string(f) +
                    " " + std::to_string(n),
                text);
  }
  STDMETHODIMP Scale(double x, float y, LONG n, double* result) override { return *result = x * y + n, S_OK; }

 private:
  friend ComObject;
  ~Calc() = default;
  static HRESULT Text(const std::string& ascii, BSTR* out) {
    const std::u16string text(ascii.begin(), ascii.end());
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  LONG value_ = 0;
  short small_ = 0;
  Calc_Mode mode_ = MODE_OFF;
};

// A static factory, never freed.
class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return quillon::QueryInterfaceOf<IClassFactory>(this, riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (riid == kNothing) return S_OK;
    auto* calc = new (std::nothrow) Calc();
    if (calc == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = calc->QueryInterface(riid, ppv);
    calc->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
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
    LogEntry("detach");
  }
  return TRUE;
}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid == kNothing) return S_OK;
  if (clsid != CLSID_TestCalc) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

}  // extern "C"

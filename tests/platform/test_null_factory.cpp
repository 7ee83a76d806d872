// A library whose exports claim success and hand out nothing: for one class
// DllGetClassObject gives no factory; for any other, a factory whose
// CreateInstance gives no object.
#include <windows.h>

namespace {

const CLSID kNoFactory = {0x0badfac7, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

class EmptyFactory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown*, REFIID, void** ppv) override {
    *ppv = nullptr;
    return S_OK;
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }
} g_factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID, LPVOID* ppv) {
  *ppv = clsid == kNoFactory ? nullptr : static_cast<IClassFactory*>(&g_factory);
  return S_OK;
}

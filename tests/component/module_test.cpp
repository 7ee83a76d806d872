// The server frame: class factory, lock count, aggregation, registration.
#include <winreg.h>

#include <atomic>

#include "component_env.h"
#include "registry_values.h"

namespace quillon::testing {
namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);

ComPtr<IClassFactory> Factory() {
  ComPtr<IClassFactory> f;
  EXPECT_EQ(Export<GetClassObjectFn>("DllGetClassObject")(CLSID_Preferences, IID_IClassFactory,
                                                         reinterpret_cast<void**>(f.GetAddressOf())),
            S_OK);
  return f;
}

const std::u16string kClassKey = u"CLSID\\" + GuidText(CLSID_Preferences);

TEST(Module, LockCountFollowsObjectsFactoriesAndLockServer) {
  EXPECT_EQ(CanUnloadNow(), S_OK);
  {
    auto p = NewPreferences();
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(CanUnloadNow(), S_OK);
  {
    auto f1 = Factory();
    auto f2 = Factory();
    EXPECT_EQ(f1.Get(), f2.Get());
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    f2 = nullptr;
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(CanUnloadNow(), S_OK);
  auto f = Factory();
  f->LockServer(TRUE);
  f->LockServer(TRUE);
  f->LockServer(FALSE);
  f = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  Factory()->LockServer(FALSE);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST(Module, ClassObjectRequests) {
  auto get = Export<GetClassObjectFn>("DllGetClassObject");
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(get(IID_IPreferences, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(get(CLSID_Preferences, IID_IClassFactory, nullptr), E_POINTER);
  out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(get(CLSID_Preferences, IID_IPreferences, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  auto f = Factory();
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IPreferences, nullptr), E_POINTER);
  out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  f = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_OK) << "a refused CreateInstance must not leak the object";
}

// An outer object that keeps the Preferences object inside and forwards
// every interface it does not know to it.
class Outer final : public IUnknown {
 public:
  std::atomic<ULONG> refs{1};
  IUnknown* inner = nullptr;
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
};

TEST(Module, Aggregation) {
  auto f = Factory();
  Outer outer;
  void* out = nullptr;
  EXPECT_EQ(f->CreateInstance(&outer, IID_IPreferences, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(f->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);

  IPreferences* prefs = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IPreferences, reinterpret_cast<void**>(&prefs)), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "the part's reference belongs to the outer object";
  // Through the part, IUnknown is the outer object's identity.
  IUnknown* identity = nullptr;
  ASSERT_EQ(prefs->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  LONG v = 0;
  EXPECT_EQ(prefs->put_Region(3), S_OK);
  EXPECT_EQ(prefs->get_Region(&v), S_OK);
  EXPECT_EQ(v, 3);
  prefs->Release();
  EXPECT_EQ(outer.refs, 1u);

  EXPECT_EQ(outer.inner->Release(), 0u);
  outer.inner = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the factory is still held here";
  f = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

// What registration writes is checked under Wine with the system's
// registry (tools/test-windows.sh) and, for the library's own path, in
// unregistered_test; here, a second registration.
TEST(Registration, RegisteringAgainRewritesTheClassKey) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + u"\\Stray").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
  ASSERT_EQ(Export<HRESULT (*)()>("DllRegisterServer")(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + u"\\Stray"));
  EXPECT_EQ(Value(kClassKey + u"\\InprocServer32", u"ThreadingModel"), u"Both");
}

}  // namespace
}  // namespace quillon::testing

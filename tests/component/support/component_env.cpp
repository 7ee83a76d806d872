#include "component_env.h"

#include <stdlib.h>

#include "quillon_text.h"

namespace quillon::testing {
namespace {

TempDir* g_folder = nullptr;
HMODULE g_module = nullptr;

}  // namespace

void ComponentEnvironment::SetUp() {
  g_folder = new TempDir;
  ::setenv("QUILLON_REGISTRY", g_folder->File("registry.txt").c_str(), 1);
  g_module = LoadLibraryA(QUILLON_COMPONENT_PATH);
  ASSERT_NE(g_module, nullptr) << "cannot load " << QUILLON_COMPONENT_PATH;
  auto reg = Export<HRESULT (*)()>("DllRegisterServer");
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(reg(), S_OK);
}

void ComponentEnvironment::TearDown() {
  delete g_folder;
  g_folder = nullptr;
}

HMODULE ComponentEnvironment::Module() { return g_module; }
const std::string& ComponentEnvironment::Folder() { return g_folder->path(); }

HRESULT CanUnloadNow() { return Export<HRESULT (*)()>("DllCanUnloadNow")(); }

ComPtr<IPreferences> NewPreferences() {
  ComPtr<IPreferences> p;
  const HRESULT hr = CoCreateInstance(CLSID_Preferences, nullptr, CLSCTX_INPROC_SERVER, IID_IPreferences,
                                      reinterpret_cast<void**>(p.GetAddressOf()));
  EXPECT_EQ(hr, S_OK);
  return p;
}

std::u16string U16(const std::string& utf8) { return Utf8ToUtf16(utf8); }

DISPID IdOf(IDispatch* d, const std::u16string& name) {
  std::u16string copy = name;
  LPOLESTR names[] = {copy.data()};
  DISPID id = -99;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << Utf16ToUtf8(name);
  return id;
}

HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                    static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  UINT argErr = 0;
  const HRESULT hr = d->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, &argErr);
  for (auto& v : args) VariantClear(&v);
  return hr;
}

VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}

}  // namespace quillon::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new quillon::testing::ComponentEnvironment);
  return RUN_ALL_TESTS();
}

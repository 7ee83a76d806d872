// A property get through IDispatch::Invoke by DISPID against the same get
// through the table of operations, on the component loaded as clients load
// it (registered into a registry in a temporary folder).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>
#include <windows.h>
#include <comptr.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "Quillon.h"

namespace {

ComPtr<IPreferences> g_prefs;

void BM_GetThroughVtable(benchmark::State& state) {
  LONG v = 0;
  for (auto _ : state) {
    g_prefs->get_SpeedUpdate(&v);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_GetThroughVtable);

void BM_GetThroughInvoke(benchmark::State& state) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  for (auto _ : state) {
    g_prefs->Invoke(6, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    benchmark::DoNotOptimize(result.lVal);
  }
}
BENCHMARK(BM_GetThroughInvoke);

void BM_PutThroughInvoke(benchmark::State& state) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 1234;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  for (auto _ : state) g_prefs->Invoke(6, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}
BENCHMARK(BM_PutThroughInvoke);

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/quillon-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 1;
  const std::string registry = std::string(folder) + "/registry.txt";
  ::setenv("QUILLON_REGISTRY", registry.c_str(), 1);
  HMODULE module = LoadLibraryA(QUILLON_COMPONENT_PATH);
  auto reg = module ? reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer")) : nullptr;
  if (reg == nullptr || reg() != S_OK ||
      CoCreateInstance(CLSID_Preferences, nullptr, CLSCTX_INPROC_SERVER, IID_IPreferences,
                       reinterpret_cast<void**>(g_prefs.GetAddressOf())) != S_OK) {
    std::fprintf(stderr, "cannot load and register %s\n", QUILLON_COMPONENT_PATH);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_prefs = nullptr;
  ::unlink(registry.c_str());
  ::rmdir(folder);
  return 0;
}

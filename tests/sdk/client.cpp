// Creates the object by its ProgID through the registry and reads a
// property: prints "Version = 256" for a new object.
#include <Quillon.h>
#include <comptr.h>

#include <cstdio>

int main() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(u"Quillon.Preferences", &clsid);
  ComPtr<IPreferences> prefs;
  if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&prefs));
  LONG version = 0;
  if (SUCCEEDED(hr)) hr = prefs->get_Version(&version);
  if (FAILED(hr)) {
    std::fprintf(stderr, "client: 0x%08X\n", static_cast<unsigned>(hr));
    return 1;
  }
  std::printf("Version = %d\n", static_cast<int>(version));
  prefs = nullptr;
  CoUninitialize();
  return 0;
}

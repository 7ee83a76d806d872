// Registers (or with -u unregisters) an in-process component library in the
// registry that QUILLON_REGISTRY names, through its own exports, as the
// command-line client would. Test set-up only.
//
//   editor_register_component [-u] /path/to/libQuillon.so

#include <cstdio>
#include <cstring>

#include <windows.h>
#include <wtypes.h>

int main(int argc, char* argv[]) {
  const bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
  if (argc != 2 && !unregister) {
    std::fprintf(stderr, "usage: %s [-u] LIBRARY\n", argv[0]);
    return 2;
  }
  const char* path = argv[argc - 1];
  HMODULE library = LoadLibraryA(path);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s (error %u)\n", path, static_cast<unsigned>(GetLastError()));
    return 1;
  }
  using Entry = HRESULT (*)();
  const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto entry = reinterpret_cast<Entry>(GetProcAddress(library, name));
  if (entry == nullptr) {
    std::fprintf(stderr, "%s has no %s\n", path, name);
    FreeLibrary(library);
    return 1;
  }
  const HRESULT hr = entry();
  FreeLibrary(library);
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", name, static_cast<unsigned>(hr));
    return 1;
  }
  return 0;
}

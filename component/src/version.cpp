// The library's version information, readable by name with
// DllGetVersionText("FileVersion") and the like.
#include <cstring>

namespace {

struct VersionEntry {
  const char* name;
  const char* value;
};

constexpr VersionEntry kVersionInfo[] = {
    {"FileVersion", "1, 0, 0, 4"},
    {"ProductVersion", "1, 0, 0, 4"},
    {"FileDescription", "Quillon Module"},
    {"ProductName", "Quillon Module"},
    {"InternalName", "Quillon"},
    {"OriginalFilename", "Quillon.DLL"},
    {"OLESelfRegister", ""},  // marks the library as self-registering
};

}  // namespace

// The value of one version entry, or null when the library has no such entry.
extern "C" __attribute__((visibility("default"))) const char* DllGetVersionText(const char* name) {
  if (name == nullptr) return nullptr;
  for (const VersionEntry& entry : kVersionInfo)
    if (std::strcmp(entry.name, name) == 0) return entry.value;
  return nullptr;
}

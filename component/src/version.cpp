// The library's version information, readable by name with
// DllGetVersionText("FileVersion") and the like.
#include <cstring>

#include "version_info.h"

namespace {

struct VersionEntry {
  const char* name;
  const char* value;
};

constexpr VersionEntry kVersionInfo[] = {
    {"FileVersion", QUILLON_VERSION_TEXT},
    {"ProductVersion", QUILLON_VERSION_TEXT},
    {"FileDescription", QUILLON_DESCRIPTION},
    {"ProductName", QUILLON_DESCRIPTION},
    {"InternalName", QUILLON_INTERNAL_NAME},
    {"OriginalFilename", QUILLON_ORIGINAL_FILENAME},
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

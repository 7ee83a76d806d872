// Helper process for the concurrency tests, on the registry named by
// QUILLON_REGISTRY. Exit status 0 when every call worked.
//   keys PREFIX COUNT       creates HKCU\Concurrency\PREFIX-i, each with a value, one call at a time
//   register COUNT ROUNDS   ROUNDS times, in one update: deletes HKCR\Class and writes COUNT subkeys anew
//   watch COUNT ROUNDS      reads HKCR\Class ROUNDS times; fails when it ever holds other than 0 or COUNT subkeys
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quillon_registry.h"
#include "quillon_text.h"

namespace {

bool Set(const std::string& path, const std::string& name, const std::string& value) {
  const std::u16string p = quillon::Utf8ToUtf16(path), n = quillon::Utf8ToUtf16(name), v = quillon::Utf8ToUtf16(value);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG err = RegSetValueExW(key, n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                                  static_cast<DWORD>((v.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return err == ERROR_SUCCESS;
}

int Subkeys() {
  HKEY key = nullptr;
  const LONG err = RegOpenKeyExW(HKEY_CURRENT_USER, u"Class", 0, KEY_READ, &key);
  if (err == ERROR_FILE_NOT_FOUND) return 0;
  if (err != ERROR_SUCCESS) return -1;
  int n = 0;
  char16_t name[64];
  for (DWORD len = 64; RegEnumKeyExW(key, static_cast<DWORD>(n), name, &len, nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_SUCCESS;
       len = 64) {
    ++n;
  }
  RegCloseKey(key);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string mode = argv[1];
  if (mode == "keys") {
    const std::string prefix = argv[2];
    for (int i = 0, count = std::atoi(argv[3]); i < count; ++i) {
      if (!Set("Concurrency\\" + prefix + "-" + std::to_string(i), "Owner", prefix + std::to_string(i))) {
        std::fprintf(stderr, "key %d failed\n", i);
        return 1;
      }
    }
    return 0;
  }
  const int count = std::atoi(argv[2]);
  for (int round = 0, rounds = std::atoi(argv[3]); round < rounds; ++round) {
    if (mode == "register") {
      if (QuillonRegistryBeginUpdate() != ERROR_SUCCESS) return 1;
      RegDeleteTreeW(HKEY_CURRENT_USER, u"Class");
      for (int i = 0; i < count; ++i) {
        if (!Set("Class\\Sub" + std::to_string(i), "", "v")) return 1;
      }
      if (QuillonRegistryEndUpdate() != ERROR_SUCCESS) return 1;
    } else if (const int seen = Subkeys(); seen != 0 && seen != count) {
      std::fprintf(stderr, "saw %d subkeys\n", seen);
      return 1;
    }
  }
  return 0;
}

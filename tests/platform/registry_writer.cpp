// Helper process for the concurrency test: creates <count> keys
// HKEY_CURRENT_USER\Concurrency\<prefix>-<i>, each with a value, in the
// registry named by QUILLON_REGISTRY. Exit status 0 when every call worked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "quillon_text.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string prefix = argv[1];
  const int count = std::atoi(argv[2]);
  for (int i = 0; i < count; ++i) {
    const std::u16string path = quillon::Utf8ToUtf16("Concurrency\\" + prefix + "-" + std::to_string(i));
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      std::fprintf(stderr, "create %d failed\n", i);
      return 1;
    }
    const std::u16string value = quillon::Utf8ToUtf16(prefix + std::to_string(i));
    const LONG err = RegSetValueExW(key, u"Owner", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    if (err != ERROR_SUCCESS) {
      std::fprintf(stderr, "set %d failed\n", i);
      return 1;
    }
  }
  return 0;
}

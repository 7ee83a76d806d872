// String values in the registry, for tests.
#pragma once

#include <windows.h>

#include <string>

namespace quillon::testing {

inline std::u16string GuidText(REFGUID g) {
  OLECHAR text[40] = {};
  StringFromGUID2(g, text, 40);
  return text;
}

inline LONG SetString(HKEY root, const std::u16string& path, const std::u16string& name, const std::u16string& value) {
  HKEY key = nullptr;
  LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (err != ERROR_SUCCESS) return err;
  err = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return err;
}

inline LONG GetString(HKEY root, const std::u16string& path, const std::u16string& name, std::u16string* value) {
  HKEY key = nullptr;
  LONG err = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
  if (err != ERROR_SUCCESS) return err;
  char16_t buf[1024] = {};
  DWORD size = sizeof buf - sizeof buf[0];
  err = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (err == ERROR_SUCCESS) *value = buf;
  return err;
}

inline bool KeyExists(HKEY root, const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A value under HKEY_CLASSES_ROOT (the key's default value when name is
// empty), "<missing>" when it is not there.
inline std::u16string Value(const std::u16string& key, const std::u16string& name = u"") {
  std::u16string value;
  return GetString(HKEY_CLASSES_ROOT, key, name, &value) == ERROR_SUCCESS ? value : u"<missing>";
}

}  // namespace quillon::testing

// Reading what registration left in the registry, for tests.
#pragma once

#include <windows.h>

#include <string>

namespace quillon::testing {

inline std::u16string GuidText(REFGUID g) {
  OLECHAR text[40] = {};
  StringFromGUID2(g, text, 40);
  return text;
}

// The value of HKCR\key (default value when name is null), "<missing>" when
// the key is not there, "<no value>" when the value is not.
inline std::u16string Value(const std::u16string& key, const OLECHAR* name = nullptr) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return u"<missing>";
  OLECHAR buffer[1024] = {};
  DWORD size = sizeof buffer, type = 0;
  const LSTATUS s = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(h);
  return s == ERROR_SUCCESS ? std::u16string(buffer) : u"<no value>";
}

inline bool KeyExists(const std::u16string& key) { return Value(key) != u"<missing>"; }

}  // namespace quillon::testing

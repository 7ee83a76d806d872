// Shared test scaffolding: a temporary folder (the component tests' TempDir)
// that holds the registry file for the duration of a test, so no test
// touches the per-user registry.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "quillon_text.h"
#include "temp_dir.h"

class TempRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QUILLON_REGISTRY", registry_.c_str(), 1); }
  void TearDown() override { unsetenv("QUILLON_REGISTRY"); }

  std::string ReadRegistryFile() const { return quillon::testing::ReadFileBytes(registry_); }
  void WriteRegistryFile(const std::string& text) const { quillon::testing::WriteFileBytes(registry_, text); }
  // Files in the registry's folder.
  int Entries() const { return quillon::testing::CountEntries(dir_); }

  static LONG SetString(HKEY root, const std::u16string& path, const std::u16string& name,
                        const std::u16string& value) {
    HKEY key = nullptr;
    LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS) return err;
    err = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return err;
  }
  static LONG GetString(HKEY root, const std::u16string& path, const std::u16string& name,
                        std::u16string* value) {
    HKEY key = nullptr;
    LONG err = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS) return err;
    char16_t buf[1024];
    DWORD size = sizeof buf;
    err = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (err == ERROR_SUCCESS) *value = buf;
    return err;
  }
  static bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The description the last failure left on this thread, taken away.
  static std::string ErrorText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return {};
    BSTR text = nullptr;
    info->GetDescription(&text);
    info->Release();
    std::string out = quillon::ToUtf8(text);
    SysFreeString(text);
    return out;
  }

  quillon::testing::TempDir temp_;
  const std::string dir_ = temp_.path();
  const std::string registry_ = dir_ + "/registry.txt";
};

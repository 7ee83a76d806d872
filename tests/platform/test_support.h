// Shared test scaffolding: a temporary folder that holds the registry file
// for the duration of a test, so no test touches the per-user registry.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "quillon_text.h"

class TempRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-platform-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    registry_ = dir_ + "/registry.txt";
    setenv("QUILLON_REGISTRY", registry_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUILLON_REGISTRY");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string ReadRegistryFile() const {
    std::string text;
    if (FILE* f = std::fopen(registry_.c_str(), "rb")) {
      char buf[4096];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  }
  void WriteRegistryFile(const std::string& text) const {
    FILE* f = std::fopen(registry_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }

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

  // Files in the registry's folder.
  int Entries() const {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++n;
    return n;
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

  std::string dir_;
  std::string registry_;
};

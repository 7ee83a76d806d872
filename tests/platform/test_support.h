// Shared test scaffolding: a temporary folder (the component tests' TempDir)
// that holds the registry file for the duration of a test, so no test
// touches the per-user registry.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "comptr.h"
#include "quillon_text.h"
#include "registry_values.h"
#include "temp_dir.h"

using quillon::testing::GetString;
using quillon::testing::KeyExists;
using quillon::testing::SetString;

// The status of opening a key, which is closed again.
inline LONG Opens(HKEY root, const std::u16string& path) {
  HKEY key = nullptr;
  const LONG err = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
  if (err == ERROR_SUCCESS) RegCloseKey(key);
  return err;
}

// A string value, or "<error N>" when it cannot be read.
inline std::u16string ValueOf(HKEY root, const std::u16string& path, const std::u16string& name = u"") {
  std::u16string value;
  const LONG err = GetString(root, path, name, &value);
  if (err == ERROR_SUCCESS) return value;
  std::string failed = "<error ";
  failed += std::to_string(err);
  return quillon::Utf8ToUtf16(failed + ">");
}

class TempRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QUILLON_REGISTRY", registry_.c_str(), 1); }
  void TearDown() override { unsetenv("QUILLON_REGISTRY"); }

  std::string ReadRegistryFile() const { return quillon::testing::ReadFileBytes(registry_); }
  void WriteRegistryFile(const std::string& text) const { quillon::testing::WriteFileBytes(registry_, text); }
  // Files in the registry's folder.
  int Entries() const { return quillon::testing::CountEntries(dir_); }

  // The description the last failure left on this thread, taken away.
  static std::string ErrorText() {
    ComPtr<IErrorInfo> info;
    BSTR text = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return {};
    info->GetDescription(&text);
    std::string out = quillon::ToUtf8(text);
    SysFreeString(text);
    return out;
  }

  quillon::testing::TempDir temp_;
  const std::string dir_ = temp_.path();
  const std::string registry_ = dir_ + "/registry.txt";
};

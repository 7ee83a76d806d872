// Tests of the component load it the way its clients do: through the
// platform, from the built library, registered into a registry file in a
// temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <comptr.h>
#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "Quillon.h"
#include "temp_dir.h"

namespace quillon::testing {

class ComponentEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

  static HMODULE Module();
  static const std::string& Folder();  // the temporary folder of this run
};

template <class F>
F Export(const char* name) {
  return reinterpret_cast<F>(GetProcAddress(ComponentEnvironment::Module(), name));
}

HRESULT CanUnloadNow();

ComPtr<IPreferences> NewPreferences();

// A BSTR that frees itself.
struct Bstr {
  BSTR value = nullptr;
  Bstr() = default;
  explicit Bstr(const std::u16string& text) : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(value); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* operator&() { return &value; }
  std::u16string Text() const { return value ? std::u16string(value, SysStringLen(value)) : std::u16string(); }
};

std::u16string U16(const std::string& utf8);

// Dispatch by name, as a script calls: the arguments go in the order a
// caller writes them and are handed over in reverse, as the protocol wants;
// they are cleared afterwards.
DISPID IdOf(IDispatch* d, const std::u16string& name);
HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr);
VARIANT I4(LONG v);

}  // namespace quillon::testing

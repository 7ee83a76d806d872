// The component's own path on Windows: the module that holds this code.
#include "module.h"

namespace quillon::module {

OleString PathOfThisCode() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&PathOfThisCode), &self)) {
    return {};
  }
  OLECHAR path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(self, path, MAX_PATH + 1);
  return n > 0 && n <= MAX_PATH ? OleString(path, n) : OleString();
}

}  // namespace quillon::module

// The component's own path on systems with dladdr.
#include <dlfcn.h>

#include "module.h"

namespace quillon::module {

OleString PathOfThisCode() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PathOfThisCode), &info) == 0 || info.dli_fname == nullptr) return {};
  return ToOle(info.dli_fname);
}

}  // namespace quillon::module

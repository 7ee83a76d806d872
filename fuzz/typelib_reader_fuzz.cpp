// Feeds arbitrary bytes to the type library reader. It must never crash or
// read out of bounds, and what it accepts must keep the promises the type
// information objects rely on: every type node, hreftype and import that a
// type names exists.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "typelib_format.h"

using namespace quillon::platform::tlb;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckNode(const Library& lib, std::uint32_t node, int depth) {
  Check(node < lib.nodes.size() && depth < 32);
  const TypeNode& n = lib.nodes[node];
  switch (n.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
    case VT_CARRAY:
      CheckNode(lib, n.inner, depth + 1);
      Check(n.vt != VT_CARRAY || !n.bounds.empty());
      break;
    case VT_USERDEFINED:
      Check(((n.href & 1) ? ImportOf(lib, n.href) != nullptr : TypeIndexOf(lib, n.href) >= 0));
      break;
    default:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Library lib;
  std::string why;
  if (!ReadTypeLib(std::as_bytes(std::span(data, size)), &lib, &why)) {
    Check(!why.empty());
    return 0;
  }
  for (const Import& import : lib.imports) Check(import.file < lib.files.size());
  for (const Type& type : lib.types) {
    if (type.kind == TKIND_ALIAS) CheckNode(lib, type.alias, 0);
    for (const Func& f : type.funcs) {
      CheckNode(lib, f.result, 0);
      for (const Param& p : f.params) CheckNode(lib, p.type, 0);
      Check(f.oVft % static_cast<int>(sizeof(void*)) == 0 && f.oVft >= 0);
    }
    for (const Var& v : type.vars) CheckNode(lib, v.type, 0);
    for (const Impl& impl : type.impls) {
      Check(((impl.ref & 1) ? ImportOf(lib, impl.ref) != nullptr : TypeIndexOf(lib, impl.ref) >= 0));
    }
  }
  return 0;
}

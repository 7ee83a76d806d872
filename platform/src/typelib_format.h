// Reading a type library in the binary "MSFT" format (what widl and the
// original platform's tools write) into a plain model. The bytes are
// hostile input: every offset, count and length is checked against the
// data before it is used, and a library that fails a check is refused as a
// whole with a reason. Nothing here allocates COM objects; typeinfo.cpp
// builds ITypeLib and ITypeInfo over the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "oaidl.h"

namespace quillon::platform::tlb {

// Hreftypes as the format spells them: an internal type is the byte
// offset of its record in the type table (a multiple of kTypeRecordSize);
// an imported one is the offset of its import entry plus 1.
constexpr std::uint32_t kTypeRecordSize = 100;
constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

// One node of a type: VT_PTR and VT_SAFEARRAY point at `inner`, VT_CARRAY
// holds `inner` as the element and `bounds`, VT_USERDEFINED names `href`.
struct TypeNode {
  VARTYPE vt = VT_EMPTY;
  HREFTYPE href = 0;
  std::uint32_t inner = kNoNode;
  std::vector<SAFEARRAYBOUND> bounds;
};

// A constant's value: integers and floating point numbers by their bits,
// text as text.
struct Constant {
  VARTYPE vt = VT_EMPTY;
  std::uint64_t bits = 0;
  std::u16string text;
};

struct Param {
  std::u16string name;  // empty: unnamed (the value of a property put)
  std::uint32_t type = kNoNode;
  USHORT flags = 0;
};

struct Func {
  std::u16string name;
  std::u16string help;
  DWORD helpContext = 0;
  MEMBERID memid = 0;
  FUNCKIND funckind = FUNC_PUREVIRTUAL;
  INVOKEKIND invkind = INVOKE_FUNC;
  CALLCONV callconv = CC_STDCALL;
  SHORT oVft = 0;  // byte offset in the table of this process's pointers
  SHORT cParamsOpt = 0;
  WORD flags = 0;
  std::uint32_t result = kNoNode;
  std::vector<Param> params;
};

struct Var {
  std::u16string name;
  std::u16string help;
  DWORD helpContext = 0;
  MEMBERID memid = 0;
  VARKIND kind = VAR_PERINSTANCE;
  WORD flags = 0;
  std::uint32_t type = kNoNode;
  ULONG offset = 0;  // VAR_PERINSTANCE
  Constant value;    // VAR_CONST
};

struct Impl {
  HREFTYPE ref = 0;
  INT flags = 0;
};

struct Type {
  TYPEKIND kind = TKIND_ENUM;
  std::u16string name;
  std::u16string help;
  DWORD helpContext = 0;
  GUID guid = GUID_NULL;
  WORD flags = 0;
  WORD major = 0;
  WORD minor = 0;
  ULONG size = 0;
  WORD alignment = 0;
  WORD vtableBytes = 0;  // cbSizeVft in this process's pointers
  std::uint32_t alias = kNoNode;  // TKIND_ALIAS
  std::vector<Func> funcs;
  std::vector<Var> vars;
  std::vector<Impl> impls;  // a coclass's interfaces or an interface's base
};

// A library this one imports types from, and one imported type.
struct ImportFile {
  GUID libid = GUID_NULL;
  LCID lcid = 0;
  WORD major = 0;
  WORD minor = 0;
  std::u16string name;
};

struct Import {
  std::uint32_t offset = 0;  // its hreftype minus 1
  std::uint32_t file = 0;    // index in Library::files
  bool byGuid = false;
  GUID guid = GUID_NULL;     // byGuid
  std::uint32_t index = 0;   // otherwise: the type's index in that library
};

struct Library {
  GUID libid = GUID_NULL;
  LCID lcid = 0;
  SYSKIND syskind = SYS_WIN64;
  WORD major = 0;
  WORD minor = 0;
  WORD flags = 0;
  std::u16string name;
  std::u16string help;
  std::u16string helpFile;
  DWORD helpContext = 0;
  HREFTYPE dispatchRef = static_cast<HREFTYPE>(-1);  // IDispatch, for dispinterfaces
  std::vector<Type> types;
  std::vector<TypeNode> nodes;
  std::vector<ImportFile> files;
  std::vector<Import> imports;  // sorted by offset
};

// Reads `data` as an MSFT type library. False, with the reason in *why,
// when anything in it is out of bounds, inconsistent or of a kind this
// reader does not know; *out is then unspecified.
bool ReadTypeLib(std::span<const std::byte> data, Library* out, std::string* why);

// The index of an internal type's hreftype, or -1.
int TypeIndexOf(const Library& lib, HREFTYPE href);
// The import an hreftype names, or null.
const Import* ImportOf(const Library& lib, HREFTYPE href);

}  // namespace quillon::platform::tlb

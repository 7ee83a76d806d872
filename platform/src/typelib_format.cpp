// The MSFT type library format, read with every access bounds-checked.
//
// Layout (little-endian throughout): a 0x54-byte header; one int per type;
// with the help-DLL flag one more int; a directory of 15 segments {offset,
// length, -1, 0x0F}; then the segments: type records (100 bytes each),
// import entries, imported library files, implemented-type chains, GUIDs,
// names, strings, type descriptions, array descriptions and constant
// values. Each type with members points at a member block: an int length
// L, the member records, then three arrays of ints (member ids, name
// offsets, record offsets) for the functions followed by the variables.
#include "typelib_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "internal.h"

namespace quillon::platform::tlb {
namespace {

constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kSegmentCount = 15;
constexpr std::size_t kSegmentEntry = 16;
constexpr std::size_t kGuidEntry = 24;
constexpr std::size_t kImportEntry = 12;
constexpr std::size_t kRefEntry = 16;
constexpr std::size_t kTypeDescEntry = 8;
constexpr std::size_t kParamEntry = 12;
constexpr int kHelpDllFlag = 0x100;
constexpr std::int32_t kOffsetIsGuid = 0x00010000;
constexpr int kMaxTypeDepth = 16;  // nesting of pointers and arrays

enum Segment {
  kTypeInfoTab = 0,
  kImpInfo = 1,
  kImpFiles = 2,
  kRefTab = 3,
  kGuidTab = 5,
  kNameTab = 7,
  kStringTab = 8,
  kTypeDescTab = 9,
  kArrayDescTab = 10,
  kCustDataTab = 11,
};

struct Span {
  std::size_t offset = 0;
  std::size_t length = 0;
};

class Reader {
 public:
  Reader(std::span<const std::byte> data, Library* lib, std::string* why) : data_(data), lib_(lib), why_(why) {}

  bool Read();

 private:
  // Names the type and member being read, built only on failure.
  bool Fail(const char* what) {
    *why_ = what;
    if (member_ >= 0) *why_ = "member " + std::to_string(member_) + ": " + *why_;
    if (type_ >= 0) *why_ = "type " + std::to_string(type_) + " " + *why_;
    return false;
  }
  bool Fail(const std::string& what) { return Fail(what.c_str()); }

  // Reads at an absolute position; false when it does not fit.
  bool Int(std::size_t at, std::int32_t* v) const {
    if (at > data_.size() || data_.size() - at < sizeof *v) return false;
    std::memcpy(v, data_.data() + at, sizeof *v);
    return true;
  }
  bool Short(std::size_t at, std::int16_t* v) const {
    if (at > data_.size() || data_.size() - at < sizeof *v) return false;
    std::memcpy(v, data_.data() + at, sizeof *v);
    return true;
  }
  // `length` bytes at `offset` inside segment `s`: the absolute position.
  bool In(Segment s, std::int64_t offset, std::size_t length, std::size_t* at) const {
    const Span& seg = segments_[s];
    if (offset < 0 || static_cast<std::uint64_t>(offset) > seg.length || seg.length - offset < length) return false;
    *at = seg.offset + static_cast<std::size_t>(offset);
    return true;
  }

  bool ReadHeader();
  bool ReadName(std::int32_t offset, std::u16string* out);
  bool ReadString(std::int32_t offset, std::u16string* out);  // -1: none
  bool ReadGuid(std::int32_t offset, GUID* out);
  bool ReadImports();
  bool ReadTypeDesc(std::int32_t encoded, int depth, std::uint32_t* node);
  bool CheckRef(HREFTYPE href) const;
  bool ReadType(std::size_t index);
  bool ReadMembers(std::int32_t memoffset, int funcs, int vars, Type* type);
  bool ReadFunc(std::size_t recordAt, std::size_t end, Func* f);
  bool ReadVar(std::size_t recordAt, std::size_t end, Var* v);
  bool ReadValue(std::int32_t encoded, Constant* out);
  bool ReadImpls(const std::int32_t* record, Type* type);

  std::span<const std::byte> data_;
  Library* lib_;
  std::string* why_;
  long type_ = -1;    // being read, for messages
  long member_ = -1;
  Span segments_[kSegmentCount];
  std::int32_t header_[kHeaderSize / 4] = {};
  int ptrSize_ = 8;
  // Type description offsets already turned into nodes (kNoNode: not yet,
  // kBusy: being read, which a cycle would meet again).
  std::vector<std::uint32_t> typeDescNodes_;
};

constexpr std::uint32_t kBusy = 0xFFFFFFFEu;

// The GUID's fields as they lie in the file.
GUID GuidFrom(const std::byte* p) {
  GUID g;
  std::memcpy(&g.Data1, p, 4);
  std::memcpy(&g.Data2, p + 4, 2);
  std::memcpy(&g.Data3, p + 6, 2);
  std::memcpy(g.Data4, p + 8, 8);
  return g;
}

bool KnownVarType(VARTYPE vt) {
  return vt <= VT_LPWSTR ? vt != 15 : (vt == VT_RECORD || vt == VT_INT_PTR || vt == VT_UINT_PTR);
}

bool Reader::ReadHeader() {
  if (data_.size() < kHeaderSize) return Fail("shorter than the header");
  for (std::size_t i = 0; i < kHeaderSize / 4; ++i) Int(i * 4, &header_[i]);
  if (std::memcmp(data_.data(), "MSFT", 4) != 0) return Fail("not an MSFT type library");
  const std::int32_t ntypes = header_[0x20 / 4];
  const std::int32_t varflags = header_[0x14 / 4];
  if (ntypes < 0 || ntypes > 0xFFFF) return Fail("bad number of types");
  const std::size_t dir = kHeaderSize + 4 * static_cast<std::size_t>(ntypes) + ((varflags & kHelpDllFlag) ? 4 : 0);
  for (std::size_t s = 0; s < kSegmentCount; ++s) {
    std::int32_t offset = 0, length = 0, marker = 0;
    if (!Int(dir + s * kSegmentEntry, &offset) || !Int(dir + s * kSegmentEntry + 4, &length) ||
        !Int(dir + s * kSegmentEntry + 12, &marker)) {
      return Fail("segment directory past the end");
    }
    if (marker != 0x0F) return Fail("segment directory not found");
    if (offset == -1 && length == 0) continue;  // absent
    if (offset < 0 || length < 0 || static_cast<std::size_t>(offset) > data_.size() ||
        data_.size() - static_cast<std::size_t>(offset) < static_cast<std::size_t>(length)) {
      return Fail("segment " + std::to_string(s) + " out of bounds");
    }
    segments_[s] = {static_cast<std::size_t>(offset), static_cast<std::size_t>(length)};
  }
  switch (varflags & 0x0F) {
    case SYS_WIN16: ptrSize_ = 2; break;
    case SYS_WIN32: case SYS_MAC: ptrSize_ = 4; break;
    case SYS_WIN64: ptrSize_ = 8; break;
    default: return Fail("unknown target system");
  }
  lib_->syskind = static_cast<SYSKIND>(varflags & 0x0F);
  lib_->lcid = static_cast<LCID>(header_[0x10 / 4]);
  lib_->major = static_cast<WORD>(header_[0x18 / 4] & 0xFFFF);
  lib_->minor = static_cast<WORD>((header_[0x18 / 4] >> 16) & 0xFFFF);
  lib_->flags = static_cast<WORD>((header_[0x1C / 4] & 0xFFFF) | LIBFLAG_FHASDISKIMAGE);
  lib_->helpContext = static_cast<DWORD>(header_[0x28 / 4]);
  lib_->dispatchRef = static_cast<HREFTYPE>(header_[0x4C / 4]);
  if (!ReadGuid(header_[0x08 / 4], &lib_->libid)) return Fail("library identifier out of bounds");
  if (!ReadName(header_[0x38 / 4], &lib_->name)) return Fail("library name out of bounds");
  if (!ReadString(header_[0x24 / 4], &lib_->help) || !ReadString(header_[0x3C / 4], &lib_->helpFile)) {
    return Fail("library help text out of bounds");
  }
  return true;
}

// A name: {hreftype, next in hash chain, length in the low byte} + text.
bool Reader::ReadName(std::int32_t offset, std::u16string* out) {
  std::size_t at = 0;
  std::int32_t intro = 0;
  if (!In(kNameTab, offset, 12, &at) || !Int(at + 8, &intro)) return false;
  const std::size_t length = static_cast<std::size_t>(intro & 0xFF);
  if (!In(kNameTab, offset, 12 + length, &at)) return false;
  *out = FromAnsi({reinterpret_cast<const char*>(data_.data() + at + 12), length});
  return true;
}

// A string: a 16-bit length + text. -1 stands for no string.
bool Reader::ReadString(std::int32_t offset, std::u16string* out) {
  out->clear();
  if (offset == -1) return true;
  std::size_t at = 0;
  std::int16_t length = 0;
  if (!In(kStringTab, offset, 2, &at) || !Short(at, &length) || length < 0) return false;
  if (!In(kStringTab, offset, 2 + static_cast<std::size_t>(length), &at)) return false;
  *out = FromAnsi({reinterpret_cast<const char*>(data_.data() + at + 2), static_cast<std::size_t>(length)});
  return true;
}

bool Reader::ReadGuid(std::int32_t offset, GUID* out) {
  *out = GUID_NULL;
  if (offset == -1) return true;
  std::size_t at = 0;
  if (!In(kGuidTab, offset, kGuidEntry, &at)) return false;
  *out = GuidFrom(data_.data() + at);
  return true;
}

bool Reader::ReadImports() {
  // Imported libraries: {GUID offset, lcid, major, minor, length << 2, name},
  // each padded to four bytes. Import entries name one by its offset.
  std::vector<std::size_t> fileOffsets;
  const Span files = segments_[kImpFiles];
  std::size_t pos = 0;
  while (pos < files.length) {
    std::size_t at = 0;
    std::int32_t guid = 0, lcid = 0;
    std::int16_t major = 0, minor = 0, size = 0;
    if (!In(kImpFiles, static_cast<std::int64_t>(pos), 14, &at) || !Int(at, &guid) || !Int(at + 4, &lcid) ||
        !Short(at + 8, &major) || !Short(at + 10, &minor) || !Short(at + 12, &size)) {
      return Fail("imported library entry out of bounds");
    }
    const std::size_t nameLength = static_cast<std::uint16_t>(size) >> 2;
    if (!In(kImpFiles, static_cast<std::int64_t>(pos), 14 + nameLength, &at)) {
      return Fail("imported library name out of bounds");
    }
    ImportFile file;
    if (!ReadGuid(guid, &file.libid)) return Fail("imported library identifier out of bounds");
    file.lcid = static_cast<LCID>(lcid);
    file.major = static_cast<WORD>(major);
    file.minor = static_cast<WORD>(minor);
    file.name = FromAnsi({reinterpret_cast<const char*>(data_.data() + at + 14), nameLength});
    fileOffsets.push_back(pos);
    lib_->files.push_back(std::move(file));
    pos = (pos + 14 + nameLength + 3) & ~std::size_t{3};
  }
  const Span infos = segments_[kImpInfo];
  for (std::size_t offset = 0; offset + kImportEntry <= infos.length; offset += kImportEntry) {
    std::int32_t flags = 0, fileOffset = 0, target = 0;
    const std::size_t at = infos.offset + offset;
    Int(at, &flags);
    Int(at + 4, &fileOffset);
    Int(at + 8, &target);
    const auto file = std::find(fileOffsets.begin(), fileOffsets.end(), static_cast<std::size_t>(fileOffset));
    if (fileOffset < 0 || file == fileOffsets.end()) return Fail("import names no imported library");
    Import import;
    import.offset = static_cast<std::uint32_t>(offset);
    import.file = static_cast<std::uint32_t>(file - fileOffsets.begin());
    import.byGuid = (flags & kOffsetIsGuid) != 0;
    if (import.byGuid) {
      if (target == -1 || !ReadGuid(target, &import.guid)) return Fail("imported type's identifier out of bounds");
    } else {
      if (target < 0) return Fail("imported type's index out of range");
      import.index = static_cast<std::uint32_t>(target);
    }
    lib_->imports.push_back(import);
  }
  return true;
}

bool Reader::CheckRef(HREFTYPE href) const {
  if (href & 1) return ImportOf(*lib_, href) != nullptr;
  return TypeIndexOf(*lib_, href) >= 0;
}

// An encoded type: negative values are base types in their low bits, others
// offsets of 8-byte entries {vt, mix, int} in the type description table.
bool Reader::ReadTypeDesc(std::int32_t encoded, int depth, std::uint32_t* node) {
  if (depth > kMaxTypeDepth) return Fail("type nested too deeply");
  if (encoded < 0) {
    const VARTYPE vt = static_cast<VARTYPE>(encoded & VT_TYPEMASK);
    if (!KnownVarType(vt) || vt == VT_PTR || vt == VT_SAFEARRAY || vt == VT_CARRAY || vt == VT_USERDEFINED) {
      return Fail("unknown base type " + std::to_string(vt));
    }
    lib_->nodes.push_back(TypeNode{vt, 0, kNoNode, {}});
    *node = static_cast<std::uint32_t>(lib_->nodes.size() - 1);
    return true;
  }
  std::size_t at = 0;
  if (encoded % kTypeDescEntry != 0 || !In(kTypeDescTab, encoded, kTypeDescEntry, &at)) {
    return Fail("type description out of bounds");
  }
  const std::size_t slot = static_cast<std::size_t>(encoded) / kTypeDescEntry;
  if (typeDescNodes_[slot] == kBusy) return Fail("type description refers to itself");
  if (typeDescNodes_[slot] != kNoNode) {
    *node = typeDescNodes_[slot];
    return true;
  }
  typeDescNodes_[slot] = kBusy;
  std::int32_t first = 0, second = 0;
  Int(at, &first);
  Int(at + 4, &second);
  TypeNode n;
  n.vt = static_cast<VARTYPE>(first & VT_TYPEMASK);
  switch (n.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
      if (!ReadTypeDesc(second, depth + 1, &n.inner)) return false;
      break;
    case VT_USERDEFINED:
      n.href = static_cast<HREFTYPE>(second);
      if (!CheckRef(n.href)) return Fail("user-defined type names no type");
      break;
    case VT_CARRAY: {
      // {element type, dimensions in the low half, then cElements/lLbound pairs}
      std::size_t arrayAt = 0;
      std::int32_t element = 0, dims = 0;
      if (!In(kArrayDescTab, second, 8, &arrayAt)) return Fail("array description out of bounds");
      Int(arrayAt, &element);
      Int(arrayAt + 4, &dims);
      dims &= 0xFFFF;
      if (dims == 0 || !In(kArrayDescTab, second, 8 + 8 * static_cast<std::size_t>(dims), &arrayAt)) {
        return Fail("array bounds out of bounds");
      }
      for (std::int32_t d = 0; d < dims; ++d) {
        std::int32_t count = 0, lower = 0;
        Int(arrayAt + 8 + 8 * d, &count);
        Int(arrayAt + 12 + 8 * d, &lower);
        n.bounds.push_back(SAFEARRAYBOUND{static_cast<ULONG>(count), lower});
      }
      if (!ReadTypeDesc(element, depth + 1, &n.inner)) return false;
      break;
    }
    default:
      if (!KnownVarType(n.vt)) return Fail("unknown type " + std::to_string(n.vt));
      break;
  }
  lib_->nodes.push_back(std::move(n));
  *node = typeDescNodes_[slot] = static_cast<std::uint32_t>(lib_->nodes.size() - 1);
  return true;
}

// A constant: packed into a negative int as {vt in bits 26-30, value in
// bits 0-25}, or the offset of {vt, value} in the constant table.
bool Reader::ReadValue(std::int32_t encoded, Constant* out) {
  if (encoded < 0) {
    out->vt = static_cast<VARTYPE>((encoded & 0x7C000000) >> 26);
    out->bits = static_cast<std::uint64_t>(encoded & 0x03FFFFFF);
    return true;
  }
  std::size_t at = 0;
  std::int16_t vt = 0;
  if (!In(kCustDataTab, encoded, 2, &at) || !Short(at, &vt)) return false;
  out->vt = static_cast<VARTYPE>(vt);
  std::size_t size = 0;
  switch (out->vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
    case VT_R4: case VT_ERROR: case VT_BOOL: case VT_HRESULT:
      size = 4;
      break;
    case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: case VT_CY:
      size = 8;
      break;
    case VT_BSTR: {
      std::int32_t length = 0;
      if (!In(kCustDataTab, encoded, 6, &at) || !Int(at + 2, &length)) return false;
      if (length == -1) return true;  // a null string
      if (length < 0 || !In(kCustDataTab, encoded, 6 + static_cast<std::size_t>(length), &at)) return false;
      out->text = FromAnsi({reinterpret_cast<const char*>(data_.data() + at + 6), static_cast<std::size_t>(length)});
      return true;
    }
    default:
      return false;
  }
  if (!In(kCustDataTab, encoded, 2 + size, &at)) return false;
  std::memcpy(&out->bits, data_.data() + at + 2, size);
  return true;
}

bool Reader::ReadFunc(std::size_t recordAt, std::size_t end, Func* f) {
  std::int32_t info = 0, dataType = 0, flags = 0, fkccic = 0;
  std::int16_t vtable = 0, args = 0, optional = 0;
  if (!Int(recordAt, &info)) return Fail("record out of bounds");
  const std::size_t length = static_cast<std::size_t>(info & 0xFFFF);
  if (length < 24 || length > end - recordAt) return Fail("record length out of bounds");
  Int(recordAt + 4, &dataType);
  Int(recordAt + 8, &flags);
  Short(recordAt + 12, &vtable);
  Int(recordAt + 16, &fkccic);
  Short(recordAt + 20, &args);
  Short(recordAt + 22, &optional);
  const bool defaults = (fkccic & 0x1000) != 0;
  if (args < 0 || kParamEntry * args + (defaults ? 4 * args : 0) > length - 24) {
    return Fail("parameters do not fit the record");
  }
  // The optional fields between the fixed part and the parameters.
  const std::size_t extra = length - kParamEntry * args - (defaults ? 4 * args : 0);
  std::int32_t help = -1, helpContext = 0;
  if (extra > 24) Int(recordAt + 24, &helpContext);
  if (extra > 28) Int(recordAt + 28, &help);
  f->helpContext = static_cast<DWORD>(helpContext);
  if (!ReadString(help, &f->help)) return Fail("help string out of bounds");

  const int funckind = fkccic & 0x7;
  const int invkind = (fkccic >> 3) & 0xF;
  const int callconv = (fkccic >> 8) & 0xF;
  if (funckind > FUNC_DISPATCH || callconv >= CC_MAX ||
      (invkind != INVOKE_FUNC && invkind != INVOKE_PROPERTYGET && invkind != INVOKE_PROPERTYPUT &&
       invkind != INVOKE_PROPERTYPUTREF)) {
    return Fail("bad function kind");
  }
  f->funckind = static_cast<FUNCKIND>(funckind);
  f->invkind = static_cast<INVOKEKIND>(invkind);
  f->callconv = static_cast<CALLCONV>(callconv);
  f->flags = static_cast<WORD>(flags & 0xFFFF);
  f->cParamsOpt = optional;
  if (f->funckind == FUNC_DISPATCH) {
    f->oVft = 0;
  } else {
    const int slotBytes = static_cast<std::uint16_t>(vtable) & ~1;
    if (slotBytes % ptrSize_ != 0) return Fail("table offset is not a whole slot");
    const int host = slotBytes / ptrSize_ * static_cast<int>(sizeof(void*));
    if (host > std::numeric_limits<SHORT>::max()) return Fail("table offset too large");
    f->oVft = static_cast<SHORT>(host);
  }
  if (!ReadTypeDesc(dataType, 0, &f->result)) return false;
  // Parameters: {type, name offset or -1, flags}, at the end of the record.
  const std::size_t paramsAt = recordAt + length - kParamEntry * args;
  for (int p = 0; p < args; ++p) {
    std::int32_t type = 0, name = 0, pflags = 0;
    Int(paramsAt + kParamEntry * p, &type);
    Int(paramsAt + kParamEntry * p + 4, &name);
    Int(paramsAt + kParamEntry * p + 8, &pflags);
    Param param;
    param.flags = static_cast<USHORT>(pflags & ~PARAMFLAG_FHASDEFAULT);  // default values are not read
    if (name != -1 && !ReadName(name, &param.name)) return Fail("parameter name out of bounds");
    if (!ReadTypeDesc(type, 0, &param.type)) return false;
    f->params.push_back(std::move(param));
  }
  return true;
}

bool Reader::ReadVar(std::size_t recordAt, std::size_t end, Var* v) {
  std::int32_t info = 0, dataType = 0, flags = 0, value = 0;
  std::int16_t kind = 0;
  if (!Int(recordAt, &info)) return Fail("record out of bounds");
  const std::size_t length = static_cast<std::size_t>(info & 0xFF);
  if (length < 20 || length > end - recordAt) return Fail("record length out of bounds");
  Int(recordAt + 4, &dataType);
  Int(recordAt + 8, &flags);
  Short(recordAt + 12, &kind);
  Int(recordAt + 16, &value);
  std::int32_t help = -1, helpContext = 0;
  if (length > 20) Int(recordAt + 20, &helpContext);
  if (length > 24) Int(recordAt + 24, &help);
  v->helpContext = static_cast<DWORD>(helpContext);
  if (!ReadString(help, &v->help)) return Fail("help string out of bounds");
  if (kind < VAR_PERINSTANCE || kind > VAR_DISPATCH) return Fail("bad variable kind");
  v->kind = static_cast<VARKIND>(kind);
  v->flags = static_cast<WORD>(flags & 0xFFFF);
  if (!ReadTypeDesc(dataType, 0, &v->type)) return false;
  if (v->kind == VAR_CONST) {
    if (!ReadValue(value, &v->value)) return Fail("constant value out of bounds or of an unknown type");
  } else {
    v->offset = static_cast<ULONG>(value);
  }
  return true;
}

bool Reader::ReadMembers(std::int32_t memoffset, int funcs, int vars, Type* type) {
  const std::size_t count = static_cast<std::size_t>(funcs) + static_cast<std::size_t>(vars);
  std::int32_t infoLength = 0;
  if (memoffset < 0 || !Int(static_cast<std::size_t>(memoffset), &infoLength) || infoLength < 0) {
    return Fail("members out of bounds");
  }
  const std::size_t records = static_cast<std::size_t>(memoffset) + 4;
  const std::size_t recordsEnd = records + static_cast<std::size_t>(infoLength);
  const std::size_t arrays = recordsEnd;  // memoffset + 4 + L: member ids, names, record offsets
  if (recordsEnd > data_.size() || data_.size() - arrays < 3 * 4 * count) return Fail("members out of bounds");
  const auto arrayInt = [&](std::size_t n) {
    std::int32_t v = 0;
    Int(arrays + 4 * n, &v);
    return v;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t recordOffset = arrayInt(2 * count + i);
    if (recordOffset < 0 || static_cast<std::size_t>(recordOffset) >= static_cast<std::size_t>(infoLength)) {
      return Fail("member record out of bounds");
    }
    const std::size_t at = records + static_cast<std::size_t>(recordOffset);
    const MEMBERID memid = arrayInt(i);
    const std::int32_t nameOffset = arrayInt(count + i);
    member_ = static_cast<long>(i);
    if (i < static_cast<std::size_t>(funcs)) {
      Func f;
      f.memid = memid;
      const Func* previous = type->funcs.empty() ? nullptr : &type->funcs.back();
      if (!ReadFunc(at, recordsEnd, &f)) return false;
      // The second half of a property's get/put pair may share the name.
      const auto accessor = [](INVOKEKIND k) { return k != INVOKE_FUNC; };
      if (nameOffset == -1 && previous != nullptr && accessor(previous->invkind) && accessor(f.invkind)) {
        f.name = previous->name;
      } else if (!ReadName(nameOffset, &f.name)) {
        return Fail("name out of bounds");
      }
      type->funcs.push_back(std::move(f));
    } else {
      Var v;
      v.memid = memid;
      if (!ReadVar(at, recordsEnd, &v)) return false;
      if (!ReadName(nameOffset, &v.name)) return Fail("name out of bounds");
      type->vars.push_back(std::move(v));
    }
  }
  return true;
}

bool Reader::ReadImpls(const std::int32_t* record, Type* type) {
  const std::int16_t count = static_cast<std::int16_t>(record[19] & 0xFFFF);
  const std::int32_t first = record[21];
  if (count < 0) return Fail("bad number of implemented types");
  if (count == 0) return true;
  if (type->kind == TKIND_COCLASS) {
    // A chain of {hreftype, flags, custom data, next} in the reference table.
    std::int32_t offset = first;
    for (int i = 0; i < count; ++i) {
      std::size_t at = 0;
      std::int32_t ref = 0, flags = 0;
      if (!In(kRefTab, offset, kRefEntry, &at)) return Fail("implemented type out of bounds");
      Int(at, &ref);
      Int(at + 4, &flags);
      Int(at + 12, &offset);
      if (!CheckRef(static_cast<HREFTYPE>(ref))) return Fail("implemented type names no type");
      type->impls.push_back(Impl{static_cast<HREFTYPE>(ref), flags});
    }
    return true;
  }
  // An interface's base (a dispinterface's when it has one): one hreftype.
  if (type->kind == TKIND_DISPATCH && first == -1) return true;
  if (!CheckRef(static_cast<HREFTYPE>(first))) return Fail("base type names no type");
  type->impls.push_back(Impl{static_cast<HREFTYPE>(first), 0});
  return true;
}

bool Reader::ReadType(std::size_t index) {
  // The 100-byte record: 25 ints, with cImplTypes and cbSizeVft as the two
  // halves of the 20th.
  type_ = static_cast<long>(index);
  member_ = -1;
  std::size_t at = 0;
  if (!In(kTypeInfoTab, static_cast<std::int64_t>(index * kTypeRecordSize), kTypeRecordSize, &at)) {
    return Fail("record out of bounds");
  }
  std::int32_t r[25];
  for (int i = 0; i < 25; ++i) Int(at + 4 * i, &r[i]);
  Type& type = lib_->types[index];
  const int kind = r[0] & 0xF;
  if (kind >= TKIND_MAX) return Fail("unknown kind");
  type.kind = static_cast<TYPEKIND>(kind);
  type.alignment = static_cast<WORD>((r[0] >> 11) & 0x1F);
  const int funcs = r[6] & 0xFFFF;
  const int vars = (r[6] >> 16) & 0xFFFF;
  if (!ReadGuid(r[11], &type.guid)) return Fail("identifier out of bounds");
  type.flags = static_cast<WORD>(r[12] & 0xFFFF);
  if (!ReadName(r[13], &type.name)) return Fail("name out of bounds");
  type.major = static_cast<WORD>(r[14] & 0xFFFF);
  type.minor = static_cast<WORD>((r[14] >> 16) & 0xFFFF);
  if (!ReadString(r[15], &type.help)) return Fail("help string out of bounds");
  type.helpContext = static_cast<DWORD>(r[17]);
  const int vtableBytes = (r[19] >> 16) & 0xFFFF;
  if (vtableBytes % ptrSize_ != 0) return Fail("table size is not whole slots");
  type.vtableBytes = static_cast<WORD>(vtableBytes / ptrSize_ * static_cast<int>(sizeof(void*)));
  type.size = static_cast<ULONG>(r[20]);
  if (type.kind == TKIND_INTERFACE || type.kind == TKIND_DISPATCH || type.kind == TKIND_COCLASS) {
    type.size = sizeof(void*);
    type.alignment = sizeof(void*);
  }
  if (type.kind == TKIND_ALIAS && !ReadTypeDesc(r[21], 0, &type.alias)) return false;
  if ((funcs > 0 && type.kind != TKIND_INTERFACE && type.kind != TKIND_DISPATCH && type.kind != TKIND_MODULE) ||
      (vars > 0 && type.kind == TKIND_INTERFACE)) {
    return Fail("members do not fit its kind");
  }
  if (funcs + vars > 0 && !ReadMembers(r[1], funcs, vars, &type)) return false;
  member_ = -1;
  if (type.kind != TKIND_ALIAS && type.kind != TKIND_MODULE && !ReadImpls(r, &type)) return false;
  return true;
}

bool Reader::Read() {
  if (!ReadHeader()) return false;
  typeDescNodes_.assign(segments_[kTypeDescTab].length / kTypeDescEntry, kNoNode);
  if (!ReadImports()) return false;
  const std::size_t ntypes = static_cast<std::size_t>(header_[0x20 / 4]);
  if (segments_[kTypeInfoTab].length / kTypeRecordSize < ntypes) return Fail("type table shorter than its count");
  lib_->types.resize(ntypes);
  for (std::size_t i = 0; i < ntypes; ++i) {
    if (!ReadType(i)) return false;
  }
  type_ = -1;
  if (lib_->dispatchRef != static_cast<HREFTYPE>(-1) && !CheckRef(lib_->dispatchRef)) {
    return Fail("IDispatch reference names no type");
  }
  return true;
}

}  // namespace

bool ReadTypeLib(std::span<const std::byte> data, Library* out, std::string* why) {
  *out = Library{};
  return Reader(data, out, why).Read();
}

int TypeIndexOf(const Library& lib, HREFTYPE href) {
  if ((href & 3) != 0 || href % kTypeRecordSize != 0) return -1;
  const std::size_t index = href / kTypeRecordSize;
  return index < lib.types.size() ? static_cast<int>(index) : -1;
}

const Import* ImportOf(const Library& lib, HREFTYPE href) {
  if ((href & 1) == 0) return nullptr;
  const std::uint32_t offset = href & ~3u;
  const auto at = std::lower_bound(lib.imports.begin(), lib.imports.end(), offset,
                                   [](const Import& i, std::uint32_t o) { return i.offset < o; });
  return at != lib.imports.end() && at->offset == offset ? &*at : nullptr;
}

}  // namespace quillon::platform::tlb

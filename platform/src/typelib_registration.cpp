// Loading type libraries (from a .tlb file or the TYPELIB resource of a
// library file), the registered ones, and registration.
//
// A library file carries its type library as resource TYPELIB 1: the ELF
// section ".rsrc.TYPELIB.1". It is read from the file; the library is not
// loaded and none of its code runs, as the original platform reads the
// resource of a module it has not started.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "typelib.h"

extern "C" const char quillon_stdole_tlb[];
extern "C" const char quillon_stdole_tlb_end[];

namespace quillon::platform {
namespace {

constexpr char kTypeLibSection[] = ".rsrc.TYPELIB.1";
constexpr std::size_t kMaxTypeLibSize = 16 << 20;
constexpr GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class File {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open() const { return fd_ >= 0; }
  std::uint64_t Size() const {
    struct stat st{};
    return ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  }
  // Exactly `length` bytes at `offset`, or false.
  bool ReadAt(std::uint64_t offset, void* out, std::size_t length) const {
    auto* p = static_cast<char*>(out);
    while (length > 0) {
      const ssize_t n = ::pread(fd_, p, length, static_cast<off_t>(offset));
      if (n <= 0) return false;
      p += n;
      offset += static_cast<std::uint64_t>(n);
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

// The bytes of the type library the file holds: the whole file when it is
// a type library, the TYPELIB section of a (64-bit, little-endian) ELF
// library. Every header field is checked against the file's size.
bool TypeLibBytes(const File& file, std::vector<std::byte>* out, std::string* why) {
  const std::uint64_t size = file.Size();
  char magic[4] = {};
  if (size < sizeof magic || !file.ReadAt(0, magic, sizeof magic)) return *why = "not a type library", false;
  std::uint64_t offset = 0, length = size;
  if (std::memcmp(magic, ELFMAG, SELFMAG) == 0) {
    Elf64_Ehdr eh{};
    if (size < sizeof eh || !file.ReadAt(0, &eh, sizeof eh) || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shoff > size ||
        (size - eh.e_shoff) / sizeof(Elf64_Shdr) < eh.e_shnum || eh.e_shstrndx >= eh.e_shnum) {
      return *why = "not a library file this platform reads", false;
    }
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!file.ReadAt(eh.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) {
      return *why = "section headers unreadable", false;
    }
    const Elf64_Shdr& names = sections[eh.e_shstrndx];
    if (names.sh_offset > size || names.sh_size > size - names.sh_offset || names.sh_size > kMaxTypeLibSize) {
      return *why = "section names out of bounds", false;
    }
    std::vector<char> text(names.sh_size);
    if (!file.ReadAt(names.sh_offset, text.data(), text.size())) return *why = "section names unreadable", false;
    const Elf64_Shdr* found = nullptr;
    for (const Elf64_Shdr& s : sections) {
      if (s.sh_name < text.size() && s.sh_type == SHT_PROGBITS &&
          std::strncmp(text.data() + s.sh_name, kTypeLibSection, text.size() - s.sh_name) == 0) {
        found = &s;
      }
    }
    if (found == nullptr) return *why = "the library carries no type library", false;
    if (found->sh_offset > size || found->sh_size > size - found->sh_offset) {
      return *why = "type library section out of bounds", false;
    }
    offset = found->sh_offset;
    length = found->sh_size;
  }
  if (length > kMaxTypeLibSize) return *why = "type library too large", false;
  out->resize(static_cast<std::size_t>(length));
  if (!file.ReadAt(offset, out->data(), out->size())) return *why = "type library unreadable", false;
  return true;
}

const char16_t* SysKindName(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16: return u"win16";
    case SYS_WIN32: return u"win32";
    case SYS_MAC: return u"mac";
    case SYS_WIN64: return u"win64";
  }
  return u"win64";
}

std::u16string Hex(unsigned value) {
  char buf[16];
  const auto end = std::to_chars(buf, buf + sizeof buf, value, 16).ptr;
  return std::u16string(buf, end);
}

std::u16string VersionText(WORD major, WORD minor) { return Hex(major) + u"." + Hex(minor); }

// "major.minor" in hexadecimal, nothing else.
bool ParseVersion(std::u16string_view text, unsigned* major, unsigned* minor) {
  const std::string ascii = Utf16ToUtf8(text);
  const char* end = ascii.data() + ascii.size();
  auto r = std::from_chars(ascii.data(), end, *major, 16);
  if (r.ec != std::errc() || r.ptr == end || *r.ptr != '.') return false;
  r = std::from_chars(r.ptr + 1, end, *minor, 16);
  return r.ec == std::errc() && r.ptr == end;
}

constexpr GUID kPSOAInterface = {0x00020424, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kPSDispatch = {0x00020420, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::vector<std::u16string> SubkeyNames(HKEY root, const std::u16string& path) {
  std::vector<std::u16string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char16_t name[256];
    DWORD len = 256;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  RegCloseKey(key);
  return names;
}

// Interfaces that registration lists under HKCR\Interface, with their
// proxy class: dual and automation interfaces use the automation
// marshaler, pure dispinterfaces the dispatch one.
struct InterfaceEntry {
  GUID iid;
  std::u16string name;
  GUID proxy;
};

std::vector<InterfaceEntry> InterfacesOf(ITypeLib* lib) {
  std::vector<InterfaceEntry> out;
  const UINT count = lib->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    if (FAILED(lib->GetTypeInfo(i, info.GetAddressOf())) || FAILED(info->GetTypeAttr(&attr))) continue;
    const bool automation = (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
    if (attr->typekind == TKIND_DISPATCH || (attr->typekind == TKIND_INTERFACE && automation)) {
      BSTR name = nullptr;
      info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
      const bool dual = (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
      out.push_back({attr->guid, std::u16string(View(name)),
                     attr->typekind == TKIND_DISPATCH && !dual ? kPSDispatch : kPSOAInterface});
      SysFreeString(name);
    }
    info->ReleaseTypeAttr(attr);
  }
  return out;
}

// The path registered for the library: the highest minor version of the
// major one that is at least `minor`, under the exact locale, its primary
// language, or the neutral locale.
HRESULT RegisteredPath(REFGUID libid, WORD major, WORD minor, LCID lcid, std::u16string* path) {
  const std::u16string base = u"TypeLib\\" + GuidToString(libid);
  int best = -1;
  for (const auto& version : SubkeyNames(HKEY_CLASSES_ROOT, base)) {
    unsigned maj = 0, min = 0;
    if (!ParseVersion(version, &maj, &min)) continue;
    if (maj == major && min >= minor && static_cast<int>(min) > best) best = static_cast<int>(min);
  }
  if (best < 0) return TYPE_E_LIBNOTREGISTERED;
  const std::u16string versionKey = base + u"\\" + VersionText(major, static_cast<WORD>(best));
  for (LCID candidate : {lcid, static_cast<LCID>(lcid & 0x3ff), static_cast<LCID>(0)}) {
    const std::u16string key = versionKey + u"\\" + Hex(candidate) + u"\\" + SysKindName(SYS_WIN64);
    if (ReadRegString(HKEY_CLASSES_ROOT, key, u"", path) == ERROR_SUCCESS && !path->empty()) return S_OK;
  }
  return TYPE_E_LIBNOTREGISTERED;
}

}  // namespace

bool IsStandardLibrary(REFGUID libid) { return libid == kStdOle; }

HRESULT StandardTypeLib(ITypeLib** out) {
  // Read once and kept for the life of the process.
  static TypeLib* const standard = [] {
    std::string why;
    const std::span<const std::byte> data(reinterpret_cast<const std::byte*>(quillon_stdole_tlb),
                                          static_cast<std::size_t>(quillon_stdole_tlb_end - quillon_stdole_tlb));
    TypeLib* lib = TypeLib::Read(data, &why);
    if (lib == nullptr) DebugLine("built-in standard type library: " + why);
    return lib;
  }();
  *out = standard;
  if (standard == nullptr) return TYPE_E_CANTLOADLIBRARY;
  standard->AddRef();
  return S_OK;
}

}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  if (szFile == nullptr || *szFile == u'\0') return E_INVALIDARG;
  const std::string path = ToUtf8(szFile);
  try {
    File file(path);
    std::vector<std::byte> data;
    std::string why = "cannot open the file";
    TypeLib* lib = nullptr;
    if (file.Open() && TypeLibBytes(file, &data, &why)) lib = TypeLib::Read(data, &why);
    if (lib == nullptr) {
      DebugLine("LoadTypeLib: " + path + ": " + why);
      return TYPE_E_CANTLOADLIBRARY;
    }
    *pptlib = lib;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  if (IsStandardLibrary(rguid) && wVerMajor == 2) return StandardTypeLib(pptlib);
  try {
    std::u16string path;
    if (HRESULT hr = RegisteredPath(rguid, wVerMajor, wVerMinor, lcid, &path); FAILED(hr)) return hr;
    return LoadTypeLib(path.c_str(), pptlib);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (ptlib == nullptr || szFullPath == nullptr) return E_INVALIDARG;
  try {
    TLIBATTR* attr = nullptr;
    if (HRESULT hr = ptlib->GetLibAttr(&attr); FAILED(hr)) return hr;
    const TLIBATTR a = *attr;
    ptlib->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    BSTR doc = nullptr;
    ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    const std::u16string title(SysStringLen(doc) ? View(doc) : View(name));
    SysFreeString(name);
    SysFreeString(doc);

    const std::u16string libid = GuidToString(a.guid);
    const std::u16string version = VersionText(a.wMajorVerNum, a.wMinorVerNum);
    const std::u16string versionKey = u"TypeLib\\" + libid + u"\\" + version;
    LONG err = WriteRegString(HKEY_CLASSES_ROOT, versionKey, u"", title);
    if (err == ERROR_SUCCESS) {
      err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\" + Hex(a.lcid) + u"\\" + SysKindName(a.syskind), u"",
                           View(szFullPath));
    }
    if (err == ERROR_SUCCESS) {
      // In decimal, without the flag that only says the library came from a file.
      const unsigned flags = a.wLibFlags & ~LIBFLAG_FHASDISKIMAGE;
      char digits[8];
      const auto end = std::to_chars(digits, digits + sizeof digits, flags).ptr;
      err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\FLAGS", u"", std::u16string(digits, end));
    }
    if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, versionKey + u"\\HELPDIR", u"", View(szHelpDir));
    for (const InterfaceEntry& entry : InterfacesOf(ptlib)) {
      if (err != ERROR_SUCCESS) break;
      const std::u16string key = u"Interface\\" + GuidToString(entry.iid);
      const std::u16string proxy = GuidToString(entry.proxy);
      err = WriteRegString(HKEY_CLASSES_ROOT, key, u"", entry.name);
      if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid", u"", proxy);
      if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid32", u"", proxy);
      if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"", libid);
      if (err == ERROR_SUCCESS) err = WriteRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"Version", version);
    }
    return err == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
  try {
    const std::u16string libid = GuidToString(libID);
    const std::u16string libKey = u"TypeLib\\" + libid;
    const std::u16string versionKey = libKey + u"\\" + VersionText(wVerMajor, wVerMinor);
    const std::u16string lcidKey = versionKey + u"\\" + Hex(lcid);
    const std::u16string sysKey = lcidKey + u"\\" + SysKindName(syskind);
    std::u16string path;
    if (ReadRegString(HKEY_CLASSES_ROOT, sysKey, u"", &path) != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
    ComPtr<ITypeLib> lib;
    if (!path.empty() && SUCCEEDED(LoadTypeLib(path.c_str(), lib.GetAddressOf()))) {
      for (const InterfaceEntry& entry : InterfacesOf(lib.Get())) {
        const std::u16string key = u"Interface\\" + GuidToString(entry.iid);
        std::u16string owner;
        if (ReadRegString(HKEY_CLASSES_ROOT, key + u"\\TypeLib", u"", &owner) == ERROR_SUCCESS &&
            EqualsNoCase(owner, libid)) {
          RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        }
      }
    }
    RegDeleteKeyW(HKEY_CLASSES_ROOT, sysKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, lcidKey.c_str());  // fails while other systems remain
    bool otherLocales = false;
    for (const auto& sub : SubkeyNames(HKEY_CLASSES_ROOT, versionKey)) {
      if (!EqualsNoCase(sub, u"FLAGS") && !EqualsNoCase(sub, u"HELPDIR")) otherLocales = true;
    }
    if (!otherLocales) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, versionKey.c_str());
      RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());  // fails while other versions remain
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

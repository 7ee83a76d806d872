// Type libraries read from widl's binary format: damaged files, and
// registration. What a library describes is compared with the system's
// reading of the component's own library by the dispatch cases in
// tests/windows, and the component's members (names, slots, ids) with its
// header in tests/component/interface_test.cpp.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "comptr.h"
#include "test_calc.h"
#include "test_support.h"

namespace {

const std::u16string kComponent = quillon::Utf8ToUtf16(TEST_COMPONENT_PATH);

using TypeLibTest = TempRegistryTest;

// Everything a type describes, followed into the types it names and its
// bases (a dual interface's other half first) a few levels deep; whatever
// goes wrong is skipped.
void Walk(ITypeInfo* info, int depth) {
  TYPEATTR* attr = nullptr;
  if (depth > 3 || FAILED(info->GetTypeAttr(&attr))) return;
  const auto follow = [&](HREFTYPE ref) {
    ComPtr<ITypeInfo> other;
    if (SUCCEEDED(info->GetRefTypeInfo(ref, &other))) Walk(other.Get(), depth + 1);
  };
  for (UINT f = 0; f < attr->cFuncs; ++f) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(f, &fd))) continue;
    BSTR names[8] = {};
    UINT got = 0;
    if (SUCCEEDED(info->GetNames(fd->memid, names, 8, &got)))
      for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
    if (SUCCEEDED(info->GetDocumentation(fd->memid, names, nullptr, nullptr, nullptr))) SysFreeString(names[0]);
    for (SHORT p = 0; p < fd->cParams; ++p) {
      const TYPEDESC* type = &fd->lprgelemdescParam[p].tdesc;
      while (type->vt == VT_PTR) type = type->lptdesc;
      if (type->vt == VT_USERDEFINED) follow(type->hreftype);
    }
    info->ReleaseFuncDesc(fd);
  }
  for (UINT v = 0; v < attr->cVars; ++v) {
    VARDESC* vd = nullptr;
    if (SUCCEEDED(info->GetVarDesc(v, &vd))) info->ReleaseVarDesc(vd);
  }
  for (UINT i = static_cast<UINT>(-1); i != attr->cImplTypes; ++i) {
    HREFTYPE ref = 0;
    if (SUCCEEDED(info->GetRefTypeOfImplType(i, &ref))) follow(ref);
  }
  info->ReleaseTypeAttr(attr);
}

void Walk(ITypeLib* lib) {
  for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(lib->GetTypeInfo(t, &info))) Walk(info.Get(), 0);
  }
}

// A file that is not a type library, or a damaged one, is refused as a
// whole; whatever loads can be walked without harm.
TEST_F(TypeLibTest, DamagedLibrariesAreRefused) {
  ComPtr<ITypeLib> lib;
  EXPECT_EQ(LoadTypeLib(u"/nonexistent/lib.so", &lib), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(LoadTypeLib(u"/proc/self/exe", &lib), TYPE_E_CANTLOADLIBRARY);  // a program without one
  EXPECT_EQ(LoadTypeLib(u"", &lib), E_INVALIDARG);

  std::ifstream in(TEST_TYPELIB_PATH, std::ios::binary);
  const std::vector<char> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(good.size(), 0x200u);
  const std::string path = dir_ + "/damaged.tlb";
  const std::u16string wide = quillon::Utf8ToUtf16(path);
  const auto load = [&](const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
    lib.Reset();
    return LoadTypeLib(wide.c_str(), &lib);
  };
  ASSERT_EQ(load(good), S_OK);
  Walk(lib.Get());

  // A pointer type that points at itself.
  std::vector<char> cycle = good;
  std::int32_t header[21];
  std::memcpy(header, cycle.data(), sizeof header);
  const std::size_t dir = 0x54 + 4 * static_cast<std::size_t>(header[8]);
  std::int32_t typeDescs = 0;
  std::memcpy(&typeDescs, cycle.data() + dir + 9 * 16, 4);  // the type description segment
  const std::int32_t self = 0;
  std::memcpy(cycle.data() + typeDescs + 4, &self, 4);  // its first entry is a pointer
  EXPECT_EQ(load(cycle), TYPE_E_CANTLOADLIBRARY);

  // Every prefix, and every byte changed: refused, or readable throughout.
  for (std::size_t size = 0; size < good.size(); size += 7) {
    const HRESULT hr = load(std::vector<char>(good.begin(), good.begin() + static_cast<long>(size)));
    EXPECT_EQ(hr, TYPE_E_CANTLOADLIBRARY) << "prefix " << size;
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::vector<char> bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x80);
    const HRESULT hr = load(bytes);
    ASSERT_TRUE(hr == S_OK || hr == TYPE_E_CANTLOADLIBRARY) << "byte " << at;
    if (hr == S_OK) Walk(lib.Get());
  }
}

// The keys follow the library's attributes (its identifier as the .idl
// states it: widl's fault mended), and unregistering takes ours only.
TEST_F(TypeLibTest, RegistrationRoundTripLeavesUnrelatedKeys) {
  const std::u16string lib = u"TypeLib\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C14}";
  const std::u16string calc = u"Interface\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C12}";
  const std::u16string other = u"Interface\\{00000000-0000-0000-0000-000000000001}";
  ComPtr<ITypeLib> loaded, registered;
  ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &loaded), S_OK);
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, other, u"", u"Other"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, lib + u"\\2.0", u"", u"another version"), ERROR_SUCCESS);

  ASSERT_EQ(RegisterTypeLib(loaded.Get(), kComponent.c_str(), u"/opt/help/"), S_OK);
  const struct {
    std::u16string key;
    const char16_t* name;
    std::u16string value;
  } entries[] = {
      {lib + u"\\1.0", u"", u"TestCalc 1.0 Type Library"},
      {lib + u"\\1.0\\0\\win64", u"", kComponent},
      {lib + u"\\1.0\\FLAGS", u"", u"0"},
      {lib + u"\\1.0\\HELPDIR", u"", u"/opt/help/"},
      {calc, u"", u"ITestCalc"},
      {calc + u"\\ProxyStubClsid32", u"", u"{00020424-0000-0000-C000-000000000046}"},
      {u"Interface\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C13}\\ProxyStubClsid32", u"",
       u"{00020420-0000-0000-C000-000000000046}"},  // pure dispatch interface
      {calc + u"\\TypeLib", u"Version", u"1.0"},
  };
  for (const auto& e : entries) EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, e.key, e.name), e.value) << quillon::ToUtf8(e.key.c_str());
  ASSERT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0x409, &registered), S_OK);  // falls back to locale 0
  EXPECT_EQ(registered->GetTypeInfoCount(), 6u);
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 1, 0, &registered), TYPE_E_LIBNOTREGISTERED);

  ASSERT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib + u"\\1.0"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, lib + u"\\2.0"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, calc));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, other));
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), TYPE_E_REGISTRYACCESS);

  // The last version gone, the library key goes too.
  ASSERT_EQ(RegisterTypeLib(loaded.Get(), kComponent.c_str(), u""), S_OK);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (lib + u"\\2.0").c_str()), ERROR_SUCCESS);
  ASSERT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib"));
}

}  // namespace

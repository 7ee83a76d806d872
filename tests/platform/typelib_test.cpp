// Type libraries read from widl's binary format: what they describe, the
// standard library's types they import, damaged files, registration. The
// members of the component's own interface (names, slots, ids) are checked
// against its header in tests/component/interface_test.cpp, and what its
// library describes against the system's reading of it by the dispatch
// cases in tests/windows.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "comptr.h"
#include "test_calc.h"
#include "test_support.h"

namespace {

const std::u16string kComponent = quillon::Utf8ToUtf16(TEST_COMPONENT_PATH);

std::u16string Text(BSTR b) {
  std::u16string s(b ? b : u"");
  SysFreeString(b);
  return s;
}

std::u16string NameOf(ITypeInfo* info, MEMBERID memid = MEMBERID_NIL) {
  BSTR name = nullptr;
  EXPECT_EQ(info->GetDocumentation(memid, &name, nullptr, nullptr, nullptr), S_OK);
  return Text(name);
}

class TypeLibTest : public TempRegistryTest {
 protected:
  void SetUp() override {
    TempRegistryTest::SetUp();
    ASSERT_EQ(LoadTypeLib(kComponent.c_str(), &lib_), S_OK);
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(IID_ITestCalc, &calc_), S_OK);
  }
  ComPtr<ITypeLib> lib_;
  ComPtr<ITypeInfo> calc_;  // the dual interface as stored: its dispinterface
};

// The two halves of a dual interface, beyond what the dispatch cases
// (tests/windows) compare with the system's reading of the component's
// library: as a dispinterface it counts IUnknown's and IDispatch's members
// first (the system cannot describe them under Wine); as a table of
// operations it holds its own members only, the [retval] a pointer.
TEST_F(TypeLibTest, BothHalvesOfADualInterface) {
  FUNCDESC* fd = nullptr;
  ASSERT_EQ(calc_->GetFuncDesc(6, &fd), S_OK);  // IDispatch's last
  EXPECT_EQ(fd->funckind, FUNC_DISPATCH);
  EXPECT_EQ(fd->oVft, static_cast<SHORT>(6 * sizeof(void*)));
  EXPECT_EQ(NameOf(calc_.Get(), fd->memid), u"Invoke");
  calc_->ReleaseFuncDesc(fd);
  EXPECT_EQ(calc_->GetFuncDesc(7 + 11, &fd), TYPE_E_ELEMENTNOTFOUND);
  BSTR names[4] = {};
  UINT got = 0;
  EXPECT_EQ(calc_->GetNames(999, names, 4, &got), TYPE_E_ELEMENTNOTFOUND);

  HREFTYPE half = 0;
  ASSERT_EQ(calc_->GetRefTypeOfImplType(static_cast<UINT>(-1), &half), S_OK);
  ComPtr<ITypeInfo> table;
  ASSERT_EQ(calc_->GetRefTypeInfo(half, &table), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(table->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->cFuncs, 11);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  table->ReleaseTypeAttr(attr);
  ASSERT_EQ(table->GetFuncDesc(4, &fd), S_OK);  // Subtract(a, b, [out, retval] result)
  EXPECT_EQ(fd->oVft, static_cast<SHORT>(11 * sizeof(void*)));
  EXPECT_EQ(fd->funckind, FUNC_PUREVIRTUAL);
  EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
  ASSERT_EQ(fd->cParams, 3);
  EXPECT_EQ(fd->lprgelemdescParam[2].tdesc.vt, VT_PTR);
  EXPECT_EQ(fd->lprgelemdescParam[2].tdesc.lptdesc->vt, VT_I4);
  EXPECT_EQ(fd->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  table->ReleaseFuncDesc(fd);
}

// IDispatch and IUnknown come from the standard library built into the
// platform, and so do the records their functions take.
TEST_F(TypeLibTest, BaseInterfacesResolveToTheStandardLibrary) {
  HREFTYPE ref = 0;
  ASSERT_EQ(calc_->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(calc_->GetRefTypeInfo(ref, &dispatch), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->guid == IID_IDispatch);
  EXPECT_EQ(attr->cFuncs, 4);
  dispatch->ReleaseTypeAttr(attr);
  EXPECT_EQ(NameOf(dispatch.Get()), u"IDispatch");
  ComPtr<ITypeLib> standard;
  UINT index = 0;
  ASSERT_EQ(dispatch->GetContainingTypeLib(&standard, &index), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(standard->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), u"stdole");
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> unknown;
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &unknown), S_OK);
  EXPECT_EQ(NameOf(unknown.Get()), u"IUnknown");

  // QueryInterface's riid names the GUID record, through the dispinterface
  // that inherits it.
  FUNCDESC* fd = nullptr;
  ASSERT_EQ(calc_->GetFuncDesc(0, &fd), S_OK);
  ASSERT_EQ(fd->cParams, 2);
  ASSERT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  ASSERT_EQ(fd->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_USERDEFINED);
  ComPtr<ITypeInfo> record;
  ASSERT_EQ(calc_->GetRefTypeInfo(fd->lprgelemdescParam[0].tdesc.lptdesc->hreftype, &record), S_OK);
  calc_->ReleaseFuncDesc(fd);
  EXPECT_EQ(NameOf(record.Get()), u"GUID");
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
  const auto walk = [&] {
    for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
      ComPtr<ITypeInfo> info;
      TYPEATTR* attr = nullptr;
      if (FAILED(lib->GetTypeInfo(t, &info)) || FAILED(info->GetTypeAttr(&attr))) continue;
      for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* fd = nullptr;
        if (FAILED(info->GetFuncDesc(f, &fd))) continue;
        BSTR names[8] = {};
        UINT got = 0;
        if (SUCCEEDED(info->GetNames(fd->memid, names, 8, &got)))
          for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(fd);
      }
      for (UINT v = 0; v < attr->cVars; ++v) {
        VARDESC* vd = nullptr;
        if (SUCCEEDED(info->GetVarDesc(v, &vd))) info->ReleaseVarDesc(vd);
      }
      info->ReleaseTypeAttr(attr);
    }
  };
  for (std::size_t size = 0; size < good.size(); size += 7) {
    const HRESULT hr = load(std::vector<char>(good.begin(), good.begin() + static_cast<long>(size)));
    EXPECT_EQ(hr, TYPE_E_CANTLOADLIBRARY) << "prefix " << size;
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::vector<char> bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x80);
    const HRESULT hr = load(bytes);
    ASSERT_TRUE(hr == S_OK || hr == TYPE_E_CANTLOADLIBRARY) << "byte " << at;
    if (hr == S_OK) walk();
  }
}

// The keys follow the library's attributes (its identifier as the .idl
// states it: widl's fault mended), and unregistering takes ours only.
TEST_F(TypeLibTest, RegistrationRoundTripLeavesUnrelatedKeys) {
  const std::u16string lib = u"TypeLib\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C14}";
  const std::u16string calc = u"Interface\\{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C12}";
  ComPtr<ITypeLib> registered;
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Interface\\{00000000-0000-0000-0000-000000000001}", u"", u"Other"),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, lib + u"\\2.0", u"", u"another version"), ERROR_SUCCESS);

  ASSERT_EQ(RegisterTypeLib(lib_.Get(), kComponent.c_str(), u"/opt/help/"), S_OK);
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
  for (const auto& e : entries) {
    std::u16string value;
    ASSERT_EQ(GetString(HKEY_CLASSES_ROOT, e.key, e.name, &value), ERROR_SUCCESS) << quillon::ToUtf8(e.key.c_str());
    EXPECT_EQ(value, e.value);
  }
  ASSERT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0x409, &registered), S_OK);  // falls back to locale 0
  EXPECT_EQ(registered->GetTypeInfoCount(), 6u);
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 1, 0, &registered), TYPE_E_LIBNOTREGISTERED);

  ASSERT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib + u"\\1.0"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, lib + u"\\2.0"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, calc));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Interface\\{00000000-0000-0000-0000-000000000001}"));
  EXPECT_EQ(LoadRegTypeLib(LIBID_TESTCALCLib, 1, 0, 0, &registered), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), TYPE_E_REGISTRYACCESS);

  // The last version gone, the library key goes too.
  ASSERT_EQ(RegisterTypeLib(lib_.Get(), kComponent.c_str(), u""), S_OK);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (lib + u"\\2.0").c_str()), ERROR_SUCCESS);
  ASSERT_EQ(UnRegisterTypeLib(LIBID_TESTCALCLib, 1, 0, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"TypeLib"));
}

}  // namespace

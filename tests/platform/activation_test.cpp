// Activation through the registry, the library loader and its entry point.
#include <fstream>

#include "comptr.h"
#include "test_calc.h"
#include "test_support.h"

namespace {

using quillon::testing::GuidText;

class ActivationTest : public TempRegistryTest {
 protected:
  void Register(const std::string& path) {
    const std::u16string key = u"CLSID\\" + GuidText(CLSID_TestCalc);
    ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, key + u"\\InprocServer32", u"", quillon::Utf8ToUtf16(path)), ERROR_SUCCESS);
    ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Test.Calc.1\\CLSID", u"", GuidText(CLSID_TestCalc)), ERROR_SUCCESS);
    ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Test.Calc\\CurVer", u"", u"Test.Calc.1"), ERROR_SUCCESS);
  }
};

// Creating by class, a ProgID in another case and an unknown one are
// compared with the system's by the dispatch cases in tests/windows; here,
// the version-independent name through CurVer, identifiers that are not,
// and the loader's failures.
TEST_F(ActivationTest, ProgIdsAndFailuresComeBackAsStatusCodes) {
  Register(TEST_COMPONENT_PATH);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Test.Calc", &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_TestCalc);
  // A registered identifier that is not one.
  for (const char16_t* bad : {u"{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C1G}", u"6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C11",
                              u"{6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C110}", u"{6A1C39E2+5B0D-4C7E-9F21-3D8E4B7A0C11}"}) {
    ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"Bad.Calc\\CLSID", u"", bad), ERROR_SUCCESS);
    EXPECT_EQ(CLSIDFromProgID(u"Bad.Calc", &clsid), CO_E_CLASSSTRING) << quillon::ToUtf8(bad);
    EXPECT_TRUE(clsid == CLSID_NULL);
  }

  IUnknown* obj = nullptr;
  const auto create = [&](REFCLSID cls, DWORD context, REFIID iid) {
    const HRESULT hr = CoCreateInstance(cls, nullptr, context, iid, reinterpret_cast<void**>(&obj));
    EXPECT_EQ(obj, nullptr);
    return hr;
  };
  EXPECT_EQ(create(CLSID_TestCalc, CLSCTX_LOCAL_SERVER, IID_IUnknown), REGDB_E_CLASSNOTREG);
  // Success without an object, or without a factory, is the library's fault.
  const CLSID nothing = {0x0badfac7, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  EXPECT_EQ(create(CLSID_TestCalc, CLSCTX_INPROC_SERVER, nothing), CO_E_ERRORINDLL);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, u"CLSID\\" + GuidText(nothing) + u"\\InprocServer32", u"",
                      quillon::Utf8ToUtf16(TEST_COMPONENT_PATH)),
            ERROR_SUCCESS);
  EXPECT_EQ(create(nothing, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_ERRORINDLL);

  Register(dir_ + "/missing-library.so");
  EXPECT_EQ(create(CLSID_TestCalc, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_DLLNOTFOUND);
  const std::string notALibrary = dir_ + "/text.so";
  std::ofstream(notALibrary) << "not an ELF file\n";
  Register(notALibrary);
  EXPECT_EQ(create(CLSID_TestCalc, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_DLLNOTFOUND);
  Register(TEST_PLATFORM_PATH);  // a library without the export
  EXPECT_EQ(create(CLSID_TestCalc, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_ERRORINDLL);
}

// On a copy of the component, which nothing else in this process loads.
TEST_F(ActivationTest, EntryPointRunsOnFirstLoadAndLastFreeAndNamesAreItsOwn) {
  const std::string copy = dir_ + "/copy.so", log = dir_ + "/dllmain.log";
  std::filesystem::copy_file(TEST_COMPONENT_PATH, copy);
  setenv("QUILLON_TEST_DLLMAIN_LOG", log.c_str(), 1);
  const auto logged = [&] { return quillon::testing::ReadFileBytes(log); };
  HMODULE first = LoadLibraryA(copy.c_str());
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryA(copy.c_str());
  EXPECT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(logged(), "attach\n");
  EXPECT_NE(GetProcAddress(first, "DllGetClassObject"), nullptr);
  EXPECT_EQ(GetProcAddress(first, "SysAllocString"), nullptr);  // a dependency's, not its own
  // The component names itself by this path when it registers (the tests of
  // registration compare it); a short buffer gets a terminated prefix.
  OLECHAR shortBuf[5];
  EXPECT_EQ(GetModuleFileNameW(first, shortBuf, 5), 5u);
  EXPECT_EQ(shortBuf[4], u'\0');
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(logged(), "attach\ndetach\n");
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(LoadLibraryA("/nonexistent/lib.so"), nullptr);
  unsetenv("QUILLON_TEST_DLLMAIN_LOG");
}

}  // namespace

// The component before it is registered and after it is unregistered,
// loaded from a folder whose name holds a single quote.
#include <gtest/gtest.h>
#include <windows.h>
#include <comptr.h>
#include <objbase.h>
#include <oleauto.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "Quillon.h"
#include "quillon_text.h"
#include "registry_values.h"
#include "temp_dir.h"

namespace quillon {
namespace {

using testing::GuidText;
using testing::Value;

TEST(Unregistered, LifeBeforeAndAfterRegistration) {
  testing::TempDir dir;
  ::setenv("QUILLON_REGISTRY", dir.File("registry.txt").c_str(), 1);
  const std::string folder = dir.File("it's here");
  std::filesystem::create_directory(folder);
  const std::string library = folder + "/libQuillon.so";
  std::filesystem::copy_file(QUILLON_COMPONENT_PATH, library);
  HMODULE module = LoadLibraryA(library.c_str());
  ASSERT_NE(module, nullptr);
  auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
  auto unreg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllUnregisterServer"));
  auto getClass = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, LPVOID*)>(GetProcAddress(module, "DllGetClassObject"));
  ASSERT_TRUE(reg && unreg && getClass);

  // Never registered: unregistering still succeeds.
  EXPECT_EQ(unreg(), S_OK);

  // Not registered: the direct operations work, dispatch does not.
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClass(CLSID_Preferences, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  ComPtr<IPreferences> prefs;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPreferences, reinterpret_cast<void**>(prefs.GetAddressOf())), S_OK);
  EXPECT_EQ(prefs->put_Region(1), S_OK);
  UINT count = 0;
  EXPECT_EQ(prefs->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  std::u16string name = u"Region";
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  EXPECT_EQ(prefs->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(prefs->GetTypeInfo(0, 0, &info), TYPE_E_LIBNOTREGISTERED);

  // An error reported by an unregistered component has no source.
  const std::u16string bad = Utf8ToUtf16(dir.File("none/a.S19"));
  BSTR path = SysAllocString(bad.c_str());
  EXPECT_EQ(prefs->WriteS19(path), DISP_E_EXCEPTION);
  SysFreeString(path);
  ComPtr<IErrorInfo> error;
  BSTR source = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
  EXPECT_EQ(error->GetSource(&source), S_OK);
  EXPECT_EQ(SysStringLen(source), 0u);
  SysFreeString(source);

  // Registering writes the path as it is, quote included; the next dispatch
  // call loads the type description.
  ASSERT_EQ(reg(), S_OK);
  const std::u16string classKey = u"CLSID\\" + GuidText(CLSID_Preferences);
  EXPECT_EQ(Utf16ToUtf8(Value(classKey + u"\\InprocServer32")), library);
  EXPECT_EQ(prefs->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 3);

  // Unregistering removes our entries and nothing else.
  const std::u16string other = u"CLSID\\{00000000-1111-2222-3333-444444444444}";
  ASSERT_EQ(testing::SetString(HKEY_CLASSES_ROOT, other, u"", u"other"), ERROR_SUCCESS);
  EXPECT_EQ(unreg(), S_OK);
  for (const std::u16string& key : {classKey, std::u16string(u"Quillon.Preferences"),
                                    std::u16string(u"Quillon.Preferences.1"), u"TypeLib\\" + GuidText(LIBID_QUILLONLib)})
    EXPECT_FALSE(testing::KeyExists(HKEY_CLASSES_ROOT, key)) << Utf16ToUtf8(key);
  EXPECT_TRUE(testing::KeyExists(HKEY_CLASSES_ROOT, other));
}

// A library file without the type library finds it in a .tlb file beside
// it, which registration then names.
TEST(Unregistered, TypeLibraryFromAFileBesideTheLibrary) {
  testing::TempDir dir;
  ::setenv("QUILLON_REGISTRY", dir.File("registry.txt").c_str(), 1);
  const std::string library = dir.File("libQuillon.so");
  ASSERT_EQ(std::system(("'" OBJCOPY "' --rename-section .rsrc.TYPELIB.1=.rsrc.OTHER.1 '" QUILLON_COMPONENT_PATH "' '" +
                         library + "'").c_str()),
            0);
  HMODULE module = LoadLibraryA(library.c_str());
  ASSERT_NE(module, nullptr);
  auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
  ASSERT_NE(reg, nullptr);
  EXPECT_EQ(reg(), TYPE_E_CANTLOADLIBRARY);  // neither in the file nor beside it
  std::filesystem::copy_file(QUILLON_TYPELIB_PATH, dir.File("libQuillon.tlb"));
  ASSERT_EQ(reg(), S_OK);
  EXPECT_EQ(Utf16ToUtf8(Value(u"TypeLib\\" + GuidText(LIBID_QUILLONLib) + u"\\1.0\\0\\win64")),
            dir.File("libQuillon.tlb"));
  EXPECT_EQ(Utf16ToUtf8(Value(u"TypeLib\\" + GuidText(LIBID_QUILLONLib) + u"\\1.0\\HELPDIR")), dir.path() + "/");
}

}  // namespace
}  // namespace quillon

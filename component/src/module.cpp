// The library's frame: entry point, lock count, class factory, the exported
// functions, self-registration and the shared type description.
#include "module.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "Quillon.h"
#include "comobject.h"
#include "comptr.h"
#include "preferences.h"
#include "ole_text.h"

namespace quillon {
namespace {

// ---- module state -------------------------------------------------------------

HMODULE g_instance = nullptr;
std::atomic<LONG> g_lockCount{0};

std::mutex g_classTableLock;
IClassFactory* g_cachedFactory = nullptr;  // guarded by g_classTableLock

std::mutex g_typeInfoLock;
std::vector<std::function<void()>> g_cleanup;  // guarded by g_typeInfoLock; run newest first at unload
std::vector<std::pair<OleString, DISPID>> g_memberIds;  // written before g_typeInfo is published

// ---- class factory --------------------------------------------------------------

// The factory's count changes under its own lock, so that the moments when
// someone besides the class table starts or stops holding it (1 -> 2 and
// 2 -> 1) move the lock count consistently.
class ClassFactory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    return QueryInterfaceOf<IClassFactory>(this, riid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (++refs_ == 2) module::Lock();
    return refs_;
  }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      left = --refs_;
      if (left == 1) module::Unlock();
    }
    if (left == 0) delete this;
    return left;
  }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    return Preferences::Create(outer, riid, ppv);
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    if (lock) {
      module::Lock();
    } else {
      module::Unlock();
    }
    return S_OK;
  }

 private:
  ~ClassFactory() = default;
  std::mutex mutex_;
  ULONG refs_ = 1;  // the class table's reference
};

// The member names of the type description with their ids, for the exact
// matches GetIDsOfNames looks up first: those of IPreferences itself, read
// from its table half.
HRESULT ReadMemberNames(ITypeInfo* dispatch) {
  HREFTYPE half = 0;
  ComPtr<ITypeInfo> table;
  if (HRESULT hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &half); FAILED(hr)) return hr;
  if (HRESULT hr = dispatch->GetRefTypeInfo(half, &table); FAILED(hr)) return hr;
  ITypeInfo* info = table.Get();
  TYPEATTR* attr = nullptr;
  if (HRESULT hr = info->GetTypeAttr(&attr); FAILED(hr)) return hr;
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  std::vector<std::pair<OleString, DISPID>> ids;
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    if (HRESULT hr = info->GetFuncDesc(i, &fd); FAILED(hr)) return hr;
    const MEMBERID memid = fd->memid;
    info->ReleaseFuncDesc(fd);
    BSTR name = nullptr;
    UINT got = 0;
    if (SUCCEEDED(info->GetNames(memid, &name, 1, &got)) && got == 1) {
      ids.emplace_back(OleString(name, SysStringLen(name)), memid);
    }
    SysFreeString(name);
  }
  g_memberIds = std::move(ids);
  return S_OK;
}

// ---- registration ---------------------------------------------------------------

OleString GuidText(REFGUID guid) {
  OLECHAR text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// Creates (or opens) HKCR\key and sets one of its values; a null value name
// is the key's default value.
HRESULT SetValue(const OleString& key, const OLECHAR* valueName, const OleString& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  status = RegSetValueExW(handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT CreateKey(const OleString& key) {
  HKEY handle = nullptr;
  const LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  RegCloseKey(handle);
  return S_OK;
}

// Removes a key only when nothing is left below it (other components'
// entries survive).
void RemoveKeyIfEmpty(const OleString& key) { RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str()); }

void RemoveValue(const OleString& key, const OLECHAR* valueName) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
  RegDeleteValueW(handle, valueName);
  RegCloseKey(handle);
}

const OleString kProgId = OLESTR("Quillon.Preferences.1");
const OleString kIndependentProgId = OLESTR("Quillon.Preferences");
const OleString kClassName = OLESTR("Preferences Class");

OleString ClassKey() { return OLESTR("CLSID\\") + GuidText(CLSID_Preferences); }

// The entries that make the class creatable by ProgID and class identifier.
// The class key is deleted with everything below it and written anew, so
// registering twice leaves one set of entries.
HRESULT WriteRegistryEntries(const OleString& modulePath) {
  const OleString clsid = GuidText(CLSID_Preferences);
  const OleString classKey = ClassKey();
  HRESULT hr;
  if (FAILED(hr = SetValue(kProgId, nullptr, kClassName))) return hr;
  if (FAILED(hr = SetValue(kProgId + OLESTR("\\CLSID"), nullptr, clsid))) return hr;
  if (FAILED(hr = SetValue(kIndependentProgId, nullptr, kClassName))) return hr;
  if (FAILED(hr = SetValue(kIndependentProgId + OLESTR("\\CLSID"), nullptr, clsid))) return hr;
  if (FAILED(hr = SetValue(kIndependentProgId + OLESTR("\\CurVer"), nullptr, kProgId))) return hr;
  if (FAILED(hr = CreateKey(OLESTR("CLSID")))) return hr;
  const LSTATUS deleted = RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(deleted);
  if (FAILED(hr = SetValue(classKey, nullptr, kClassName))) return hr;
  if (FAILED(hr = SetValue(classKey + OLESTR("\\ProgID"), nullptr, kProgId))) return hr;
  if (FAILED(hr = SetValue(classKey + OLESTR("\\VersionIndependentProgID"), nullptr, kIndependentProgId))) return hr;
  if (FAILED(hr = CreateKey(classKey + OLESTR("\\Programmable")))) return hr;
  if (FAILED(hr = SetValue(classKey + OLESTR("\\InprocServer32"), nullptr, modulePath))) return hr;
  if (FAILED(hr = SetValue(classKey + OLESTR("\\InprocServer32"), OLESTR("ThreadingModel"), OLESTR("Both")))) return hr;
  return SetValue(classKey + OLESTR("\\TypeLib"), nullptr, GuidText(LIBID_QUILLONLib));
}

// The same entries removed from the bottom up; the key CLSID itself stays.
void RemoveRegistryEntries() {
  const OleString classKey = ClassKey();
  RemoveKeyIfEmpty(kProgId + OLESTR("\\CLSID"));
  RemoveKeyIfEmpty(kProgId);
  RemoveKeyIfEmpty(kIndependentProgId + OLESTR("\\CLSID"));
  RemoveKeyIfEmpty(kIndependentProgId + OLESTR("\\CurVer"));
  RemoveKeyIfEmpty(kIndependentProgId);
  RemoveKeyIfEmpty(classKey + OLESTR("\\ProgID"));
  RemoveKeyIfEmpty(classKey + OLESTR("\\VersionIndependentProgID"));
  RemoveKeyIfEmpty(classKey + OLESTR("\\Programmable"));
  RemoveValue(classKey + OLESTR("\\InprocServer32"), OLESTR("ThreadingModel"));
  RemoveKeyIfEmpty(classKey + OLESTR("\\InprocServer32"));
  RemoveKeyIfEmpty(classKey + OLESTR("\\TypeLib"));
  RemoveKeyIfEmpty(classKey);
}

// The type library from the library file itself, or else from a ".tlb"
// file beside it; `loadedFrom` tells which path worked.
HRESULT LoadOwnTypeLib(ITypeLib** lib, OleString& loadedFrom) {
  loadedFrom = module::LibraryPath();
  if (SUCCEEDED(LoadTypeLib(loadedFrom.c_str(), lib))) return S_OK;
  const auto dot = loadedFrom.find_last_of(OLESTR('.'));
  const auto slash = loadedFrom.find_last_of(OLESTR("/\\:"));
  if (dot != OleString::npos && (slash == OleString::npos || dot > slash)) loadedFrom.resize(dot);
  loadedFrom += OLESTR(".tlb");
  return LoadTypeLib(loadedFrom.c_str(), lib);
}

OleString HelpDirectory(const OleString& path) {
  const auto end = path.find_last_of(OLESTR("/\\:"));
  return end == OleString::npos ? OleString() : path.substr(0, end + 1);
}

}  // namespace

// ---- module interface -------------------------------------------------------------

namespace module {

HMODULE Handle() { return g_instance; }

void Lock() { g_lockCount.fetch_add(1, std::memory_order_relaxed); }
void Unlock() { g_lockCount.fetch_sub(1, std::memory_order_relaxed); }
LONG LockCount() { return g_lockCount.load(std::memory_order_relaxed); }

OleString LibraryPath() {
  if (g_instance == nullptr) return PathOfThisCode();
  OLECHAR path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH + 1);
  return n > 0 && n <= MAX_PATH ? OleString(path, n) : PathOfThisCode();
}

HRESULT SharedTypeInfo(ITypeInfo** out) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = BorrowTypeInfo(info);
  if (FAILED(hr)) return hr;
  info->AddRef();
  *out = info;
  return S_OK;
}

std::atomic<ITypeInfo*> g_loadedTypeInfo{nullptr};

// Loads the description under the type-information lock; whoever comes
// second finds it there.
HRESULT LoadTypeInfo(ITypeInfo*& borrowed) try {
  ITypeInfo* info = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_typeInfoLock);
    info = module::g_loadedTypeInfo.load(std::memory_order_relaxed);
    if (info == nullptr) {
      ITypeLib* lib = nullptr;
      HRESULT hr = LoadRegTypeLib(LIBID_QUILLONLib, QUILLONLIB_VERSION_MAJOR, QUILLONLIB_VERSION_MINOR, 0, &lib);
      if (FAILED(hr)) return hr;
      hr = lib->GetTypeInfoOfGuid(IID_IPreferences, &info);
      lib->Release();
      if (FAILED(hr)) return hr;
      g_cleanup.push_back([info] { info->Release(); });
      if (FAILED(hr = ReadMemberNames(info))) return hr;
      module::g_loadedTypeInfo.store(info, std::memory_order_release);
    }
  }
  borrowed = info;
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

DISPID FindMemberId(const OLECHAR* name) {
  if (name == nullptr) return DISPID_UNKNOWN;
  const OleStringView wanted(name);
  for (const auto& [member, id] : g_memberIds)
    if (member == wanted) return id;
  return DISPID_UNKNOWN;
}

}  // namespace module
}  // namespace quillon

using namespace quillon;

// ---- exports --------------------------------------------------------------------

// Called by the platform's loader. On attach the module state is set up; on
// detach the cached factory and the shared type description are released.
STDAPI_(BOOL) DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    g_lockCount.store(0);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    {
      std::lock_guard<std::mutex> lock(g_classTableLock);
      if (g_cachedFactory != nullptr) g_cachedFactory->Release();
      g_cachedFactory = nullptr;
    }
    std::lock_guard<std::mutex> lock(g_typeInfoLock);
    for (auto it = g_cleanup.rbegin(); it != g_cleanup.rend(); ++it) (*it)();
    g_cleanup.clear();
    g_memberIds.clear();
    module::g_loadedTypeInfo.store(nullptr);
  }
  return TRUE;
}

// Hands out the class factory of Preferences, made on first request and
// kept by the class table until unload.
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_Preferences) return CLASS_E_CLASSNOTAVAILABLE;
  std::lock_guard<std::mutex> lock(g_classTableLock);
  if (g_cachedFactory == nullptr) {
    g_cachedFactory = new (std::nothrow) ClassFactory;
    if (g_cachedFactory == nullptr) return E_OUTOFMEMORY;
  }
  return g_cachedFactory->QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return module::LockCount() == 0 ? S_OK : S_FALSE; }

// Writes the registry entries, then registers the type library under the
// path it was loaded from. Entries written before a failure stay.
STDAPI DllRegisterServer() {
  HRESULT hr = WriteRegistryEntries(module::LibraryPath());
  if (FAILED(hr)) return hr;
  ITypeLib* lib = nullptr;
  OleString path;
  if (FAILED(hr = LoadOwnTypeLib(&lib, path))) return hr;
  OleString help = HelpDirectory(path);
  hr = RegisterTypeLib(lib, path.data(), help.data());
  lib->Release();
  return hr;
}

// Removes what DllRegisterServer wrote. Always succeeds: what is missing
// is simply not removed.
STDAPI DllUnregisterServer() {
  RemoveRegistryEntries();
  ITypeLib* lib = nullptr;
  OleString path;
  if (SUCCEEDED(LoadOwnTypeLib(&lib, path))) {
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&attr)) && attr != nullptr) {
      UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
      lib->ReleaseTLibAttr(attr);
    }
    lib->Release();
  }
  return S_OK;
}

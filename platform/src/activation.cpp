// In-process activation through the registry.
//
// HKCR\CLSID\{clsid}\InprocServer32 (default value) names the library. A
// library loaded here stays loaded for the life of the process, cached by
// its path; the cache lock is held across DllGetClassObject, so two threads
// never load one library twice.

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "internal.h"

namespace quillon::platform {
namespace {

typedef HRESULT (*DllGetClassObjectFn)(REFCLSID, REFIID, LPVOID*);

struct Activation {
  std::recursive_mutex lock;
  std::map<std::u16string, HMODULE> libraries;  // by path as registered
};

Activation& State() {
  static auto* state = new Activation();
  return *state;
}

// The registry file itself is the trouble (its error information says
// which), as opposed to a key or value that is simply not there.
bool UnreadableRegistry(LONG err) {
  return err == ERROR_REGISTRY_CORRUPT || err == ERROR_CANTREAD || err == ERROR_ACCESS_DENIED;
}

// The class factory (riid) of a registered in-process class.
HRESULT GetClassObject(REFCLSID rclsid, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;

  std::u16string path;
  const std::u16string key = u"CLSID\\" + GuidToString(rclsid) + u"\\InprocServer32";
  const LONG err = ReadRegString(HKEY_CLASSES_ROOT, key, u"", &path);
  if (UnreadableRegistry(err)) return REGDB_E_READREGDB;
  if (err != ERROR_SUCCESS || path.empty()) return REGDB_E_CLASSNOTREG;

  Activation& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  HMODULE module = nullptr;
  if (auto it = state.libraries.find(path); it != state.libraries.end()) {
    module = it->second;
  } else {
    module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
      DebugLine("CoCreateInstance: cannot load " + Utf16ToUtf8(path));
      return CO_E_DLLNOTFOUND;
    }
    state.libraries.emplace(path, module);
  }
  auto entry = reinterpret_cast<DllGetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
  if (entry == nullptr) return CO_E_ERRORINDLL;
  const HRESULT hr = entry(rclsid, riid, ppv);
  // Success with nothing to show for it is the library's fault, not ours
  // to dereference.
  if (SUCCEEDED(hr) && *ppv == nullptr) return CO_E_ERRORINDLL;
  return hr;
}

}  // namespace
}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

HRESULT CoInitializeEx(LPVOID /*pvReserved*/, DWORD /*dwCoInit*/) { return S_OK; }
void CoUninitialize(void) {}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = GetClassObject(rclsid, dwClsContext, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (SUCCEEDED(hr) && *ppv == nullptr) return CO_E_ERRORINDLL;
  return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  *lpclsid = CLSID_NULL;
  std::u16string text;
  const std::u16string progId(lpszProgID);
  if (progId.empty() || progId.find(u'\\') != std::u16string::npos) return CO_E_CLASSSTRING;
  LONG err = ReadRegString(HKEY_CLASSES_ROOT, progId + u"\\CLSID", u"", &text);
  if (err != ERROR_SUCCESS) {
    // A version-independent ProgID may name its current version instead.
    std::u16string current;
    if (err == ERROR_FILE_NOT_FOUND) err = ReadRegString(HKEY_CLASSES_ROOT, progId + u"\\CurVer", u"", &current);
    if (err == ERROR_SUCCESS) {
      err = EqualsNoCase(current, progId) ? ERROR_FILE_NOT_FOUND
                                          : ReadRegString(HKEY_CLASSES_ROOT, current + u"\\CLSID", u"", &text);
    }
    if (UnreadableRegistry(err)) return REGDB_E_READREGDB;
    if (err != ERROR_SUCCESS) return CO_E_CLASSSTRING;
  }
  return ParseGuid(text, lpclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::u16string progId;
  const std::u16string key = u"CLSID\\" + GuidToString(clsid) + u"\\ProgID";
  const LONG err = ReadRegString(HKEY_CLASSES_ROOT, key, u"", &progId);
  if (UnreadableRegistry(err)) return REGDB_E_READREGDB;
  if (err != ERROR_SUCCESS || progId.empty()) return REGDB_E_CLASSNOTREG;
  auto* out = static_cast<LPOLESTR>(std::malloc((progId.size() + 1) * sizeof(OLECHAR)));  // task memory
  if (out == nullptr) return E_OUTOFMEMORY;
  std::copy(progId.c_str(), progId.c_str() + progId.size() + 1, out);
  *lplpszProgID = out;
  return S_OK;
}

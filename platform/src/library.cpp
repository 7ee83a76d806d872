// Dynamic libraries: loading with the entry-point protocol, symbol lookup,
// and the path of a loaded library.
//
// An HMODULE is the handle dlopen returned. Each LoadLibrary is one dlopen
// and each FreeLibrary one dlclose, and this file counts them per library
// so that DllMain sees exactly one process attach (first load) and one
// process detach (last free). The count lives under one recursive lock,
// held while DllMain runs (a DllMain may load other libraries).

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "internal.h"

namespace quillon::platform {
namespace {

typedef BOOL (*DllMainFn)(HINSTANCE, DWORD, LPVOID);

std::recursive_mutex& LoaderLock() {
  static auto* lock = new std::recursive_mutex();
  return *lock;
}

std::map<void*, int>& LoadCounts() {
  static auto* counts = new std::map<void*, int>();
  return *counts;
}

link_map* LinkMapOf(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
  return map;
}

}  // namespace

void* OwnSymbol(void* handle, const char* name) {
  void* sym = dlsym(handle, name);
  if (sym == nullptr) return nullptr;
  Dl_info info;
  link_map* owner = nullptr;
  if (dladdr1(sym, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) return nullptr;
  return owner == LinkMapOf(handle) ? sym : nullptr;
}

namespace {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string MakeAbsolute(std::string path) {
  if (!path.empty() && path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) {
      if (path.rfind("./", 0) == 0) path.erase(0, 2);
      path = std::string(cwd) + "/" + path;
    }
  }
  return path;
}

HMODULE Load(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(LoaderLock());
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    DebugLine(std::string("LoadLibrary: ") + (why ? why : name.c_str()));
    return nullptr;
  }
  int& count = LoadCounts()[handle];
  if (count++ == 0) {
    if (auto entry = reinterpret_cast<DllMainFn>(OwnSymbol(handle, "DllMain"))) {
      if (!entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
        LoadCounts().erase(handle);
        dlclose(handle);
        return nullptr;
      }
    }
  }
  return reinterpret_cast<HMODULE>(handle);
}

}  // namespace

}  // namespace quillon::platform

using namespace quillon;
using namespace quillon::platform;

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == u'\0') return nullptr;
  return Load(ToUtf8(lpLibFileName));
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == '\0') return nullptr;
  return Load(lpLibFileName);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  void* handle = reinterpret_cast<void*>(hLibModule);
  std::lock_guard<std::recursive_mutex> guard(LoaderLock());
  auto it = LoadCounts().find(handle);
  if (handle == nullptr || it == LoadCounts().end()) return FALSE;
  if (--it->second == 0) {
    LoadCounts().erase(it);
    if (auto entry = reinterpret_cast<DllMainFn>(OwnSymbol(handle, "DllMain"))) {
      entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, nullptr);
    }
  }
  dlclose(handle);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (hModule == nullptr || lpProcName == nullptr) return nullptr;
  return reinterpret_cast<FARPROC>(OwnSymbol(reinterpret_cast<void*>(hModule), lpProcName));
}

namespace {
std::string ModulePath(HMODULE hModule) {
  if (hModule == nullptr) return ExecutablePath();
  link_map* map = LinkMapOf(reinterpret_cast<void*>(hModule));
  if (map == nullptr) return {};
  if (map->l_name == nullptr || map->l_name[0] == '\0') return ExecutablePath();
  return MakeAbsolute(map->l_name);
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  const std::u16string path = Utf8ToUtf16(ModulePath(hModule));
  if (path.empty() || lpFilename == nullptr || nSize == 0) return 0;
  if (path.size() + 1 > nSize) {
    std::memcpy(lpFilename, path.data(), (nSize - 1) * sizeof(char16_t));
    lpFilename[nSize - 1] = u'\0';
    return nSize;
  }
  std::memcpy(lpFilename, path.c_str(), (path.size() + 1) * sizeof(char16_t));
  return static_cast<DWORD>(path.size());
}

BOOL DisableThreadLibraryCalls(HMODULE /*hLibModule*/) {
  // Threads never notify libraries here; nothing to switch off.
  return TRUE;
}

// State shared by everything in one loaded copy of the component: the
// library handle, the lock count that decides unloading, and the type
// description of IPreferences that the dispatch operations share.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <string>

#include "ole_text.h"

namespace quillon::module {

HMODULE Handle();

// Reasons to stay loaded: live objects, outside holders of the class
// factory, LockServer(TRUE). Changed only atomically.
void Lock();
void Unlock();
LONG LockCount();

// The type description of IPreferences, loaded from the registered type
// library on first use, once for the whole component, and kept until the
// component is unloaded. A failure is returned and the next call tries
// again. The caller gets its own reference.
HRESULT SharedTypeInfo(ITypeInfo** out);

// The same description without a reference for the caller: it stays valid
// until the component is unloaded, which no call on an object can outlive.
// Once loaded it is one load from memory, inline in every dispatch call.
extern std::atomic<ITypeInfo*> g_loadedTypeInfo;
HRESULT LoadTypeInfo(ITypeInfo*& borrowed);
inline HRESULT BorrowTypeInfo(ITypeInfo*& borrowed) {
  borrowed = g_loadedTypeInfo.load(std::memory_order_acquire);
  return borrowed != nullptr ? S_OK : LoadTypeInfo(borrowed);
}

// The DISPID of a member name (exact spelling), from the table built when
// the type description was loaded; DISPID_UNKNOWN when not there.
DISPID FindMemberId(const OLECHAR* name);

// The full path of the loaded component library.
OleString LibraryPath();

// The same found from the code itself, for a copy that was not loaded
// through LoadLibrary: one way per system (module_posix.cpp,
// module_win32.cpp). Empty when not found.
OleString PathOfThisCode();

}  // namespace quillon::module

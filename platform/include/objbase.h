// Component activation, identifiers as text and task memory.
#pragma once

#include "unknwn.h"

enum CLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
  CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
               CLSCTX_REMOTE_SERVER,
  CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER
};

enum COINIT {
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_MULTITHREADED = 0x0,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
};

// Threads need no set-up here: these only count, and always succeed.
QUILLON_API HRESULT CoInitialize(LPVOID pvReserved);
QUILLON_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
QUILLON_API void CoUninitialize(void);

// In-process activation: HKCR\CLSID\{clsid}\InprocServer32 names the library,
// which is loaded (and kept loaded) and asked for its class factory through
// its DllGetClassObject export. REGDB_E_CLASSNOTREG when the class is not
// registered, CO_E_DLLNOTFOUND when the library cannot be loaded,
// CO_E_ERRORINDLL when it lacks the export. Only CLSCTX_INPROC_SERVER is
// served.
QUILLON_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved,
                                     REFIID riid, LPVOID* ppv);
QUILLON_API HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                     REFIID riid, LPVOID* ppv);
// Unloads every library loaded by activation whose DllCanUnloadNow says S_OK.
QUILLON_API void CoFreeUnusedLibraries(void);

QUILLON_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
QUILLON_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"; CLSIDFromString also takes a
// ProgID. Malformed text: CO_E_CLASSSTRING (IIDFromString: E_INVALIDARG).
QUILLON_API HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
QUILLON_API HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Writes the 38 characters and a NUL; returns 39, or 0 when cchMax is short.
QUILLON_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
QUILLON_API HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
QUILLON_API HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);

QUILLON_API LPVOID CoTaskMemAlloc(SIZE_T cb);
QUILLON_API LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
QUILLON_API void CoTaskMemFree(LPVOID pv);

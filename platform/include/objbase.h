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

/*
 * CoInitializeEx, CoUninitialize
 *
 * Threads need no set-up here; the calls exist so that code written for the
 * original platform runs unchanged. CoInitializeEx always returns S_OK.
 */
QUILLON_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
QUILLON_API void CoUninitialize(void);

/*
 * CoCreateInstance
 *
 * Makes an object of a registered class in this process:
 * HKCR\CLSID\{rclsid}\InprocServer32 names the library, which is loaded
 * (once, and kept loaded), asked for its class factory through its export
 * DllGetClassObject, and the factory for the object.
 *
 * rclsid        the class
 * pUnkOuter     the outer object when the new one is to be aggregated
 * dwClsContext  must include CLSCTX_INPROC_SERVER (the only one served)
 * riid, ppv     the interface wanted and where it goes (null on failure)
 *
 * Returns S_OK; E_POINTER for a null ppv; REGDB_E_CLASSNOTREG when the
 * class is not registered (or no in-process context is asked for);
 * REGDB_E_READREGDB when the registry cannot be read; CO_E_DLLNOTFOUND
 * when the library does not load; CO_E_ERRORINDLL when it lacks the
 * export; otherwise the factory's result.
 */
QUILLON_API HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                     REFIID riid, LPVOID* ppv);

/*
 * CLSIDFromProgID
 *
 * The class registered under a ProgID: HKCR\<ProgID>\CLSID, or for a
 * version-independent ProgID without one, that of HKCR\<ProgID>\CurVer.
 *
 * Returns S_OK; E_INVALIDARG for null arguments; CO_E_CLASSSTRING when the
 * ProgID is empty, unknown, or names no valid identifier (*lpclsid is then
 * CLSID_NULL).
 */
QUILLON_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);

/*
 * ProgIDFromCLSID
 *
 * The ProgID registered for a class (HKCR\CLSID\{clsid}\ProgID), in task
 * memory the caller frees with CoTaskMemFree.
 *
 * Returns S_OK; E_INVALIDARG for a null out-parameter; REGDB_E_CLASSNOTREG
 * when there is none; E_OUTOFMEMORY.
 */
QUILLON_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

/*
 * StringFromGUID2
 *
 * Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case) and a NUL.
 * Returns 39, the characters written with the NUL, or 0 when cchMax is
 * less than that (nothing is written).
 */
QUILLON_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

/*
 * CoTaskMemFree
 *
 * Frees memory the platform handed out as task memory (ProgIDFromCLSID).
 * A null pointer is ignored.
 */
QUILLON_API void CoTaskMemFree(LPVOID pv);

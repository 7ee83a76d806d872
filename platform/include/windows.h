// Umbrella header of the platform layer: base types, status codes, the
// registry, dynamic libraries, code-page conversion, and (as the original
// umbrella does) activation and the automation library.
#pragma once

#include "guiddef.h"
#include "winerror.h"
#include "wtypes.h"
#include "winreg.h"

// ---- Last error -------------------------------------------------------------
QUILLON_API DWORD GetLastError(void);
QUILLON_API void SetLastError(DWORD dwErrCode);

// ---- Dynamic libraries ------------------------------------------------------
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define MAX_PATH 260

// Loads a shared library (RTLD_NOW | RTLD_LOCAL). If it exports
// `BOOL DllMain(HINSTANCE, DWORD, LPVOID)`, that is called with
// DLL_PROCESS_ATTACH on the first load (a FALSE result fails the load) and
// with DLL_PROCESS_DETACH when the last FreeLibrary comes. The names
// "oleaut32.dll" and "ole32.dll" load this platform library itself. Returns
// null on failure, with GetLastError set (ERROR_MOD_NOT_FOUND, ...).
QUILLON_API HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
QUILLON_API HMODULE LoadLibraryA(LPCSTR lpLibFileName);
QUILLON_API BOOL FreeLibrary(HMODULE hLibModule);
// Looks the name up in that library only, not in its dependencies.
typedef void (*FARPROC)(void);
QUILLON_API FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// The absolute path of a loaded library (null: the executable). Returns the
// characters written without the NUL; when nSize is too small the result is
// truncated, NUL-terminated, nSize is returned and the last error is
// ERROR_INSUFFICIENT_BUFFER.
QUILLON_API DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
QUILLON_API DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
QUILLON_API BOOL DisableThreadLibraryCalls(HMODULE hLibModule);
// Writes the text to stderr, only when QUILLON_DEBUG_OUTPUT is set.
QUILLON_API void OutputDebugStringA(LPCSTR lpOutputString);
QUILLON_API void OutputDebugStringW(LPCWSTR lpOutputString);

// ---- Code pages -------------------------------------------------------------
// CP_ACP is Windows-1252 here (all 256 bytes map to a character and back);
// characters it cannot hold become the default character "?".
#define CP_ACP 0
#define CP_1252 1252
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

QUILLON_API UINT GetACP(void);
// cbMultiByte/cchWideChar of -1: the input is NUL-terminated and the NUL is
// converted too. A destination size of 0 asks for the needed size. Returns
// the number of units written (or needed), 0 on failure with GetLastError
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER or
// ERROR_NO_UNICODE_TRANSLATION.
QUILLON_API int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr,
                                    int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
QUILLON_API int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr,
                                    int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                    LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

#include "objbase.h"
#include "oleauto.h"

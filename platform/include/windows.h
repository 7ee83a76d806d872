// Umbrella header of the platform layer: base types, status codes, the
// registry, dynamic libraries, code-page conversion, and (as the original
// umbrella does) activation and the automation library.
#pragma once

#include "guiddef.h"
#include "winerror.h"
#include "wtypes.h"
#include "winreg.h"

// ---- Dynamic libraries ------------------------------------------------------
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define MAX_PATH 260

typedef void (*FARPROC)(void);

/*
 * LoadLibraryA
 *
 * Loads a shared library (RTLD_NOW | RTLD_LOCAL; the path as UTF-8). If it
 * exports `BOOL DllMain(HINSTANCE, DWORD, LPVOID)`, that is called with
 * DLL_PROCESS_ATTACH on the first load, and a FALSE result fails the load;
 * with DLL_PROCESS_DETACH when the last FreeLibrary comes.
 *
 * Returns the library's handle, or null when the name is null or empty,
 * the library cannot be loaded (the reason goes to the debug output) or
 * its DllMain refuses.
 */
QUILLON_API HMODULE LoadLibraryA(LPCSTR lpLibFileName);
// The same for a UTF-16 path.
QUILLON_API HMODULE LoadLibraryW(LPCWSTR lpLibFileName);

/*
 * FreeLibrary
 *
 * Undoes one LoadLibraryA. Returns TRUE, or FALSE for a handle that is not
 * loaded.
 */
QUILLON_API BOOL FreeLibrary(HMODULE hLibModule);

/*
 * GetProcAddress
 *
 * The address of an export of that library itself (not of the libraries
 * it depends on), or null.
 */
QUILLON_API FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

/*
 * GetModuleFileNameW
 *
 * The absolute path of a loaded library (null hModule: the executable).
 *
 * Returns the number of characters written without the NUL. When nSize is
 * too small the path is cut, NUL-terminated, and nSize is returned; 0 for
 * an unknown handle or no buffer.
 */
QUILLON_API DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

/*
 * DisableThreadLibraryCalls
 *
 * Threads never notify libraries here, so there is nothing to switch off.
 * Returns TRUE.
 */
QUILLON_API BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

/*
 * OutputDebugStringA
 *
 * Writes the text to stderr when the environment variable
 * QUILLON_DEBUG_OUTPUT is set and not empty; otherwise does nothing.
 */
QUILLON_API void OutputDebugStringA(LPCSTR lpOutputString);

// ---- Code pages -------------------------------------------------------------
// CP_ACP is Windows-1252 here (all 256 bytes map to a character and back);
// characters it cannot hold become the default character "?".
#define CP_ACP 0
#define CP_1252 1252

/*
 * MultiByteToWideChar, WideCharToMultiByte
 *
 * Convert between the ANSI code page, CP_ACP (Windows-1252, also accepted
 * as CP_1252), and UTF-16. Flags are ignored; a character the code page
 * lacks becomes the default character ('?' unless given).
 *
 * A source length of -1 means NUL-terminated, and the NUL is converted
 * too. A destination size of 0 asks for the size needed.
 *
 * Returns the number of units written (or needed); 0 for bad parameters,
 * a destination too small or another code page.
 */
QUILLON_API int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr,
                                    int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
QUILLON_API int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr,
                                    int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                    LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);

#include "objbase.h"
#include "oleauto.h"

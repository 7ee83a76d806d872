// The registry: a persistent tree of keys holding named string values.
//
// The tree lives in one text file: $QUILLON_REGISTRY when set, otherwise
// $XDG_CONFIG_HOME/quillon/registry.txt (~/.config when XDG_CONFIG_HOME is
// unset). Every change locks <file>.lock, reloads the file, applies the
// change and replaces the file atomically, so concurrent processes never
// lose each other's changes. Key and value names compare without regard to
// ASCII case and keep the case they were created with.
//
// Functions return Win32 error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
// ...). A registry file that cannot be parsed gives ERROR_REGISTRY_CORRUPT
// and is never overwritten.
#pragma once

#include "wtypes.h"

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003u)

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x0
#define REG_CREATED_NEW_KEY 0x1
#define REG_OPENED_EXISTING_KEY 0x2

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

QUILLON_API LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                    DWORD dwOptions, REGSAM samDesired,
                                    LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                    LPDWORD lpdwDisposition);
QUILLON_API LSTATUS RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
QUILLON_API LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                  PHKEY phkResult);
QUILLON_API LSTATUS RegCloseKey(HKEY hKey);
// Only REG_SZ and REG_EXPAND_SZ: cbData counts bytes, the NUL included.
QUILLON_API LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                   const BYTE* lpData, DWORD cbData);
// Null lpData asks for the size only; a short buffer gives ERROR_MORE_DATA
// with the needed size (in bytes, NUL included) in *lpcbData.
QUILLON_API LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                     LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
QUILLON_API LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes a key without subkeys; ERROR_ACCESS_DENIED when it has some.
QUILLON_API LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
// Deletes the subkey and everything below it; with a null or empty
// lpSubKey, everything below hKey (values and subkeys) but not hKey itself.
QUILLON_API LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
QUILLON_API LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                  LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                  PFILETIME lpftLastWriteTime);

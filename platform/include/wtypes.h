// Base types of the component runtime.
//
// Widths are fixed rather than taken from the C types they are named after:
// LONG and ULONG are 32 bits on the platform this code was designed for,
// while `long` is 64 bits here. OLECHAR is UTF-16 (char16_t), never wchar_t,
// which is 32 bits on this system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "guiddef.h"
#include "winerror.h"

#ifndef QUILLON_PLATFORM_EXPORT
#define QUILLON_PLATFORM_EXPORT __attribute__((visibility("default")))
#endif
// Functions of the platform library: C linkage, visible outside it.
#define QUILLON_API extern "C" QUILLON_PLATFORM_EXPORT

// Calling conventions do not exist on this target; the macros keep
// declarations written for the original platform compiling unchanged.
#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define CALLBACK
#define PURE = 0
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPI EXTERN_C QUILLON_PLATFORM_EXPORT HRESULT
#define STDAPI_(type) EXTERN_C QUILLON_PLATFORM_EXPORT type

// What headers generated from interface definitions use. Interfaces are
// structs with public pure virtual methods; the identifier attached to an
// interface type lives in QuillonIidOf (see __CRT_UUID_DECL in unknwn.h),
// so the declaration attribute is empty. Only C++ is served: the C form of
// the interfaces (CINTERFACE, COBJMACROS) is not.
#define interface struct
#define DECLSPEC_UUID(x)
#define DECLSPEC_NOVTABLE
#define MIDL_INTERFACE(x) struct DECLSPEC_UUID(x) DECLSPEC_NOVTABLE
#define __RPC_USER
#if !defined(__cplusplus) || defined(CINTERFACE)
#error "the platform headers serve C++ clients only"
#endif

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::int16_t SHORT;
typedef std::uint16_t USHORT;
typedef int INT;
typedef unsigned int UINT;
typedef int BOOL;
typedef char CHAR;
typedef signed char INT8;
typedef unsigned char UCHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef std::uintptr_t ULONG_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t DWORD_PTR;
typedef std::size_t SIZE_T;
typedef LONG SCODE;
typedef DWORD LCID;
typedef WORD LANGID;

typedef char16_t WCHAR;
typedef char16_t OLECHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
// A literal of OLECHARs, as the original platform spells it.
#define OLESTR(str) u##str
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef const CHAR* LPCCH;
typedef const WCHAR* LPCWCH;

// A BSTR points at the characters; a 32-bit byte count sits just before
// them and a NUL character just after. Allocate with SysAllocString.
typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef double DATE;
typedef unsigned short VARTYPE;

enum VARENUM : unsigned short {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_CARRAY = 28,
  VT_USERDEFINED = 29,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_RECORD = 36,
  VT_INT_PTR = 37,
  VT_UINT_PTR = 38,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0fff,
};

typedef struct tagFILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

#define MAKELANGID(p, s) ((WORD)((((WORD)(s)) << 10) | (WORD)(p)))
#define LOCALE_NEUTRAL 0x0000
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LANG_NEUTRAL 0x00
#define SUBLANG_NEUTRAL 0x00

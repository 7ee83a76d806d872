// The automation library: strings, variants, error information and type
// libraries.
#pragma once

#include "oaidl.h"

// ---- Strings ----------------------------------------------------------------
// A BSTR points at UTF-16 characters; a 32-bit byte count sits just before
// them and a NUL character just after.

/*
 * SysAllocString, SysAllocStringLen
 *
 * A new BSTR holding the NUL-terminated text psz, or the cch characters at
 * pch (NULs included; a null pch gives cch zero characters). A null psz
 * gives null. Returns null when memory runs out or the size overflows.
 */
QUILLON_API BSTR SysAllocString(const OLECHAR* psz);
QUILLON_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);

/*
 * SysFreeString
 *
 * Frees a BSTR. Null is ignored.
 */
QUILLON_API void SysFreeString(BSTR bstrString);

/*
 * SysStringLen
 *
 * The number of characters, embedded NULs included; 0 for null.
 */
QUILLON_API UINT SysStringLen(BSTR pbstr);

// ---- Variants ---------------------------------------------------------------
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02

/*
 * VariantInit
 *
 * Sets the variant to VT_EMPTY with every byte of its value zero. Null is
 * ignored.
 */
QUILLON_API void VariantInit(VARIANTARG* pvarg);

/*
 * VariantClear
 *
 * Frees what the variant owns (a BSTR, an interface reference) and makes it
 * VT_EMPTY. Returns S_OK, or E_INVALIDARG for null.
 */
QUILLON_API HRESULT VariantClear(VARIANTARG* pvarg);

/*
 * VariantChangeType
 *
 * Converts pvarSrc to type vt into pvargDest (which may be pvarSrc), as
 * the automation library does for a script's arguments:
 *   - between VT_EMPTY, the integer types (VT_I1 ... VT_UI8, VT_INT,
 *     VT_UINT), VT_R4, VT_R8, VT_BOOL and VT_BSTR, the source also by
 *     reference (VT_BYREF, VT_VARIANT | VT_BYREF);
 *   - numbers round to the nearest integer, halves to even; a value that
 *     does not fit gives DISP_E_OVERFLOW;
 *   - text is read the same way in every process locale: blanks around
 *     it, a sign before or after it or parentheses for a negative number,
 *     digits with "," grouping, "." before the fraction, an exponent; or
 *     "&H" hexadecimal / "&O" octal digits, which give the bits of the
 *     target ("&HFFFF" is -1 as VT_I2). Anything else is
 *     DISP_E_TYPEMISMATCH, as are VT_NULL and interface sources;
 *   - numbers become text in decimal (doubles to 15 significant digits,
 *     "1E+20" style), booleans "-1" and "0" ("True" and "False" with
 *     VARIANT_ALPHABOOL); text "True"/"False" becomes a boolean.
 *
 * Returns S_OK; E_INVALIDARG for null variants; DISP_E_BADVARTYPE for a
 * type not listed; DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW; E_OUTOFMEMORY.
 * On failure pvargDest is unchanged.
 */
QUILLON_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                      USHORT wFlags, VARTYPE vt);

// ---- Error information ------------------------------------------------------
// One slot per thread, shared by every library of the process.

/*
 * CreateErrorInfo
 *
 * A new, empty error information object: fill it through
 * ICreateErrorInfo, read it through IErrorInfo (its QueryInterface gives
 * either). Returns S_OK, E_INVALIDARG for null, E_OUTOFMEMORY.
 */
QUILLON_API HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);

/*
 * SetErrorInfo
 *
 * Puts perrinfo (a new reference; null empties it) in the calling thread's
 * slot, releasing what was there. Returns S_OK.
 */
QUILLON_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);

/*
 * GetErrorInfo
 *
 * Hands the calling thread's slot over to the caller and empties it.
 * Returns S_OK with the object, S_FALSE and null when the slot was empty,
 * E_INVALIDARG for null.
 */
QUILLON_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

// ---- Type libraries ---------------------------------------------------------

/*
 * LoadTypeLib
 *
 * Loads a type library from a .tlb file or from the TYPELIB resource 1 of
 * a library file (its ELF section ".rsrc.TYPELIB.1"), without loading the
 * library or running any of its code. The data are treated as hostile:
 * anything out of bounds or inconsistent refuses the whole file.
 *
 * szFile   path of the file
 * pptlib   receives the library (null on failure)
 *
 * Returns S_OK; E_INVALIDARG for a null or empty path or a null pptlib;
 * TYPE_E_CANTLOADLIBRARY when the file cannot be opened, carries no type
 * library, or carries a damaged one (the reason goes to the debug
 * output); E_OUTOFMEMORY.
 *
 * Types imported from the standard library ("stdole2.tlb") resolve to a
 * description built into the platform; others through LoadRegTypeLib.
 * Unlike the original, loading by a relative path does not register.
 */
QUILLON_API HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);

/*
 * LoadRegTypeLib
 *
 * Loads a registered type library: the path under
 * HKCR\TypeLib\{rguid}\<major.minor>\<lcid>\win64 of the highest minor
 * version at least wVerMinor of major version wVerMajor, trying lcid, its
 * primary language and the neutral locale in turn. The standard library
 * (stdole 2.x) is built in and needs no registration.
 *
 * Returns S_OK; E_INVALIDARG for a null pptlib; TYPE_E_LIBNOTREGISTERED
 * when there is no such registration; LoadTypeLib's failures for the path.
 */
QUILLON_API HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                   ITypeLib** pptlib);

/*
 * RegisterTypeLib
 *
 * Registers a loaded library: HKCR\TypeLib\{libid}\<major.minor> holding
 * the library's help string (or its name), \<lcid>\<system> = szFullPath,
 * \FLAGS and \HELPDIR = szHelpDir; and for each dispinterface, dual and
 * automation interface HKCR\Interface\{iid} with its name, proxy class and
 * library.
 *
 * Returns S_OK; E_INVALIDARG for a null library or path; the library's
 * failure to describe itself; TYPE_E_REGISTRYACCESS when a key cannot be
 * written (keys written before it stay).
 */
QUILLON_API HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);

/*
 * UnRegisterTypeLib
 *
 * Removes what RegisterTypeLib wrote for this version, locale and system,
 * bottom up: the interfaces the registered file describes that are
 * registered to this library, the path, the version key when no other
 * locale remains under it, and the library's key when nothing remains.
 *
 * Returns S_OK; TYPE_E_REGISTRYACCESS when this registration is not there.
 */
QUILLON_API HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                      SYSKIND syskind);

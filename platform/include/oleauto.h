// The automation library: strings, variants, error information and type
// libraries.
#pragma once

#include "oaidl.h"

// ---- Strings --------------------------------------------------------------
// A BSTR is allocated as [4-byte byte count][characters][NUL]. Sizes are
// checked for overflow; a failed allocation returns null. SysFreeString(null)
// does nothing; SysStringLen(null) is 0.
QUILLON_API BSTR SysAllocString(const OLECHAR* psz);
QUILLON_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
QUILLON_API BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
QUILLON_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
QUILLON_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
QUILLON_API void SysFreeString(BSTR bstrString);
QUILLON_API UINT SysStringLen(BSTR pbstr);
QUILLON_API UINT SysStringByteLen(BSTR bstr);

// ---- Variants -------------------------------------------------------------
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02

QUILLON_API void VariantInit(VARIANTARG* pvarg);
// Frees what the variant owns (a BSTR, a reference) and sets it to VT_EMPTY.
QUILLON_API HRESULT VariantClear(VARIANTARG* pvarg);
QUILLON_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Converts between VT_EMPTY, VT_I1/I2/I4/I8/INT, VT_UI1/UI2/UI4/UI8/UINT,
// VT_R4/R8, VT_BOOL and VT_BSTR, by value or (source only) by reference.
// Numbers round to the nearest integer, halves to even; a value that does
// not fit gives DISP_E_OVERFLOW; text that is not a number (surrounding
// blanks allowed, "&H1F" hexadecimal and "&O17" octal accepted) gives
// DISP_E_TYPEMISMATCH. pvargDest may equal pvarSrc.
QUILLON_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                      USHORT wFlags, VARTYPE vt);
QUILLON_API HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                        LCID lcid, USHORT wFlags, VARTYPE vt);

// ---- Error information ----------------------------------------------------
// One slot per thread. SetErrorInfo replaces the slot (null clears it);
// GetErrorInfo hands the slot's reference to the caller and empties it,
// returning S_FALSE and null when it was empty.
QUILLON_API HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
QUILLON_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
QUILLON_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

// ---- Type libraries -------------------------------------------------------
enum REGKIND { REGKIND_DEFAULT = 0, REGKIND_REGISTER = 1, REGKIND_NONE = 2 };

// Loads the type library carried by a shared library file (see
// typelib_desc.h). TYPE_E_CANTLOADLIBRARY when the file cannot be loaded or
// carries no valid description.
QUILLON_API HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
QUILLON_API HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib);
// Loads a registered library: the highest registered minor version of the
// given major version that is at least wVerMinor.
QUILLON_API HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                   ITypeLib** pptlib);
QUILLON_API HRESULT QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid,
                                          BSTR* lpbstrPathName);
QUILLON_API HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
QUILLON_API HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                      SYSKIND syskind);

// ---- Dispatch helpers -----------------------------------------------------
// The standard IDispatch implementation over type information.
QUILLON_API HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames,
                                      DISPID* rgdispid);
QUILLON_API HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                               DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                               UINT* puArgErr);

// A small component used by the platform tests: one dual interface with
// members of each parameter type the dispatch layer handles.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

// {6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C11}
inline constexpr CLSID CLSID_TestCalc = {0x6A1C39E2, 0x5B0D, 0x4C7E,
                                         {0x9F, 0x21, 0x3D, 0x8E, 0x4B, 0x7A, 0x0C, 0x11}};
// {6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C12}
inline constexpr IID IID_ITestCalc = {0x6A1C39E2, 0x5B0D, 0x4C7E,
                                      {0x9F, 0x21, 0x3D, 0x8E, 0x4B, 0x7A, 0x0C, 0x12}};
// {6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C13}
inline constexpr IID DIID_ITestCalcEvents = {0x6A1C39E2, 0x5B0D, 0x4C7E,
                                             {0x9F, 0x21, 0x3D, 0x8E, 0x4B, 0x7A, 0x0C, 0x13}};
// {6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C14}
inline constexpr GUID LIBID_TestCalcLib = {0x6A1C39E2, 0x5B0D, 0x4C7E,
                                           {0x9F, 0x21, 0x3D, 0x8E, 0x4B, 0x7A, 0x0C, 0x14}};

// {6A1C39E2-5B0D-4C7E-9F21-3D8E4B7A0C15}: a second description of
// ITestCalc's table with scattered ids, several members per id, and a
// later member of the same id and kind as an earlier one (never called).
inline constexpr IID IID_ITestCalcScattered = {0x6A1C39E2, 0x5B0D, 0x4C7E,
                                               {0x9F, 0x21, 0x3D, 0x8E, 0x4B, 0x7A, 0x0C, 0x15}};

// Failure of Fail(): the component also sets error information.
#define TESTCALC_E_FAIL QUILLON_HR(0x80040301u)

struct ITestCalc : public IDispatch {
  STDMETHOD(get_Value)(LONG* pVal) = 0;                  // slot 7, id 1
  STDMETHOD(put_Value)(LONG value) = 0;                  // slot 8
  STDMETHOD(get_Small)(SHORT* pVal) = 0;                 // slot 9, id 2
  STDMETHOD(put_Small)(SHORT value) = 0;                 // slot 10
  STDMETHOD(get_Color)(OLE_COLOR* pVal) = 0;             // slot 11, id 3
  STDMETHOD(put_Color)(OLE_COLOR value) = 0;             // slot 12
  STDMETHOD(get_Name)(BSTR* pVal) = 0;                   // slot 13, id 4
  STDMETHOD(put_Name)(BSTR value) = 0;                   // slot 14
  STDMETHOD(Subtract)(LONG a, LONG b, LONG* result) = 0; // slot 15, id 5
  STDMETHOD(get_Item)(INT index, LONG* pVal) = 0;        // slot 16, id 6
  STDMETHOD(put_Item)(INT index, LONG value) = 0;        // slot 17
  STDMETHOD(Fail)(BSTR path) = 0;                        // slot 18, id 7
  STDMETHOD(FailBare)() = 0;                             // slot 19, id 8
  STDMETHOD(get_Mode)(LONG* pVal) = 0;                   // slot 20, id 9 (enum)
  STDMETHOD(put_Mode)(LONG value) = 0;                   // slot 21
  // The received values as text, e.g. "-300 4000000000".
  STDMETHOD(Describe)(SHORT s, ULONG u, BSTR* text) = 0; // slot 22, id 10
  STDMETHOD(DescribeAll)(CHAR c, BYTE b, USHORT w, VARIANT_BOOL f, UINT n,
                         BSTR* text) = 0;                // slot 23, id 11
  STDMETHOD(Scale)(DOUBLE x, FLOAT y, LONG n, DOUBLE* result) = 0;  // slot 24, id 12: x * y + n
};
QUILLON_DECLARE_IID(ITestCalc, IID_ITestCalc);

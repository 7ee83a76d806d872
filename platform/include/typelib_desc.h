// The description of a type library that a component library carries in
// place of an embedded type library resource.
//
// A library that has a type library exports
//
//     extern "C" const TYPELIB_DESC* DllGetTypeLibDescription(int resourceId);
//
// (name in QUILLON_TYPELIB_EXPORT) returning a pointer to static data that
// lives as long as the library, or null when it has no library under that
// id. LoadTypeLib asks for id 1. The platform copies the table when it
// loads it, so ITypeLib and ITypeInfo objects outlive the library file.
//
// The table is checked on load; a malformed one fails LoadTypeLib with
// TYPE_E_CANTLOADLIBRARY and writes the reason to the debug output
// (OutputDebugStringA, visible with QUILLON_DEBUG_OUTPUT=1).
//
// Text is UTF-8. Rules the check enforces:
//   - every name is non-empty (parameter names may be null or empty);
//   - a function's vtableSlot is the 0-based slot in the interface's table,
//     counting IUnknown's 3 and IDispatch's 4 methods: the first method of a
//     dual interface is slot 7; slots are unique within a type;
//   - a parameter with PARAMFLAG_FOUT or PARAMFLAG_FRETVAL has VT_BYREF set
//     in vt (VT_BYREF | VT_I4 is a `LONG*`); at most one parameter is
//     [retval], and it is the last one;
//   - a propput has no [retval] parameter and at least one parameter (the
//     value, last); a propget has a [retval] parameter;
//   - value types: VT_I2, VT_I4, VT_INT, VT_UI1, VT_UI2, VT_UI4, VT_BOOL,
//     VT_R8 and VT_BSTR (enumerations travel as VT_I4, OLE_COLOR as
//     VT_UI4), each optionally with VT_BYREF;
//   - implemented types of a coclass name entries of the same table by index.
//
// Every member function returns HRESULT; Invoke calls it with `this`
// first, then the parameters in declared order.
#pragma once

#include "oaidl.h"

struct TYPELIB_PARAM_DESC {
  const char* name;    // may be null or "" (e.g. the value of a propput)
  VARTYPE vt;          // value type, | VT_BYREF for a pointer parameter
  USHORT flags;        // PARAMFLAG_FIN, PARAMFLAG_FOUT, PARAMFLAG_FRETVAL, PARAMFLAG_FOPT
};

struct TYPELIB_FUNC_DESC {
  const char* name;
  MEMBERID memid;                    // DISPID; get and put of one property share it
  INVOKEKIND invkind;                // INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT
  SHORT vtableSlot;                  // 7 = first slot after IDispatch
  const char* helpString;            // may be null
  const TYPELIB_PARAM_DESC* params;  // declared order
  USHORT paramCount;
  WORD funcFlags;                    // FUNCFLAG_*
};

struct TYPELIB_IMPL_DESC {
  UINT typeIndex;      // index into TYPELIB_DESC::types
  INT implTypeFlags;   // IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FSOURCE
};

struct TYPELIB_CONST_DESC {
  const char* name;
  LONG value;
};

// kind:
//   TKIND_DISPATCH  dispatch interface; with TYPEFLAG_FDUAL in typeFlags a
//                   dual interface whose functions Invoke calls by slot
//   TKIND_INTERFACE vtable-only interface
//   TKIND_COCLASS   class; impls lists its interfaces
//   TKIND_ENUM      enumeration; consts lists its values
//   TKIND_ALIAS     alias of an (unnamed) enumeration; consts lists its values
struct TYPELIB_TYPE_DESC {
  TYPEKIND kind;
  const char* name;
  GUID guid;                          // GUID_NULL for aliases and enumerations
  const char* helpString;             // may be null
  WORD typeFlags;                     // TYPEFLAG_*
  const TYPELIB_FUNC_DESC* funcs;
  USHORT funcCount;
  const TYPELIB_IMPL_DESC* impls;
  USHORT implCount;
  const TYPELIB_CONST_DESC* consts;
  USHORT constCount;
};

struct TYPELIB_DESC {
  GUID libid;
  const char* name;                   // e.g. "QUILLONLib"
  const char* helpString;             // default value of the registration key
  WORD majorVersion;
  WORD minorVersion;
  LCID lcid;                          // usually 0
  WORD libFlags;                      // LIBFLAG_*
  const TYPELIB_TYPE_DESC* types;     // in library order
  UINT typeCount;
};

typedef const TYPELIB_DESC* (*LPFNGETTYPELIBDESCRIPTION)(int resourceId);
#define QUILLON_TYPELIB_EXPORT "DllGetTypeLibDescription"

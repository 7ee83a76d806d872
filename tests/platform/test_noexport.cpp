// A loadable library without the component exports, and with a malformed
// type library table: its propget's [retval] is not a pointer.
#include "typelib_desc.h"

namespace {
const TYPELIB_PARAM_DESC kBadRet[] = {{"pVal", VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
const TYPELIB_FUNC_DESC kFuncs[] = {{"Value", 1, INVOKE_PROPERTYGET, 7, nullptr, kBadRet, 1, 0}};
const GUID kIid = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const TYPELIB_TYPE_DESC kTypes[] = {{TKIND_DISPATCH, "IBad", kIid, nullptr, TYPEFLAG_FDUAL, kFuncs, 1,
                                     nullptr, 0, nullptr, 0}};
const TYPELIB_DESC kLibrary = {kIid, "BADLib", nullptr, 1, 0, 0, 0, kTypes, 1};
}  // namespace

extern "C" int TestNoExportMarker() { return 7; }
extern "C" const TYPELIB_DESC* DllGetTypeLibDescription(int) { return &kLibrary; }

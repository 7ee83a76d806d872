// A loadable library whose type library table has two dual interfaces that
// use the same vtable slots, some far apart. Built a second time with
// SLOT_USED_TWICE, where one interface gives a slot to two functions: that
// table is malformed.
#include "typelib_desc.h"

namespace {
const TYPELIB_PARAM_DESC kRet[] = {{"pVal", VT_BYREF | VT_I4, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
const TYPELIB_FUNC_DESC kFirst[] = {
    {"A", 1, INVOKE_PROPERTYGET, 7, nullptr, kRet, 1, 0},
    {"B", 2, INVOKE_PROPERTYGET, 71, nullptr, kRet, 1, 0},
    {"C", 3, INVOKE_PROPERTYGET, 200, nullptr, kRet, 1, 0},
#ifdef SLOT_USED_TWICE
    {"D", 4, INVOKE_PROPERTYGET, 200, nullptr, kRet, 1, 0},
#endif
};
const TYPELIB_FUNC_DESC kSecond[] = {
    {"A", 1, INVOKE_PROPERTYGET, 7, nullptr, kRet, 1, 0},
    {"C", 3, INVOKE_PROPERTYGET, 200, nullptr, kRet, 1, 0},
};
constexpr USHORT kFirstCount = sizeof kFirst / sizeof kFirst[0];
const GUID kLibid = {0x5107AB1E, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
const GUID kFirstIid = {0x5107AB1E, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x02}};
const GUID kSecondIid = {0x5107AB1E, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x03}};
const TYPELIB_TYPE_DESC kTypes[] = {
    {TKIND_DISPATCH, "IFirst", kFirstIid, nullptr, TYPEFLAG_FDUAL, kFirst, kFirstCount, nullptr, 0, nullptr, 0},
    {TKIND_DISPATCH, "ISecond", kSecondIid, nullptr, TYPEFLAG_FDUAL, kSecond, 2, nullptr, 0, nullptr, 0},
};
const TYPELIB_DESC kLibrary = {kLibid, "SLOTSLib", nullptr, 1, 0, 0, 0, kTypes, 2};
}  // namespace

extern "C" const TYPELIB_DESC* DllGetTypeLibDescription(int) { return &kLibrary; }

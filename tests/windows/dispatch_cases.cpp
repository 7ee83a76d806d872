// Dispatch cases against the Quillon object, through the standard automation
// API only. The same source builds for Windows (the system's automation
// library) and for Linux (our platform); each case prints one canonical
// line, so the two outputs can be compared as text. Where they differ, our
// platform does not behave like the real one.
//
// Run it in an empty folder: two cases write and read files there.
// Exit status 1 when the object cannot be created, 0 otherwise (the
// comparison, not this program, judges the results).
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using OleString = std::basic_string<OLECHAR>;

// ---- printing ---------------------------------------------------------------

std::string Text(const OLECHAR* s, UINT length) {
  std::string out = "\"";
  char buf[8];
  for (UINT i = 0; i < length; ++i) {
    const unsigned c = static_cast<unsigned>(s[i]) & 0xFFFF;
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
  return out + "\"";
}

std::string Text(BSTR s) { return s == nullptr ? "null" : Text(s, SysStringLen(s)); }

// A name as it is, for the case names.
std::string Narrow(const OLECHAR* s) {
  std::string out;
  for (; *s != 0; ++s) out.push_back(static_cast<char>(*s));
  return out;
}

void Line(const std::string& text) { std::printf("%s\n", text.c_str()); }

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(static_cast<ULONG>(hr)));
  return buf;
}

std::string Guid(REFGUID guid) {
  OLECHAR text[40] = {};
  const int n = StringFromGUID2(guid, text, 40);
  return n > 0 ? Text(text, static_cast<UINT>(n - 1)) : "?";
}

// The type and value of a variant, without converting it (conversion is
// what is being compared).
std::string Value(const VARIANT& v) {
  const std::string vt = std::to_string(v.vt) + ":";
  switch (v.vt) {
    case VT_EMPTY: return "0:empty";
    case VT_NULL: return "1:null";
    case VT_I1: return vt + std::to_string(static_cast<int>(v.cVal));
    case VT_UI1: return vt + std::to_string(static_cast<unsigned>(v.bVal));
    case VT_I2: return vt + std::to_string(v.iVal);
    case VT_UI2: return vt + std::to_string(v.uiVal);
    case VT_I4: return vt + std::to_string(static_cast<long long>(v.lVal));
    case VT_UI4: return vt + std::to_string(static_cast<unsigned long long>(v.ulVal));
    case VT_INT: return vt + std::to_string(v.intVal);
    case VT_UINT: return vt + std::to_string(v.uintVal);
    case VT_I8: return vt + std::to_string(static_cast<long long>(v.llVal));
    case VT_BOOL: return vt + std::to_string(v.boolVal);
    case VT_ERROR: return vt + Hex(v.scode);
    case VT_BSTR: return vt + Text(v.bstrVal);
    case VT_R4:
    case VT_R8: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", v.vt == VT_R4 ? static_cast<double>(v.fltVal) : v.dblVal);
      return vt + buf;
    }
    case VT_DISPATCH: return vt + "object";
    case VT_VARIANT | VT_BYREF: return "byref " + Value(*v.pvarVal);
    case VT_I4 | VT_BYREF: return "byref 3:" + std::to_string(static_cast<long long>(*v.plVal));
    case VT_BSTR | VT_BYREF: return "byref 8:" + Text(*v.pbstrVal);
    default: return vt + "?";
  }
}

// What an error object says; it is released here. (An interface id that was
// never set is undefined under Wine, so it is asked for only when wanted.)
std::string ErrorText(IErrorInfo* info, bool withGuid) {
  BSTR source = nullptr, description = nullptr, help = nullptr;
  DWORD context = 7;
  GUID guid = IID_IDispatch;
  info->GetSource(&source);
  info->GetDescription(&description);
  info->GetHelpFile(&help);
  info->GetHelpContext(&context);
  if (withGuid) info->GetGUID(&guid);
  info->Release();
  std::string text = Text(source) + " " + Text(description) + " " + Text(help) + " " + std::to_string(context);
  for (BSTR b : {source, description, help}) SysFreeString(b);
  return withGuid ? text + " " + Guid(guid) : text;
}

// The thread's error information, taken from it.
std::string TakeErrorInfo(bool withGuid) {
  IErrorInfo* info = nullptr;
  const HRESULT hr = GetErrorInfo(0, &info);
  return Hex(hr) + " " + (info == nullptr ? "none" : ErrorText(info, withGuid));
}

// ---- arguments ----------------------------------------------------------------

VARIANT Make(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  v.vt = type;
  return v;
}
VARIANT I4(LONG n) { VARIANT v = Make(VT_I4); v.lVal = n; return v; }
VARIANT I2(SHORT n) { VARIANT v = Make(VT_I2); v.iVal = n; return v; }
VARIANT UI4(ULONG n) { VARIANT v = Make(VT_UI4); v.ulVal = n; return v; }
VARIANT I8(LONGLONG n) { VARIANT v = Make(VT_I8); v.llVal = n; return v; }
VARIANT R8(double d) { VARIANT v = Make(VT_R8); v.dblVal = d; return v; }
VARIANT Bool(bool b) { VARIANT v = Make(VT_BOOL); v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; return v; }
VARIANT Str(const OLECHAR* s) { VARIANT v = Make(VT_BSTR); v.bstrVal = SysAllocString(s); return v; }
VARIANT Null() { return Make(VT_NULL); }
VARIANT Empty() { return Make(VT_EMPTY); }
// An omitted optional argument, as scripts pass one.
VARIANT Missing() { VARIANT v = Make(VT_ERROR); v.scode = DISP_E_PARAMNOTFOUND; return v; }
// A script variable passed by reference: the callee sees the variable.
VARIANT RefVar(VARIANT* target) { VARIANT v = Make(VT_VARIANT | VT_BYREF); v.pvarVal = target; return v; }
VARIANT RefI4(LONG* target) { VARIANT v = Make(VT_I4 | VT_BYREF); v.plVal = target; return v; }
VARIANT RefStr(BSTR* target) { VARIANT v = Make(VT_BSTR | VT_BYREF); v.pbstrVal = target; return v; }

void ClearAll(std::vector<VARIANT>& args) {
  for (VARIANT& v : args) VariantClear(&v);
}

// ---- the object -------------------------------------------------------------------

IDispatch* g_object = nullptr;

DISPID IdOf(const OLECHAR* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  g_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

enum class Named { kNone, kPropertyPut, kZero };

struct Call {
  DISPID id;
  WORD flags;
  Named named = Named::kNone;
  bool wantResult = true;
  bool wantExcep = true;
  const IID* riid = &IID_NULL;
};

// Invokes with the arguments in the caller's order (they go over last
// first) and prints status, result, argument error, exception, and what the
// call left on the thread: a member's error information stays there only
// when the caller gave no EXCEPINFO to move it into.
void Run(const std::string& name, const Call& call, std::vector<VARIANT> args) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID namedId = call.named == Named::kZero ? 0 : DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), call.named == Named::kNone ? nullptr : &namedId,
                    static_cast<UINT>(reversed.size()), call.named == Named::kNone ? 0u : 1u};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT argErr = 0xFFFFFFFFu;
  const HRESULT hr = g_object->Invoke(call.id, *call.riid, LOCALE_USER_DEFAULT, call.flags, &params,
                                      call.wantResult ? &result : nullptr, call.wantExcep ? &excep : nullptr,
                                      &argErr);
  std::string line = name + ": " + Hex(hr) + " " + Value(result);
  line += argErr == 0xFFFFFFFFu ? " argErr=-" : " argErr=" + std::to_string(argErr);
  if (excep.scode != 0 || excep.wCode != 0 || excep.bstrDescription != nullptr || excep.bstrSource != nullptr) {
    line += " excep{" + std::to_string(excep.wCode) + " " + Hex(excep.scode) + " " + Text(excep.bstrSource) + " " +
            Text(excep.bstrDescription) + " " + Text(excep.bstrHelpFile) + " " + std::to_string(excep.dwHelpContext) +
            "}";
  }
  for (BSTR b : {excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile}) SysFreeString(b);
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) line += " left{" + ErrorText(info, true) + "}";
  Line(line);
  VariantClear(&result);
  // Reference arguments show what the call left in the caller's variable.
  for (const VARIANT& v : args) {
    if (v.vt == (VT_VARIANT | VT_BYREF)) Line("  byref variable: " + Value(*v.pvarVal));
  }
  ClearAll(args);
  SetErrorInfo(0, nullptr);  // nothing carries over to the next case
}

Call Get(const OLECHAR* member) { return {IdOf(member), DISPATCH_PROPERTYGET}; }
Call ScriptGet(const OLECHAR* member) { return {IdOf(member), DISPATCH_METHOD | DISPATCH_PROPERTYGET}; }
Call Put(const OLECHAR* member) { return {IdOf(member), DISPATCH_PROPERTYPUT, Named::kPropertyPut, false}; }
Call Method(const OLECHAR* member) { return {IdOf(member), DISPATCH_METHOD, Named::kNone, false}; }

// Puts a value (the last argument; any before it are indexes), then reads
// the property back. The case is named by the arguments.
void PutGet(const OLECHAR* member, std::vector<VARIANT> args) {
  std::string name = Narrow(member);
  std::vector<VARIANT> indexes;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    name += (i ? ", " : "(") + Value(args[i]) + (i + 2 == args.size() ? ")" : "");
    VARIANT copy = args[i];  // the indexes are numbers or text
    if (copy.vt == VT_BSTR) copy.bstrVal = SysAllocStringLen(copy.bstrVal, SysStringLen(copy.bstrVal));
    indexes.push_back(copy);
  }
  name += " = " + Value(args.back());
  Run(name, Put(member), std::move(args));
  Run(name + " read back", Get(member), std::move(indexes));
}

void Names(const char* name, std::initializer_list<const OLECHAR*> names) {
  std::vector<LPOLESTR> list;
  for (const OLECHAR* n : names) list.push_back(const_cast<LPOLESTR>(n));
  std::vector<DISPID> ids(list.size() + 1, 12345);
  const HRESULT hr = g_object->GetIDsOfNames(IID_NULL, list.data(), static_cast<UINT>(list.size()),
                                             LOCALE_USER_DEFAULT, ids.data());
  std::string line = std::string(name) + ": " + Hex(hr);
  for (std::size_t i = 0; i < list.size(); ++i) line += " " + std::to_string(static_cast<long long>(ids[i]));
  Line(line);
}

// ---- cases -------------------------------------------------------------------------

void NameCases() {
  Names("names exact", {OLESTR("Flags")});
  Names("names any case", {OLESTR("fLAGS")});
  Names("names method lower case", {OLESTR("writes19")});
  Names("names unknown", {OLESTR("NoSuchMember")});
  Names("names empty", {OLESTR("")});
  Names("names with parameter", {OLESTR("ColorBalance"), OLESTR("index")});
  Names("names with path parameter", {OLESTR("ReadS19"), OLESTR("PATH")});
  Names("names with unknown parameter", {OLESTR("WriteS19"), OLESTR("file")});
  Names("names unknown member with parameter", {OLESTR("Nope"), OLESTR("index")});
}

void GetCases() {
  for (const OLECHAR* member : {OLESTR("Flags"), OLESTR("Version"), OLESTR("FontColor"), OLESTR("FuelDiv"),
                                OLESTR("TimeZoneOffset"), OLESTR("AircoreTestRange")}) {
    Run("get " + Narrow(member), Get(member), {});
  }
  for (const OLECHAR* member : {OLESTR("Flags"), OLESTR("Aircore"), OLESTR("VIN")}) {
    Run("get " + Narrow(member) + " as scripts call", ScriptGet(member), {});
  }
  // Indexes of every kind, and outside the ranges.
  const OLECHAR* const x = OLESTR("ElementX");
  const OLECHAR* const y = OLESTR("ElementY");
  const OLECHAR* const balance = OLESTR("ColorBalance");
  const std::pair<const OLECHAR*, VARIANT> indexed[] = {
      {OLESTR("ElementAlignment"), I4(3)}, {x, Str(OLESTR("2"))}, {x, R8(2.5)}, {x, I2(4)}, {balance, I4(1)},
      {balance, I4(3)}, {balance, I4(-1)}, {x, I4(5)}, {y, I4(-1)}, {y, Bool(true)}, {balance, Missing()},
      {y, Null()}, {y, Str(OLESTR("WIN_FUEL"))}};
  for (const auto& [member, index] : indexed) {
    Run("get " + Narrow(member) + "(" + Value(index) + ")", ScriptGet(member), {index});
  }
  Run("get Flags as method only", Method(OLESTR("Flags")), {});
  Run("get Flags without result", {IdOf(OLESTR("Flags")), DISPATCH_PROPERTYGET, Named::kNone, false}, {});
  Run("get with an argument too many", Get(OLESTR("Flags")), {I4(1)});
  Run("get indexed without its index", ScriptGet(balance), {});
  Run("get indexed with two indexes", ScriptGet(balance), {I4(1), I4(1)});
  Run("get with a named argument", {IdOf(balance), DISPATCH_PROPERTYGET, Named::kZero}, {I4(1)});
  Run("get of an unknown id", {99, DISPATCH_PROPERTYGET}, {});
  Run("get of id 0", {0, DISPATCH_METHOD | DISPATCH_PROPERTYGET}, {});
  Run("get with another interface id", {IdOf(OLESTR("Flags")), DISPATCH_PROPERTYGET, Named::kNone, true, true,
                                         &IID_IDispatch}, {});
  Run("put of a read-only property", Put(OLESTR("Version")), {I4(1)});
  Run("method called as a property", Get(OLESTR("WriteS19")), {Str(OLESTR("x.S19"))});
  Run("ElementAlignment(5) put", Put(OLESTR("ElementAlignment")), {I4(5), I4(1)});
  Run("ColorBalance(3) put without exception info",
      {IdOf(balance), DISPATCH_PROPERTYPUT, Named::kPropertyPut, false, false}, {I4(3), I4(1)});
  Run("ColorBalance(x) put", Put(balance), {Str(OLESTR("x")), I4(1)});
  Run("ColorBalance(1) put x", Put(balance), {I4(1), Str(OLESTR("x"))});
}

void PutCases() {
  for (const OLECHAR* text : {OLESTR("12"), OLESTR("  13 \t"), OLESTR("2.5"), OLESTR("3.5"), OLESTR("-2.5"),
                              OLESTR("1e3"), OLESTR("&H1F"), OLESTR("&HFFFFFFFF"), OLESTR("&H100000000"),
                              OLESTR("&O17"), OLESTR("1,000"), OLESTR("+7"), OLESTR(".5"), OLESTR("12abc"),
                              OLESTR("abc"), OLESTR(""), OLESTR("True"), OLESTR("2147483648"), OLESTR("0x10")}) {
    PutGet(OLESTR("Flags"), {Str(text)});
  }
  for (double number : {2.5, 3.5, -0.5, 2147483647.5, -2147483648.5, 1e10}) PutGet(OLESTR("Flags"), {R8(number)});
  VARIANT object = Make(VT_DISPATCH);
  object.pdispVal = g_object;
  g_object->AddRef();
  for (VARIANT v : {I4(65541), Bool(true), Bool(false), Empty(), Null(), Missing(), I8(5), UI4(4294967295u), object}) {
    PutGet(OLESTR("Flags"), {v});
  }
  VARIANT variables[] = {Str(OLESTR("21")), I4(22), Empty()};
  for (VARIANT& variable : variables) {
    PutGet(OLESTR("Flags"), {RefVar(&variable)});
    VariantClear(&variable);
  }
  LONG number = 23;
  BSTR text = SysAllocString(OLESTR("24"));
  for (VARIANT reference : {RefI4(&number), RefStr(&text)}) PutGet(OLESTR("Flags"), {reference});
  SysFreeString(text);

  const OLECHAR* const fuelDiv = OLESTR("FuelDiv");
  const OLECHAR* const fontColor = OLESTR("FontColor");
  const OLECHAR* const vin = OLESTR("VIN");
  const std::pair<const OLECHAR*, std::vector<VARIANT>> puts[] = {
      {fuelDiv, {I4(300)}}, {fuelDiv, {I4(40000)}}, {fuelDiv, {Str(OLESTR("-32768"))}}, {fuelDiv, {R8(32767.5)}},
      {fuelDiv, {Str(OLESTR("&HFFFF"))}}, {fontColor, {I4(-1)}}, {fontColor, {Str(OLESTR("&HFF"))}},
      {fontColor, {R8(4294967295.0)}}, {fontColor, {Str(OLESTR("4294967296"))}}, {fontColor, {Str(OLESTR("-1"))}},
      {OLESTR("IceWarning"), {I4(200)}}, {OLESTR("BrightnessDay"), {I4(20)}}, {vin, {I4(123)}}, {vin, {Bool(true)}},
      {vin, {R8(1.5)}}, {vin, {R8(0.1)}}, {vin, {Empty()}}, {vin, {Null()}}, {vin, {Str(OLESTR("ABCDEFGHIJ"))}},
      {vin, {Str(OLESTR("1G \u00C4\u20AC\u0416  \u00E9 X"))}},
      {OLESTR("ColorBalance"), {I4(1), Str(OLESTR("-3"))}}, {OLESTR("ColorBalance"), {Str(OLESTR("2")), I4(200)}},
      {OLESTR("ElementAlignment"), {I4(3), I4(7)}}, {OLESTR("ElementY"), {I4(4), Str(OLESTR("300"))}}};
  for (const auto& [member, args] : puts) PutGet(member, args);

  const DISPID flags = IdOf(OLESTR("Flags"));
  Run("put without the property-put name", {flags, DISPATCH_PROPERTYPUT, Named::kNone, false}, {I4(1)});
  Run("put with another named argument", {flags, DISPATCH_PROPERTYPUT, Named::kZero, false}, {I4(1)});
  Run("put with two values", Put(OLESTR("Flags")), {I4(1), I4(2)});
  Run("put indexed without its index", Put(OLESTR("ColorBalance")), {I4(1)});
  Run("put by reference", {flags, DISPATCH_PROPERTYPUTREF, Named::kPropertyPut, false}, {I4(1)});
  Run("put as scripts call a method", {flags, DISPATCH_METHOD, Named::kNone, false}, {I4(1)});
  Run("put of a method", Put(OLESTR("WriteS19")), {Str(OLESTR("x.S19"))});
}

void MethodCases() {
  const OLECHAR* const write = OLESTR("WriteS19");
  Run("WriteS19 into a missing folder", Method(write), {Str(OLESTR("no-such-folder/a.S19"))});
  Run("WriteS19 of an empty path", Method(write), {Empty()});
  Run("WriteS19 of null", Method(write), {Null()});
  Run("WriteS19 without its path", Method(write), {});
  Run("WriteS19 with two paths", Method(write), {Str(OLESTR("a.S19")), Str(OLESTR("b.S19"))});
  Run("WriteS19 as scripts call", ScriptGet(write), {Str(OLESTR("no-such-folder/a.S19"))});
  Run("WriteS19 without exception info", {IdOf(write), DISPATCH_METHOD, Named::kNone, false, false},
      {Str(OLESTR("no-such-folder/b.S19"))});
  Run("Flags before writing", Put(OLESTR("Flags")), {I4(24)});
  Run("WriteS19 of a file", Method(write), {Str(OLESTR("written.S19"))});
  Run("Flags changed before reading", Put(OLESTR("Flags")), {I4(3)});
  Run("ReadS19 of that file", Method(OLESTR("ReadS19")), {Str(OLESTR("written.S19"))});
  Run("Flags after reading", Get(OLESTR("Flags")), {});
  Run("ReadS19 of a missing file", Method(OLESTR("ReadS19")), {Str(OLESTR("missing.S19"))});
  Run("ReadS19 of 5", Method(OLESTR("ReadS19")), {I4(5)});
}

// Name and documentation string, as get(&name, &doc) gives them.
template <class Get>
std::string Doc(Get get) {
  BSTR name = nullptr, doc = nullptr;
  const HRESULT hr = get(&name, &doc);
  const std::string text = Hex(hr) + " " + Text(name) + " " + Text(doc);
  SysFreeString(name);
  SysFreeString(doc);
  return text;
}

std::string Doc(ITypeInfo* info, MEMBERID id) {
  return Doc([&](BSTR* name, BSTR* doc) { return info->GetDocumentation(id, name, doc, nullptr, nullptr); });
}

// A parameter's or result's type; a type it refers to by name.
std::string TypeText(ITypeInfo* info, const TYPEDESC& t) {
  std::string out = std::to_string(t.vt);
  if (t.vt == VT_PTR && t.lptdesc != nullptr) out += ">" + TypeText(info, *t.lptdesc);
  ITypeInfo* other = nullptr;
  if (t.vt == VT_USERDEFINED && SUCCEEDED(info->GetRefTypeInfo(t.hreftype, &other))) {
    out += "=" + Doc(other, MEMBERID_NIL);
    other->Release();
  }
  return out;
}

// The constants of an enumeration, one past them, and one found by name.
void EnumCases(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  const UINT count = attr->cVars;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i <= count; ++i) {
    VARDESC* vd = nullptr;
    std::string line = "  constant " + std::to_string(i) + ": " + Hex(info->GetVarDesc(i, &vd));
    if (vd != nullptr) {
      line += " id=" + std::to_string(static_cast<long long>(vd->memid)) + " kind=" + std::to_string(vd->varkind) +
              " " + Doc(info, vd->memid) + " = " + (vd->lpvarValue ? Value(*vd->lpvarValue) : "?");
      info->ReleaseVarDesc(vd);
    }
    Line(line);
  }
  LPOLESTR lookup[] = {const_cast<LPOLESTR>(OLESTR("win_fuel"))};
  MEMBERID id = 0;
  const HRESULT hr = info->GetIDsOfNames(lookup, 1, &id);
  Line("  GetIDsOfNames(win_fuel): " + Hex(hr) + " " + std::to_string(static_cast<long long>(id)));
}

void TypeCases() {
  UINT count = 0;
  HRESULT hr = g_object->GetTypeInfoCount(&count);
  Line("GetTypeInfoCount: " + Hex(hr) + " " + std::to_string(count));
  ITypeInfo* info = nullptr;
  hr = g_object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
  Line("GetTypeInfo: " + Hex(hr));
  if (info == nullptr) return;
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(info->GetTypeAttr(&attr))) {
    std::printf("type: %s kind=%d funcs=%u vars=%u impl=%u flags=%04X vft=%u version=%u.%u\n", Guid(attr->guid).c_str(),
                attr->typekind, attr->cFuncs, attr->cVars, attr->cImplTypes, attr->wTypeFlags, attr->cbSizeVft,
                attr->wMajorVerNum, attr->wMinorVerNum);
    // The members a script sees, in their order. The seven inherited
    // IUnknown and IDispatch members of a dual interface are left out: the
    // system describes them first, as restricted members; Wine counts them
    // but cannot describe them.
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(info->GetFuncDesc(i, &f))) continue;
      if (f->wFuncFlags & FUNCFLAG_FRESTRICTED) {
        info->ReleaseFuncDesc(f);
        continue;
      }
      BSTR names[4] = {};
      UINT got = 0;
      info->GetNames(f->memid, names, 4, &got);
      std::string line = "func: id=" + std::to_string(static_cast<long long>(f->memid)) +
                         " invkind=" + std::to_string(f->invkind) + " funckind=" + std::to_string(f->funckind) +
                         " params=" + std::to_string(f->cParams) + "/" + std::to_string(f->cParamsOpt) +
                         " vft=" + std::to_string(f->oVft) + " returns " + TypeText(info, f->elemdescFunc.tdesc) +
                         " flags=" + std::to_string(f->wFuncFlags) + " (";
      for (SHORT p = 0; p < f->cParams; ++p) {
        line += (p ? ", " : "") + TypeText(info, f->lprgelemdescParam[p].tdesc) + "/" +
                std::to_string(f->lprgelemdescParam[p].paramdesc.wParamFlags);
      }
      line += ") names";
      for (UINT n = 0; n < got; ++n) {
        line += " " + Text(names[n]);
        SysFreeString(names[n]);
      }
      Line(line);
      info->ReleaseFuncDesc(f);
    }
    FUNCDESC* past = nullptr;
    Line("func one past the last: " + Hex(info->GetFuncDesc(attr->cFuncs, &past)));
    info->ReleaseTypeAttr(attr);
  }
  Line("type documentation: " + Doc(info, MEMBERID_NIL));
  Line("member documentation: " + Doc(info, 21));
  LPOLESTR lookup[] = {const_cast<LPOLESTR>(OLESTR("elementalignment"))};
  MEMBERID id = 0;
  hr = info->GetIDsOfNames(lookup, 1, &id);
  Line("type GetIDsOfNames: " + Hex(hr) + " " + std::to_string(static_cast<long long>(id)));
  ITypeLib* lib = nullptr;
  UINT index = 0;
  hr = info->GetContainingTypeLib(&lib, &index);
  Line("containing library: " + Hex(hr) + " index=" + std::to_string(index));
  info->Release();
  if (lib == nullptr) return;
  TLIBATTR* libAttr = nullptr;
  if (SUCCEEDED(lib->GetLibAttr(&libAttr))) {
    std::printf("library: %s lcid=%lu syskind=%d version=%u.%u flags=%u\n", Guid(libAttr->guid).c_str(),
                static_cast<unsigned long>(libAttr->lcid), libAttr->syskind, libAttr->wMajorVerNum,
                libAttr->wMinorVerNum, libAttr->wLibFlags);
    lib->ReleaseTLibAttr(libAttr);
  }
  // Every entry, the library itself (-1) first and one past the last.
  for (INT i = -1; i <= static_cast<INT>(lib->GetTypeInfoCount()); ++i) {
    TYPEKIND kind = TKIND_MAX;
    if (i >= 0) lib->GetTypeInfoType(static_cast<UINT>(i), &kind);
    Line("library entry " + std::to_string(i) + ": kind=" + std::to_string(kind) + " " +
         Doc([&](BSTR* name, BSTR* doc) { return lib->GetDocumentation(i, name, doc, nullptr, nullptr); }));
    ITypeInfo* entry = nullptr;
    if (kind == TKIND_ENUM && SUCCEEDED(lib->GetTypeInfo(static_cast<UINT>(i), &entry))) {
      EnumCases(entry);
      entry->Release();
    }
  }
  lib->Release();
}

// The value a conversion gives, or its failure.
std::string Converted(VARIANT& source, VARTYPE vt, USHORT flags = 0) {
  VARIANT dest;
  VariantInit(&dest);
  const HRESULT hr = VariantChangeType(&dest, &source, flags, vt);
  const std::string text = SUCCEEDED(hr) ? Value(dest) : Hex(hr);
  VariantClear(&dest);
  return text;
}

// Conversions a script's arguments go through, without the object.
void ConversionCases() {
  const OLECHAR* texts[] = {
      OLESTR("12"), OLESTR(" 12 "), OLESTR(" -12\t"), OLESTR("-0"), OLESTR("2.5"), OLESTR("-3.5"), OLESTR("4.5"),
      OLESTR("1e3"), OLESTR("1E-1"), OLESTR("1.5e1"), OLESTR("&H7FFF"), OLESTR("&h8000"), OLESTR("&HFFFF"),
      OLESTR("&H10000"), OLESTR("&O777"), OLESTR("&o17"), OLESTR("1,000"), OLESTR("1.000,5"), OLESTR("$5"),
      OLESTR("(5)"), OLESTR("5-"), OLESTR("+5"), OLESTR(" ( 7 ) "), OLESTR("1,2,3"), OLESTR("5$"), OLESTR("12abc"),
      OLESTR(""), OLESTR(" "), OLESTR("True"), OLESTR("false"), OLESTR("#TRUE#"), OLESTR("0x10"), OLESTR("1e400"),
      OLESTR("-1e-400"), OLESTR("32768"), OLESTR("-1"), OLESTR("2147483647"), OLESTR("-2147483648"),
      OLESTR("-2147483648.4"), OLESTR("4294967295"), OLESTR("4294967296"), OLESTR("\u0661\u0662"), OLESTR(" True "),
      OLESTR("#true#"), OLESTR("-&H10"), OLESTR("5--"), OLESTR("--5"), OLESTR("-5-"), OLESTR("(-5)"), OLESTR("(5"),
      OLESTR("5)"), OLESTR("1e5+"), OLESTR("1,,0"), OLESTR(",5"), OLESTR("$1,234.50"), OLESTR("$1e3"), OLESTR("1.5$"),
      OLESTR("1e+2"), OLESTR("1e+"), OLESTR("1e"), OLESTR("1e2.5"), OLESTR("&H-1"), OLESTR("&HG"), OLESTR("1 000"),
      OLESTR(".5e1"), OLESTR("-.5"), OLESTR("-0.4"), OLESTR("-0.6"), OLESTR("0.5"), OLESTR("."), OLESTR("inf"),
      OLESTR("000"), OLESTR("&H"), OLESTR("&O8"), OLESTR("&HFFFFFFFFFFFFFFFF"), OLESTR("9999999999"),
      OLESTR("18446744073709551621"), OLESTR("2.50000000000000000001"), OLESTR("1e-5")};
  const VARTYPE targets[] = {VT_I2, VT_I4, VT_UI4, VT_INT, VT_UI1, VT_R8, VT_BOOL};
  for (const OLECHAR* t : texts) {
    VARIANT source = Str(t);
    std::string line = "text " + Text(source.bstrVal) + ":";
    for (VARTYPE vt : targets) line += " " + Converted(source, vt);
    VariantClear(&source);
    Line(line);
  }
  VARIANT single = Make(VT_R4);
  single.fltVal = 0.1f;
  VARIANT sources[] = {R8(0.5), R8(1.5), R8(-1.5), R8(32767.5), R8(-32768.5), R8(2147483647.4), R8(4294967295.5),
                       R8(1e300), R8(0.1), R8(0.25), R8(1.0 / 3), R8(1e15), R8(1e20), R8(123456789012345680.0),
                       R8(-0.0), R8(1e-5), R8(-1.5e300), single, Bool(true), Bool(false), I4(-1), I4(-42), I4(65536),
                       I2(-1), UI4(2147483648u), I8(-2147483649LL), Empty(), Null()};
  const VARTYPE numberTargets[] = {VT_I2, VT_I4, VT_UI4, VT_INT, VT_UI1, VT_BOOL, VT_BSTR};
  int n = 0;
  for (VARIANT& s : sources) {
    std::string line = "value " + std::to_string(n++) + " " + Value(s) + ":";
    for (VARTYPE vt : numberTargets) line += " " + Converted(s, vt);
    Line(line + " alpha " + Converted(s, VT_BSTR, VARIANT_ALPHABOOL));
  }
  // By-reference sources, as a script's variables arrive, and conversions
  // in place.
  VARIANT inner = Str(OLESTR("41"));
  VARIANT ref = RefVar(&inner);
  Line("byref variant text to long and to text: " + Converted(ref, VT_I4) + " " + Converted(ref, VT_BSTR));
  VariantClear(&inner);
  LONG number = 42;
  VARIANT refNumber = RefI4(&number);
  Line("byref long to long: " + Converted(refNumber, VT_I4));
  HRESULT hr = VariantChangeType(&refNumber, &refNumber, 0, VT_BSTR);
  Line("byref long to text in place: " + Hex(hr) + " " + Value(refNumber));
  VariantClear(&refNumber);
  VARIANT text = Str(OLESTR("123"));
  hr = VariantChangeType(&text, &text, 0, VT_I2);  // the string is freed
  Line("text to short in place: " + Hex(hr) + " " + Value(text));
}

void StringCases() {
  const OLECHAR withNul[] = {'a', 0, 'b'};
  const auto show = [](const char* what, BSTR s, bool contents) {
    std::string line = std::string(what) + ": ";
    if (s == nullptr) {
      line += "null";
    } else {
      line += "len=" + std::to_string(SysStringLen(s)) +
              " end=" + std::to_string(s[SysStringLen(s)]) + (contents ? " " + Text(s) : "");
    }
    SysFreeString(s);
    Line(line);
  };
  show("SysAllocStringLen(null, 3)", SysAllocStringLen(nullptr, 3), false);
  show("SysAllocStringLen(a NUL b, 3)", SysAllocStringLen(withNul, 3), true);
  show("SysAllocString(empty)", SysAllocString(OLESTR("")), true);
  show("SysAllocString(null)", SysAllocString(nullptr), true);
  show("SysAllocStringLen(null, 0x7FFFFFFF)", SysAllocStringLen(nullptr, 0x7FFFFFFF), false);
  show("SysAllocStringLen(null, 0xFFFFFFFF)", SysAllocStringLen(nullptr, 0xFFFFFFFFu), false);
  Line("SysStringLen(null): " + std::to_string(SysStringLen(nullptr)));
}

// Thread error information: one slot, replaced by the next one set and
// emptied by the one who takes it.
void ErrorInfoCases() {
  SetErrorInfo(0, nullptr);
  Line("GetErrorInfo of an empty slot: " + TakeErrorInfo(false));
  for (const OLECHAR* text : {OLESTR("first"), OLESTR("second")}) {
    ICreateErrorInfo* create = nullptr;
    IErrorInfo* made = nullptr;
    HRESULT hr = CreateErrorInfo(&create);
    if (create != nullptr) {
      create->SetDescription(const_cast<LPOLESTR>(text));
      create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&made));
      create->Release();
    }
    if (SUCCEEDED(hr)) hr = SetErrorInfo(0, made);
    if (made != nullptr) made->Release();
    Line("CreateErrorInfo and SetErrorInfo: " + Hex(hr));
  }
  Line("GetErrorInfo: " + TakeErrorInfo(false));
  Line("GetErrorInfo once more: " + TakeErrorInfo(false));
}

// Finding and creating the class by its names.
void ActivationCases(REFCLSID clsid) {
  for (const OLECHAR* name : {OLESTR("Quillon.Preferences.1"), OLESTR("quillon.preferences.1"),
                              OLESTR("Quillon.NoSuchClass")}) {
    CLSID found = IID_IDispatch;
    const HRESULT hr = CLSIDFromProgID(name, &found);
    Line("CLSIDFromProgID(" + Narrow(name) + "): " + Hex(hr) + " " + Guid(found));
  }
  LPOLESTR progId = nullptr;
  const HRESULT hr = ProgIDFromCLSID(clsid, &progId);
  Line("ProgIDFromCLSID: " + Hex(hr) + " " + (progId == nullptr ? "null" : Narrow(progId)));
  CoTaskMemFree(progId);
  OLECHAR text[39] = {};
  Line("StringFromGUID2 into 38 and 39 characters: " + std::to_string(StringFromGUID2(clsid, text, 38)) + " " +
       std::to_string(StringFromGUID2(clsid, text, 39)));
  const auto create = [](const char* what, REFCLSID cls, REFIID iid) {
    IUnknown* object = nullptr;
    const HRESULT hr = CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object));
    Line(std::string("CoCreateInstance ") + what + ": " + Hex(hr) + (object ? " object" : " null"));
    if (object != nullptr) object->Release();
  };
  create("for an interface it lacks", clsid, IID_ITypeLib);
  create("of an unregistered class", IID_ITypeLib, IID_IUnknown);
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Line("== conversions");
  ConversionCases();
  Line("== strings");
  StringCases();
  Line("== object");
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(OLESTR("Quillon.Preferences"), &clsid);
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&g_object));
  }
  Line("create Quillon.Preferences: " + Hex(hr));
  if (g_object == nullptr) return 1;
  ActivationCases(clsid);
  ErrorInfoCases();
  NameCases();
  GetCases();
  PutCases();
  MethodCases();
  Line("== type information");
  TypeCases();
  g_object->Release();
  CoUninitialize();
  return 0;
}

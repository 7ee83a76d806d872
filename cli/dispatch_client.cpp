#include "dispatch_client.h"

#include <objbase.h>
#include <oleauto.h>

#include "property_text.h"
#include "ole_text.h"

namespace quillon::cli {
namespace {

std::string FromBstr(BSTR s) { return s ? ToBytes(OleStringView(s, SysStringLen(s))) : std::string(); }

// The constants of an enumeration, in its order.
HRESULT EnumConstants(ITypeInfo* info, std::vector<Constant>& out) {
  TYPEATTR* attr = nullptr;
  if (HRESULT hr = info->GetTypeAttr(&attr); FAILED(hr)) return hr;
  const WORD count = attr->cVars;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    VARDESC* vd = nullptr;
    if (HRESULT hr = info->GetVarDesc(i, &vd); FAILED(hr)) return hr;
    VARIANT value;
    VariantInit(&value);
    const bool constant = vd->varkind == VAR_CONST && SUCCEEDED(VariantChangeType(&value, vd->lpvarValue, 0, VT_I4));
    const MEMBERID memid = vd->memid;
    info->ReleaseVarDesc(vd);
    BSTR name = nullptr;
    if (constant && SUCCEEDED(info->GetDocumentation(memid, &name, nullptr, nullptr, nullptr))) {
      out.push_back({FromBstr(name), value.lVal});
    }
    SysFreeString(name);
  }
  return S_OK;
}

// The enumeration a parameter's type names (through an alias), if any.
void IndexEnumeration(ITypeInfo* info, const TYPEDESC& type, std::vector<Constant>& out) {
  if (type.vt != VT_USERDEFINED) return;
  ComPtr<ITypeInfo> named;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetRefTypeInfo(type.hreftype, named.GetAddressOf())) || FAILED(named->GetTypeAttr(&attr))) return;
  const TYPEKIND kind = attr->typekind;
  const TYPEDESC aliased = attr->tdescAlias;
  named->ReleaseTypeAttr(attr);
  if (kind == TKIND_ALIAS) {
    IndexEnumeration(named.Get(), aliased, out);
  } else if (kind == TKIND_ENUM) {
    EnumConstants(named.Get(), out);
  }
}

}  // namespace

VARIANT DispatchClient::TextArgument(const std::string& text) const {
  VARIANT v;
  VariantInit(&v);
  if (auto constant = FindConstant(constants_, text)) {
    v.vt = VT_I4;
    v.lVal = static_cast<LONG>(*constant);
    return v;
  }
  const OleString wide = ToOle(text);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return v;
}

std::optional<DispatchClient> DispatchClient::Create(const OleString& progId, Failure& failure) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(hr)) {
    failure = {hr == REGDB_E_READREGDB ? "cannot read the registry" : "the component is not registered (run 'quillon register')",
               "", hr};
    return std::nullopt;
  }
  ComPtr<IDispatch> object;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(object.GetAddressOf()));
  if (FAILED(hr)) {
    failure = {"cannot create " + ToBytes(progId), "", hr};
    return std::nullopt;
  }
  ComPtr<ITypeInfo> info;
  ComPtr<ITypeLib> lib;
  std::vector<Constant> constants;
  hr = object->GetTypeInfo(0, 0, info.GetAddressOf());
  if (SUCCEEDED(hr)) hr = info->GetContainingTypeLib(lib.GetAddressOf(), nullptr);
  for (UINT i = 0; SUCCEEDED(hr) && i < lib->GetTypeInfoCount(); ++i) {
    TYPEKIND kind;
    ComPtr<ITypeInfo> type;
    if (SUCCEEDED(lib->GetTypeInfoType(i, &kind)) && kind == TKIND_ENUM &&
        SUCCEEDED(hr = lib->GetTypeInfo(i, type.GetAddressOf()))) {
      hr = EnumConstants(type.Get(), constants);
    }
  }
  if (FAILED(hr)) {
    failure = {"cannot read the component's type description", "", hr};
    return std::nullopt;
  }
  return DispatchClient(std::move(object), std::move(constants));
}

bool DispatchClient::IdOf(const std::string& name, DISPID& id, Failure& failure) {
  OleString wide = ToOle(name);
  LPOLESTR names[] = {wide.data()};
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) {
    failure = {"no property or method named '" + name + "'", "", hr};
    return false;
  }
  return true;
}

// Arguments go in the order the caller writes them and are handed over in
// reverse, as the dispatch protocol wants. They are cleared afterwards.
bool DispatchClient::Invoke(const std::string& what, DISPID id, WORD flags, std::vector<VARIANT>& args,
                            VARIANT* result, Failure& failure) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID named = DISPID_PROPERTYPUT;
  const bool put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()), put ? 1u : 0u};
  EXCEPINFO excep{};
  UINT argErr = 0;
  const HRESULT hr = object_->Invoke(id, IID_NULL, 0, flags, &params, result, &excep, &argErr);
  for (VARIANT& v : args) VariantClear(&v);
  if (SUCCEEDED(hr)) return true;
  failure.what = what;
  failure.status = hr;
  if (hr == DISP_E_EXCEPTION) {
    if (excep.scode != 0) failure.status = excep.scode;
    failure.description = FromBstr(excep.bstrDescription);
  }
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
  return false;
}

bool DispatchClient::Get(const std::string& name, const std::optional<std::string>& index, VARIANT& result,
                         Failure& failure) {
  DISPID id;
  if (!IdOf(name, id, failure)) return false;
  std::vector<VARIANT> args;
  if (index) args.push_back(TextArgument(*index));
  VariantInit(&result);
  const std::string what = "cannot get " + name + (index ? "(" + *index + ")" : "");
  // A property only: a get must never run a method (WriteS19 would write).
  return Invoke(what, id, DISPATCH_PROPERTYGET, args, &result, failure);
}

bool DispatchClient::Put(const std::string& name, const std::optional<std::string>& index, const std::string& value,
                         Failure& failure) {
  DISPID id;
  if (!IdOf(name, id, failure)) return false;
  std::vector<VARIANT> args;
  if (index) args.push_back(TextArgument(*index));
  args.push_back(TextArgument(value));
  const std::string what = "cannot set " + name + (index ? "(" + *index + ")" : "") + " to '" + value + "'";
  return Invoke(what, id, DISPATCH_PROPERTYPUT, args, nullptr, failure);
}

bool DispatchClient::CallMethod(const std::string& name, const std::string& argument, Failure& failure) {
  DISPID id;
  if (!IdOf(name, id, failure)) return false;
  std::vector<VARIANT> args;
  const OleString wide = ToOle(argument);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;  // a path stays text, even one that looks like a constant
  v.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  args.push_back(v);
  const char* verb = name == "WriteS19" ? "cannot write " : name == "ReadS19" ? "cannot read " : "failed: ";
  return Invoke(verb + argument, id, DISPATCH_METHOD, args, nullptr, failure);
}

bool DispatchClient::Properties(std::vector<PropertyInfo>& out, Failure& failure) {
  ComPtr<ITypeInfo> info;
  HRESULT hr = object_->GetTypeInfo(0, 0, info.GetAddressOf());
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(hr)) hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) {
    failure = {"cannot read the component's type description", "", hr};
    return false;
  }
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(i, &fd))) continue;
    if (fd->invkind == INVOKE_PROPERTYGET) {
      BSTR name = nullptr;
      UINT got = 0;
      if (SUCCEEDED(info->GetNames(fd->memid, &name, 1, &got)) && got == 1) {
        // The dispatch view: the [retval] is the result, so an index is
        // the one parameter left.
        PropertyInfo p{FromBstr(name), fd->cParams > 0, VT_EMPTY, {}};
        if (p.indexed) {
          p.indexType = fd->lprgelemdescParam[0].tdesc.vt;
          IndexEnumeration(info.Get(), fd->lprgelemdescParam[0].tdesc, p.indexValues);
        }
        out.push_back(std::move(p));
      }
      SysFreeString(name);
    }
    info->ReleaseFuncDesc(fd);
  }
  return true;
}

std::string FormatValue(const VARIANT& value) {
  switch (value.vt) {
    case VT_I2: return std::to_string(value.iVal);
    case VT_I4: return std::to_string(value.lVal);
    case VT_INT: return std::to_string(value.intVal);
    case VT_UI4: return std::to_string(value.ulVal);
    case VT_BSTR: return FromBstr(value.bstrVal);
    case VT_EMPTY: return "";
    default: {
      VARIANT text;
      VariantInit(&text);
      std::string out = "?";
      VARIANT source = value;  // a view: some platforms' VariantChangeType takes no const source
      if (SUCCEEDED(VariantChangeType(&text, &source, 0, VT_BSTR))) out = FromBstr(text.bstrVal);
      VariantClear(&text);
      return out;
    }
  }
}

}  // namespace quillon::cli

#include "dispatch_client.h"

#include <objbase.h>
#include <oleauto.h>

#include "property_text.h"
#include "quillon_text.h"

namespace quillon::cli {
namespace {

VARIANT TextArgument(const std::string& text) {
  VARIANT v;
  VariantInit(&v);
  if (auto constant = EnumConstant(text)) {
    v.vt = VT_I4;
    v.lVal = static_cast<LONG>(*constant);
    return v;
  }
  const std::u16string wide = Utf8ToUtf16(text);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return v;
}

std::string FromBstr(BSTR s) { return s ? Utf16ToUtf8(std::u16string_view(s, SysStringLen(s))) : std::string(); }

}  // namespace

std::optional<DispatchClient> DispatchClient::Create(const std::u16string& progId, Failure& failure) {
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
    failure = {"cannot create " + Utf16ToUtf8(progId), "", hr};
    return std::nullopt;
  }
  return DispatchClient(std::move(object));
}

bool DispatchClient::IdOf(const std::string& name, DISPID& id, Failure& failure) {
  std::u16string wide = Utf8ToUtf16(name);
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
  const std::u16string wide = Utf8ToUtf16(argument);
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
        PropertyInfo p{FromBstr(name), fd->cParams > 1, VT_EMPTY};
        if (p.indexed) p.indexType = fd->lprgelemdescParam[0].tdesc.vt;
        out.push_back(p);
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
      if (SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR))) out = FromBstr(text.bstrVal);
      VariantClear(&text);
      return out;
    }
  }
}

}  // namespace quillon::cli

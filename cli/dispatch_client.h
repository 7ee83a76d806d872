// A script-style client of the component: it creates the object by ProgID
// and reaches every member by name through IDispatch, never through the
// table of operations.
#pragma once

#include <windows.h>
#include <comptr.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// What failed, the component's description when it gave one, and the status.
struct Failure {
  std::string what;
  std::string description;
  HRESULT status = S_OK;
};

// One readable property in interface order.
struct PropertyInfo {
  std::string name;
  bool indexed = false;
  VARTYPE indexType = VT_EMPTY;  // VT_INT for a plain index, VT_I4 for a window
};

class DispatchClient {
 public:
  // Creates the object registered under `progId`.
  static std::optional<DispatchClient> Create(const std::u16string& progId, Failure& failure);

  // Property get; `index` is the text the user wrote (an enumeration
  // constant name becomes its number, anything else is coerced).
  bool Get(const std::string& name, const std::optional<std::string>& index, VARIANT& result, Failure& failure);
  bool Put(const std::string& name, const std::optional<std::string>& index, const std::string& value,
           Failure& failure);
  bool CallMethod(const std::string& name, const std::string& argument, Failure& failure);

  // The readable properties, in the order of the interface.
  bool Properties(std::vector<PropertyInfo>& out, Failure& failure);

 private:
  explicit DispatchClient(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  bool IdOf(const std::string& name, DISPID& id, Failure& failure);
  bool Invoke(const std::string& what, DISPID id, WORD flags, std::vector<VARIANT>& args, VARIANT* result,
              Failure& failure);

  ComPtr<IDispatch> object_;
};

// A value as the user sees it: numbers in decimal (unsigned for VT_UI4),
// text as it stands.
std::string FormatValue(const VARIANT& value);

}  // namespace quillon::cli

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

#include "ole_text.h"
#include "property_text.h"

namespace quillon::cli {

// What failed, the component's description when it gave one, and the status.
struct Failure {
  std::string what;
  std::string description;
  HRESULT status = S_OK;
};

// One readable property in interface order, as the type information
// describes it.
struct PropertyInfo {
  std::string name;
  bool indexed = false;
  VARTYPE indexType = VT_EMPTY;       // the index as declared: VT_INT, or VT_USERDEFINED for an enumeration
  std::vector<Constant> indexValues;  // that enumeration's constants, in order
};

class DispatchClient {
 public:
  // Creates the object registered under `progId` and reads the constants
  // of its type library's enumerations.
  static std::optional<DispatchClient> Create(const OleString& progId, Failure& failure);

  // Property get; `index` is the text the user wrote (an enumeration
  // constant's name becomes its value, anything else is coerced).
  bool Get(const std::string& name, const std::optional<std::string>& index, VARIANT& result, Failure& failure);
  bool Put(const std::string& name, const std::optional<std::string>& index, const std::string& value,
           Failure& failure);
  bool CallMethod(const std::string& name, const std::string& argument, Failure& failure);

  // The readable properties, in the order of the interface.
  bool Properties(std::vector<PropertyInfo>& out, Failure& failure);

 private:
  DispatchClient(ComPtr<IDispatch> object, std::vector<Constant> constants)
      : object_(std::move(object)), constants_(std::move(constants)) {}
  bool IdOf(const std::string& name, DISPID& id, Failure& failure);
  bool Invoke(const std::string& what, DISPID id, WORD flags, std::vector<VARIANT>& args, VARIANT* result,
              Failure& failure);
  VARIANT TextArgument(const std::string& text) const;

  ComPtr<IDispatch> object_;
  std::vector<Constant> constants_;  // of every enumeration of the type library
};

// A value as the user sees it: numbers in decimal (unsigned for VT_UI4),
// text as it stands.
std::string FormatValue(const VARIANT& value);

}  // namespace quillon::cli

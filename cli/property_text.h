// Text forms the command-line client reads and prints: property references
// such as "ElementX(WIN_FUEL)", values, and JSON strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

struct PropertyRef {
  std::string name;
  std::optional<std::string> index;  // as written between the parentheses
};

// "Name" or "Name(index)"; nullopt when the text has no such form.
std::optional<PropertyRef> ParsePropertyRef(std::string_view text);

// "NAME=VALUE" split at the first "="; nullopt without one.
std::optional<std::pair<PropertyRef, std::string>> ParseAssignment(std::string_view text);

// An enumeration constant of the component (WIN_FUEL, FONT_CENTER, ...),
// as its type information names it, so scripts can write names instead of
// numbers.
struct Constant {
  std::string name;
  long value = 0;
};

// The value of the constant spelled exactly `name`.
std::optional<long> FindConstant(const std::vector<Constant>& constants, std::string_view name);

std::string JsonString(std::string_view utf8);

}  // namespace quillon::cli

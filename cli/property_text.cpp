#include "property_text.h"

#include <cctype>
#include <cstdio>

namespace quillon::cli {
namespace {

bool IsName(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

}  // namespace

std::optional<PropertyRef> ParsePropertyRef(std::string_view text) {
  const auto open = text.find('(');
  if (open == std::string_view::npos) {
    if (!IsName(text)) return std::nullopt;
    return PropertyRef{std::string(text), std::nullopt};
  }
  if (text.back() != ')' || !IsName(text.substr(0, open))) return std::nullopt;
  const std::string_view index = text.substr(open + 1, text.size() - open - 2);
  if (index.empty() || index.find_first_of("()") != std::string_view::npos) return std::nullopt;
  return PropertyRef{std::string(text.substr(0, open)), std::string(index)};
}

std::optional<std::pair<PropertyRef, std::string>> ParseAssignment(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  auto ref = ParsePropertyRef(text.substr(0, eq));
  if (!ref) return std::nullopt;
  return std::make_pair(*ref, std::string(text.substr(eq + 1)));
}

std::optional<long> FindConstant(const std::vector<Constant>& constants, std::string_view name) {
  for (const Constant& c : constants)
    if (name == c.name) return c.value;
  return std::nullopt;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

}  // namespace quillon::cli

#include "property_text.h"

#include <cctype>
#include <cstdio>

#include "quillon_text.h"

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
  auto escape = [&out](unsigned code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", code);
    out += buf;
  };
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // Control characters of the C1 range (U+0080..U+009F) would reach a
      // terminal as commands; a byte that is not UTF-8 travels as the lone
      // surrogate that stands for it in file names.
      std::size_t next = i;
      bool valid = true;
      const char32_t cp = DecodeUtf8(utf8, next, &valid);
      if (!valid) escape(kEscapedByteBase + c);
      else if (cp < 0xA0) escape(static_cast<unsigned>(cp));
      else out.append(utf8.substr(i, next - i));
      i = next - 1;
    }
  }
  return out + "\"";
}

}  // namespace quillon::cli

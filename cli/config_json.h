// Reading a configuration written as `quillon show --json` prints it: one
// object mapping property names to integers, strings, or arrays of them (an
// indexed property, in index order).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

struct ConfigValue {
  bool isText = false;
  std::string text;  // an integer in plain decimal ("-5"), or the string's UTF-8
};

struct ConfigEntry {
  std::string name;
  bool isArray = false;
  std::vector<ConfigValue> values;  // one for a plain property
  std::size_t line = 0;
};

// Entries in the order written. False with a message naming the line and
// column of the first thing that is not such an object (other JSON, a
// fraction, a name given twice, ...).
bool ParseConfig(std::string_view text, std::vector<ConfigEntry>* entries, std::string* error);

}  // namespace quillon::cli

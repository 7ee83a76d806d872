#include "vin.h"

namespace quillon {

std::string VinText(const std::uint8_t (&digits)[3]) {
  std::string text = kVinTemplate;
  for (int i = 0; i < 3; ++i) text[kVinPositions[i] - 1] = static_cast<char>(digits[i]);
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

void VinDigitsFromText(std::string_view text, std::uint8_t (&digits)[3]) {
  // A NUL inside the text ends it, as it would end a C string.
  text = text.substr(0, text.find('\0'));
  for (int i = 0; i < 3; ++i) {
    const std::size_t index = kVinPositions[i] - 1;
    digits[i] = index < text.size() ? static_cast<std::uint8_t>(text[index]) : static_cast<std::uint8_t>(' ');
  }
}

}  // namespace quillon

// The vehicle identification number as the component shows it.
//
// The record keeps only three characters of the 17: those at positions 4, 8
// and 10 (counted from 1). They travel inside a fixed frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr char kVinTemplate[] = "1G P   9 H 000001";
inline constexpr std::size_t kVinPositions[3] = {4, 8, 10};

// The frame with the three stored bytes put in, as single-byte text. A
// stored 0 ends the text there, as in a NUL-terminated string.
std::string VinText(const std::uint8_t (&digits)[3]);

// Takes the bytes at positions 4, 8 and 10 of single-byte text. A position
// past the end of the text stores a blank: nothing is read beyond the text.
void VinDigitsFromText(std::string_view text, std::uint8_t (&digits)[3]);

}  // namespace quillon

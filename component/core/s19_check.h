// The image check: what reading a configuration file does not say.
//
// Reading skips text that is not a record and leaves the image bytes that no
// data record covered at zero; it never compares the image's own check value
// (C0, C1 ahead of the image). Both are deliberate, and files and peers rely
// on them (a file holding only an end record reads as all zeros). But a data
// line damaged at its start ("R224..." for "S224...") is then skipped
// without a word, and its 32 bytes read as zeros. Whoever reads a file for a
// person runs this check over the same text and says what it found.
//
// Pure: text in, findings out, no files and no state.
#pragma once

#include <wtypes.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "preferences_record.h"

namespace quillon {

// Image byte offsets 0..76, both ends included.
struct ImageRange {
  std::size_t first;
  std::size_t last;
  bool operator==(const ImageRange&) const = default;
};

struct ImageCheck {
  // What reading the text gives: S_OK, or E_FAIL with the reason and the
  // line (counted from 1) where reading stopped.
  HRESULT readStatus = S_OK;
  std::string readProblem;
  std::size_t problemLine = 0;

  // Image bytes no data record covered; they read as zeros.
  std::vector<ImageRange> missing;
  // Data records at the three image addresses (0x1200, 0x1220, 0x1240).
  std::array<bool, 3> recordPresent{};

  // The stored check value (stream bytes 0 and 1, when a record covered
  // them) and the one computed over the image as read.
  bool checkValuePresent = false;
  std::array<std::uint8_t, 2> storedCheckValue{};
  std::array<std::uint8_t, 2> computedCheckValue{};

  unsigned repeatedRecords = 0;   // a later record for the same address won
  unsigned recordsPastImage = 0;  // dropped

  // The settings as read; all zeros when reading failed.
  PreferencesRecord record{};

  bool Complete() const { return readStatus == S_OK && missing.empty(); }
  bool CheckValueMatches() const { return checkValuePresent && storedCheckValue == computedCheckValue; }
};

// Checks the text of a configuration file.
ImageCheck CheckS19Text(std::string_view text);

// "bytes 30-61" or "byte 5", and ranges joined with ", ".
std::string DescribeRanges(const std::vector<ImageRange>& ranges);

}  // namespace quillon

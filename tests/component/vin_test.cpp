// The VIN frame as single-byte text.
#include <gtest/gtest.h>

#include "vin.h"

namespace quillon {
namespace {

TEST(Vin, TextCarriesTheThreeDigitsUpToAStoredZero) {
  const std::uint8_t digits[3] = {'F', 'G', 'Y'};
  EXPECT_EQ(VinText(digits), "1G F   G Y 000001");
  const std::uint8_t first[3] = {0, 'G', 'Y'}, second[3] = {'F', 0, 'Y'}, third[3] = {'F', 'G', 0};
  EXPECT_EQ(VinText(first), "1G ");
  EXPECT_EQ(VinText(second).size(), 7u);
  EXPECT_EQ(VinText(third), "1G F   G ");
}

TEST(Vin, DigitsComeFromPositionsFourEightTenAndMissingOnesAreBlanks) {
  std::uint8_t d[3] = {'x', 'x', 'x'};
  VinDigitsFromText("ABCDEFGHIJ", d);
  EXPECT_EQ(std::string(d, d + 3), "DHJ");
  // Put is the inverse of get while no digit is zero.
  const std::uint8_t any[3] = {0xE9, '#', 'z'};
  VinDigitsFromText(VinText(any), d);
  EXPECT_EQ(std::string(d, d + 3), std::string(any, any + 3));
  VinDigitsFromText("", d);
  EXPECT_EQ(std::string(d, d + 3), "   ");
  VinDigitsFromText("1G A   B ", d);  // ends just before position 10
  EXPECT_EQ(std::string(d, d + 3), "AB ");
  // A NUL inside the text ends it.
  VinDigitsFromText(std::string_view("1G A\0  B C", 10), d);
  EXPECT_EQ(std::string(d, d + 3), "A  ");
}

}  // namespace
}  // namespace quillon

// The device image: multi-byte fields most significant byte first, single
// bytes where they are; and the VIN's frame around its three stored digits.
// The default image is compared byte for byte through the file the writer
// makes of it, the VIN's digits from text through the object.
#include <gtest/gtest.h>

#include "preferences_record.h"
#include "vin.h"

namespace quillon {
namespace {

TEST(DeviceImage, MultiByteFieldsAreStoredMostSignificantFirst) {
  PreferencesRecord r = DefaultPreferences();
  r.SpeedUpdate = 0x1234;
  r.AircoreTestRange = 0xABCD;
  r.Aircore = 0x5678;  // zero by default, so the default file cannot tell
  r.Reserved34 = 0x34;  // single bytes side by side: never swapped as a pair
  r.Reserved35 = 0x35;
  r.Reserved60 = 0x60;
  r.Reserved61 = 0x61;
  const RecordBytes image = ToDeviceImage(r);
  EXPECT_EQ(image[12], 0x12);
  EXPECT_EQ(image[13], 0x34);
  EXPECT_EQ(image[56], 0xAB);
  EXPECT_EQ(image[57], 0xCD);
  EXPECT_EQ((std::array<int, 4>{image[52], image[53], image[34], image[35]}), (std::array<int, 4>{0x56, 0x78, 0x34, 0x35}));
  EXPECT_EQ((std::array<int, 2>{image[60], image[61]}), (std::array<int, 2>{0x60, 0x61}));
  EXPECT_EQ((std::array<int, 4>{image[22], image[23], image[24], image[25]}), (std::array<int, 4>{0, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ((std::array<int, 4>{image[46], image[47], image[48], image[49]}), (std::array<int, 4>{0, 1, 0x5F, 0x90}));
  EXPECT_EQ(RecordToBytes(FromDeviceImage(image)), RecordToBytes(r));
}

TEST(Vin, TextCarriesTheThreeDigitsUpToAStoredZero) {
  const std::uint8_t digits[3] = {'F', 'G', 'Y'};
  EXPECT_EQ(VinText(digits), "1G F   G Y 000001");
  const std::uint8_t first[3] = {0, 'G', 'Y'}, second[3] = {'F', 0, 'Y'}, third[3] = {'F', 'G', 0};
  EXPECT_EQ(VinText(first), "1G ");
  EXPECT_EQ(VinText(second).size(), 7u);
  EXPECT_EQ(VinText(third), "1G F   G ");
}

}  // namespace
}  // namespace quillon

// The field table's conversions and the check of stored values that the
// command-line client shares. Expected values are worked out by hand.
#include <gtest/gtest.h>

#include "fields.h"

namespace brindle::fields {
namespace {

const Field& Row(std::string_view control) {
  const Field* field = FindField(control);
  EXPECT_NE(field, nullptr) << control;
  return *field;
}

TEST(FieldsTest, WholeNumbersRoundHalvesToEvenAndKeepTheirWidth) {
  EXPECT_EQ(RoundToWidth(12.5, 32), 12);
  EXPECT_EQ(RoundToWidth(13.5, 32), 14);
  EXPECT_EQ(RoundToWidth(-2.5, 32), -2);
  EXPECT_EQ(RoundToWidth(32767.4, 16), 32767);
  EXPECT_EQ(RoundToWidth(32767.5, 16), std::nullopt);  // 32768
  EXPECT_EQ(RoundToWidth(-32768.5, 16), -32768);
  EXPECT_EQ(RoundToWidth(2147483648.0, 32), std::nullopt);
  EXPECT_EQ(RoundToWidth(-2147483648.0, 32), -2147483647 - 1);
  EXPECT_EQ(RoundToWidth(std::numeric_limits<double>::infinity(), 32), std::nullopt);
  EXPECT_EQ(RoundToWidth(std::numeric_limits<double>::quiet_NaN(), 32), std::nullopt);
}

TEST(FieldsTest, ScaledFieldsShowTheFormsUnitsAndStoreTheDevices) {
  // Seconds for a splash held in 1/25 s.
  EXPECT_DOUBLE_EQ(ShownNumber(Row("SplashTime"), 30), 1.2);
  EXPECT_EQ(StoredNumber(Row("SplashTime"), 1.2), 30);
  EXPECT_EQ(StoredNumber(Row("SplashTime"), 2.5), 62);   // 62.5
  EXPECT_EQ(StoredNumber(Row("SplashTime"), 1.5), 38);   // 37.5
  // Tenths of a litre for a level held in halves.
  EXPECT_EQ(StoredNumber(Row("LowFuel"), 12.25), 24);    // 24.5
  EXPECT_EQ(StoredNumber(Row("LowFuel"), 12.75), 26);    // 25.5
  // Volts for tenths.
  EXPECT_DOUBLE_EQ(ShownNumber(Row("DayNightVolts"), 60), 6);
  EXPECT_EQ(StoredNumber(Row("DayNightVolts"), 0.15), 2);
  EXPECT_EQ(StoredBits(Row("Aircore")), 16);  // for messages
}

TEST(FieldsTest, VersionIsHexadecimalWithoutLeadingZeros) {
  EXPECT_EQ(VersionText(0), "0x0");
  EXPECT_EQ(VersionText(0xABCD), "0xABCD");
}

// The bounds and units themselves reach `quillon check`'s messages
// (tests/cli); here, stored values in the form's units.
TEST(FieldsTest, StoredValuesAreCheckedInTheFormsUnits) {
  EXPECT_FALSE(CheckStored(Row("SplashTime"), 0).within);
  EXPECT_TRUE(CheckStored(Row("SplashTime"), 250).within);   // 10 s
  EXPECT_FALSE(CheckStored(Row("SplashTime"), 251).within);  // 10.04 s

  // 3000 pulses per mile shows as 4827 per kilometre: beyond 4500.
  EXPECT_TRUE(CheckStored(Row("CustPPM"), 3000, 0x2).within);
  const StoredCheck perKilometre = CheckStored(Row("CustPPM"), 3000, 0x0);
  EXPECT_FALSE(perKilometre.within);
  EXPECT_DOUBLE_EQ(perKilometre.shown, 4827);

  // The calibration is not checked.
  EXPECT_FALSE(Row("Aircore").bounds.has_value());
}

}  // namespace
}  // namespace brindle::fields

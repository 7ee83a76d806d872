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
  // Volts for tenths, seconds for milliseconds.
  EXPECT_DOUBLE_EQ(ShownNumber(Row("DayNightVolts"), 60), 6);
  EXPECT_EQ(StoredNumber(Row("DayNightVolts"), 0.15), 2);
  // A 16-bit property refuses what a 32-bit one takes.
  EXPECT_EQ(StoredNumber(Row("Aircore"), 40000), std::nullopt);
  EXPECT_EQ(StoredNumber(Row("FuelX"), 40000), 40000);
  EXPECT_EQ(StoredBits(Row("Aircore")), 16);
}

TEST(FieldsTest, CustomPpmIsShownPerKilometreUnlessMilesAreChosen) {
  const Field& ppm = Row("CustPPM");
  const std::int64_t miles = 0x2;
  const std::int64_t kilometres = 0xFD;
  EXPECT_DOUBLE_EQ(ShownNumber(ppm, 2486, kilometres), 4000);  // 3999.97
  EXPECT_EQ(StoredNumber(ppm, 4000, kilometres), 2486);        // 2486.02
  EXPECT_DOUBLE_EQ(ShownNumber(ppm, 2486, miles), 2486);
  EXPECT_EQ(StoredNumber(ppm, 2486, miles), 2486);
}

TEST(FieldsTest, ListsMapEntriesAndOddValues) {
  const ListMap& day = *Row("MaxBrightDay").list;
  const ListMap& night = *Row("MaxBrightNight").list;
  EXPECT_EQ(ShownEntry(day, 8), 0);
  EXPECT_EQ(ShownEntry(day, 9), 1);
  EXPECT_EQ(ShownEntry(day, 11), 2);
  EXPECT_EQ(ShownEntry(day, 10), 2);
  EXPECT_EQ(ShownEntry(night, 10), 0);
  EXPECT_EQ(ShownEntry(night, 11), 2);
  EXPECT_EQ(AppliedValue(day, 0), 8);
  EXPECT_EQ(AppliedValue(night, 2), 11);
  EXPECT_EQ(AppliedValue(day, -1), 11);

  const ListMap& align = *Row("MpgAlign").list;
  EXPECT_EQ(ShownEntry(align, FONT_RIGHT), 2);
  EXPECT_EQ(ShownEntry(align, 7), 1);
  EXPECT_EQ(AppliedValue(align, 0), FONT_LEFT);
  EXPECT_EQ(AppliedValue(align, -1), std::nullopt);
}

TEST(FieldsTest, VersionIsHexadecimalWithoutLeadingZeros) {  EXPECT_EQ(VersionText(256), "0x100");
  EXPECT_EQ(VersionText(258), "0x102");
  EXPECT_EQ(VersionText(0), "0x0");
  EXPECT_EQ(VersionText(0xABCD), "0xABCD");
}

TEST(FieldsTest, StoredValuesAreCheckedInTheFormsUnits) {
  const StoredCheck splash = CheckStored(Row("SplashTime"), 0);
  EXPECT_FALSE(splash.within);
  EXPECT_EQ(splash.bounds.min, 1);
  EXPECT_EQ(splash.bounds.max, 10);
  EXPECT_EQ(splash.unit, "seconds");
  EXPECT_TRUE(CheckStored(Row("SplashTime"), 250).within);   // 10 s
  EXPECT_FALSE(CheckStored(Row("SplashTime"), 251).within);  // 10.04 s

  // 3000 pulses per mile shows as 4827 per kilometre: beyond 4500.
  EXPECT_TRUE(CheckStored(Row("CustPPM"), 3000, 0x2).within);
  const StoredCheck perKilometre = CheckStored(Row("CustPPM"), 3000, 0x0);
  EXPECT_FALSE(perKilometre.within);
  EXPECT_DOUBLE_EQ(perKilometre.shown, 4827);

  // The short key press is one byte of the record: all of it passes.
  EXPECT_TRUE(CheckStored(Row("Skey"), 255).within);
  EXPECT_FALSE(CheckStored(Row("GMTOffs"), -13).within);
  EXPECT_FALSE(CheckStored(Row("AC_Range"), 47201).within);

  // The fuel window's position and the calibration are not checked.
  EXPECT_FALSE(Row("FuelX").bounds.has_value());
  EXPECT_FALSE(Row("Aircore").bounds.has_value());
}

}  // namespace
}  // namespace brindle::fields

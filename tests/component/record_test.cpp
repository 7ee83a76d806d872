// The record's layout, defaults, device image and check value.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "preferences_record.h"

namespace quillon {
namespace {

RecordBytes Hex(const char* text) {
  RecordBytes out{};
  std::size_t n = 0;
  const std::string s = text;
  for (std::size_t i = 0; i + 1 < s.size() && n < out.size(); i += 3) {
    out[n++] = static_cast<std::uint8_t>(std::stoul(s.substr(i, 2), nullptr, 16));
  }
  EXPECT_EQ(n, kRecordSize);
  return out;
}

const RecordBytes kDefaultImage = Hex(
    "01 00 00 4D 00 0F 46 47 59 00 0B 32 02 BC FA 14 04 0A 04 B0 EA 60 00 FF FF FF 03 FF 02 E7 "
    "02 30 00 64 00 00 12 C0 FB 01 00 00 00 00 0B 3C 00 01 5F 90 0F A0 00 00 0F 32 B8 00 20 00 "
    "00 00 00 07 00 84 07 01 2E 07 01 3A 72 01 2E 07 01");

// Every byte different, so a field copied to the wrong place shows.
PreferencesRecord PatternRecord() {
  RecordBytes bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 3 + 1);
  return RecordFromBytes(bytes);
}

TEST(DeviceImage, DefaultRecordGivesTheDocumentedBytes) {
  EXPECT_EQ(ToDeviceImage(DefaultPreferences()), kDefaultImage);
}

TEST(DeviceImage, DefaultFieldsReadBackInHostOrder) {
  const PreferencesRecord r = DefaultPreferences();
  EXPECT_EQ(+r.Version, 256);
  EXPECT_EQ(+r.SatTime, 60000);
  EXPECT_EQ(+r.FontColor, 0x00FFFFFFu);
  EXPECT_EQ(+r.PPMDividend, 90000u);
  EXPECT_EQ(+r.AircoreTestRange, 47104);
  EXPECT_EQ(+r.TimeZoneOffset, -5);
  EXPECT_EQ(+r.Elements[3].Y, 114);
}

TEST(DeviceImage, ConversionIsItsOwnInverse) {
  for (const PreferencesRecord& r : {DefaultPreferences(), PatternRecord()}) {
    RecordBytes once, twice;
    ConvertByteOrder(r, once);
    ConvertByteOrder(RecordFromBytes(once), twice);
    EXPECT_EQ(twice, RecordToBytes(r));
    EXPECT_EQ(RecordToBytes(FromDeviceImage(ToDeviceImage(r))), RecordToBytes(r));
  }
}

TEST(DeviceImage, ConversionLeavesTheSourceAlone) {
  const PreferencesRecord r = PatternRecord();
  PreferencesRecord copy = r;
  RecordBytes image;
  ConvertByteOrder(copy, image);
  EXPECT_EQ(RecordToBytes(copy), RecordToBytes(r));
}

TEST(DeviceImage, MultiByteFieldsAreStoredMostSignificantFirst) {
  PreferencesRecord r = DefaultPreferences();
  r.SpeedUpdate = 0x1234;
  r.AircoreTestRange = 0xABCD;
  const RecordBytes image = ToDeviceImage(r);
  EXPECT_EQ(image[12], 0x12);
  EXPECT_EQ(image[13], 0x34);
  EXPECT_EQ(image[56], 0xAB);
  EXPECT_EQ(image[57], 0xCD);
  EXPECT_EQ((std::array<int, 4>{image[22], image[23], image[24], image[25]}), (std::array<int, 4>{0, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ((std::array<int, 4>{image[46], image[47], image[48], image[49]}), (std::array<int, 4>{0, 1, 0x5F, 0x90}));
}

TEST(DeviceImage, SingleBytesAndReservedPairsNeverMove) {
  const PreferencesRecord r = PatternRecord();
  const RecordBytes host = RecordToBytes(r);
  const RecordBytes image = ToDeviceImage(r);
  const std::size_t multi[] = {0, 2, 4, 12, 18, 20, 28, 30, 32, 36, 50, 52, 56, 22, 46};
  std::array<bool, kRecordSize> moved{};
  for (std::size_t off : multi) {
    const std::size_t width = (off == 22 || off == 46) ? 4 : 2;
    for (std::size_t i = 0; i < width; ++i) {
      moved[off + i] = true;
      EXPECT_EQ(image[off + i], host[off + width - 1 - i]) << "offset " << off + i;
    }
  }
  for (std::size_t i = 0; i < kRecordSize; ++i) {
    if (!moved[i]) {
      EXPECT_EQ(image[i], host[i]) << "offset " << i;
    }
  }
  // 34-35 and 60-61 are pairs of single bytes.
  EXPECT_FALSE(moved[34] || moved[35] || moved[60] || moved[61]);
  EXPECT_EQ(ToDeviceImage(DefaultPreferences())[38], 0xFB);
}

TEST(Swap, ExchangesBytes) {
  EXPECT_EQ(Swap16(0x1234), 0x3412);
  EXPECT_EQ(Swap16(0x00FF), 0xFF00);
  EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
  EXPECT_EQ(Swap32(0x000000FFu), 0xFF000000u);
}

TEST(ImageChecksum, DefaultImage) {
  unsigned sum = 0;
  for (auto b : kDefaultImage) sum += b;
  EXPECT_EQ(sum, 0x114Fu);
  const auto c = ImageChecksum(kDefaultImage);
  EXPECT_EQ(c[0], 0x4F);
  EXPECT_EQ(c[1], 0x15);
}

TEST(ImageChecksum, SecondByteIsAlwaysFirstXor5A) {
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    RecordBytes image;
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    unsigned sum = 0;
    for (auto b : image) sum += b;
    const auto c = ImageChecksum(image);
    EXPECT_EQ(c[0], sum & 0xFF);
    EXPECT_EQ(c[0] ^ c[1], 0x5A);
  }
  RecordBytes full;
  full.fill(0xFF);  // sum 0x4CB3: only the low byte counts
  EXPECT_EQ(ImageChecksum(full)[0], 0xB3);
  EXPECT_EQ(ImageChecksum(full)[1], 0xB3 ^ 0x5A);
}

}  // namespace
}  // namespace quillon

#include "preferences_record.h"

#include <bit>
#include <cstring>

namespace quillon {
namespace {

// Offsets of the multi-byte fields; the single bytes and byte arrays keep
// their place in both orders.
constexpr std::size_t kWordOffsets[] = {0, 2, 4, 12, 18, 20, 28, 30, 32, 36, 50, 52, 56};
constexpr std::size_t kLongOffsets[] = {22, 46};

}  // namespace

PreferencesRecord DefaultPreferences() {
  PreferencesRecord r;
  std::memset(&r, 0, sizeof r);
  r.Version = 0x0100;
  r.RecordSize = kRecordSize;
  r.Flags = 0x000F;
  r.VINDigits[0] = 'F';
  r.VINDigits[1] = 'G';
  r.VINDigits[2] = 'Y';
  r.Region = 0;
  r.BrightnessDay = 11;
  r.SplashTime = 50;
  r.SpeedUpdate = 700;
  r.CompassUpdate = 250;
  r.SpeedFilterThreshold = 20;
  r.IceWarning = 4;
  r.ShortPressTime = 10;
  r.LongPressTime = 1200;
  r.SatTime = 60000;
  r.FontColor = 0x00FFFFFF;
  r.FuelDiv = 3;
  r.FuelMul = 255;
  r.Fuel005 = 743;
  r.RefuelWarning = 560;
  r.CANBaudrate = 100;
  r.GPSBaudrate = 4800;
  r.TimeZoneOffset = -5;
  r.NMEAFlags = 1;
  r.BrightnessNight = 11;
  r.Ill_min_volt = 60;
  r.PPMDividend = 90000;
  r.PPMKM = 4000;
  r.Aircore = 0;
  r.OdoDisplayTime = 15;
  r.Debounce = 50;
  r.AircoreTestRange = 47104;
  r.AircoreTestSpeed = 32;
  const ElementPlacement defaults[kWindowCount] = {
      {0, 7, 0}, {132, 7, 1}, {46, 7, 1}, {58, 114, 1}, {46, 7, 1}};
  std::memcpy(r.Elements, defaults, sizeof defaults);
  return r;
}

std::uint16_t Swap16(std::uint16_t value) {
  return static_cast<std::uint16_t>(((value & 0xFFu) << 8) | (value >> 8));
}

std::uint32_t Swap32(std::uint32_t value) {
  return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
         ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

void ConvertByteOrder(const PreferencesRecord& record, RecordBytes& destination) {
  std::memcpy(destination.data(), &record, kRecordSize);
  // The device is big-endian: on a big-endian host the record already holds
  // device order and the conversion is a plain copy.
  if constexpr (std::endian::native == std::endian::little) {
    for (std::size_t offset : kWordOffsets) {
      std::uint16_t v;
      std::memcpy(&v, destination.data() + offset, sizeof v);
      v = Swap16(v);
      std::memcpy(destination.data() + offset, &v, sizeof v);
    }
    for (std::size_t offset : kLongOffsets) {
      std::uint32_t v;
      std::memcpy(&v, destination.data() + offset, sizeof v);
      v = Swap32(v);
      std::memcpy(destination.data() + offset, &v, sizeof v);
    }
  }
}

RecordBytes ToDeviceImage(const PreferencesRecord& record) {
  RecordBytes image;
  ConvertByteOrder(record, image);
  return image;
}

PreferencesRecord FromDeviceImage(const RecordBytes& image) {
  RecordBytes host;
  ConvertByteOrder(RecordFromBytes(image), host);
  return RecordFromBytes(host);
}

std::array<std::uint8_t, 2> ImageChecksum(const RecordBytes& image) {
  std::uint16_t sum = 0;
  for (std::uint8_t b : image) sum = static_cast<std::uint16_t>(sum + b);
  const auto c0 = static_cast<std::uint8_t>(sum & 0xFF);
  return {c0, static_cast<std::uint8_t>(c0 ^ 0x5A)};
}

RecordBytes RecordToBytes(const PreferencesRecord& record) {
  RecordBytes bytes;
  std::memcpy(bytes.data(), &record, kRecordSize);
  return bytes;
}

PreferencesRecord RecordFromBytes(const RecordBytes& bytes) {
  PreferencesRecord record;
  std::memcpy(&record, bytes.data(), kRecordSize);
  return record;
}

}  // namespace quillon

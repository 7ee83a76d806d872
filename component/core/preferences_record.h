// The dashboard computer's configuration block and its device image.
//
// The device keeps all its settings in one packed block of 77 bytes with
// every multi-byte field stored most significant byte first (the device
// image). A Preferences object holds the same block in host byte order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace quillon {

inline constexpr std::size_t kRecordSize = 77;
inline constexpr int kWindowCount = 5;

// Placement of one display window: column, row and text alignment.
#pragma pack(push, 1)
struct ElementPlacement {
  std::uint8_t X;
  std::uint8_t Y;
  std::uint8_t Alignment;  // a Font_JustifyType value
};

// Packed: the 16-bit fields lie at even offsets but the two 32-bit fields sit
// at 22 and 46, which are not multiples of 4. Read and write the fields by
// value (the compiler emits unaligned accesses); never bind a reference or
// pointer to a multi-byte member.
struct PreferencesRecord {
  std::uint16_t Version;
  std::uint16_t RecordSize;
  std::uint16_t Flags;
  std::uint8_t VINDigits[3];
  std::uint8_t Region;
  std::uint8_t BrightnessDay;
  std::uint8_t SplashTime;
  std::uint16_t SpeedUpdate;
  std::uint8_t CompassUpdate;
  std::uint8_t SpeedFilterThreshold;
  std::int8_t IceWarning;
  std::uint8_t ShortPressTime;
  std::uint16_t LongPressTime;
  std::uint16_t SatTime;
  std::uint32_t FontColor;
  std::uint8_t FuelDiv;
  std::uint8_t FuelMul;
  std::uint16_t Fuel005;
  std::uint16_t RefuelWarning;
  std::uint16_t CANBaudrate;
  std::uint8_t Reserved34;
  std::uint8_t Reserved35;
  std::uint16_t GPSBaudrate;
  std::int8_t TimeZoneOffset;
  std::uint8_t NMEAFlags;
  std::int8_t ColorBalance[3];
  std::uint8_t Reserved43;
  std::uint8_t BrightnessNight;
  std::uint8_t Ill_min_volt;
  std::uint32_t PPMDividend;
  std::uint16_t PPMKM;
  std::uint16_t Aircore;
  std::uint8_t OdoDisplayTime;
  std::uint8_t Debounce;
  std::uint16_t AircoreTestRange;
  std::uint8_t AircoreTestSpeed;
  std::uint8_t Reserved59;
  std::uint8_t Reserved60;
  std::uint8_t Reserved61;
  ElementPlacement Elements[kWindowCount];
};
#pragma pack(pop)

static_assert(sizeof(ElementPlacement) == 3);
static_assert(sizeof(PreferencesRecord) == kRecordSize);
static_assert(std::is_trivially_copyable_v<PreferencesRecord>);
static_assert(std::is_standard_layout_v<PreferencesRecord>);
static_assert(offsetof(PreferencesRecord, Version) == 0);
static_assert(offsetof(PreferencesRecord, RecordSize) == 2);
static_assert(offsetof(PreferencesRecord, Flags) == 4);
static_assert(offsetof(PreferencesRecord, VINDigits) == 6);
static_assert(offsetof(PreferencesRecord, Region) == 9);
static_assert(offsetof(PreferencesRecord, BrightnessDay) == 10);
static_assert(offsetof(PreferencesRecord, SplashTime) == 11);
static_assert(offsetof(PreferencesRecord, SpeedUpdate) == 12);
static_assert(offsetof(PreferencesRecord, CompassUpdate) == 14);
static_assert(offsetof(PreferencesRecord, SpeedFilterThreshold) == 15);
static_assert(offsetof(PreferencesRecord, IceWarning) == 16);
static_assert(offsetof(PreferencesRecord, ShortPressTime) == 17);
static_assert(offsetof(PreferencesRecord, LongPressTime) == 18);
static_assert(offsetof(PreferencesRecord, SatTime) == 20);
static_assert(offsetof(PreferencesRecord, FontColor) == 22);
static_assert(offsetof(PreferencesRecord, FuelDiv) == 26);
static_assert(offsetof(PreferencesRecord, FuelMul) == 27);
static_assert(offsetof(PreferencesRecord, Fuel005) == 28);
static_assert(offsetof(PreferencesRecord, RefuelWarning) == 30);
static_assert(offsetof(PreferencesRecord, CANBaudrate) == 32);
static_assert(offsetof(PreferencesRecord, Reserved34) == 34);
static_assert(offsetof(PreferencesRecord, Reserved35) == 35);
static_assert(offsetof(PreferencesRecord, GPSBaudrate) == 36);
static_assert(offsetof(PreferencesRecord, TimeZoneOffset) == 38);
static_assert(offsetof(PreferencesRecord, NMEAFlags) == 39);
static_assert(offsetof(PreferencesRecord, ColorBalance) == 40);
static_assert(offsetof(PreferencesRecord, Reserved43) == 43);
static_assert(offsetof(PreferencesRecord, BrightnessNight) == 44);
static_assert(offsetof(PreferencesRecord, Ill_min_volt) == 45);
static_assert(offsetof(PreferencesRecord, PPMDividend) == 46);
static_assert(offsetof(PreferencesRecord, PPMKM) == 50);
static_assert(offsetof(PreferencesRecord, Aircore) == 52);
static_assert(offsetof(PreferencesRecord, OdoDisplayTime) == 54);
static_assert(offsetof(PreferencesRecord, Debounce) == 55);
static_assert(offsetof(PreferencesRecord, AircoreTestRange) == 56);
static_assert(offsetof(PreferencesRecord, AircoreTestSpeed) == 58);
static_assert(offsetof(PreferencesRecord, Reserved59) == 59);
static_assert(offsetof(PreferencesRecord, Reserved60) == 60);
static_assert(offsetof(PreferencesRecord, Reserved61) == 61);
static_assert(offsetof(PreferencesRecord, Elements) == 62);

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

// The settings a new object starts with; every one of the 77 bytes is set.
PreferencesRecord DefaultPreferences();

std::uint16_t Swap16(std::uint16_t value);
std::uint32_t Swap32(std::uint32_t value);

// Copies `record` into `destination` with the byte order of the thirteen
// 16-bit and two 32-bit fields exchanged between host and device order.
// The conversion is its own inverse: a host-order record gives the device
// image, and a block holding device-order bytes gives the host-order record.
void ConvertByteOrder(const PreferencesRecord& record, RecordBytes& destination);

// The device image of a host-order record, and the record of an image.
RecordBytes ToDeviceImage(const PreferencesRecord& record);
PreferencesRecord FromDeviceImage(const RecordBytes& image);

// Check value stored ahead of the image: C0 is the image's byte sum modulo
// 256, C1 is C0 XOR 0x5A.
std::array<std::uint8_t, 2> ImageChecksum(const RecordBytes& image);

RecordBytes RecordToBytes(const PreferencesRecord& record);
PreferencesRecord RecordFromBytes(const RecordBytes& bytes);

}  // namespace quillon

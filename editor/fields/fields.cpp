#include "fields.h"

#include <cmath>
#include <limits>

namespace brindle::fields {

namespace {

// ---- Property accessors ---------------------------------------------------
// One pair per property, made from the interface's own member pointers, so
// the table names each property once and the compiler checks the slot.

template <class T>
HRESULT CallGet(IPreferences& prefs, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(T*), int,
                std::int64_t* value) {
  T got{};
  const HRESULT hr = (prefs.*get)(&got);
  if (SUCCEEDED(hr)) {
    *value = static_cast<std::int64_t>(got);
  }
  return hr;
}

template <class Index, class T>
HRESULT CallGet(IPreferences& prefs, HRESULT (STDMETHODCALLTYPE IPreferences::*get)(Index, T*),
                int index, std::int64_t* value) {
  T got{};
  const HRESULT hr = (prefs.*get)(static_cast<Index>(index), &got);
  if (SUCCEEDED(hr)) {
    *value = static_cast<std::int64_t>(got);
  }
  return hr;
}

template <class T>
HRESULT CallPut(IPreferences& prefs, HRESULT (STDMETHODCALLTYPE IPreferences::*put)(T), int,
                std::int64_t value) {
  return (prefs.*put)(static_cast<T>(value));
}

template <class Index, class T>
HRESULT CallPut(IPreferences& prefs, HRESULT (STDMETHODCALLTYPE IPreferences::*put)(Index, T),
                int index, std::int64_t value) {
  return (prefs.*put)(static_cast<Index>(index), static_cast<T>(value));
}

template <auto Get>
HRESULT GetVia(IPreferences& prefs, int index, std::int64_t* value) {
  return CallGet(prefs, Get, index, value);
}

template <auto Put>
HRESULT PutVia(IPreferences& prefs, int index, std::int64_t value) {
  return CallPut(prefs, Put, index, value);
}

#define BRINDLE_PROPERTY(Name) \
  constexpr Property k##Name{#Name, &GetVia<&IPreferences::get_##Name>, &PutVia<&IPreferences::put_##Name>}

BRINDLE_PROPERTY(Flags);
BRINDLE_PROPERTY(Region);
BRINDLE_PROPERTY(BrightnessDay);
BRINDLE_PROPERTY(BrightnessNight);
BRINDLE_PROPERTY(SplashTime);
BRINDLE_PROPERTY(SpeedUpdate);
BRINDLE_PROPERTY(CompassUpdate);
BRINDLE_PROPERTY(SpeedFilterThreshold);
BRINDLE_PROPERTY(FontColor);
BRINDLE_PROPERTY(GPSBaudrate);
BRINDLE_PROPERTY(TimeZoneOffset);
BRINDLE_PROPERTY(NMEAFlags);
BRINDLE_PROPERTY(SatTime);
BRINDLE_PROPERTY(IceWarning);
BRINDLE_PROPERTY(ShortPressTime);
BRINDLE_PROPERTY(LongPressTime);
BRINDLE_PROPERTY(CANBaudrate);
BRINDLE_PROPERTY(RefuelWarning);
BRINDLE_PROPERTY(Fuel005);
BRINDLE_PROPERTY(ColorBalance);
BRINDLE_PROPERTY(FuelDiv);
BRINDLE_PROPERTY(FuelMul);
BRINDLE_PROPERTY(Ill_min_volt);
BRINDLE_PROPERTY(ElementX);
BRINDLE_PROPERTY(ElementY);
BRINDLE_PROPERTY(ElementAlignment);
BRINDLE_PROPERTY(PPMKM);
BRINDLE_PROPERTY(Aircore);
BRINDLE_PROPERTY(Debounce);
BRINDLE_PROPERTY(OdoDisplayTime);
BRINDLE_PROPERTY(AircoreTestSpeed);
BRINDLE_PROPERTY(AircoreTestRange);
#undef BRINDLE_PROPERTY
constexpr Property kVersion{"Version", &GetVia<&IPreferences::get_Version>, nullptr};
constexpr Property kVIN{"VIN"};

// ---- Lists ------------------------------------------------------------------

constexpr BrightnessLevel kBrightness[] = {{8, 60}, {9, 80}, {11, 100}};

// A value outside the three shows as 100 mCd by day but as 60 mCd at night;
// no entry writes 11 in both.
constexpr ListMap kDayLevels{{kBrightness[0].value, kBrightness[1].value, kBrightness[2].value},
                                 2, kBrightness[2].value};
constexpr ListMap kNightLevels{{kBrightness[0].value, kBrightness[1].value, kBrightness[2].value},
                                   0, kBrightness[2].value};
constexpr ListMap kAlignments{{FONT_LEFT, FONT_CENTER, FONT_RIGHT}, FONT_CENTER, std::nullopt};
// The two Region options: United States 0, anything else Europe.
constexpr ListMap kRegionOptions{{0, 1, 1}, 1, 1};

// ---- The table ------------------------------------------------------------

constexpr int kMilesBit = 1;

constexpr Bounds kScreenX{0, kScreenWidth - 1};
constexpr Bounds kScreenY{0, kScreenHeight - 1};

constexpr Field Whole(std::string_view control, const Property& property,
                      std::optional<Bounds> bounds = {}, std::string_view unit = {},
                      int index = -1) {
  return Field{.control = control, .property = &property, .index = index,
               .conversion = Conversion::kInteger, .bounds = bounds, .unit = unit};
}

constexpr Field Short(std::string_view control, const Property& property,
                      std::optional<Bounds> bounds = {}, std::string_view unit = {}) {
  return Field{.control = control, .property = &property, .conversion = Conversion::kInteger,
               .bits = 16, .bounds = bounds, .unit = unit};
}

constexpr Field Scaled(std::string_view control, const Property& property, double factor,
                       Bounds bounds, std::string_view unit) {
  return Field{.control = control, .property = &property, .conversion = Conversion::kScaled,
               .factor = factor, .bounds = bounds, .unit = unit};
}

constexpr Field Bit(std::string_view control, const Property& property, int bit) {
  return Field{.control = control, .property = &property, .conversion = Conversion::kFlagBit,
               .bit = bit};
}

constexpr Field List(std::string_view control, const Property& property, const ListMap& list,
                     int index = -1) {
  return Field{.control = control, .property = &property, .index = index,
               .conversion = Conversion::kList, .list = &list};
}

constexpr Field Vin(std::string_view control, int position) {
  return Field{.control = control, .property = &kVIN, .conversion = Conversion::kVinCharacter,
               .position = position};
}

constexpr Field kFields[] = {
    {.control = "version", .property = &kVersion, .conversion = Conversion::kVersion},
    Vin("VIN4", 4),
    Vin("VIN8", 8),
    Vin("VIN10", 10),
    List("Region", kRegion, kRegionOptions),
    Bit("Check1", kFlags, 0),  // Fahrenheit (Celsius)
    Bit("Check2", kFlags, kMilesBit),
    Bit("Check3", kFlags, 2),  // 4000 (2000) ppm
    Bit("Check4", kFlags, 3),  // 12 (24) hour clock
    Bit("Check5", kFlags, 4),  // custom PPM on
    List("MaxBrightDay", kBrightnessDay, kDayLevels),
    List("MaxBrightNight", kBrightnessNight, kNightLevels),
    Scaled("SplashTime", kSplashTime, 25, {1, 10}, "seconds"),  // held in 1/25 s
    Whole("SpeedUpd", kSpeedUpdate, Bounds{1, 3000}, "milliseconds"),
    Whole("CompassUpd", kCompassUpdate, Bounds{1, 255}, "milliseconds"),
    Whole("SpdThreshold", kSpeedFilterThreshold, Bounds{0, 255}, "mph or km/h"),
    {.control = "Fontcolor", .property = &kFontColor, .conversion = Conversion::kColor},
    Whole("Baudrate", kGPSBaudrate, Bounds{4800, 38400}, "baud"),
    Whole("GMTOffs", kTimeZoneOffset, Bounds{-12, 12}, "hours"),
    Bit("ProcGGA", kNMEAFlags, 0),
    Bit("GPSInvert", kNMEAFlags, 7),
    Scaled("SatLockDisp", kSatTime, 1000, {0, 65}, "seconds"),  // held in ms
    Whole("IceWarn", kIceWarning, Bounds{-10, 10}, "°C"),
    // The record keeps the short press in one byte.
    Whole("Skey", kShortPressTime, Bounds{0, 255}, "milliseconds"),
    Whole("Lkey", kLongPressTime, Bounds{0, 10000}, "milliseconds"),
    Whole("CANBaud", kCANBaudrate, Bounds{1, 500}, "kBit/s"),
    Scaled("LowFuel", kRefuelWarning, 2, {0, 1000}, "tenths of a litre"),  // held in halves
    Whole("Pulses005", kFuel005, Bounds{0, 10000}, "pulses"),
    Whole("Rbalance", kColorBalance, Bounds{-128, 127}, {}, 0),
    Whole("Gbalance", kColorBalance, Bounds{-128, 127}, {}, 1),
    Whole("Bbalance", kColorBalance, Bounds{-128, 127}, {}, 2),
    Short("FuelDiv", kFuelDiv),
    Short("FuelMul", kFuelMul),
    Scaled("DayNightVolts", kIll_min_volt, 10, {0, 25}, "volts"),  // held in tenths
    Whole("ClockX", kElementX, kScreenX, "pixels", WIN_CLOCK),
    Whole("ClockY", kElementY, kScreenY, "pixels", WIN_CLOCK),
    List("ClockAlign", kElementAlignment, kAlignments, WIN_CLOCK),
    Whole("CompassX", kElementX, kScreenX, "pixels", WIN_COMPASS),
    Whole("CompassY", kElementY, kScreenY, "pixels", WIN_COMPASS),
    List("CompassAlign", kElementAlignment, kAlignments, WIN_COMPASS),
    Whole("InfoX", kElementX, kScreenX, "pixels", WIN_INFO),
    Whole("InfoY", kElementY, kScreenY, "pixels", WIN_INFO),
    List("InfoAlign", kElementAlignment, kAlignments, WIN_INFO),
    // The fuel window's position is not checked.
    Whole("FuelX", kElementX, {}, {}, WIN_FUEL),
    Whole("FuelY", kElementY, {}, {}, WIN_FUEL),
    List("FuelAlign", kElementAlignment, kAlignments, WIN_FUEL),
    Whole("MpgX", kElementX, kScreenX, "pixels", WIN_MPG),
    Whole("MpgY", kElementY, kScreenY, "pixels", WIN_MPG),
    List("MpgAlign", kElementAlignment, kAlignments, WIN_MPG),
    // Applied after Check2, so a miles bit just ticked already counts.
    {.control = "CustPPM", .property = &kPPMKM, .conversion = Conversion::kCustomPpm,
     .bit = kMilesBit, .switchedBy = &kFlags, .bounds = Bounds{1500, 4500}, .unit = "pulses"},
    Short("Aircore", kAircore),
    Short("Debounce", kDebounce, Bounds{1, 255}, "milliseconds"),
    Short("OdoDisplay", kOdoDisplayTime, Bounds{0, 255}, "seconds"),
    Short("AC_Speed", kAircoreTestSpeed, Bounds{0, 255}),
    Whole("AC_Range", kAircoreTestRange, Bounds{0, 47200}),
};

bool MilesChosen(const Field& field, std::int64_t switchWord) {
  return BitSet(switchWord, field.bit);
}

}  // namespace

std::span<const BrightnessLevel> BrightnessLevels() { return kBrightness; }

std::span<const Field> Fields() { return kFields; }

const Field* FindField(std::string_view control) {
  for (const Field& field : kFields) {
    if (field.control == control) {
      return &field;
    }
  }
  return nullptr;
}

const Field* FindByProperty(std::string_view property, int index) {
  for (const Field& field : kFields) {
    if (field.property->name == property && field.index == index) {
      return &field;
    }
  }
  return nullptr;
}

std::optional<std::int32_t> RoundToWidth(double value, int bits) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // The default rounding mode sends halves to the even neighbour (std::round
  // would send them away from zero).
  const double rounded = std::nearbyint(value);
  const double limit = std::ldexp(1.0, bits - 1);
  if (rounded < -limit || rounded >= limit) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded);
}

double ShownNumber(const Field& field, std::int64_t stored, std::int64_t switchWord) {
  const double value = static_cast<double>(stored);
  switch (field.conversion) {
    case Conversion::kScaled:
      return value / field.factor;
    case Conversion::kCustomPpm:
      return MilesChosen(field, switchWord) ? value : std::nearbyint(value * kKilometresPerMile);
    default:
      return value;
  }
}

std::optional<std::int32_t> StoredNumber(const Field& field, double shown,
                                         std::int64_t switchWord) {
  switch (field.conversion) {
    case Conversion::kScaled:
      return RoundToWidth(shown * field.factor, 32);
    case Conversion::kCustomPpm:
      return RoundToWidth(MilesChosen(field, switchWord) ? shown : shown / kKilometresPerMile, 32);
    default:
      return RoundToWidth(shown, field.bits);
  }
}

int StoredBits(const Field& field) {
  return field.conversion == Conversion::kInteger ? field.bits : 32;
}

int ShownEntry(const ListMap& list, std::int64_t value) {
  for (std::size_t entry = 0; entry < list.values.size(); ++entry) {
    if (list.values[entry] == value) {
      return static_cast<int>(entry);
    }
  }
  return list.entryForOther;
}

std::optional<std::int32_t> AppliedValue(const ListMap& list, int entry) {
  if (entry < 0 || entry >= static_cast<int>(list.values.size())) {
    return list.valueForNone;
  }
  return list.values[static_cast<std::size_t>(entry)];
}

bool BitSet(std::int64_t word, int bit) { return ((word >> bit) & 1) != 0; }

std::int64_t WithBit(std::int64_t word, int bit, bool set) {
  const std::int64_t mask = std::int64_t{1} << bit;
  return set ? (word | mask) : (word & ~mask);
}

std::string VersionText(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto rest = static_cast<std::uint32_t>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[rest % 16]);
    rest /= 16;
  } while (rest != 0);
  return "0x" + digits;
}

bool WithinBounds(double number, const Bounds& bounds) {
  return number >= static_cast<double>(bounds.min) && number <= static_cast<double>(bounds.max);
}

StoredCheck CheckStored(const Field& field, std::int64_t stored, std::int64_t switchWord) {
  const double shown = ShownNumber(field, stored, switchWord);
  const Bounds bounds = field.bounds.value_or(Bounds{});
  return StoredCheck{shown, WithinBounds(shown, bounds), bounds, field.unit};
}

}  // namespace brindle::fields

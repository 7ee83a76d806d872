// The editor's fields as data: one row per field of the form, naming its
// control, the IPreferences property (and index) behind it, how the value is
// converted between the device's units and the form's, and, for the checked
// fields, the bounds a typed value must keep. The editor's show, apply and
// check operations walk this table; the command-line client reads the same
// bounds to tell which stored values the editor would refuse.
//
// Nothing here knows about widgets or locales: conversions work on numbers,
// and the editor turns text into numbers and back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <Quillon.h>

namespace brindle::fields {

// How a control shows its property and writes it back.
enum class Conversion {
  kVersion,       // "0x" and upper-case hexadecimal digits; never written
  kVinCharacter,  // the VIN's character at `position` (counted from 1)
  kList,          // a list entry (or option) per value, through `list`
  kFlagBit,       // a check box for bit `bit` of the property
  kInteger,       // the value as a whole number, written back in `bits` bits
  kScaled,        // the value divided by `factor`
  kColor,         // the colour swatch; the value passes unchanged
  kCustomPpm,     // unchanged while bit `bit` of `switchedBy` is set (miles),
                  // else times kKilometresPerMile
};

// Inclusive bounds of a checked field, in the unit the form shows.
struct Bounds {
  std::int32_t min;
  std::int32_t max;
};

// Between list entries and property values.
struct ListMap {
  std::array<std::int32_t, 3> values;        // entry n stands for values[n]
  int entryForOther;                         // shown for any other value
  std::optional<std::int32_t> valueForNone;  // written with no entry selected;
                                             // none: the property is not written
};

// A property reached through IPreferences' table of operations. Integer
// properties of every width travel as 64-bit numbers here. `index` is the
// ColorBalance entry or the Object_Id of the Element... properties; it is
// ignored by properties without one.
using GetFn = HRESULT (*)(IPreferences& prefs, int index, std::int64_t* value);
using PutFn = HRESULT (*)(IPreferences& prefs, int index, std::int64_t value);

struct Property {
  std::string_view name;  // as IPreferences spells it
  GetFn get = nullptr;    // null for VIN, a string the editor reads itself
  PutFn put = nullptr;    // null for read-only properties and VIN
};

struct Field {
  std::string_view control = {};  // object name of the form's control
  const Property* property = nullptr;
  int index = -1;  // -1: the property has no index
  Conversion conversion = Conversion::kInteger;
  int bits = 32;       // kInteger: width of the whole number written back
  double factor = 1;   // kScaled
  int bit = 0;         // kFlagBit, kCustomPpm
  int position = 0;    // kVinCharacter
  const ListMap* list = nullptr;        // kList
  const Property* switchedBy = nullptr; // kCustomPpm: the word holding `bit`
  std::optional<Bounds> bounds = {};    // only for checked fields
  std::string_view unit = {};           // of a checked field, as the form shows it
};

// The device's display in pixels; the text windows are placed on it.
inline constexpr int kScreenWidth = 160;
inline constexpr int kScreenHeight = 128;

// Kilometres in a mile: the custom pulse count is shown per kilometre while
// kilometres are chosen.
inline constexpr double kKilometresPerMile = 1.609;

// The 17 characters sent as the VIN; the three VIN fields fill their
// positions (4, 8 and 10), the rest stays as here.
inline constexpr std::u16string_view kVinFrame = u"1G         000001";

// The brightness levels behind the two brightness lists, in list order.
struct BrightnessLevel {
  std::int32_t value;  // as the property holds it
  int millicandela;    // as the list shows it
};
std::span<const BrightnessLevel> BrightnessLevels();

// Every field in the order ShowSettings and ApplySettings walk them.
std::span<const Field> Fields();

// The row of a control, or of a property with its index; null when none.
const Field* FindField(std::string_view control);
const Field* FindByProperty(std::string_view property, int index = -1);

// Nearest whole number with halves to the even neighbour; nullopt when the
// value is not finite or does not fit `bits` bits (signed).
std::optional<std::int32_t> RoundToWidth(double value, int bits);

// kInteger, kScaled, kCustomPpm: the number the form shows for a stored
// value, and the value to store for a number the form holds (nullopt when
// it does not fit). `switchWord` is the value of `field.switchedBy`; the
// other conversions ignore it.
double ShownNumber(const Field& field, std::int64_t stored, std::int64_t switchWord = 0);
std::optional<std::int32_t> StoredNumber(const Field& field, double shown,
                                         std::int64_t switchWord = 0);
// Width in bits of what StoredNumber produces, for messages.
int StoredBits(const Field& field);

// kList: the entry shown for a value; the value written for an entry (-1:
// none selected), nullopt when nothing is written.
int ShownEntry(const ListMap& list, std::int64_t value);
std::optional<std::int32_t> AppliedValue(const ListMap& list, int entry);

// kFlagBit
bool BitSet(std::int64_t word, int bit);
std::int64_t WithBit(std::int64_t word, int bit, bool set);

// kVersion: "0x" and the value's upper-case hexadecimal digits, as few as
// needed (0x100, 0x0).
std::string VersionText(std::int64_t value);

bool WithinBounds(double number, const Bounds& bounds);

// For a checked field: the number the form would show for the stored
// value(s), and whether the field's check would let it pass.
struct StoredCheck {
  double shown;
  bool within;
  Bounds bounds;
  std::string_view unit;
};
// Precondition: field.bounds holds a value. `switchWord` as for ShownNumber.
StoredCheck CheckStored(const Field& field, std::int64_t stored, std::int64_t switchWord = 0);

}  // namespace brindle::fields

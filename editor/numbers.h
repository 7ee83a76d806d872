// Numbers in fields: read and written in the user's locale, rounded to
// whole numbers with halves going to the even neighbour. The field checks
// and the field mapping share the one parser below, so a text that passes a
// check also converts.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace brindle {

// The default locale with group separators neither written nor accepted:
// "1,000" is no number in an English locale (and 1.000 none in a German one),
// rather than quietly meaning a thousand.
QLocale NumberLocale();

// An optionally signed decimal number with optional fraction and exponent,
// blanks around it allowed. Infinity and NaN are not numbers here, nor is
// anything that overflows a double.
std::optional<double> ParseNumber(const QString& text, const QLocale& locale = NumberLocale());

// Nearest whole number, halves to even; nullopt when the result does not
// fit the width (or the value is not finite).
std::optional<std::int32_t> RoundToInt32(double value);
std::optional<std::int16_t> RoundToInt16(double value);

// Decimal text of a whole number: a minus sign for negatives, no blanks, no
// group separators.
QString FormatInteger(std::int64_t value, const QLocale& locale = NumberLocale());

// value / factor in double precision, with the locale's decimal separator,
// at most 15 significant digits and no trailing zeros.
QString FormatScaled(std::int64_t value, double factor, const QLocale& locale = NumberLocale());

}  // namespace brindle

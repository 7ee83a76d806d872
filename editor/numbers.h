// Numbers in fields: read and written in the user's locale. The field
// checks, the field mapping and the preview share the one parser below, so
// a text that passes a check also converts.
#pragma once

#include <QLocale>
#include <QString>

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

// Decimal text with the locale's decimal separator, at most 15 significant
// digits, no trailing zeros and no group separators; whole numbers without
// a fraction.
QString FormatNumber(double value, const QLocale& locale = NumberLocale());

}  // namespace brindle

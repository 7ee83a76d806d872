#include "numbers.h"

#include <cmath>
#include <limits>

namespace brindle {

QLocale NumberLocale() {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

std::optional<double> ParseNumber(const QString& text, const QLocale& locale) {
  bool ok = false;
  const double value = locale.toDouble(text, &ok);
  // QLocale reads "inf" and "nan"; a setting can be neither.
  if (!ok || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

namespace {

template <class Int>
std::optional<Int> RoundTo(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // The default rounding mode sends halves to the even neighbour.
  const double rounded = std::nearbyint(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::nullopt;
  }
  return static_cast<Int>(rounded);
}

}  // namespace

std::optional<std::int32_t> RoundToInt32(double value) { return RoundTo<std::int32_t>(value); }
std::optional<std::int16_t> RoundToInt16(double value) { return RoundTo<std::int16_t>(value); }

QString FormatInteger(std::int64_t value, const QLocale& locale) {
  return locale.toString(static_cast<qlonglong>(value));
}

QString FormatScaled(std::int64_t value, double factor, const QLocale& locale) {
  return locale.toString(static_cast<double>(value) / factor, 'g', 15);
}

}  // namespace brindle

#include "numbers.h"

#include <cmath>

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

QString FormatNumber(double value, const QLocale& locale) {
  return locale.toString(value, 'g', 15);
}

}  // namespace brindle

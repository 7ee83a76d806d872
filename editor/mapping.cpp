#include "mapping.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <cmath>

#include <oleauto.h>

#include "color_swatch.h"
#include "editor_error.h"
#include "form.h"
#include "numbers.h"

namespace brindle {

namespace {

// Bits of Flags and NMEAFlags that have a check box.
constexpr LONG kFlagFahrenheit = 1 << 0;
constexpr LONG kFlagMiles = 1 << 1;
constexpr LONG kFlag4000Ppm = 1 << 2;
constexpr LONG kFlag12HourClock = 1 << 3;
constexpr LONG kFlagCustomPpm = 1 << 4;
constexpr LONG kNmeaProcessGga = 1 << 0;
constexpr LONG kNmeaInvertPolarity = 1 << 7;

// Brightness levels behind the three list entries: 60, 80 and 100 mCd.
constexpr LONG kBrightness60 = 8;
constexpr LONG kBrightness80 = 9;
constexpr LONG kBrightness100 = 11;

// The display windows in the order the rows visit them.
constexpr Object_Id kWindowOrder[] = {WIN_CLOCK, WIN_COMPASS, WIN_INFO, WIN_FUEL, WIN_MPG};

void Check(HRESULT hr, const char* call) { ThrowIfFailed(hr, QString::fromLatin1(call)); }

template <class T>
T Get(IPreferences& prefs, HRESULT (IPreferences::*get)(T*), const char* call) {
  T value{};
  Check((prefs.*get)(&value), call);
  return value;
}

template <class T>
T GetAt(IPreferences& prefs, HRESULT (IPreferences::*get)(Object_Id, T*), Object_Id index,
        const char* call) {
  T value{};
  Check((prefs.*get)(index, &value), call);
  return value;
}

#define GET(prop) Get(prefs, &IPreferences::get_##prop, "get_" #prop)
#define PUT(prop, value) Check(prefs.put_##prop(value), "put_" #prop)

// ---- Reading fields ------------------------------------------------------

[[noreturn]] void NotANumber(const QLineEdit* field) {
  throw EditorError(QStringLiteral("%1 holds \"%2\", which is not a number")
                        .arg(field->objectName(), field->text()));
}

[[noreturn]] void OutOfWidth(const QLineEdit* field, int bits) {
  throw EditorError(QStringLiteral("%1 holds \"%2\", which does not fit in %3 bits")
                        .arg(field->objectName(), field->text())
                        .arg(bits));
}

double NumberIn(const QLineEdit* field, const QLocale& locale) {
  const std::optional<double> number = ParseNumber(field->text(), locale);
  if (!number) {
    NotANumber(field);
  }
  return *number;
}

LONG Int32Text(const QLineEdit* field, const QLocale& locale) {
  const std::optional<std::int32_t> value = RoundToInt32(NumberIn(field, locale));
  if (!value) {
    OutOfWidth(field, 32);
  }
  return *value;
}

SHORT Int16Text(const QLineEdit* field, const QLocale& locale) {
  const std::optional<std::int16_t> value = RoundToInt16(NumberIn(field, locale));
  if (!value) {
    OutOfWidth(field, 16);
  }
  return *value;
}

LONG ScaledText(const QLineEdit* field, double factor, const QLocale& locale) {
  const std::optional<std::int32_t> value = RoundToInt32(NumberIn(field, locale) * factor);
  if (!value) {
    OutOfWidth(field, 32);
  }
  return *value;
}

// One character of the VIN frame: a blank stands in for an empty box, so the
// characters behind it keep their places.
QString VinCharacter(const QLineEdit* box) {
  const QString text = box->text();
  return text.isEmpty() ? QStringLiteral(" ") : text;
}

QString VinDigit(const QString& vin, int position) {
  return vin.size() >= position ? vin.mid(position - 1, 1) : QString();
}

int BrightnessDayEntry(LONG value) {
  if (value == kBrightness60) return 0;
  if (value == kBrightness80) return 1;
  return 2;
}

int BrightnessNightEntry(LONG value) {
  if (value == kBrightness80) return 1;
  if (value == kBrightness100) return 2;
  return 0;
}

LONG BrightnessValue(const QComboBox* list) {
  switch (list->currentIndex()) {
    case 0: return kBrightness60;
    case 1: return kBrightness80;
    default: return kBrightness100;
  }
}

int AlignmentEntry(Font_JustifyType value) {
  return value >= FONT_LEFT && value <= FONT_RIGHT ? static_cast<int>(value) : 1;
}

struct WindowControls {
  QLineEdit* x;
  QLineEdit* y;
  QComboBox* align;
};

WindowControls ControlsOf(Form1& form, Object_Id window) {
  switch (window) {
    case WIN_CLOCK: return {form.ClockX, form.ClockY, form.ClockAlign};
    case WIN_COMPASS: return {form.CompassX, form.CompassY, form.CompassAlign};
    case WIN_MPG: return {form.MpgX, form.MpgY, form.MpgAlign};
    case WIN_FUEL: return {form.FuelX, form.FuelY, form.FuelAlign};
    case WIN_INFO: break;
  }
  return {form.InfoX, form.InfoY, form.InfoAlign};
}

void ShowBit(IPreferences& prefs, HRESULT (IPreferences::*get)(LONG*), const char* call, LONG bit,
             QAbstractButton* box) {
  box->setChecked((Get(prefs, get, call) & bit) != 0);
}

void ApplyBit(IPreferences& prefs, HRESULT (IPreferences::*get)(LONG*),
              HRESULT (IPreferences::*put)(LONG), const char* getCall, const char* putCall, LONG bit,
              const QAbstractButton* box) {
  LONG value = Get(prefs, get, getCall);
  value = box->isChecked() ? (value | bit) : (value & ~bit);
  Check((prefs.*put)(value), putCall);
}

#define SHOW_FLAG(bit, box) ShowBit(prefs, &IPreferences::get_Flags, "get_Flags", bit, box)
#define APPLY_FLAG(bit, box)                                                                 \
  ApplyBit(prefs, &IPreferences::get_Flags, &IPreferences::put_Flags, "get_Flags", "put_Flags", \
           bit, box)
#define SHOW_NMEA(bit, box) ShowBit(prefs, &IPreferences::get_NMEAFlags, "get_NMEAFlags", bit, box)
#define APPLY_NMEA(bit, box)                                                            \
  ApplyBit(prefs, &IPreferences::get_NMEAFlags, &IPreferences::put_NMEAFlags, "get_NMEAFlags", \
           "put_NMEAFlags", bit, box)

}  // namespace

void ShowSettings(Form1& form, IPreferences& prefs) {
  const QLocale locale = NumberLocale();
  const auto integer = [&](QLineEdit* field, std::int64_t value) {
    field->setText(FormatInteger(value, locale));
  };
  const auto scaled = [&](QLineEdit* field, std::int64_t value, double factor) {
    field->setText(FormatScaled(value, factor, locale));
  };

  // 1: the version in hexadecimal, as few digits as needed.
  form.version->setText(
      QStringLiteral("0x") +
      QString::number(static_cast<quint32>(GET(Version)), 16).toUpper());

  // 2: characters 4, 8 and 10 of the VIN.
  {
    BSTR vin = nullptr;
    Check(prefs.get_VIN(&vin), "get_VIN");
    const QString text = QString::fromUtf16(vin, static_cast<qsizetype>(SysStringLen(vin)));
    SysFreeString(vin);
    form.VIN4->setText(VinDigit(text, 4));
    form.VIN8->setText(VinDigit(text, 8));
    form.VIN10->setText(VinDigit(text, 10));
  }

  // 3
  if (GET(Region) == 0) {
    form.US->setChecked(true);
  } else {
    form.EMEA->setChecked(true);
  }

  // 4-8
  SHOW_FLAG(kFlagFahrenheit, form.Check1);
  SHOW_FLAG(kFlagMiles, form.Check2);
  SHOW_FLAG(kFlag4000Ppm, form.Check3);
  SHOW_FLAG(kFlag12HourClock, form.Check4);
  SHOW_FLAG(kFlagCustomPpm, form.Check5);

  // 9-10
  form.MaxBrightDay->setCurrentIndex(BrightnessDayEntry(GET(BrightnessDay)));
  form.MaxBrightNight->setCurrentIndex(BrightnessNightEntry(GET(BrightnessNight)));

  // 11-14: the splash time is held in 1/25 s.
  scaled(form.SplashTime, GET(SplashTime), 25);
  integer(form.SpeedUpd, GET(SpeedUpdate));
  integer(form.CompassUpd, GET(CompassUpdate));
  integer(form.SpdThreshold, GET(SpeedFilterThreshold));

  // 15
  form.Fontcolor->setOleColor(GET(FontColor));

  // 16-19
  integer(form.Baudrate, GET(GPSBaudrate));
  integer(form.GMTOffs, GET(TimeZoneOffset));
  SHOW_NMEA(kNmeaProcessGga, form.ProcGGA);
  SHOW_NMEA(kNmeaInvertPolarity, form.GPSInvert);

  // 20-26: the satellite time in ms, the refuel warning in half tenths.
  scaled(form.SatLockDisp, GET(SatTime), 1000);
  integer(form.IceWarn, GET(IceWarning));
  integer(form.Skey, GET(ShortPressTime));
  integer(form.Lkey, GET(LongPressTime));
  integer(form.CANBaud, GET(CANBaudrate));
  scaled(form.LowFuel, GET(RefuelWarning), 2);
  integer(form.Pulses005, GET(Fuel005));

  // 27-29
  QLineEdit* const balance[] = {form.Rbalance, form.Gbalance, form.Bbalance};
  for (INT index = 0; index < 3; ++index) {
    LONG value = 0;
    Check(prefs.get_ColorBalance(index, &value), "get_ColorBalance");
    integer(balance[index], value);
  }

  // 30-32: the day/night threshold is held in tenths of a volt.
  integer(form.FuelDiv, GET(FuelDiv));
  integer(form.FuelMul, GET(FuelMul));
  scaled(form.DayNightVolts, GET(Ill_min_volt), 10);

  // 33-47
  for (const Object_Id window : kWindowOrder) {
    const WindowControls controls = ControlsOf(form, window);
    integer(controls.x, GetAt(prefs, &IPreferences::get_ElementX, window, "get_ElementX"));
    integer(controls.y, GetAt(prefs, &IPreferences::get_ElementY, window, "get_ElementY"));
    controls.align->setCurrentIndex(AlignmentEntry(
        GetAt(prefs, &IPreferences::get_ElementAlignment, window, "get_ElementAlignment")));
  }

  // 48: with kilometres chosen the form shows pulses per kilometre.
  {
    const LONG ppm = GET(PPMKM);
    if ((GET(Flags) & kFlagMiles) != 0) {
      integer(form.CustPPM, ppm);
    } else {
      integer(form.CustPPM,
              static_cast<std::int64_t>(std::nearbyint(static_cast<double>(ppm) * kKilometresPerMile)));
    }
  }

  // 49-53
  integer(form.Aircore, GET(Aircore));
  integer(form.Debounce, GET(Debounce));
  integer(form.OdoDisplay, GET(OdoDisplayTime));
  integer(form.AC_Speed, GET(AircoreTestSpeed));
  integer(form.AC_Range, GET(AircoreTestRange));
}

void ApplySettings(Form1& form, IPreferences& prefs) {
  const QLocale locale = NumberLocale();

  // 2: the fixed 17-character frame around the three stored characters.
  {
    const QString vin = QStringLiteral("1G ") + VinCharacter(form.VIN4) + QStringLiteral("   ") +
                        VinCharacter(form.VIN8) + QStringLiteral(" ") + VinCharacter(form.VIN10) +
                        QStringLiteral(" 000001");
    BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(vin.utf16()),
                                  static_cast<UINT>(vin.size()));
    if (text == nullptr) {
      throw EditorError(QStringLiteral("out of memory while sending the VIN"), E_OUTOFMEMORY);
    }
    const HRESULT hr = prefs.put_VIN(text);
    SysFreeString(text);
    Check(hr, "put_VIN");
  }

  // 3
  PUT(Region, form.US->isChecked() ? 0 : 1);

  // 4-8: one read and one write per bit; other bits keep their values.
  APPLY_FLAG(kFlagFahrenheit, form.Check1);
  APPLY_FLAG(kFlagMiles, form.Check2);
  APPLY_FLAG(kFlag4000Ppm, form.Check3);
  APPLY_FLAG(kFlag12HourClock, form.Check4);
  APPLY_FLAG(kFlagCustomPpm, form.Check5);

  // 9-10
  PUT(BrightnessDay, BrightnessValue(form.MaxBrightDay));
  PUT(BrightnessNight, BrightnessValue(form.MaxBrightNight));

  // 11-14
  PUT(SplashTime, ScaledText(form.SplashTime, 25, locale));
  PUT(SpeedUpdate, Int32Text(form.SpeedUpd, locale));
  PUT(CompassUpdate, Int32Text(form.CompassUpd, locale));
  PUT(SpeedFilterThreshold, Int32Text(form.SpdThreshold, locale));

  // 15: the swatch's value goes back as it is.
  PUT(FontColor, form.Fontcolor->oleColor());

  // 16-19
  PUT(GPSBaudrate, Int32Text(form.Baudrate, locale));
  PUT(TimeZoneOffset, Int32Text(form.GMTOffs, locale));
  APPLY_NMEA(kNmeaProcessGga, form.ProcGGA);
  APPLY_NMEA(kNmeaInvertPolarity, form.GPSInvert);

  // 20-26
  PUT(SatTime, ScaledText(form.SatLockDisp, 1000, locale));
  PUT(IceWarning, Int32Text(form.IceWarn, locale));
  PUT(ShortPressTime, Int32Text(form.Skey, locale));
  PUT(LongPressTime, Int32Text(form.Lkey, locale));
  PUT(CANBaudrate, Int32Text(form.CANBaud, locale));
  PUT(RefuelWarning, ScaledText(form.LowFuel, 2, locale));
  PUT(Fuel005, Int32Text(form.Pulses005, locale));

  // 27-29
  const QLineEdit* const balance[] = {form.Rbalance, form.Gbalance, form.Bbalance};
  for (INT index = 0; index < 3; ++index) {
    Check(prefs.put_ColorBalance(index, Int32Text(balance[index], locale)), "put_ColorBalance");
  }

  // 30-32
  PUT(FuelDiv, Int16Text(form.FuelDiv, locale));
  PUT(FuelMul, Int16Text(form.FuelMul, locale));
  PUT(Ill_min_volt, ScaledText(form.DayNightVolts, 10, locale));

  // 33-47: an alignment list without a selected entry leaves the window's
  // alignment as it is.
  for (const Object_Id window : kWindowOrder) {
    const WindowControls controls = ControlsOf(form, window);
    Check(prefs.put_ElementX(window, Int32Text(controls.x, locale)), "put_ElementX");
    Check(prefs.put_ElementY(window, Int32Text(controls.y, locale)), "put_ElementY");
    const int entry = controls.align->currentIndex();
    if (entry >= 0) {
      Check(prefs.put_ElementAlignment(window, static_cast<Font_JustifyType>(entry)),
            "put_ElementAlignment");
    }
  }

  // 48: the miles bit as row 5 has just written it decides the unit.
  if ((GET(Flags) & kFlagMiles) != 0) {
    PUT(PPMKM, Int32Text(form.CustPPM, locale));
  } else {
    const std::optional<std::int32_t> ppm =
        RoundToInt32(NumberIn(form.CustPPM, locale) / kKilometresPerMile);
    if (!ppm) {
      OutOfWidth(form.CustPPM, 32);
    }
    PUT(PPMKM, *ppm);
  }

  // 49-53
  PUT(Aircore, Int16Text(form.Aircore, locale));
  PUT(Debounce, Int16Text(form.Debounce, locale));
  PUT(OdoDisplayTime, Int16Text(form.OdoDisplay, locale));
  PUT(AircoreTestSpeed, Int16Text(form.AC_Speed, locale));
  PUT(AircoreTestRange, Int32Text(form.AC_Range, locale));
}

}  // namespace brindle

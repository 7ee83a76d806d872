#include "form.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <objbase.h>

#include <memory>

#include "checks.h"
#include "color_swatch.h"
#include "commands.h"
#include "mapping.h"

namespace brindle {

namespace {

// Geometry is given in twips; 15 twips make one pixel at 96 dpi, and Qt
// scales pixels for higher resolutions.
constexpr int Px(int twips) { return (twips + 7) / 15; }
QRect Twips(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

constexpr int kClientWidth = 11130;
constexpr int kClientHeight = 8460;
constexpr int kFirstRow = 360;    // first row below a group's top edge
constexpr int kRowPitch = 360;
constexpr int kLabelLeft = 120;   // labels start this far from the group's left
constexpr int kRowHeight = 315;   // fields, lists, boxes and labels
constexpr int kColumnGap = 60;    // between a label's end and its field

constexpr int RowTop(int row) { return kFirstRow + row * kRowPitch; }

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption, int left, int top,
                 int width, int height) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QLatin1String(name));
  group->setGeometry(Twips(left, top, width, height));
  return group;
}

// A caption at the start of a row; it ends where the row's field starts.
QLabel* Caption(QWidget* group, const char* forField, const QString& text, int row,
                int fieldLeft) {
  auto* label = new QLabel(text, group);
  label->setObjectName(QLatin1String(forField) + QStringLiteral("Label"));
  label->setGeometry(Twips(kLabelLeft, RowTop(row), fieldLeft - kColumnGap - kLabelLeft,
                           kRowHeight));
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width,
              int height = kRowHeight) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(Twips(left, top, width, height));
  return widget;
}

QLineEdit* Field(QWidget* group, const char* name, int row, int left, int width) {
  return Place(new QLineEdit(group), name, left, RowTop(row), width);
}

QComboBox* List(QWidget* group, const char* name, int top, int left, int width) {
  return Place(new DropDownCombo(group), name, left, top, width);
}

QCheckBox* Box(QWidget* group, const char* name, const QString& caption, int row, int width) {
  return Place(new QCheckBox(caption, group), name, kLabelLeft, RowTop(row), width);
}

// The two fixed lists.
const QStringList kBrightnessItems = {QStringLiteral("60 mCd"), QStringLiteral("80 mCd"),
                                      QStringLiteral("100 mCd")};
const QStringList kAlignmentItems = {QStringLiteral("Left"), QStringLiteral("Center"),
                                     QStringLiteral("Right")};

// The layout was drawn for a compact 8-point sans serif; a sans serif with
// those metrics at 11 pixels keeps the longest caption ("Speed filter
// threshold (mph/kmh)") inside its column.
QFont FormFont(QFont font) {
  font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("Helvetica"), font.family()});
  font.setPixelSize(11);
  return font;
}

QString StatusMeaning(HRESULT status) {
  switch (status) {
    case REGDB_E_CLASSNOTREG:
      return QStringLiteral("the Preferences component is not registered");
    case CO_E_DLLNOTFOUND:
      return QStringLiteral("the registered component library cannot be loaded");
    case CO_E_ERRORINDLL:
      return QStringLiteral("the component library has no class factory");
    case E_NOINTERFACE:
      return QStringLiteral("the component does not offer IPreferences");
    default:
      return QStringLiteral("the Preferences component cannot be created");
  }
}

}  // namespace

HRESULT CreatePreferences(ComPtr<IPreferences>* out) {
  return CoCreateInstance(CLSID_Preferences, nullptr, CLSCTX_INPROC_SERVER, IID_IPreferences,
                          reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
}

QString StartupFailureText(HRESULT status) {
  return QStringLiteral(
             "Brindle cannot start: %1 (status %2).\n"
             "Register the component with: quillon register")
      .arg(StatusMeaning(status), FormatStatus(status));
}

DropDownCombo::DropDownCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // Typed text selects no entry. Dropping the index empties the text part,
  // so the typed text and the cursor are put back.
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    if (currentIndex() == -1) {
      return;
    }
    const int cursor = lineEdit()->cursorPosition();
    setCurrentIndex(-1);
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(cursor);
  });
}

Form1::Form1(PrefsFactory factory, std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QWidget(parent), factory_(std::move(factory)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Brindle V1.02 (beta)"));
  setFont(FormFont(font()));

  createGroups();
  createConfigurationAndVin();
  createRegionAndFlags();
  createDisplay();
  createGpsAndAirCore();
  createMisc();
  createFuel();
  createWindows();
  createButtonsAndStatusLine();
  setTabOrder();

  checks_ = std::make_unique<FieldChecks>(*this);
  veto_ = std::make_unique<FocusVeto>(*this, *checks_);
  commands_ = std::make_unique<Commands>(*this, std::move(dialogs),
                                         QCoreApplication::applicationDirPath());
  connect(Load, &QPushButton::clicked, this, [this] { commands_->Load_Click(); });
  connect(Save, &QPushButton::clicked, this, [this] { commands_->Save_Click(); });
  connect(Command1, &QPushButton::clicked, this, [this] { commands_->Command1_Click(); });
  connect(Exit, &QPushButton::clicked, this, [this] { commands_->Exit_Click(); });

  Exit->setFocus();
}

Form1::~Form1() {
  // The veto watches focus changes that the destruction of the children
  // would trigger; it goes first.
  veto_.reset();
}

void Form1::createGroups() {
  Frame2 = Group(this, "Frame2", QStringLiteral("Configuration"), 120, 120, 1935, 855);
  Frame1 = Group(this, "Frame1", QStringLiteral("VIN digit"), 120, 1080, 1935, 1575);
  Frame3 = Group(this, "Frame3", QStringLiteral("Region"), 120, 2760, 1935, 1215);
  Frame6 = Group(this, "Frame6", QStringLiteral("GPS"), 120, 4200, 2415, 2295);
  Frame10 = Group(this, "Frame10", QStringLiteral("Air Core"), 120, 6720, 2415, 1575);
  Frame4 = Group(this, "Frame4", QStringLiteral("Flags"), 2280, 120, 2175, 3855);
  Frame7 = Group(this, "Frame7", QStringLiteral("Misc"), 2760, 4200, 2655, 4095);
  Frame5 = Group(this, "Frame5", QStringLiteral("Display"), 4680, 120, 3375, 3855);
  Frame8 = Group(this, "Frame8", QStringLiteral("Fuel (Fiero V6 only)"), 5640, 4200, 2415, 2295);
  Frame9 = Group(this, "Frame9", QStringLiteral("Windows"), 8280, 120, 2655, 6375);
}

void Form1::createConfigurationAndVin() {
  constexpr int kVersionLeft = 1080;
  Caption(Frame2, "version", QStringLiteral("Version:"), 0, kVersionLeft);
  version = Place(new QLabel(Frame2), "version", kVersionLeft, RowTop(0), 735);
  version->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  constexpr int kVinLeft = 1320;
  constexpr int kVinWidth = 375;
  Caption(Frame1, "VIN4", QStringLiteral("4: Platform"), 0, kVinLeft);
  VIN4 = Field(Frame1, "VIN4", 0, kVinLeft, kVinWidth);
  Caption(Frame1, "VIN8", QStringLiteral("8: Engine"), 1, kVinLeft);
  VIN8 = Field(Frame1, "VIN8", 1, kVinLeft, kVinWidth);
  Caption(Frame1, "VIN10", QStringLiteral("10: Year"), 2, kVinLeft);
  VIN10 = Field(Frame1, "VIN10", 2, kVinLeft, kVinWidth);
  for (QLineEdit* box : {VIN4, VIN8, VIN10}) {
    box->setMaxLength(1);
  }
}

void Form1::createRegionAndFlags() {
  US = Place(new QRadioButton(QStringLiteral("United States/CAN"), Frame3), "US", kLabelLeft,
             RowTop(0), 1815);
  EMEA = Place(new QRadioButton(QStringLiteral("Europe/MEA"), Frame3), "EMEA", kLabelLeft,
               RowTop(1), 1815);

  constexpr int kBoxWidth = 1935;
  Check1 = Box(Frame4, "Check1", QStringLiteral("Fahrenheit (Celsius)"), 0, kBoxWidth);
  Check2 = Box(Frame4, "Check2", QStringLiteral("Miles (km)"), 1, kBoxWidth);
  Check3 = Box(Frame4, "Check3", QStringLiteral("4000 (2000) ppm"), 2, kBoxWidth);
  Check4 = Box(Frame4, "Check4", QStringLiteral("12hr (24 hr) clock"), 3, kBoxWidth);
  Check5 = Box(Frame4, "Check5", QStringLiteral("Custom PPM"), 4, kBoxWidth);
  Check6 = Box(Frame4, "Check6", QStringLiteral("Spare 1"), 5, kBoxWidth);
  Check7 = Box(Frame4, "Check7", QStringLiteral("Spare 2"), 6, kBoxWidth);
  Check8 = Box(Frame4, "Check8", QStringLiteral("Spare 3"), 7, kBoxWidth);
  for (QCheckBox* spare : {Check6, Check7, Check8}) {
    spare->setEnabled(kFuelScaleEditable);
  }
}

void Form1::createDisplay() {
  constexpr int kListLeft = 2160;
  constexpr int kListWidth = 1095;
  constexpr int kFieldLeft = 2640;
  constexpr int kFieldWidth = 615;
  Caption(Frame5, "MaxBrightDay", QStringLiteral("Max. Brightness day"), 0, kListLeft);
  MaxBrightDay = List(Frame5, "MaxBrightDay", RowTop(0), kListLeft, kListWidth);
  Caption(Frame5, "MaxBrightNight", QStringLiteral("Max. Brightness night"), 1, kListLeft);
  MaxBrightNight = List(Frame5, "MaxBrightNight", RowTop(1), kListLeft, kListWidth);

  Caption(Frame5, "SplashTime", QStringLiteral("Splash duration (sec)"), 2, kFieldLeft);
  SplashTime = Field(Frame5, "SplashTime", 2, kFieldLeft, kFieldWidth);
  Caption(Frame5, "SpeedUpd", QStringLiteral("Speed updates (ms)"), 3, kFieldLeft);
  SpeedUpd = Field(Frame5, "SpeedUpd", 3, kFieldLeft, kFieldWidth);
  Caption(Frame5, "CompassUpd", QStringLiteral("Compass updates (ms)"), 4, kFieldLeft);
  CompassUpd = Field(Frame5, "CompassUpd", 4, kFieldLeft, kFieldWidth);
  Caption(Frame5, "SpdThreshold", QStringLiteral("Speed filter threshold (mph/kmh)"), 5,
          kFieldLeft);
  SpdThreshold = Field(Frame5, "SpdThreshold", 5, kFieldLeft, kFieldWidth);
  Caption(Frame5, "OdoDisplay", QStringLiteral("Odometer duration (sec)"), 6, kFieldLeft);
  OdoDisplay = Field(Frame5, "OdoDisplay", 6, kFieldLeft, kFieldWidth);

  constexpr int kSwatchLeft = 1680;
  Caption(Frame5, "Fontcolor", QStringLiteral("Font color"), 7, kSwatchLeft);
  Fontcolor = Place(new ColorSwatch(Frame5), "Fontcolor", kSwatchLeft, RowTop(7) + 30, 735, 255);
  Command1 = Place(new QPushButton(QStringLiteral("Select"), Frame5), "Command1", 2520,
                   RowTop(7), 735);

  constexpr int kBalanceWidth = 495;
  Caption(Frame5, "Rbalance", QStringLiteral("Color balance"), 8, kSwatchLeft);
  Rbalance = Field(Frame5, "Rbalance", 8, kSwatchLeft, kBalanceWidth);
  Gbalance = Field(Frame5, "Gbalance", 8, kSwatchLeft + 540, kBalanceWidth);
  Bbalance = Field(Frame5, "Bbalance", 8, kSwatchLeft + 1080, kBalanceWidth);
}

void Form1::createGpsAndAirCore() {
  constexpr int kGpsLeft = 1560;
  Caption(Frame6, "Baudrate", QStringLiteral("NMEA Baudrate"), 0, kGpsLeft);
  Baudrate = Field(Frame6, "Baudrate", 0, kGpsLeft, 735);
  Caption(Frame6, "GMTOffs", QStringLiteral("GSM Offset"), 1, kGpsLeft);
  GMTOffs = Field(Frame6, "GMTOffs", 1, kGpsLeft, 735);
  GPSInvert = Box(Frame6, "GPSInvert", QStringLiteral("Invert polarity"), 2, 2175);
  ProcGGA = Box(Frame6, "ProcGGA", QStringLiteral("Process GGA msg"), 3, 2175);
  Caption(Frame6, "SatLockDisp", QStringLiteral("Sat icon display"), 4, kGpsLeft);
  SatLockDisp = Field(Frame6, "SatLockDisp", 4, kGpsLeft, 735);

  constexpr int kAirCoreLeft = 1440;
  Caption(Frame10, "Aircore", QStringLiteral("Calibration"), 0, kAirCoreLeft);
  Aircore = Field(Frame10, "Aircore", 0, kAirCoreLeft, 735);
  Caption(Frame10, "AC_Range", QStringLiteral("Selftest range"), 1, kAirCoreLeft);
  AC_Range = Field(Frame10, "AC_Range", 1, kAirCoreLeft, 735);
  Caption(Frame10, "AC_Speed", QStringLiteral("Selftest speed"), 2, kAirCoreLeft);
  AC_Speed = Field(Frame10, "AC_Speed", 2, kAirCoreLeft, 735);
}

void Form1::createMisc() {
  constexpr int kMiscLeft = 1860;
  constexpr int kMiscWidth = 615;
  Caption(Frame7, "IceWarn", QStringLiteral("Ice warning (C)"), 0, kMiscLeft);
  IceWarn = Field(Frame7, "IceWarn", 0, kMiscLeft, kMiscWidth);
  Caption(Frame7, "Skey", QStringLiteral("Short key (ms)"), 1, kMiscLeft);
  Skey = Field(Frame7, "Skey", 1, kMiscLeft, kMiscWidth);
  Caption(Frame7, "Lkey", QStringLiteral("Long key (ms)"), 2, kMiscLeft);
  Lkey = Field(Frame7, "Lkey", 2, kMiscLeft, 735);
  Caption(Frame7, "Debounce", QStringLiteral("Debounce (ms)"), 3, kMiscLeft);
  Debounce = Field(Frame7, "Debounce", 3, kMiscLeft, kMiscWidth);
  Caption(Frame7, "CANBaud", QStringLiteral("CAN Baudrate (kBit/s)"), 4, kMiscLeft);
  CANBaud = Field(Frame7, "CANBaud", 4, kMiscLeft, kMiscWidth);
  Caption(Frame7, "DayNightVolts", QStringLiteral("Illum. day/night volts"), 5, kMiscLeft);
  DayNightVolts = Field(Frame7, "DayNightVolts", 5, kMiscLeft, kMiscWidth);
  Caption(Frame7, "CustPPM", QStringLiteral("Custom PPM"), 6, kMiscLeft);
  CustPPM = Field(Frame7, "CustPPM", 6, kMiscLeft, kMiscWidth);
}

void Form1::createFuel() {
  constexpr int kFuelLeft = 1680;
  constexpr int kFuelWidth = 615;
  Caption(Frame8, "LowFuel", QStringLiteral("Low fuel (0,1 liters)"), 0, kFuelLeft);
  LowFuel = Field(Frame8, "LowFuel", 0, kFuelLeft, kFuelWidth);
  Caption(Frame8, "Pulses005", QStringLiteral("Pulses per 0.05 ltr"), 1, kFuelLeft);
  Pulses005 = Field(Frame8, "Pulses005", 1, kFuelLeft, kFuelWidth);
  Caption(Frame8, "FuelMul", QStringLiteral("Fuel Scale Mul"), 2, kFuelLeft);
  FuelMul = Field(Frame8, "FuelMul", 2, kFuelLeft, kFuelWidth);
  Caption(Frame8, "FuelDiv", QStringLiteral("Fuel Scale Div"), 3, kFuelLeft);
  FuelDiv = Field(Frame8, "FuelDiv", 3, kFuelLeft, kFuelWidth);
  FuelMul->setEnabled(kFuelScaleEditable);
  FuelDiv->setEnabled(kFuelScaleEditable);
}

void Form1::createWindows() {
  constexpr int kLeft = 1320;
  constexpr int kFieldWidth = 615;
  constexpr int kListWidth = 1095;
  constexpr int kBlockGap = 120;  // after each window's three rows
  struct Block {
    const char* x;
    const char* y;
    const char* align;
    QString caption;
    QLineEdit** xField;
    QLineEdit** yField;
    QComboBox** list;
  };
  const Block blocks[] = {
      {"ClockX", "ClockY", "ClockAlign", QStringLiteral("Clock"), &ClockX, &ClockY, &ClockAlign},
      {"CompassX", "CompassY", "CompassAlign", QStringLiteral("Compass"), &CompassX, &CompassY,
       &CompassAlign},
      {"MpgX", "MpgY", "MpgAlign", QStringLiteral("Mpg"), &MpgX, &MpgY, &MpgAlign},
      {"FuelX", "FuelY", "FuelAlign", QStringLiteral("Fuel "), &FuelX, &FuelY, &FuelAlign},
      {"InfoX", "InfoY", "InfoAlign", QStringLiteral("Info"), &InfoX, &InfoY, &InfoAlign},
  };
  int top = kFirstRow;
  for (const Block& block : blocks) {
    const auto caption = [&](const char* field, const QString& what) {
      auto* label = new QLabel(block.caption + QLatin1Char(' ') + what, Frame9);
      label->setObjectName(QLatin1String(field) + QStringLiteral("Label"));
      label->setGeometry(Twips(kLabelLeft, top, kLeft - kColumnGap - kLabelLeft, kRowHeight));
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    caption(block.x, QStringLiteral("X"));
    *block.xField = Place(new QLineEdit(Frame9), block.x, kLeft, top, kFieldWidth);
    top += kRowPitch;
    caption(block.y, QStringLiteral("Y"));
    *block.yField = Place(new QLineEdit(Frame9), block.y, kLeft, top, kFieldWidth);
    top += kRowPitch;
    caption(block.align, QStringLiteral("Align"));
    *block.list = List(Frame9, block.align, top, kLeft, kListWidth);
    top += kRowPitch + kBlockGap;
  }
}

void Form1::createButtonsAndStatusLine() {
  Load = Place(new QPushButton(QStringLiteral("Load"), this), "Load", 5640, 7800, 1215, 495);
  Save = Place(new QPushButton(QStringLiteral("Save"), this), "Save", 7080, 7800, 1215, 495);
  Exit = Place(new QPushButton(QStringLiteral("Exit"), this), "Exit", 9720, 7800, 1215, 495);
  for (QPushButton* button : {Load, Save, Exit}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  // The status line sits below the client area; the window grows by its
  // height and nothing else moves.
  StatusLine = new QLabel(this);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  const int height = StatusLine->fontMetrics().height() + 6;
  StatusLine->setGeometry(0, Px(kClientHeight), Px(kClientWidth), height);
  setFixedSize(Px(kClientWidth), Px(kClientHeight) + height);
}

void Form1::setTabOrder() {
  QWidget* const order[] = {
      Exit,      Load,          Save,       VIN4,        VIN8,     VIN10,     Check1,
      Check2,    Check3,        Check4,     Check5,      Check6,   Check7,    Check8,
      MaxBrightDay, SplashTime, SpeedUpd,   CompassUpd,  SpdThreshold, Baudrate, GMTOffs,
      GPSInvert, ProcGGA,       SatLockDisp, IceWarn,    Skey,     Lkey,      CANBaud,
      LowFuel,   Pulses005,     Rbalance,   Gbalance,    Bbalance, Command1,  FuelMul,
      FuelDiv,   MaxBrightNight, DayNightVolts, ClockX,  ClockAlign, CompassX, CompassAlign,
      InfoX,     InfoAlign,     ClockY,     CompassY,    InfoY,    FuelX,     FuelY,
      FuelAlign, MpgX,          MpgY,       MpgAlign,    CustPPM,  OdoDisplay, Debounce,
      EMEA,      US,            Aircore,    AC_Range,    AC_Speed,
  };
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!focusedOnce_) {
    focusedOnce_ = true;
    Exit->setFocus();
  }
}

void Form1::Form_Load() {
  MaxBrightDay->addItems(kBrightnessItems);
  MaxBrightNight->addItems(kBrightnessItems);
  for (QComboBox* list : {ClockAlign, CompassAlign, InfoAlign, FuelAlign, MpgAlign}) {
    list->addItems(kAlignmentItems);
  }
  ShowSettings();
}

IPreferences& Form1::Prefs() {
  if (!prefs_) {
    ComPtr<IPreferences> created;
    HRESULT hr = factory_ ? factory_(std::addressof(created)) : E_POINTER;
    if (SUCCEEDED(hr) && !created) {
      hr = E_POINTER;
    }
    if (FAILED(hr)) {
      throw ComponentUnavailable(StartupFailureText(hr), hr);
    }
    prefs_ = std::move(created);
  }
  return *prefs_.Get();
}

void Form1::ShowSettings() { brindle::ShowSettings(*this, Prefs()); }
void Form1::ApplySettings() { brindle::ApplySettings(*this, Prefs()); }

void Form1::SetStatus(const QString& text) { StatusLine->setText(text); }
QString Form1::Status() const { return StatusLine->text(); }

}  // namespace brindle

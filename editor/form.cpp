#include "form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QUrl>

#include <objbase.h>

#include <memory>

#include "checks.h"
#include "color_swatch.h"
#include "commands.h"
#include "mapping.h"
#include "preview.h"

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

// The layout was drawn for a compact sans serif of about 11 pixels. Where
// none of these families is installed, the form's font gets smaller until
// every caption fits (see fitCaptions).
constexpr int kPreferredPixels = 11;
constexpr int kSmallestPixels = 7;
QFont FormFont(QFont font) {
  font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                    QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                    font.family()});
  font.setPixelSize(kPreferredPixels);
  return font;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption, int left, int top,
                 int width, int height) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QLatin1String(name));
  group->setGeometry(Twips(left, top, width, height));
  return group;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width,
              int height = kRowHeight) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(Twips(left, top, width, height));
  return widget;
}

// The caption of a row, from the group's left edge to its field; the field
// takes the caption (without a colon) as its name for assistive tools.
void Caption(QWidget* field, const QString& text, int top, int fieldLeft) {
  auto* label = new QLabel(text, field->parentWidget());
  label->setObjectName(field->objectName() + QStringLiteral("Label"));
  label->setGeometry(Twips(kLabelLeft, top, fieldLeft - kColumnGap - kLabelLeft, kRowHeight));
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setBuddy(field);
  QString name = text.simplified();
  if (name.endsWith(QLatin1Char(':'))) {
    name.chop(1);
  }
  field->setAccessibleName(name);
}

QLineEdit* Field(QWidget* group, const char* name, int left, int top, int width) {
  auto* field = Place(new QLineEdit(group), name, left, top, width);
  // A file dropped on the window loads it; no field takes its name as text.
  field->setAcceptDrops(false);
  return field;
}

QLineEdit* Field(QWidget* group, const char* name, const QString& caption, int row, int left,
                 int width) {
  QLineEdit* field = Field(group, name, left, RowTop(row), width);
  Caption(field, caption, RowTop(row), left);
  return field;
}

DropDownCombo* List(QWidget* group, const char* name, const QString& caption, int top, int left,
                    int width) {
  auto* list = Place(new DropDownCombo(group), name, left, top, width);
  list->lineEdit()->setAcceptDrops(false);
  Caption(list, caption, top, left);
  return list;
}

QCheckBox* Box(QWidget* group, const char* name, const QString& caption, int row, int width) {
  return Place(new QCheckBox(caption, group), name, kLabelLeft, RowTop(row), width);
}

QString StatusMeaning(HRESULT status) {
  switch (status) {
    case REGDB_E_CLASSNOTREG:
      return Form1::tr("the Preferences component is not registered");
    case CO_E_DLLNOTFOUND:
      return Form1::tr("the registered component library cannot be loaded");
    case CO_E_ERRORINDLL:
      return Form1::tr("the component library has no class factory");
    case E_NOINTERFACE:
      return Form1::tr("the component does not offer IPreferences");
    default:
      return Form1::tr("the Preferences component cannot be created");
  }
}

// Captions the form's font does not fit in their place.
QStringList ClippedCaptions(const QWidget& form) {
  QStringList clipped;
  for (const QLabel* label : form.findChildren<QLabel*>()) {
    if (!label->text().isEmpty() && !label->wordWrap() &&
        label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width()) {
      clipped << label->text();
    }
  }
  for (const QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
    // A push button's size hint carries a style minimum its text does not need.
    const int needed = qobject_cast<const QPushButton*>(button)
                           ? button->fontMetrics().horizontalAdvance(button->text()) + 8
                           : button->sizeHint().width();
    if (needed > button->width()) {
      clipped << button->text();
    }
  }
  for (const QGroupBox* group : form.findChildren<QGroupBox*>()) {
    if (group->fontMetrics().horizontalAdvance(group->title()) + 16 > group->width()) {
      clipped << group->title();
    }
  }
  for (const QComboBox* list : form.findChildren<QComboBox*>()) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    const int room = list->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option,
                                          QStyle::SC_ComboBoxEditField, list)
                         .width();
    for (int i = 0; i < list->count(); ++i) {
      if (list->fontMetrics().horizontalAdvance(list->itemText(i)) + 4 > room) {
        clipped << list->itemText(i);
      }
    }
  }
  return clipped;
}

}  // namespace

HRESULT CreatePreferences(ComPtr<IPreferences>* out) {
  return CoCreateInstance(CLSID_Preferences, nullptr, CLSCTX_INPROC_SERVER, IID_IPreferences,
                          reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
}

QString StartupFailureText(HRESULT status) {
  return Form1::tr(
             "Brindle cannot start: %1 (status %2).\n"
             "Register the component with: quillon register")
      .arg(StatusMeaning(status), FormatStatus(status));
}

DropDownCombo::DropDownCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // Qt selects the entry whose text the text part holds when editing ends
  // (focus out, Return). Typed text must select nothing, so that hand-over
  // goes.
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
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
  connect(this, &QComboBox::currentIndexChanged, this, [this](int entry) {
    if (entry >= 0) {
      lastEntry_ = entry;
    }
  });
}

CommandButton::CommandButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  // No button is the window's default: Return presses the focused one only.
  setAutoDefault(false);
  setDefault(false);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    animateClick();
    return;
  }
  QPushButton::keyPressEvent(event);
}

Form1::Form1(PrefsFactory factory, std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QWidget(parent), factory_(std::move(factory)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(ProgramTitle());
  setFont(FormFont(font()));
  setAcceptDrops(true);

  createGroups();
  createConfigurationAndVin();
  createRegionAndFlags();
  createDisplay();
  createGpsAndAirCore();
  createMisc();
  createFuel();
  createWindows();
  createButtons();
  resolveControls();
  createPreviewAndStatusLine();
  setTabOrder();
  keepRegionTabStopOnSelection();
  fitCaptions();

  checks_ = std::make_unique<FieldChecks>(*this);
  explainCheckedFields();
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

QString Form1::ProgramTitle() { return tr("Brindle V1.02 (beta)"); }

QString Form1::WindowName(Object_Id window) const {
  return windowNames_.at(static_cast<std::size_t>(window));
}

void Form1::createGroups() {
  Frame2 = Group(this, "Frame2", tr("Configuration"), 120, 120, 1935, 855);
  Frame1 = Group(this, "Frame1", tr("VIN digit"), 120, 1080, 1935, 1575);
  Frame3 = Group(this, "Frame3", tr("Region"), 120, 2760, 1935, 1215);
  Frame6 = Group(this, "Frame6", tr("GPS"), 120, 4200, 2415, 2295);
  Frame10 = Group(this, "Frame10", tr("Air Core"), 120, 6720, 2415, 1575);
  Frame4 = Group(this, "Frame4", tr("Flags"), 2280, 120, 2175, 3855);
  Frame7 = Group(this, "Frame7", tr("Misc"), 2760, 4200, 2655, 4095);
  Frame5 = Group(this, "Frame5", tr("Display"), 4680, 120, 3375, 3855);
  Frame8 = Group(this, "Frame8", tr("Fuel (Fiero V6 only)"), 5640, 4200, 2415, 2295);
  Frame9 = Group(this, "Frame9", tr("Windows"), 8280, 120, 2655, 6375);
}

void Form1::createConfigurationAndVin() {
  constexpr int kVersionLeft = 1080;
  version = Place(new QLabel(Frame2), "version", kVersionLeft, RowTop(0), 735);
  version->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Caption(version, tr("Version:"), RowTop(0), kVersionLeft);

  constexpr int kVinLeft = 1320;
  constexpr int kVinWidth = 375;
  VIN4 = Field(Frame1, "VIN4", tr("4: Platform"), 0, kVinLeft, kVinWidth);
  VIN8 = Field(Frame1, "VIN8", tr("8: Engine"), 1, kVinLeft, kVinWidth);
  VIN10 = Field(Frame1, "VIN10", tr("10: Year"), 2, kVinLeft, kVinWidth);
  for (QLineEdit* box : {VIN4, VIN8, VIN10}) {
    box->setMaxLength(1);
  }
}

void Form1::createRegionAndFlags() {
  US = Place(new QRadioButton(tr("United States/CAN"), Frame3), "US", kLabelLeft, RowTop(0), 1815);
  EMEA = Place(new QRadioButton(tr("Europe/MEA"), Frame3), "EMEA", kLabelLeft, RowTop(1), 1815);
  // The list entries of the Region row: US 0, EMEA 1.
  Region = new QButtonGroup(this);
  Region->setObjectName(QStringLiteral("Region"));
  Region->addButton(US, 0);
  Region->addButton(EMEA, 1);

  constexpr int kBoxWidth = 1935;
  Check1 = Box(Frame4, "Check1", tr("Fahrenheit (Celsius)"), 0, kBoxWidth);
  Check2 = Box(Frame4, "Check2", tr("Miles (km)"), 1, kBoxWidth);
  Check3 = Box(Frame4, "Check3", tr("4000 (2000) ppm"), 2, kBoxWidth);
  Check4 = Box(Frame4, "Check4", tr("12hr (24 hr) clock"), 3, kBoxWidth);
  Check5 = Box(Frame4, "Check5", tr("Custom PPM"), 4, kBoxWidth);
  Check6 = Box(Frame4, "Check6", tr("Spare 1"), 5, kBoxWidth);
  Check7 = Box(Frame4, "Check7", tr("Spare 2"), 6, kBoxWidth);
  Check8 = Box(Frame4, "Check8", tr("Spare 3"), 7, kBoxWidth);
  for (QCheckBox* spare : {Check6, Check7, Check8}) {
    spare->setEnabled(kFuelScaleEditable);
  }
}

void Form1::createDisplay() {
  constexpr int kListLeft = 2160;
  constexpr int kListWidth = 1095;
  constexpr int kFieldLeft = 2640;
  constexpr int kFieldWidth = 615;
  MaxBrightDay = List(Frame5, "MaxBrightDay", tr("Max. Brightness day"), RowTop(0), kListLeft,
                      kListWidth);
  MaxBrightNight = List(Frame5, "MaxBrightNight", tr("Max. Brightness night"), RowTop(1),
                        kListLeft, kListWidth);
  SplashTime = Field(Frame5, "SplashTime", tr("Splash duration (sec)"), 2, kFieldLeft, kFieldWidth);
  SpeedUpd = Field(Frame5, "SpeedUpd", tr("Speed updates (ms)"), 3, kFieldLeft, kFieldWidth);
  CompassUpd = Field(Frame5, "CompassUpd", tr("Compass updates (ms)"), 4, kFieldLeft, kFieldWidth);
  SpdThreshold = Field(Frame5, "SpdThreshold", tr("Speed filter threshold (mph/kmh)"), 5,
                       kFieldLeft, kFieldWidth);
  OdoDisplay = Field(Frame5, "OdoDisplay", tr("Odometer duration (sec)"), 6, kFieldLeft,
                     kFieldWidth);

  constexpr int kSwatchLeft = 1680;
  Fontcolor = Place(new ColorSwatch(Frame5), "Fontcolor", kSwatchLeft, RowTop(7) + 30, 735, 255);
  Caption(Fontcolor, tr("Font color"), RowTop(7), kSwatchLeft);
  Command1 = Place(new CommandButton(tr("Select"), Frame5), "Command1", 2520, RowTop(7), 735);
  Command1->setAccessibleName(tr("Select font color"));

  constexpr int kBalanceWidth = 495;
  const QString balance = tr("Color balance");
  Rbalance = Field(Frame5, "Rbalance", balance, 8, kSwatchLeft, kBalanceWidth);
  Gbalance = Field(Frame5, "Gbalance", kSwatchLeft + 540, RowTop(8), kBalanceWidth);
  Bbalance = Field(Frame5, "Bbalance", kSwatchLeft + 1080, RowTop(8), kBalanceWidth);
  Rbalance->setAccessibleName(tr("%1, red").arg(balance));
  Gbalance->setAccessibleName(tr("%1, green").arg(balance));
  Bbalance->setAccessibleName(tr("%1, blue").arg(balance));
}

void Form1::createGpsAndAirCore() {
  constexpr int kGpsLeft = 1560;
  Baudrate = Field(Frame6, "Baudrate", tr("NMEA Baudrate"), 0, kGpsLeft, 735);
  GMTOffs = Field(Frame6, "GMTOffs", tr("GSM Offset"), 1, kGpsLeft, 735);
  GPSInvert = Box(Frame6, "GPSInvert", tr("Invert polarity"), 2, 2175);
  ProcGGA = Box(Frame6, "ProcGGA", tr("Process GGA msg"), 3, 2175);
  SatLockDisp = Field(Frame6, "SatLockDisp", tr("Sat icon display"), 4, kGpsLeft, 735);

  constexpr int kAirCoreLeft = 1440;
  Aircore = Field(Frame10, "Aircore", tr("Calibration"), 0, kAirCoreLeft, 735);
  AC_Range = Field(Frame10, "AC_Range", tr("Selftest range"), 1, kAirCoreLeft, 735);
  AC_Speed = Field(Frame10, "AC_Speed", tr("Selftest speed"), 2, kAirCoreLeft, 735);
}

void Form1::createMisc() {
  constexpr int kMiscLeft = 1860;
  constexpr int kMiscWidth = 615;
  IceWarn = Field(Frame7, "IceWarn", tr("Ice warning (C)"), 0, kMiscLeft, kMiscWidth);
  Skey = Field(Frame7, "Skey", tr("Short key (ms)"), 1, kMiscLeft, kMiscWidth);
  Lkey = Field(Frame7, "Lkey", tr("Long key (ms)"), 2, kMiscLeft, 735);
  Debounce = Field(Frame7, "Debounce", tr("Debounce (ms)"), 3, kMiscLeft, kMiscWidth);
  CANBaud = Field(Frame7, "CANBaud", tr("CAN Baudrate (kBit/s)"), 4, kMiscLeft, kMiscWidth);
  DayNightVolts = Field(Frame7, "DayNightVolts", tr("Illum. day/night volts"), 5, kMiscLeft,
                        kMiscWidth);
  CustPPM = Field(Frame7, "CustPPM", tr("Custom PPM"), 6, kMiscLeft, kMiscWidth);
}

void Form1::createFuel() {
  constexpr int kFuelLeft = 1680;
  constexpr int kFuelWidth = 615;
  LowFuel = Field(Frame8, "LowFuel", tr("Low fuel (0,1 liters)"), 0, kFuelLeft, kFuelWidth);
  Pulses005 = Field(Frame8, "Pulses005", tr("Pulses per 0.05 ltr"), 1, kFuelLeft, kFuelWidth);
  FuelMul = Field(Frame8, "FuelMul", tr("Fuel Scale Mul"), 2, kFuelLeft, kFuelWidth);
  FuelDiv = Field(Frame8, "FuelDiv", tr("Fuel Scale Div"), 3, kFuelLeft, kFuelWidth);
  FuelMul->setEnabled(kFuelScaleEditable);
  FuelDiv->setEnabled(kFuelScaleEditable);
}

void Form1::createWindows() {
  constexpr int kLeft = 1320;
  constexpr int kFieldWidth = 615;
  constexpr int kListWidth = 1095;
  constexpr int kBlockGap = 120;  // after each window's three rows
  struct Block {
    Object_Id window;
    const char* x;
    const char* y;
    const char* align;
    QString caption;  // the captions' common start
    QLineEdit** xField;
    QLineEdit** yField;
    DropDownCombo** list;
  };
  const Block blocks[] = {
      {WIN_CLOCK, "ClockX", "ClockY", "ClockAlign", tr("Clock"), &ClockX, &ClockY, &ClockAlign},
      {WIN_COMPASS, "CompassX", "CompassY", "CompassAlign", tr("Compass"), &CompassX, &CompassY,
       &CompassAlign},
      {WIN_MPG, "MpgX", "MpgY", "MpgAlign", tr("Mpg"), &MpgX, &MpgY, &MpgAlign},
      {WIN_FUEL, "FuelX", "FuelY", "FuelAlign", tr("Fuel "), &FuelX, &FuelY, &FuelAlign},
      {WIN_INFO, "InfoX", "InfoY", "InfoAlign", tr("Info"), &InfoX, &InfoY, &InfoAlign},
  };
  int top = kFirstRow;
  for (const Block& block : blocks) {
    windowNames_.at(static_cast<std::size_t>(block.window)) = block.caption.simplified();
    *block.xField = Field(Frame9, block.x, kLeft, top, kFieldWidth);
    Caption(*block.xField, tr("%1 X").arg(block.caption), top, kLeft);
    top += kRowPitch;
    *block.yField = Field(Frame9, block.y, kLeft, top, kFieldWidth);
    Caption(*block.yField, tr("%1 Y").arg(block.caption), top, kLeft);
    top += kRowPitch;
    *block.list = List(Frame9, block.align, tr("%1 Align").arg(block.caption), top, kLeft,
                       kListWidth);
    top += kRowPitch + kBlockGap;
  }
}

void Form1::createButtons() {
  Load = Place(new CommandButton(tr("Load"), this), "Load", 5640, 7800, 1215, 495);
  Save = Place(new CommandButton(tr("Save"), this), "Save", 7080, 7800, 1215, 495);
  Exit = Place(new CommandButton(tr("Exit"), this), "Exit", 9720, 7800, 1215, 495);
}

void Form1::createPreviewAndStatusLine() {
  // The preview stands to the right of the form's own area, so that area
  // keeps its layout; the status line runs below both.
  auto* panel = Group(this, "PreviewFrame", tr("Display preview"), kClientWidth, 120, 0, 6375);
  Preview = new DisplayPreview(*this, panel);
  Preview->move(Px(kLabelLeft) - 4, Px(kFirstRow) - 8);
  Preview->resize(Preview->minimumSize());
  panel->resize(Preview->geometry().right() + Px(kLabelLeft), panel->height());
  const int width = panel->geometry().right() + Px(120);

  StatusLine = new QLabel(this);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusLine->setAccessibleName(tr("Status"));
  const int height = StatusLine->fontMetrics().height() + 6;
  StatusLine->setGeometry(0, Px(kClientHeight), width, height);
  setFixedSize(width, Px(kClientHeight) + height);
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
      EMEA,      US,            Aircore,    AC_Range,    AC_Speed, Preview->night(),
  };
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void Form1::resolveControls() {
  for (const fields::Field& field : fields::Fields()) {
    QObject* control = findChild<QObject*>(QString::fromUtf8(field.control.data(),
                                                             qsizetype(field.control.size())));
    // Every row names a control of this form; a missing one is a mistake
    // in the table that no user could get around.
    if (control == nullptr) {
      qFatal("Form1: no control named %s", field.control.data());
    }
    controls_.push_back(control);
  }
}

QObject* Form1::ControlOf(const fields::Field& field) const {
  const auto row = static_cast<std::size_t>(&field - fields::Fields().data());
  return controls_.at(row);
}

QString Form1::FieldTitle(const QObject* control) const {
  const QWidget* widget = qobject_cast<const QWidget*>(control);
  QString caption = widget != nullptr ? widget->accessibleName() : QString();
  if (const auto* options = qobject_cast<const QButtonGroup*>(control)) {
    widget = options->buttons().value(0);  // the group's title names them
  } else if (const auto* button = qobject_cast<const QAbstractButton*>(control);
             button != nullptr && caption.isEmpty()) {
    caption = button->text();
  }
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
      return caption.isEmpty() ? group->title() : tr("%1 in %2").arg(caption, group->title());
    }
  }
  return caption;
}

void Form1::explainCheckedFields() {
  for (const fields::Field& field : fields::Fields()) {
    if (field.bounds) {
      auto* control = static_cast<QWidget*>(ControlOf(field));
      control->setToolTip(FieldChecks::Explain(control, field));
    }
  }
}

void Form1::fitCaptions() {
  QFont smaller = font();
  for (int pixels = kPreferredPixels - 1;
       pixels >= kSmallestPixels && !ClippedCaptions(*this).isEmpty(); --pixels) {
    smaller.setPixelSize(pixels);
    setFont(smaller);
  }
}

void Form1::keepRegionTabStopOnSelection() {
  // Tab reaches an exclusive group through one option. Qt keeps the tab stop
  // on the option that had the focus last; here it follows the selection,
  // so that Space on arrival does not switch the region.
  connect(Region, &QButtonGroup::buttonToggled, this, [this] {
    const bool any = Region->checkedButton() != nullptr;
    for (QAbstractButton* option : Region->buttons()) {
      option->setFocusPolicy(!any || option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
  });
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!focusedOnce_) {
    focusedOnce_ = true;
    Exit->setFocus();
  }
}

void Form1::Form_Load() {
  QStringList levels;
  for (const fields::BrightnessLevel& level : fields::BrightnessLevels()) {
    levels << tr("%1 mCd").arg(level.millicandela);
  }
  MaxBrightDay->addItems(levels);
  MaxBrightNight->addItems(levels);
  const QStringList alignments = {tr("Left"), tr("Center"), tr("Right")};
  for (QComboBox* list : {ClockAlign, CompassAlign, InfoAlign, FuelAlign, MpgAlign}) {
    list->addItems(alignments);
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

void Form1::ShowSettings() {
  brindle::ShowSettings(*this, Prefs());
  Preview->Refresh();
}

void Form1::ApplySettings() { brindle::ApplySettings(*this, Prefs()); }

void Form1::SetStatus(const QString& text) {
  status_ = text;
  updateStatusLine();
}

void Form1::ShowRefusal(const QString& text) {
  refusal_ = text;
  updateStatusLine();
}

void Form1::ClearRefusal() {
  refusal_.clear();
  updateStatusLine();
}

void Form1::updateStatusLine() { StatusLine->setText(refusal_.isEmpty() ? status_ : refusal_); }

QString Form1::Status() const { return StatusLine->text(); }

void Form1::SetFileName(const QString& path) {
  setWindowFilePath(path);
  setWindowTitle(tr("%1 - %2").arg(QFileInfo(path).fileName(), ProgramTitle()));
}

QString DroppedConfiguration(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
    return {};
  }
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) {
    return {};
  }
  const QString path = url.toLocalFile();
  return QFileInfo(path).suffix().compare(QLatin1String("S19"), Qt::CaseInsensitive) == 0 ? path
                                                                                          : QString();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  // A refused field keeps Load from running; a drop is a Load.
  if (!DroppedConfiguration(event->mimeData()).isEmpty() && !veto_->Holds()) {
    event->acceptProposedAction();
  }
}

void Form1::dropEvent(QDropEvent* event) {
  const QString path = DroppedConfiguration(event->mimeData());
  if (path.isEmpty() || veto_->Holds()) {
    return;
  }
  event->acceptProposedAction();
  commands_->LoadFile(path);
}

}  // namespace brindle

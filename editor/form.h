// Form1: the editor's one window. It lays out every group, label, field,
// list, box, button and the colour swatch (positions in twips / 15), adds
// the display preview to the right of them, keeps the one reference to the
// settings object (Prefs, created on first use), and wires the buttons to
// the commands and the checked fields to their checks. The controls are
// public members named as the settings they hold; the field table
// (fields.h) reaches them by those names.
#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <Quillon.h>
#include <comptr.h>

#include "editor_error.h"
#include "fields.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace brindle {

class ColorSwatch;
class Commands;
class Dialogs;
class DisplayPreview;
class FieldChecks;
class FocusVeto;

// Creates a settings object; a failing status is reported to the user.
using PrefsFactory = std::function<HRESULT(ComPtr<IPreferences>*)>;

// Component activation by class identifier, as the installed program does.
HRESULT CreatePreferences(ComPtr<IPreferences>* out);

// The settings object could not be created: start-up cannot continue.
class ComponentUnavailable : public EditorError {
 public:
  using EditorError::EditorError;
};

// The text shown when the settings object cannot be created: the status, what
// it means and the command that registers the component.
QString StartupFailureText(HRESULT status);

// FuelMul, FuelDiv and the spare boxes Check6..Check8 belong to a setting of
// the device that is switched off: they are shown, filled and saved, but the
// user cannot change them.
inline constexpr bool kFuelScaleEditable = false;

// A combo box whose list index drops to -1 as soon as the user types into
// its text part, and stays there when the focus leaves or Return is pressed,
// even if the text matches an entry: typed text selects no entry.
class DropDownCombo : public QComboBox {
 public:
  explicit DropDownCombo(QWidget* parent);
  // The entry selected last (-1 before any); typing does not change it.
  int lastEntry() const { return lastEntry_; }

 private:
  int lastEntry_ = -1;
};

// A push button that Return and Enter press as well as Space.
class CommandButton : public QPushButton {
 public:
  CommandButton(const QString& text, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class Form1 : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(Form1)

 public:
  Form1(PrefsFactory factory, std::unique_ptr<Dialogs> dialogs, QWidget* parent = nullptr);
  ~Form1() override;

  // "Brindle V1.02 (beta)"
  static QString ProgramTitle();
  // The display window as the captions in "Windows" name it ("Clock").
  QString WindowName(Object_Id window) const;

  // Start-up: fill the fixed lists, then show the object's settings. Throws
  // ComponentUnavailable when the object cannot be created and EditorError
  // when a property call fails.
  void Form_Load();

  // The settings object, created on first use. Throws ComponentUnavailable.
  IPreferences& Prefs();

  // The field mapping (mapping.cpp) over Prefs. Both throw EditorError.
  void ShowSettings();
  void ApplySettings();

  // The control of a row of the field table.
  QObject* ControlOf(const fields::Field& field) const;
  // A field as the user knows it: its caption and its group ("Fuel X in
  // Windows").
  QString FieldTitle(const QObject* control) const;

  // The status line: what the last command did, unless a refused field
  // is explaining what it accepts.
  void SetStatus(const QString& text);
  void ShowRefusal(const QString& text);
  void ClearRefusal();
  QString Status() const;

  // The file the settings came from or went to last; it names the window.
  void SetFileName(const QString& path);

  Commands& commands() { return *commands_; }
  FieldChecks& checks() { return *checks_; }
  FocusVeto& veto() { return *veto_; }

  // ---- Controls, named as the settings they hold -------------------------
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QGroupBox* Frame4 = nullptr;
  QGroupBox* Frame5 = nullptr;
  QGroupBox* Frame6 = nullptr;
  QGroupBox* Frame7 = nullptr;
  QGroupBox* Frame8 = nullptr;
  QGroupBox* Frame9 = nullptr;
  QGroupBox* Frame10 = nullptr;

  QLabel* version = nullptr;
  QLineEdit* VIN4 = nullptr;
  QLineEdit* VIN8 = nullptr;
  QLineEdit* VIN10 = nullptr;
  QButtonGroup* Region = nullptr;  // US (entry 0) and EMEA (entry 1)
  QRadioButton* US = nullptr;
  QRadioButton* EMEA = nullptr;
  QCheckBox* Check1 = nullptr;
  QCheckBox* Check2 = nullptr;
  QCheckBox* Check3 = nullptr;
  QCheckBox* Check4 = nullptr;
  QCheckBox* Check5 = nullptr;
  QCheckBox* Check6 = nullptr;
  QCheckBox* Check7 = nullptr;
  QCheckBox* Check8 = nullptr;

  DropDownCombo* MaxBrightDay = nullptr;
  DropDownCombo* MaxBrightNight = nullptr;
  QLineEdit* SplashTime = nullptr;
  QLineEdit* SpeedUpd = nullptr;
  QLineEdit* CompassUpd = nullptr;
  QLineEdit* SpdThreshold = nullptr;
  QLineEdit* OdoDisplay = nullptr;
  ColorSwatch* Fontcolor = nullptr;
  QPushButton* Command1 = nullptr;
  QLineEdit* Rbalance = nullptr;
  QLineEdit* Gbalance = nullptr;
  QLineEdit* Bbalance = nullptr;

  QLineEdit* Baudrate = nullptr;
  QLineEdit* GMTOffs = nullptr;
  QCheckBox* GPSInvert = nullptr;
  QCheckBox* ProcGGA = nullptr;
  QLineEdit* SatLockDisp = nullptr;

  QLineEdit* IceWarn = nullptr;
  QLineEdit* Skey = nullptr;
  QLineEdit* Lkey = nullptr;
  QLineEdit* Debounce = nullptr;
  QLineEdit* CANBaud = nullptr;
  QLineEdit* DayNightVolts = nullptr;
  QLineEdit* CustPPM = nullptr;

  QLineEdit* LowFuel = nullptr;
  QLineEdit* Pulses005 = nullptr;
  QLineEdit* FuelMul = nullptr;
  QLineEdit* FuelDiv = nullptr;

  QLineEdit* ClockX = nullptr;
  QLineEdit* ClockY = nullptr;
  DropDownCombo* ClockAlign = nullptr;
  QLineEdit* CompassX = nullptr;
  QLineEdit* CompassY = nullptr;
  DropDownCombo* CompassAlign = nullptr;
  QLineEdit* MpgX = nullptr;
  QLineEdit* MpgY = nullptr;
  DropDownCombo* MpgAlign = nullptr;
  QLineEdit* FuelX = nullptr;
  QLineEdit* FuelY = nullptr;
  DropDownCombo* FuelAlign = nullptr;
  QLineEdit* InfoX = nullptr;
  QLineEdit* InfoY = nullptr;
  DropDownCombo* InfoAlign = nullptr;

  QLineEdit* Aircore = nullptr;
  QLineEdit* AC_Range = nullptr;
  QLineEdit* AC_Speed = nullptr;

  QPushButton* Load = nullptr;
  QPushButton* Save = nullptr;
  QPushButton* Exit = nullptr;
  QLabel* StatusLine = nullptr;
  DisplayPreview* Preview = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createGroups();
  void createConfigurationAndVin();
  void createRegionAndFlags();
  void createDisplay();
  void createGpsAndAirCore();
  void createMisc();
  void createFuel();
  void createWindows();
  void createButtons();
  void createPreviewAndStatusLine();
  void setTabOrder();
  void resolveControls();
  void explainCheckedFields();
  void fitCaptions();
  void keepRegionTabStopOnSelection();
  void updateStatusLine();

  PrefsFactory factory_;
  ComPtr<IPreferences> prefs_;
  std::vector<QObject*> controls_;  // by row of fields::Fields()
  std::array<QString, 5> windowNames_;  // by Object_Id
  std::unique_ptr<FieldChecks> checks_;
  std::unique_ptr<FocusVeto> veto_;
  std::unique_ptr<Commands> commands_;
  QString status_;
  QString refusal_;
  bool focusedOnce_ = false;
};

// The .S19 file a drop carries, or an empty string when it carries anything
// else (several files, another kind of file, something that is no file).
QString DroppedConfiguration(const QMimeData* data);

}  // namespace brindle

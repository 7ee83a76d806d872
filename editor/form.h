// Form1: the editor's one window. It lays out every group, label, field,
// list, box, button and the colour swatch (positions in twips / 15), keeps
// the one reference to the settings object (Prefs, created on first use),
// and wires the buttons to the commands and the checked fields to their
// validation. The controls are public members named as the settings they
// hold, as the mapping and the tests address them.
#pragma once

#include <QComboBox>
#include <QWidget>

#include <functional>
#include <memory>

#include <Quillon.h>
#include <comptr.h>

#include "editor_error.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace brindle {

class ColorSwatch;
class Commands;
class Dialogs;
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
// its text part: typed text selects no entry.
class DropDownCombo : public QComboBox {
 public:
  explicit DropDownCombo(QWidget* parent);
};

class Form1 : public QWidget {
 public:
  Form1(PrefsFactory factory, std::unique_ptr<Dialogs> dialogs, QWidget* parent = nullptr);
  ~Form1() override;

  // Start-up: fill the fixed lists, then show the object's settings. Throws
  // ComponentUnavailable when the object cannot be created and EditorError
  // when a property call fails.
  void Form_Load();

  // The settings object, created on first use. Throws ComponentUnavailable.
  IPreferences& Prefs();

  // The field mapping (mapping.cpp) over Prefs. Both throw EditorError.
  void ShowSettings();
  void ApplySettings();

  // The status line below everything else.
  void SetStatus(const QString& text);
  QString Status() const;

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

  QComboBox* MaxBrightDay = nullptr;
  QComboBox* MaxBrightNight = nullptr;
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
  QComboBox* ClockAlign = nullptr;
  QLineEdit* CompassX = nullptr;
  QLineEdit* CompassY = nullptr;
  QComboBox* CompassAlign = nullptr;
  QLineEdit* MpgX = nullptr;
  QLineEdit* MpgY = nullptr;
  QComboBox* MpgAlign = nullptr;
  QLineEdit* FuelX = nullptr;
  QLineEdit* FuelY = nullptr;
  QComboBox* FuelAlign = nullptr;
  QLineEdit* InfoX = nullptr;
  QLineEdit* InfoY = nullptr;
  QComboBox* InfoAlign = nullptr;

  QLineEdit* Aircore = nullptr;
  QLineEdit* AC_Range = nullptr;
  QLineEdit* AC_Speed = nullptr;

  QPushButton* Load = nullptr;
  QPushButton* Save = nullptr;
  QPushButton* Exit = nullptr;
  QLabel* StatusLine = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void createGroups();
  void createConfigurationAndVin();
  void createRegionAndFlags();
  void createDisplay();
  void createGpsAndAirCore();
  void createMisc();
  void createFuel();
  void createWindows();
  void createButtonsAndStatusLine();
  void setTabOrder();

  PrefsFactory factory_;
  ComPtr<IPreferences> prefs_;
  std::unique_ptr<FieldChecks> checks_;
  std::unique_ptr<FocusVeto> veto_;
  std::unique_ptr<Commands> commands_;
  bool focusedOnce_ = false;
};

}  // namespace brindle

// Field checks: thirty text fields accept only numbers within fixed bounds.
// Each is tested when the focus is about to leave it; a refused text keeps
// the focus in the field with the whole text selected, and the element the
// user was moving to neither gets the focus nor acts.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <span>

#include <wtypes.h>

class QLineEdit;
class QWidget;

namespace brindle {

class Form1;

// True when text is a number (in the user's locale) with min <= number <= max.
bool CheckRange(const QString& text, LONG min, LONG max);

// The validation handlers, one per checked field. Each sets cancel to true
// (it is false on entry) to keep the focus in its field.
class FieldChecks {
 public:
  explicit FieldChecks(Form1& form) : form_(form) {}

  struct Entry {
    const char* field;
    QLineEdit* Form1::*control;
    void (FieldChecks::*handler)(bool& cancel);
    LONG min;
    LONG max;
  };
  // Every checked field with its handler and bounds.
  static std::span<const Entry> Entries();

  // The handler for field, or null when the field is not checked.
  using Handler = void (FieldChecks::*)(bool& cancel);
  Handler HandlerFor(const QWidget* field) const;
  // Runs the field's handler; true when the focus may leave it.
  bool MayLeave(const QWidget* field);

  void SplashTime_Validate(bool& cancel);
  void SpeedUpd_Validate(bool& cancel);
  void CompassUpd_Validate(bool& cancel);
  void SpdThreshold_Validate(bool& cancel);
  void OdoDisplay_Validate(bool& cancel);
  void Rbalance_Validate(bool& cancel);
  void Gbalance_Validate(bool& cancel);
  void Bbalance_Validate(bool& cancel);
  void Baudrate_Validate(bool& cancel);
  void GMTOffs_Validate(bool& cancel);
  void SatLockDisp_Validate(bool& cancel);
  void IceWarn_Validate(bool& cancel);
  void Skey_Validate(bool& cancel);
  void Lkey_Validate(bool& cancel);
  void Debounce_Validate(bool& cancel);
  void CANBaud_Validate(bool& cancel);
  void DayNightVolts_Validate(bool& cancel);
  void CustPPM_Validate(bool& cancel);
  void LowFuel_Validate(bool& cancel);
  void Pulses005_Validate(bool& cancel);
  void ClockX_Validate(bool& cancel);
  void ClockY_Validate(bool& cancel);
  void CompassX_Validate(bool& cancel);
  void CompassY_Validate(bool& cancel);
  void MpgX_Validate(bool& cancel);
  void MpgY_Validate(bool& cancel);
  void InfoX_Validate(bool& cancel);
  void InfoY_Validate(bool& cancel);
  void AC_Range_Validate(bool& cancel);
  void AC_Speed_Validate(bool& cancel);

 private:
  void Validate(QLineEdit* field, LONG min, LONG max, bool& cancel);

  Form1& form_;
};

// The focus veto. Qt moves the focus to a clicked widget before any filter
// on that widget sees the press, so the veto sits in front of the window:
// an application event filter, installed only while a checked field has the
// focus, that stops Tab/Backtab, mouse presses and double-clicks on elements
// that would take the focus, the wheel over such elements, and shortcuts,
// whenever the field's check fails. Closing the window is never stopped.
class FocusVeto : public QObject {
 public:
  FocusVeto(Form1& form, FieldChecks& checks);
  ~FocusVeto() override;

  // The checked field the filter watches, or null while it is not installed.
  QWidget* watchedField() const { return field_; }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  void FocusChanged(QWidget* now);
  // The widget that a press (or wheel, with wheel true) at pos of the
  // window would give the focus to, if any.
  QWidget* FocusTakerAt(const QPoint& pos, bool wheel) const;
  bool InForm(const QObject* receiver) const;

  Form1& form_;
  FieldChecks& checks_;
  QPointer<QWidget> field_;
  bool installed_ = false;
};

}  // namespace brindle

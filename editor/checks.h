// Field checks: the checked fields of the table accept only numbers within
// their bounds. Each is tested when the focus is about to leave it; a
// refused text keeps the focus in the field with the whole text selected,
// the element the user was moving to neither gets the focus nor acts, and
// the status line says what the field accepts.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>

#include <wtypes.h>

#include "fields.h"

class QWidget;

namespace brindle {

class Form1;

// True when text is a number (in the user's locale) with min <= number <= max.
bool CheckRange(const QString& text, LONG min, LONG max);

class FieldChecks {
  Q_DECLARE_TR_FUNCTIONS(FieldChecks)

 public:
  explicit FieldChecks(Form1& form) : form_(form) {}

  // What a checked field accepts: "a number from 1 to 10 seconds".
  static QString Accepts(const fields::Field& field);
  // The same after the field's caption ("Splash duration (sec): a number
  // from 1 to 10 seconds"), for its tooltip and for the status line.
  static QString Explain(const QWidget* control, const fields::Field& field);

  // The row of a checked field, or null for any other control.
  const fields::Field* CheckOf(const QWidget* control) const;
  // Whether the text of a control passes its check, without side effects.
  bool Passes(const QWidget* control) const;
  // The validation handler: true when the focus may leave the control. A
  // refusal selects the field's whole text and explains itself on the
  // status line; a pass takes the explanation away.
  bool MayLeave(QWidget* control);

 private:
  Form1& form_;
};

// The focus veto. Qt moves the focus to a clicked widget before any filter
// on that widget sees the press, so the veto sits in front of the window:
// an application event filter, installed while a checked field is the
// window's focus field (also while another window is active), that stops
// Tab/Backtab, mouse presses and double-clicks on elements that would take
// the focus, the wheel over such elements, and shortcuts, whenever the
// field's check fails. Closing the window is never stopped.
class FocusVeto : public QObject {
 public:
  FocusVeto(Form1& form, FieldChecks& checks);
  ~FocusVeto() override;

  // The checked field the filter watches, or null while it is not installed.
  QWidget* watchedField() const { return field_; }
  // True while the watched field would refuse to be left.
  bool Holds() const;

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

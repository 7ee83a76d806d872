#include "checks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

#include <array>

#include "form.h"
#include "numbers.h"

namespace brindle {

// The checked fields and their inclusive bounds, in the unit the form shows.
#define BRINDLE_CHECKED_FIELDS(X) \
  X(SplashTime, 1, 10)            \
  X(SpeedUpd, 1, 3000)            \
  X(CompassUpd, 1, 255)           \
  X(SpdThreshold, 0, 255)         \
  X(OdoDisplay, 0, 255)           \
  X(Rbalance, -128, 127)          \
  X(Gbalance, -128, 127)          \
  X(Bbalance, -128, 127)          \
  X(Baudrate, 4800, 38400)        \
  X(GMTOffs, -12, 12)             \
  X(SatLockDisp, 0, 65)           \
  X(IceWarn, -10, 10)             \
  X(Skey, 0, 1000)                \
  X(Lkey, 0, 10000)               \
  X(Debounce, 1, 255)             \
  X(CANBaud, 1, 500)              \
  X(DayNightVolts, 0, 25)         \
  X(CustPPM, 1500, 4500)          \
  X(LowFuel, 0, 1000)             \
  X(Pulses005, 0, 10000)          \
  X(ClockX, 0, 159)               \
  X(ClockY, 0, 127)               \
  X(CompassX, 0, 159)             \
  X(CompassY, 0, 127)             \
  X(MpgX, 0, 159)                 \
  X(MpgY, 0, 127)                 \
  X(InfoX, 0, 159)                \
  X(InfoY, 0, 127)                \
  X(AC_Range, 0, 47200)           \
  X(AC_Speed, 0, 255)

bool CheckRange(const QString& text, LONG min, LONG max) {
  const std::optional<double> number = ParseNumber(text);
  if (!number) {
    return false;
  }
  return *number >= static_cast<double>(min) && *number <= static_cast<double>(max);
}

void FieldChecks::Validate(QLineEdit* field, LONG min, LONG max, bool& cancel) {
  if (CheckRange(field->text(), min, max)) {
    return;
  }
  // Select the whole text, so that typing replaces it at once.
  field->setSelection(0, static_cast<int>(field->text().size()));
  cancel = true;
}

#define BRINDLE_DEFINE_HANDLER(Field, Min, Max) \
  void FieldChecks::Field##_Validate(bool& cancel) { Validate(form_.Field, Min, Max, cancel); }
BRINDLE_CHECKED_FIELDS(BRINDLE_DEFINE_HANDLER)
#undef BRINDLE_DEFINE_HANDLER

std::span<const FieldChecks::Entry> FieldChecks::Entries() {
#define BRINDLE_ENTRY(Field, Min, Max) \
  Entry{#Field, &Form1::Field, &FieldChecks::Field##_Validate, Min, Max},
  static const Entry entries[] = {BRINDLE_CHECKED_FIELDS(BRINDLE_ENTRY)};
#undef BRINDLE_ENTRY
  return entries;
}

FieldChecks::Handler FieldChecks::HandlerFor(const QWidget* field) const {
  if (field == nullptr) {
    return nullptr;
  }
  for (const Entry& entry : Entries()) {
    if (form_.*(entry.control) == field) {
      return entry.handler;
    }
  }
  return nullptr;
}

bool FieldChecks::MayLeave(const QWidget* field) {
  const Handler handler = HandlerFor(field);
  if (handler == nullptr) {
    return true;
  }
  bool cancel = false;
  (this->*handler)(cancel);
  return !cancel;
}

// ---- The veto ---------------------------------------------------------------

FocusVeto::FocusVeto(Form1& form, FieldChecks& checks) : form_(form), checks_(checks) {
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget* /*old*/, QWidget* now) { FocusChanged(now); });
}

FocusVeto::~FocusVeto() {
  if (installed_) {
    qApp->removeEventFilter(this);
  }
}

void FocusVeto::FocusChanged(QWidget* now) {
  if (now != nullptr && checks_.HandlerFor(now) != nullptr) {
    field_ = now;
    if (!installed_) {
      qApp->installEventFilter(this);
      installed_ = true;
    }
    return;
  }
  field_ = nullptr;
  if (installed_) {
    qApp->removeEventFilter(this);
    installed_ = false;
  }
}

bool FocusVeto::InForm(const QObject* receiver) const {
  if (receiver->isWindowType()) {
    return receiver == form_.windowHandle();
  }
  // A widget, or an object owned by one (a shortcut).
  for (const QObject* o = receiver; o != nullptr; o = o->parent()) {
    if (o->isWidgetType()) {
      return static_cast<const QWidget*>(o)->window() == &form_;
    }
  }
  return false;
}

QWidget* FocusVeto::FocusTakerAt(const QPoint& pos, bool wheel) const {
  // As Qt itself decides: from the widget under the pointer up through its
  // parents, the first enabled one whose focus policy (and that of its focus
  // proxy) allows click (or wheel) focus takes it; the walk stops at the
  // window or at a widget that already has the focus.
  const Qt::FocusPolicy policy = wheel ? Qt::WheelFocus : Qt::ClickFocus;
  const auto proxied = [](QWidget* w) {
    while (w->focusProxy() != nullptr) {
      w = w->focusProxy();
    }
    return w;
  };
  for (QWidget* w = form_.childAt(pos); w != nullptr; w = w->parentWidget()) {
    QWidget* const target = proxied(w);
    if (w->isEnabled() && (w->focusPolicy() & policy) == policy &&
        (target->focusPolicy() & policy) == policy) {
      return target;
    }
    if (w->isWindow() || target == field_) {
      break;
    }
  }
  return nullptr;
}

bool FocusVeto::eventFilter(QObject* receiver, QEvent* event) {
  if (field_ == nullptr || !InForm(receiver)) {
    return false;
  }
  switch (event->type()) {
    case QEvent::KeyPress: {
      // Key events reach the window first and then the focus widget; the
      // check runs once, for the widget.
      if (!receiver->isWidgetType()) {
        return false;
      }
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
      if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        return !checks_.MayLeave(field_);
      }
      return false;
    }
    case QEvent::Shortcut:
      if (receiver == field_) {
        return false;
      }
      return !checks_.MayLeave(field_);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel: {
      // Only the window's own copy comes early enough: by the time a child
      // widget sees the press, Qt has already moved the focus to it.
      if (!receiver->isWindowType()) {
        return false;
      }
      const bool wheel = event->type() == QEvent::Wheel;
      const QPoint pos = wheel ? static_cast<QWheelEvent*>(event)->position().toPoint()
                               : static_cast<QMouseEvent*>(event)->position().toPoint();
      QWidget* const taker = FocusTakerAt(pos, wheel);
      if (taker == nullptr || taker == field_) {
        return false;
      }
      return !checks_.MayLeave(field_);
    }
    default:
      return false;
  }
}

}  // namespace brindle

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

bool CheckRange(const QString& text, LONG min, LONG max) {
  const std::optional<double> number = ParseNumber(text);
  return number && fields::WithinBounds(*number, fields::Bounds{min, max});
}

QString FieldChecks::Accepts(const fields::Field& field) {
  const fields::Bounds bounds = field.bounds.value_or(fields::Bounds{});
  const QLocale locale = NumberLocale();
  const QString min = locale.toString(bounds.min);
  const QString max = locale.toString(bounds.max);
  if (field.unit.empty()) {
    return tr("a number from %1 to %2").arg(min, max);
  }
  // The units are written in the table in English; they are translated here.
  const QString unit = QCoreApplication::translate(
      "Fields", QByteArray(field.unit.data(), qsizetype(field.unit.size())).constData());
  return tr("a number from %1 to %2 %3").arg(min, max, unit);
}

QString FieldChecks::Explain(const QWidget* control, const fields::Field& field) {
  return tr("%1: %2").arg(control->accessibleName(), Accepts(field));
}

const fields::Field* FieldChecks::CheckOf(const QWidget* control) const {
  if (control == nullptr) {
    return nullptr;
  }
  for (const fields::Field& field : fields::Fields()) {
    if (field.bounds && form_.ControlOf(field) == control) {
      return &field;
    }
  }
  return nullptr;
}

bool FieldChecks::Passes(const QWidget* control) const {
  const fields::Field* field = CheckOf(control);
  return field == nullptr ||
         CheckRange(static_cast<const QLineEdit*>(control)->text(), field->bounds->min,
                    field->bounds->max);
}

bool FieldChecks::MayLeave(QWidget* control) {
  const fields::Field* field = CheckOf(control);
  if (field == nullptr) {
    return true;
  }
  auto* edit = static_cast<QLineEdit*>(control);
  if (Passes(edit)) {
    form_.ClearRefusal();
    return true;
  }
  // Select the whole text, so that typing replaces it at once.
  edit->setSelection(0, static_cast<int>(edit->text().size()));
  form_.ShowRefusal(Explain(edit, *field));
  return false;
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

bool FocusVeto::Holds() const { return field_ != nullptr && !checks_.Passes(field_); }

void FocusVeto::FocusChanged(QWidget* now) {
  // While another window is active the form keeps its focus field, and a
  // click on the form may be what brings it back: the field stays watched.
  if (now == nullptr || now->window() != &form_) {
    now = form_.focusWidget();
  }
  if (now != nullptr && checks_.CheckOf(now) != nullptr) {
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

#include "mapping.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

#include <oleauto.h>

#include "color_swatch.h"
#include "editor_error.h"
#include "fields.h"
#include "form.h"
#include "numbers.h"

namespace brindle {

namespace {

using fields::Conversion;
using fields::Field;

struct Mapping {
  Q_DECLARE_TR_FUNCTIONS(Mapping)
};

std::int64_t Get(Form1& form, IPreferences& prefs, const Field& field,
                 const fields::Property& property) {
  std::int64_t value = 0;
  ThrowIfFailed(property.get(prefs, field.index, &value),
                Mapping::tr("Reading %1").arg(form.FieldTitle(form.ControlOf(field))));
  return value;
}

std::int64_t Get(Form1& form, IPreferences& prefs, const Field& field) {
  return Get(form, prefs, field, *field.property);
}

void Put(Form1& form, IPreferences& prefs, const Field& field, std::int64_t value) {
  ThrowIfFailed(field.property->put(prefs, field.index, value),
                Mapping::tr("Storing %1").arg(form.FieldTitle(form.ControlOf(field))));
}

// The word whose bit decides the custom PPM rule, or 0 for other fields.
std::int64_t SwitchWord(Form1& form, IPreferences& prefs, const Field& field) {
  return field.switchedBy != nullptr ? Get(form, prefs, field, *field.switchedBy) : 0;
}

QString ReadVin(Form1& form, IPreferences& prefs, const Field& field) {
  BSTR vin = nullptr;
  ThrowIfFailed(prefs.get_VIN(&vin),
                Mapping::tr("Reading %1").arg(form.FieldTitle(form.ControlOf(field))));
  const QString text = QString::fromUtf16(vin, static_cast<qsizetype>(SysStringLen(vin)));
  SysFreeString(vin);
  return text;
}

void WriteVin(Form1& form, IPreferences& prefs, const Field& field, const std::u16string& vin) {
  BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(vin.data()),
                                static_cast<UINT>(vin.size()));
  if (text == nullptr) {
    throw EditorError(Mapping::tr("Out of memory while storing the VIN"), E_OUTOFMEMORY);
  }
  const HRESULT hr = prefs.put_VIN(text);
  SysFreeString(text);
  ThrowIfFailed(hr, Mapping::tr("Storing %1").arg(form.FieldTitle(form.ControlOf(field))));
}

// The entry a list (a combo box, or the Region options) has selected; -1
// for none.
int EntryOf(const QObject* control) {
  if (const auto* group = qobject_cast<const QButtonGroup*>(control)) {
    return group->checkedId();
  }
  return static_cast<const QComboBox*>(control)->currentIndex();
}

void SelectEntry(QObject* control, int entry) {
  if (auto* group = qobject_cast<QButtonGroup*>(control)) {
    if (QAbstractButton* option = group->button(entry)) {
      option->setChecked(true);
    }
    return;
  }
  static_cast<QComboBox*>(control)->setCurrentIndex(entry);
}

bool IsNumber(const Field& field) {
  return field.conversion == Conversion::kInteger || field.conversion == Conversion::kScaled ||
         field.conversion == Conversion::kCustomPpm;
}

double NumberIn(Form1& form, const QLineEdit* edit, const QLocale& locale) {
  const std::optional<double> number = ParseNumber(edit->text(), locale);
  if (!number) {
    throw EditorError(Mapping::tr("%1 holds \"%2\", which is not a number")
                          .arg(form.FieldTitle(edit), edit->text()));
  }
  return *number;
}

}  // namespace

void ShowSettings(Form1& form, IPreferences& prefs) {
  const QLocale locale = NumberLocale();
  std::optional<QString> vin;  // read once for its three fields
  for (const Field& field : fields::Fields()) {
    QObject* control = form.ControlOf(field);
    switch (field.conversion) {
      case Conversion::kVersion:
        static_cast<QLabel*>(control)->setText(
            QString::fromStdString(fields::VersionText(Get(form, prefs, field))));
        break;
      case Conversion::kVinCharacter:
        if (!vin) {
          vin = ReadVin(form, prefs, field);
        }
        // A box stays empty where the text is shorter.
        static_cast<QLineEdit*>(control)->setText(vin->mid(field.position - 1, 1));
        break;
      case Conversion::kList:
        SelectEntry(control, fields::ShownEntry(*field.list, Get(form, prefs, field)));
        break;
      case Conversion::kFlagBit:
        static_cast<QAbstractButton*>(control)->setChecked(
            fields::BitSet(Get(form, prefs, field), field.bit));
        break;
      case Conversion::kColor:
        static_cast<ColorSwatch*>(control)->setOleColor(
            static_cast<OLE_COLOR>(Get(form, prefs, field)));
        break;
      case Conversion::kInteger:
      case Conversion::kScaled:
      case Conversion::kCustomPpm: {
        const std::int64_t stored = Get(form, prefs, field);
        const double shown = fields::ShownNumber(field, stored, SwitchWord(form, prefs, field));
        static_cast<QLineEdit*>(control)->setText(FormatNumber(shown, locale));
        break;
      }
    }
  }
}

void ApplySettings(Form1& form, IPreferences& prefs) {
  const QLocale locale = NumberLocale();
  const std::span<const Field> rows = fields::Fields();
  std::u16string vin(fields::kVinFrame);
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const Field& field = rows[row];
    const QObject* control = form.ControlOf(field);
    switch (field.conversion) {
      case Conversion::kVersion:
        break;
      case Conversion::kVinCharacter: {
        // An empty box sends a blank, so the characters behind it keep
        // their places. The VIN goes out once, with its last field.
        const QString text = static_cast<const QLineEdit*>(control)->text();
        vin.at(static_cast<std::size_t>(field.position - 1)) =
            text.isEmpty() ? u' ' : static_cast<char16_t>(text.front().unicode());
        if (row + 1 == rows.size() || rows[row + 1].conversion != Conversion::kVinCharacter) {
          WriteVin(form, prefs, field, vin);
        }
        break;
      }
      case Conversion::kList:
        if (const auto value = fields::AppliedValue(*field.list, EntryOf(control))) {
          Put(form, prefs, field, *value);
        }
        break;
      case Conversion::kFlagBit: {
        // One read and one write per bit: the bits without a box keep their
        // values.
        const bool checked = static_cast<const QAbstractButton*>(control)->isChecked();
        Put(form, prefs, field, fields::WithBit(Get(form, prefs, field), field.bit, checked));
        break;
      }
      case Conversion::kColor:
        Put(form, prefs, field, static_cast<const ColorSwatch*>(control)->oleColor());
        break;
      case Conversion::kInteger:
      case Conversion::kScaled:
      case Conversion::kCustomPpm: {
        const auto* edit = static_cast<const QLineEdit*>(control);
        const double number = NumberIn(form, edit, locale);
        const auto stored = fields::StoredNumber(field, number, SwitchWord(form, prefs, field));
        if (!stored) {
          throw EditorError(Mapping::tr("%1 holds \"%2\", which does not fit in %3 bits")
                                .arg(form.FieldTitle(edit), edit->text())
                                .arg(fields::StoredBits(field)));
        }
        Put(form, prefs, field, *stored);
        break;
      }
    }
  }
}

QStringList ShownTexts(const Form1& form) {
  QStringList texts;
  for (const Field& field : fields::Fields()) {
    const QObject* control = form.ControlOf(field);
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
      texts << edit->text();
    } else if (const auto* list = qobject_cast<const QComboBox*>(control)) {
      texts << list->currentText();
    } else if (const auto* group = qobject_cast<const QButtonGroup*>(control)) {
      texts << (group->checkedButton() ? group->checkedButton()->text() : QString());
    } else {
      // Boxes, the swatch and the version go back as they are.
      texts << QString();
    }
  }
  return texts;
}

QStringList StoredDifferently(const Form1& form, const QStringList& before) {
  const QLocale locale = NumberLocale();
  const QStringList after = ShownTexts(form);
  const std::span<const Field> rows = fields::Fields();
  QStringList changed;
  for (std::size_t row = 0; row < rows.size() && row < std::size_t(before.size()); ++row) {
    const QString& was = before.at(qsizetype(row));
    const QString& now = after.at(qsizetype(row));
    bool same = was == now;
    if (!same && IsNumber(rows[row])) {
      const auto a = ParseNumber(was, locale);
      const auto b = ParseNumber(now, locale);
      same = a && b && *a == *b;
    } else if (!same && rows[row].conversion == Conversion::kVinCharacter) {
      same = was.trimmed() == now.trimmed();  // an empty box is stored as a blank
    }
    if (!same) {
      changed << Mapping::tr("%1 stored as %2")
                     .arg(form.FieldTitle(form.ControlOf(rows[row])), now);
    }
  }
  return changed;
}

}  // namespace brindle

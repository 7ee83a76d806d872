// The field mapping: ShowSettings copies every setting of the object into
// its control, converting device units into the units the form shows;
// ApplySettings copies the controls back, converting the other way. Both
// walk the field table (fields.h) in its order, one property call at a
// time, and stop at the first failing call or conversion with an
// EditorError; what was done before that stays done.
#pragma once

#include <QString>
#include <QStringList>

#include <Quillon.h>

namespace brindle {

class Form1;

void ShowSettings(Form1& form, IPreferences& prefs);
void ApplySettings(Form1& form, IPreferences& prefs);

// What each field shows, in table order, for telling afterwards which ones
// changed.
QStringList ShownTexts(const Form1& form);

// The fields whose value now differs from what `before` (from ShownTexts)
// showed, each as "<field> stored as <value>". Numbers that only changed
// their writing (" 7" and "7") are the same.
QStringList StoredDifferently(const Form1& form, const QStringList& before);

}  // namespace brindle

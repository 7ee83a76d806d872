// The field mapping: ShowSettings copies every setting of the object into
// its control, converting device units into the units the form shows;
// ApplySettings copies the controls back, converting the other way. Both
// work through the same 53 rows in the same order, one property call at a
// time, and stop at the first failing call or conversion with an
// EditorError; what was done before that stays done.
#pragma once

#include <Quillon.h>

namespace brindle {

class Form1;

// Factor between the custom pulse count the form shows while kilometres are
// chosen and the one the object holds (kilometres per mile).
inline constexpr double kKilometresPerMile = 1.609;

void ShowSettings(Form1& form, IPreferences& prefs);
void ApplySettings(Form1& form, IPreferences& prefs);

}  // namespace brindle

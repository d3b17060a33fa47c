// What the line-number options and the hidden drill-cycle option do the moment they change: they copy the
// control's state into the conversion state, where the next conversion finds it.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QCheckBox;
class QLineEdit;

namespace korvex::conversion {
struct ConversionState;
}

namespace korvex::ui {

// LineNumbersOn := the "include line number" box is ticked.
void CopyIncludeLineNumber(const QCheckBox& box, conversion::ConversionState& state);

// The increment a text of the increment list stands for: a whole number from 1 to 99999 (what five digits
// of a line number can step by), blanks around it allowed. Nothing for any other text.
std::optional<std::int32_t> LineNumberIncrementOf(const QString& text);

// LineNumberIncrement := the increment the list shows, be it a chosen entry or a typed whole number. Text
// that is no increment (typing half done, a word) leaves the last valid increment in force, silently.
void CopyLineNumberIncrement(const QString& shownText, conversion::ConversionState& state);

// The drill-cycle field is enabled exactly when its box is ticked, and G81Enabled follows the field.
void CoupleDrillCycle(const QCheckBox& chkG79, QLineEdit& edG81, conversion::ConversionState& state);

} // namespace korvex::ui

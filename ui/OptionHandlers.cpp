#include "ui/OptionHandlers.h"

#include <QCheckBox>
#include <QLineEdit>

#include "conversion/ConversionState.h"

namespace korvex::ui {

void CopyIncludeLineNumber(const QCheckBox& box, conversion::ConversionState& state) {
    state.LineNumbersOn = box.isChecked();
}

std::optional<std::int32_t> LineNumberIncrementOf(const QString& text) {
    const QString digits = text.trimmed();
    // Five digits at most: a line number has no more.
    if (digits.isEmpty() || digits.size() > 5) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value == 0) {
        return std::nullopt;
    }
    return value;
}

void CopyLineNumberIncrement(const QString& shownText, conversion::ConversionState& state) {
    if (const auto increment = LineNumberIncrementOf(shownText)) {
        state.LineNumberIncrement = *increment;
    }
}

void CoupleDrillCycle(const QCheckBox& chkG79, QLineEdit& edG81, conversion::ConversionState& state) {
    edG81.setEnabled(chkG79.isChecked());
    state.G81Enabled = edG81.isEnabled();
}

} // namespace korvex::ui

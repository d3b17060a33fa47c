// "Drill file format…": how "Convert" reads the drill file (as the divisor sets it, or the Excellon format
// as the file writes it, each part from the file or fixed), and what that reading finds in the input file
// before anything is converted. The look at the file is repeated whenever a choice changes.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include <vector>

#include "ui/JobChoices.h"
#include "ui/JobSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace korvex::ui {

class DrillFileFormatDialog : public QDialog {
    Q_OBJECT

public:
    // What a reading with the given choices finds in the file, one line per fact.
    using Inspector = std::function<std::vector<std::string>(const std::string&, const DrillFileFormatSettings&)>;

    // `inputFile` is the main window's Input File field as it stands.
    DrillFileFormatDialog(const DrillFileFormatSettings& settings, std::string inputFile, QWidget* parent = nullptr,
                          Inspector inspector = InspectInputFile);

    // The choices as the controls hold them.
    DrillFileFormatSettings Settings() const;

    QRadioButton* rbDivisor = nullptr;
    QRadioButton* rbExcellon = nullptr;
    QComboBox* cbUnits = nullptr;
    QCheckBox* chkDigitsFromFile = nullptr;
    QSpinBox* seIntegerDigits = nullptr;
    QSpinBox* seDecimalDigits = nullptr;
    QComboBox* cbZeros = nullptr;
    QLabel* lblFound = nullptr;

private:
    void ChoiceChanged();

    std::string inputFile_;
    Inspector inspector_;
};

} // namespace korvex::ui

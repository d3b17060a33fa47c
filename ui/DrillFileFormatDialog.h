// "Drill file format…": how "Convert" reads the drill file (as the divisor sets it, or the Excellon format
// as the file writes it, each part from the file or fixed), and what that reading finds in the input file
// before anything is converted. The look at the file is repeated whenever a choice changes.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include <vector>

#include "settings/JobChoices.h"
#include "settings/JobSettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace korvex::ui {

class DrillFileFormatDialog : public QDialog {
    Q_OBJECT

public:
    // What a reading with the given choices finds in the file, one line per fact.
    using Inspector =
        std::function<std::vector<std::string>(const std::string&, const settings::DrillFileFormatSettings&)>;

    // `inputFile` is the main window's Input File field as it stands.
    DrillFileFormatDialog(const settings::DrillFileFormatSettings& settings, std::string inputFile,
                          QWidget* parent = nullptr, Inspector inspector = settings::InspectInputFile);

    // The choices as the controls hold them; the fixed digits are the user's even while the greyed boxes show
    // the file's.
    settings::DrillFileFormatSettings Settings() const;

    QRadioButton* rbDivisor = nullptr;
    QRadioButton* rbExcellon = nullptr;
    QComboBox* cbUnits = nullptr;
    QCheckBox* chkDigitsFromFile = nullptr;
    QSpinBox* seIntegerDigits = nullptr;
    QSpinBox* seDecimalDigits = nullptr;
    QComboBox* cbZeros = nullptr;
    QLabel* lblFound = nullptr;
    QLabel* lblDigitsProblem = nullptr; // beside the digits: why they are refused; empty while they are fine
    QPushButton* btnOk = nullptr;

private:
    void ChoiceChanged();
    // The user's fixed digits follow the boxes only while the boxes are theirs to edit.
    void DigitsTyped();
    // While "From the file" is ticked the greyed boxes show what the file says, or the user's fixed digits
    // when the file says nothing.
    void ShowDigits(const QStringList& found);
    void Validate();

    std::string inputFile_;
    bool hasInputFile_ = false; // the Input File field names a file, not its "please specify" placeholder
    Inspector inspector_;
    int fixedInteger_ = 0;
    int fixedDecimal_ = 0;
};

} // namespace korvex::ui

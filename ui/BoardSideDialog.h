// "Board side…": the side drilled and where the board's origin lies. The top side is drilled as the file
// gives it; the bottom side is drilled from the back, mirrored about a vertical (X) or horizontal (Y) line
// through the board's middle or at a given coordinate, with two alignment holes on that line if asked for.
// The origin moves the board's lower left corner or its centre to 0,0 first. These act in the Excellon
// reading only, which the dialog says. A value outside what a board takes is refused where it is typed.
#pragma once

#include <QDialog>

#include "settings/BoardSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace korvex::ui {

class BoardSideDialog : public QDialog {
    Q_OBJECT

public:
    explicit BoardSideDialog(const settings::BoardSideSettings& settings, QWidget* parent = nullptr);

    settings::BoardSideSettings Settings() const;

    QRadioButton* rbTop = nullptr;
    QRadioButton* rbBottom = nullptr;
    QComboBox* cbAxis = nullptr;
    QRadioButton* rbMirrorMiddle = nullptr;
    QRadioButton* rbMirrorAt = nullptr;
    QDoubleSpinBox* seMirrorAt = nullptr;
    QCheckBox* chkAlignmentHoles = nullptr;
    QDoubleSpinBox* seAlignmentHoles = nullptr;
    QComboBox* cbOrigin = nullptr;
    QLabel* lblMirrorAtProblem = nullptr;
    QLabel* lblAlignmentHolesProblem = nullptr;
    QLabel* lblReadingNote = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void ChoiceChanged();
    void Validate();
};

} // namespace korvex::ui

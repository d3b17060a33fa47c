// "Controller…": the machine's controller, the drilling feed, the spindle speed, whether the machine changes
// tools itself (for GRBL: how the operator changes them), how holes are drilled (plain moves or a canned cycle:
// G81, G83 with its peck, and a retract plane, offered only for controllers that have the cycles), and the rapid
// speeds and tool-change time the machine-time estimate assumes. OK keeps the choice; the main window then fills
// its two tool-change boxes with the controller's blocks, which the user may still edit. The blocks as they would
// come are shown as they change. A feed, speed or peck outside what a drilling machine takes is refused where it
// is typed: the reason stands beside the field and OK waits until it is mended.
#pragma once

#include <QDialog>

#include "settings/JobSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace korvex::ui {

class ControllerDialog : public QDialog {
    Q_OBJECT

public:
    explicit ControllerDialog(const settings::ControllerSettings& settings, QWidget* parent = nullptr);

    settings::ControllerSettings Settings() const;

    QComboBox* cbController = nullptr;
    QDoubleSpinBox* seFeed = nullptr;
    QSpinBox* seSpindle = nullptr;
    QCheckBox* chkToolChanger = nullptr;
    QComboBox* cbToolChange = nullptr; // GRBL only: pause, sender or split
    // The machine the time estimate assumes, with or without a controller.
    QDoubleSpinBox* seRapidXy = nullptr;
    QDoubleSpinBox* seRapidZ = nullptr;
    QDoubleSpinBox* seToolChangeTime = nullptr;
    QComboBox* cbCycle = nullptr;
    QDoubleSpinBox* sePeck = nullptr;
    QCheckBox* chkRetractPlane = nullptr;
    QDoubleSpinBox* seRetractPlane = nullptr;
    QPlainTextEdit* meBefore = nullptr;
    QPlainTextEdit* meAfter = nullptr;
    // Beside their fields: why a typed value is refused (empty while it is fine), and why the tool-changer
    // box is greyed for GRBL.
    QLabel* lblFeedProblem = nullptr;
    QLabel* lblSpindleProblem = nullptr;
    QLabel* lblToolChangerNote = nullptr;
    QLabel* lblRapidXyProblem = nullptr;
    QLabel* lblRapidZProblem = nullptr;
    QLabel* lblToolChangeTimeProblem = nullptr;
    QLabel* lblPeckProblem = nullptr;
    QLabel* lblCycleNote = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void ChoiceChanged();
    // Shows the reasons beside the fields and lets OK be pressed only while every field is valid.
    void Validate();
};

} // namespace korvex::ui

// "Controller…": the machine's controller, the drilling feed, the spindle speed and whether the machine
// changes tools itself. OK keeps the choice; the main window then fills its two tool-change boxes with the
// controller's blocks, which the user may still edit. The blocks as they would come are shown as they change.
#pragma once

#include <QDialog>

#include "ui/JobSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPlainTextEdit;
class QSpinBox;

namespace korvex::ui {

class ControllerDialog : public QDialog {
    Q_OBJECT

public:
    explicit ControllerDialog(const ControllerSettings& settings, QWidget* parent = nullptr);

    ControllerSettings Settings() const;

    QComboBox* cbController = nullptr;
    QDoubleSpinBox* seFeed = nullptr;
    QSpinBox* seSpindle = nullptr;
    QCheckBox* chkToolChanger = nullptr;
    QPlainTextEdit* meBefore = nullptr;
    QPlainTextEdit* meAfter = nullptr;

private:
    void ChoiceChanged();
};

} // namespace korvex::ui

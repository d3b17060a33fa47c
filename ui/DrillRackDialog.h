// "Drill rack…": the drills the user owns (a table of diameters with optional names, rows added and removed),
// how far a hole may be from its drill's diameter, and the end mill that mills holes larger than every drill.
// A value that cannot be a drill's is refused where it is typed: the reason stands below the field and OK waits
// until it is mended. An empty table and no end mill drill every tool as the drill file gives it.
#pragma once

#include <QDialog>

#include "excellon/BoardOptions.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace korvex::ui {

class DrillRackDialog : public QDialog {
    Q_OBJECT

public:
    explicit DrillRackDialog(const excellon::DrillRack& rack, QWidget* parent = nullptr);

    // The rack as the fields give it; rows without a valid diameter are left out.
    excellon::DrillRack Rack() const;

    QTableWidget* twDrills = nullptr; // columns: diameter in mm, name
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QDoubleSpinBox* seTolerance = nullptr;
    QCheckBox* chkEndMill = nullptr;
    QDoubleSpinBox* seEndMill = nullptr;
    // Why the table, the tolerance or the end mill is refused (empty while all is fine).
    QLabel* lblDrillsProblem = nullptr;
    QLabel* lblToleranceProblem = nullptr;
    QLabel* lblEndMillProblem = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void AddRow(const QString& diameter, const QString& name);
    // Shows the reasons and lets OK be pressed only while every field is valid.
    void Validate();
};

} // namespace korvex::ui

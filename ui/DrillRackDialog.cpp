#include "ui/DrillRackDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "excellon/RackFile.h"
#include "platform/DecimalText.h"
#include "settings/DrillRackSettings.h"
#include "ui/WindowFont.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

namespace {

enum Column { kDiameter, kName };

// Narrower than what the command line takes: a drill or end mill beyond these is a mistyped digit.
constexpr double kMaxTolerance = 1.0;
constexpr double kMinEndMill = 0.1;
constexpr double kMaxEndMill = 10.0;

const QString kToleranceProblem = QStringLiteral("must be 0 to 1 mm");
const QString kEndMillProblem = QStringLiteral("must be 0.1 to 10 mm");

QString CellText(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item == nullptr ? QString() : item->text().trimmed();
}

// Why row `row` cannot be a drill, or "" when it can; `seen` gathers the diameters of the rows above.
QString RowProblem(const QTableWidget* table, int row, std::set<double>& seen) {
    const QString text = CellText(table, row, kDiameter);
    const QString where = QStringLiteral("Row %1: ").arg(row + 1);
    const std::optional<double> diameter = excellon::ParseRackDiameter(ToHostText(text));
    if (!diameter) {
        return where + QStringLiteral("'%1' is no diameter in mm (above 0, at most 100)").arg(text);
    }
    if (!seen.insert(*diameter).second) {
        return where + QStringLiteral("%1 mm is listed twice").arg(text);
    }
    if (!settings::RackNameFits(ToHostText(CellText(table, row, kName)))) {
        return where + QStringLiteral("a name may not hold ',' or '#'");
    }
    return {};
}

} // namespace

DrillRackDialog::DrillRackDialog(const excellon::DrillRack& rack, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DrillRackDialog"));
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Drill rack"));

    auto* intro = new QLabel(QStringLiteral(
        "The Excellon reading drills each tool with the nearest drill within the tolerance (ties: the smaller). "
        "Holes larger than the largest drill + tolerance are milled with the end mill, or drilled with the largest "
        "drill and warned; holes smaller than the smallest drill are drilled with it and warned."));
    intro->setWordWrap(true);

    twDrills = new QTableWidget(0, 2);
    twDrills->setObjectName(QStringLiteral("twDrills"));
    twDrills->setHorizontalHeaderLabels({QStringLiteral("Diameter (mm)"), QStringLiteral("Name (optional)")});
    twDrills->horizontalHeader()->setStretchLastSection(true);
    twDrills->verticalHeader()->setVisible(true);
    twDrills->setSelectionBehavior(QAbstractItemView::SelectRows);
    twDrills->setMinimumHeight(8 * fontMetrics().lineSpacing());
    btnAdd = new QPushButton(QStringLiteral("&Add drill"));
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(QStringLiteral("&Remove"));
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(btnAdd);
    rowButtons->addWidget(btnRemove);
    rowButtons->addStretch(1);
    lblDrillsProblem = new QLabel;
    lblDrillsProblem->setObjectName(QStringLiteral("lblDrillsProblem"));
    lblDrillsProblem->setWordWrap(true);

    // Numbers in the machine's notation, whatever the regional settings say; wide enough to take whatever is
    // typed, so that a wrong value is explained rather than silently changed.
    const auto mmField = [](const char* name) {
        auto* box = new QDoubleSpinBox;
        box->setObjectName(QLatin1String(name));
        box->setLocale(QLocale::c());
        box->setDecimals(3);
        box->setRange(-999.999, 999.999);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    seTolerance = mmField("seTolerance");
    chkEndMill = new QCheckBox(QStringLiteral("&End mill:"));
    chkEndMill->setObjectName(QStringLiteral("chkEndMill"));
    chkEndMill->setToolTip(QStringLiteral("Unticked: holes larger than every drill are drilled with the largest"));
    seEndMill = mmField("seEndMill");
    const auto note = [this](const char* name, const QString& longest) {
        auto* label = new QLabel;
        label->setObjectName(QLatin1String(name));
        label->setFixedWidth(fontMetrics().horizontalAdvance(longest) + 2 * label->margin() + 2);
        return label;
    };
    lblToleranceProblem = note("lblToleranceProblem", kToleranceProblem);
    lblEndMillProblem = note("lblEndMillProblem", kEndMillProblem);

    auto* form = new QFormLayout;
    auto* toleranceRow = new QHBoxLayout;
    toleranceRow->addWidget(seTolerance);
    toleranceRow->addWidget(lblToleranceProblem, 1);
    form->addRow(QStringLiteral("Tolerance (±):"), toleranceRow);
    auto* endMillRow = new QHBoxLayout;
    endMillRow->addWidget(seEndMill);
    endMillRow->addWidget(lblEndMillProblem, 1);
    form->addRow(chkEndMill, endMillRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(twDrills, 1);
    layout->addLayout(rowButtons);
    layout->addWidget(lblDrillsProblem);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    // The wrapped text above the table would otherwise make the dialog as wide as its one long line.
    resize(480, 440);

    for (const excellon::RackBit& bit : rack.bits) {
        AddRow(FromHostText(platform::ExactText(bit.diameterMm)), FromHostText(bit.name));
    }
    seTolerance->setValue(rack.toleranceMm);
    chkEndMill->setChecked(rack.endMillMm.has_value());
    seEndMill->setValue(rack.endMillMm.value_or(1.0));

    connect(btnAdd, &QPushButton::clicked, this, [this] {
        AddRow(QString(), QString());
        twDrills->setCurrentCell(twDrills->rowCount() - 1, kDiameter);
        twDrills->editItem(twDrills->item(twDrills->rowCount() - 1, kDiameter));
        Validate();
    });
    connect(btnRemove, &QPushButton::clicked, this, [this] {
        // The selected rows, from the bottom up so the numbers above stay right.
        std::set<int> rows;
        for (const QTableWidgetItem* item : twDrills->selectedItems()) {
            rows.insert(item->row());
        }
        if (rows.empty() && twDrills->currentRow() >= 0) {
            rows.insert(twDrills->currentRow());
        }
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            twDrills->removeRow(*row);
        }
        Validate();
    });
    connect(twDrills, &QTableWidget::itemChanged, this, &DrillRackDialog::Validate);
    connect(chkEndMill, &QCheckBox::toggled, this, &DrillRackDialog::Validate);
    // Text that is no number yet ("", "-") changes no value, but must hold OK back all the same.
    for (QDoubleSpinBox* box : {seTolerance, seEndMill}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &DrillRackDialog::Validate);
        connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &DrillRackDialog::Validate);
    }
    Validate();
}

void DrillRackDialog::AddRow(const QString& diameter, const QString& name) {
    const int row = twDrills->rowCount();
    twDrills->insertRow(row);
    twDrills->setItem(row, kDiameter, new QTableWidgetItem(diameter));
    twDrills->setItem(row, kName, new QTableWidgetItem(name));
}

void DrillRackDialog::Validate() {
    std::set<double> seen;
    QString drillsProblem;
    for (int row = 0; row < twDrills->rowCount() && drillsProblem.isEmpty(); ++row) {
        drillsProblem = RowProblem(twDrills, row, seen);
    }
    lblDrillsProblem->setText(drillsProblem);
    lblDrillsProblem->setVisible(!drillsProblem.isEmpty());
    btnRemove->setEnabled(twDrills->rowCount() > 0);

    const auto within = [](const QDoubleSpinBox* box, double low, double high) {
        return box->hasAcceptableInput() && box->value() >= low && box->value() <= high;
    };
    const bool toleranceFine = within(seTolerance, 0.0, kMaxTolerance);
    seEndMill->setEnabled(chkEndMill->isChecked());
    const bool endMillFine = !chkEndMill->isChecked() || within(seEndMill, kMinEndMill, kMaxEndMill);
    lblToleranceProblem->setText(toleranceFine ? QString() : kToleranceProblem);
    lblEndMillProblem->setText(endMillFine ? QString() : kEndMillProblem);
    btnOk->setEnabled(drillsProblem.isEmpty() && toleranceFine && endMillFine);
}

excellon::DrillRack DrillRackDialog::Rack() const {
    excellon::DrillRack rack;
    for (int row = 0; row < twDrills->rowCount(); ++row) {
        if (const auto diameter = excellon::ParseRackDiameter(ToHostText(CellText(twDrills, row, kDiameter)))) {
            rack.bits.push_back(excellon::RackBit{*diameter, ToHostText(CellText(twDrills, row, kName))});
        }
    }
    rack.toleranceMm = seTolerance->value();
    if (chkEndMill->isChecked()) {
        rack.endMillMm = seEndMill->value();
    }
    return rack;
}

} // namespace korvex::ui

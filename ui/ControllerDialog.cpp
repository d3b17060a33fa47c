#include "ui/ControllerDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "settings/JobChoices.h"
#include "ui/WindowFont.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

namespace {

constexpr gcode::Controller kControllers[] = {gcode::Controller::None, gcode::Controller::LinuxCnc,
                                              gcode::Controller::Grbl, gcode::Controller::Generic};

const QString kFeedProblem = QStringLiteral("must be 1 to 10,000 mm/min");
const QString kSpindleProblem = QStringLiteral("must be 1 to 100,000 rpm");
const QString kRapidProblem = QStringLiteral("must be 1 to 100,000 mm/min");
const QString kToolChangeTimeProblem = QStringLiteral("must be 0 to 3,600 s");
const QString kGrblNote = QStringLiteral("GRBL changes no tools itself: choose how below.");
const QString kPeckProblem = QStringLiteral("must be 0.01 to 10 mm");
const QString kNoCyclesNote = QStringLiteral("GRBL 1.1 has no canned cycles: holes are drilled with plain moves.");

QPlainTextEdit* BlockView(const char* name) {
    auto* view = new QPlainTextEdit;
    view->setObjectName(QLatin1String(name));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    return view;
}

} // namespace

ControllerDialog::ControllerDialog(const settings::ControllerSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ControllerDialog"));
    // A dialog is a window of its own and does not take the main window's font by itself.
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Controller"));

    cbController = new QComboBox;
    cbController->setObjectName(QStringLiteral("cbController"));
    for (const gcode::Controller controller : kControllers) {
        const QString title = controller == gcode::Controller::None
                                  ? QStringLiteral("None (the tool-change boxes stay as they are)")
                                  : FromHostText(std::string(gcode::ControllerTitle(controller)));
        cbController->addItem(title, static_cast<int>(controller));
    }

    // Numbers in the machine's notation, whatever the regional settings say.
    seFeed = new QDoubleSpinBox;
    seFeed->setObjectName(QStringLiteral("seFeed"));
    seFeed->setLocale(QLocale::c());
    seFeed->setDecimals(1);
    // Wide enough to take whatever is typed, so that a wrong value is explained rather than silently changed.
    seFeed->setRange(-999999.9, 999999.9);
    seFeed->setSuffix(QStringLiteral(" mm/min"));
    seSpindle = new QSpinBox;
    seSpindle->setObjectName(QStringLiteral("seSpindle"));
    seSpindle->setLocale(QLocale::c());
    seSpindle->setRange(-9999999, 9999999);
    seSpindle->setSuffix(QStringLiteral(" rpm"));
    const auto machineField = [](const char* name, const char* suffix) {
        auto* box = new QDoubleSpinBox;
        box->setObjectName(QLatin1String(name));
        box->setLocale(QLocale::c());
        box->setDecimals(1);
        box->setRange(-999999.9, 999999.9);
        box->setSuffix(QLatin1String(suffix));
        return box;
    };
    seRapidXy = machineField("seRapidXy", " mm/min");
    seRapidZ = machineField("seRapidZ", " mm/min");
    seToolChangeTime = machineField("seToolChangeTime", " s");
    chkToolChanger = new QCheckBox(QStringLiteral("The machine changes tools itself (M06)"));
    chkToolChanger->setObjectName(QStringLiteral("chkToolChanger"));
    cbToolChange = new QComboBox;
    cbToolChange->setObjectName(QStringLiteral("cbToolChange"));
    cbToolChange->addItem(QStringLiteral("Pause: M00 naming the tool"), static_cast<int>(gcode::GrblToolChange::Pause));
    cbToolChange->addItem(QStringLiteral("Sender: M6 T<n> for the sender's tool-change helper"),
                          static_cast<int>(gcode::GrblToolChange::Sender));
    cbToolChange->addItem(QStringLiteral("Split: one program per tool, zero Z before each"),
                          static_cast<int>(gcode::GrblToolChange::Split));
    cbCycle = new QComboBox;
    cbCycle->setObjectName(QStringLiteral("cbCycle"));
    cbCycle->addItem(QStringLiteral("Plain moves (G00, G01)"), static_cast<int>(conversion::CycleKind::Plain));
    cbCycle->addItem(QStringLiteral("G81 drilling cycle"), static_cast<int>(conversion::CycleKind::G81));
    cbCycle->addItem(QStringLiteral("G83 peck drilling cycle"), static_cast<int>(conversion::CycleKind::G83));
    sePeck = new QDoubleSpinBox;
    sePeck->setObjectName(QStringLiteral("sePeck"));
    sePeck->setLocale(QLocale::c());
    sePeck->setDecimals(2);
    sePeck->setRange(-999.99, 999.99);
    sePeck->setSuffix(QStringLiteral(" mm"));
    chkRetractPlane = new QCheckBox(QStringLiteral("Retract plane R:"));
    chkRetractPlane->setObjectName(QStringLiteral("chkRetractPlane"));
    chkRetractPlane->setToolTip(QStringLiteral("Unticked: each hole's z up"));
    seRetractPlane = new QDoubleSpinBox;
    seRetractPlane->setObjectName(QStringLiteral("seRetractPlane"));
    seRetractPlane->setLocale(QLocale::c());
    seRetractPlane->setDecimals(3);
    seRetractPlane->setRange(-settings::kMaxRetractPlane, settings::kMaxRetractPlane);
    seRetractPlane->setSuffix(QStringLiteral(" mm"));

    // As wide as the text they may show: an empty label asks for the font's average character width, which a
    // bitmap face reports hundreds of pixels wide.
    const auto note = [this](const char* name, const QString& longest) {
        auto* label = new QLabel;
        label->setObjectName(QLatin1String(name));
        label->setFixedWidth(fontMetrics().horizontalAdvance(longest) + 2 * label->margin() + 2);
        return label;
    };
    lblFeedProblem = note("lblFeedProblem", kFeedProblem);
    lblSpindleProblem = note("lblSpindleProblem", kSpindleProblem);
    lblToolChangerNote = note("lblToolChangerNote", kGrblNote);
    lblRapidXyProblem = note("lblRapidXyProblem", kRapidProblem);
    lblRapidZProblem = note("lblRapidZProblem", kRapidProblem);
    lblToolChangeTimeProblem = note("lblToolChangeTimeProblem", kToolChangeTimeProblem);
    lblPeckProblem = note("lblPeckProblem", kPeckProblem);
    lblCycleNote = new QLabel;
    lblCycleNote->setObjectName(QStringLiteral("lblCycleNote"));
    lblCycleNote->setWordWrap(true);
    const auto withNote = [](QWidget* field, QLabel* label) {
        auto* row = new QHBoxLayout;
        row->addWidget(field);
        row->addWidget(label, 1);
        return row;
    };

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Controller:"), cbController);
    form->addRow(QStringLiteral("Feed for drilling:"), withNote(seFeed, lblFeedProblem));
    form->addRow(QStringLiteral("Spindle speed:"), withNote(seSpindle, lblSpindleProblem));
    form->addRow(QString(), chkToolChanger);
    form->addRow(QString(), lblToolChangerNote);
    form->addRow(QStringLiteral("GRBL tool changes:"), cbToolChange);
    form->addRow(QStringLiteral("Drilling:"), cbCycle);
    form->addRow(QStringLiteral("Peck (G83 Q):"), withNote(sePeck, lblPeckProblem));
    auto* plane = new QHBoxLayout;
    plane->addWidget(chkRetractPlane);
    plane->addWidget(seRetractPlane, 1);
    form->addRow(QString(), plane);
    form->addRow(QString(), lblCycleNote);
    form->addRow(QStringLiteral("Rapid speed X/Y:"), withNote(seRapidXy, lblRapidXyProblem));
    form->addRow(QStringLiteral("Rapid speed Z:"), withNote(seRapidZ, lblRapidZProblem));
    form->addRow(QStringLiteral("Tool change time:"), withNote(seToolChangeTime, lblToolChangeTimeProblem));

    auto* blocks = new QGroupBox(QStringLiteral("Tool-change blocks OK writes into the main window"), this);
    meBefore = BlockView("meBefore");
    meAfter = BlockView("meAfter");
    auto* blockLayout = new QFormLayout(blocks);
    blockLayout->addRow(QStringLiteral("Before tool change:"), meBefore);
    blockLayout->addRow(QStringLiteral("After tool change:"), meAfter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(blocks);
    layout->addWidget(buttons);
    setMinimumWidth(460);
    // Room for the longest preset block without a scroll bar.
    for (QPlainTextEdit* view : {meBefore, meAfter}) {
        view->setFixedHeight(6 * fontMetrics().lineSpacing() + 4 * view->frameWidth());
        // Read-only views show no focus: tabbing onto them would lose the user's place.
        view->setFocusPolicy(Qt::NoFocus);
    }

    cbController->setCurrentIndex(std::max(0, cbController->findData(static_cast<int>(settings.controller))));
    seFeed->setValue(settings.feed);
    seSpindle->setValue(settings.spindle);
    chkToolChanger->setChecked(settings.toolChanger);
    cbToolChange->setCurrentIndex(std::max(0, cbToolChange->findData(static_cast<int>(settings.toolChange))));
    seRapidXy->setValue(settings.rapidXy);
    seRapidZ->setValue(settings.rapidZ);
    seToolChangeTime->setValue(settings.toolChangeSeconds);
    cbCycle->setCurrentIndex(std::max(0, cbCycle->findData(static_cast<int>(settings.cycle))));
    sePeck->setValue(settings.peck);
    chkRetractPlane->setChecked(settings.retractPlane.has_value());
    seRetractPlane->setValue(settings.retractPlane.value_or(1.0));

    connect(cbController, &QComboBox::currentIndexChanged, this, &ControllerDialog::ChoiceChanged);
    connect(seFeed, &QDoubleSpinBox::valueChanged, this, &ControllerDialog::ChoiceChanged);
    connect(seSpindle, &QSpinBox::valueChanged, this, &ControllerDialog::ChoiceChanged);
    connect(chkToolChanger, &QCheckBox::toggled, this, &ControllerDialog::ChoiceChanged);
    connect(cbToolChange, &QComboBox::currentIndexChanged, this, &ControllerDialog::ChoiceChanged);
    connect(cbCycle, &QComboBox::currentIndexChanged, this, &ControllerDialog::ChoiceChanged);
    connect(sePeck, &QDoubleSpinBox::valueChanged, this, &ControllerDialog::ChoiceChanged);
    connect(chkRetractPlane, &QCheckBox::toggled, this, &ControllerDialog::ChoiceChanged);
    // Text that is no number yet ("", "-") changes no value, but must hold OK back all the same.
    for (QAbstractSpinBox* box :
         {static_cast<QAbstractSpinBox*>(seFeed), static_cast<QAbstractSpinBox*>(seSpindle),
          static_cast<QAbstractSpinBox*>(seRapidXy), static_cast<QAbstractSpinBox*>(seRapidZ),
          static_cast<QAbstractSpinBox*>(seToolChangeTime), static_cast<QAbstractSpinBox*>(sePeck)}) {
        connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &ControllerDialog::Validate);
    }
    ChoiceChanged();
    cbController->setFocus(Qt::OtherFocusReason);
}

void ControllerDialog::Validate() {
    const bool chosen = Settings().controller != gcode::Controller::None;
    const double feed = seFeed->value();
    const int spindle = seSpindle->value();
    const bool feedFine = !chosen || (seFeed->hasAcceptableInput() && feed >= settings::kDialogMinFeed &&
                                      feed <= settings::kDialogMaxFeed);
    const bool spindleFine = !chosen || (seSpindle->hasAcceptableInput() && spindle >= settings::kDialogMinSpindle &&
                                         spindle <= settings::kDialogMaxSpindle);
    const auto within = [](const QDoubleSpinBox* box, double low, double high) {
        return box->hasAcceptableInput() && box->value() >= low && box->value() <= high;
    };
    const bool rapidXyFine = within(seRapidXy, settings::kDialogMinRapid, settings::kDialogMaxRapid);
    const bool rapidZFine = within(seRapidZ, settings::kDialogMinRapid, settings::kDialogMaxRapid);
    const bool toolChangeTimeFine = within(seToolChangeTime, 0, settings::kDialogMaxToolChangeSeconds);
    lblFeedProblem->setText(feedFine ? QString() : kFeedProblem);
    lblSpindleProblem->setText(spindleFine ? QString() : kSpindleProblem);
    lblRapidXyProblem->setText(rapidXyFine ? QString() : kRapidProblem);
    lblRapidZProblem->setText(rapidZFine ? QString() : kRapidProblem);
    lblToolChangeTimeProblem->setText(toolChangeTimeFine ? QString() : kToolChangeTimeProblem);
    const double peck = sePeck->value();
    const bool peckFine = !sePeck->isEnabled() || (sePeck->hasAcceptableInput() && peck >= settings::kDialogMinPeck &&
                                                   peck <= settings::kDialogMaxPeck);
    lblPeckProblem->setText(peckFine ? QString() : kPeckProblem);
    btnOk->setEnabled(feedFine && spindleFine && rapidXyFine && rapidZFine && toolChangeTimeFine && peckFine);
}

settings::ControllerSettings ControllerDialog::Settings() const {
    settings::ControllerSettings settings;
    settings.controller = static_cast<gcode::Controller>(cbController->currentData().toInt());
    settings.feed = seFeed->value();
    settings.spindle = seSpindle->value();
    settings.toolChanger = chkToolChanger->isChecked();
    settings.toolChange = static_cast<gcode::GrblToolChange>(cbToolChange->currentData().toInt());
    settings.rapidXy = seRapidXy->value();
    settings.rapidZ = seRapidZ->value();
    settings.toolChangeSeconds = seToolChangeTime->value();
    // A controller without canned cycles drills with plain moves, whatever the greyed box still shows.
    const bool cycles =
        settings.controller == gcode::Controller::LinuxCnc || settings.controller == gcode::Controller::Generic;
    settings.cycle =
        cycles ? static_cast<conversion::CycleKind>(cbCycle->currentData().toInt()) : conversion::CycleKind::Plain;
    settings.peck = sePeck->value();
    if (chkRetractPlane->isChecked()) {
        settings.retractPlane = seRetractPlane->value();
    }
    return settings;
}

void ControllerDialog::ChoiceChanged() {
    const settings::ControllerSettings settings = Settings();
    const bool chosen = settings.controller != gcode::Controller::None;
    seFeed->setEnabled(chosen);
    seSpindle->setEnabled(chosen);
    // GRBL has no tool changer: the operator changes tools as the GRBL choice below says, whatever the box says.
    const bool grbl = settings.controller == gcode::Controller::Grbl;
    chkToolChanger->setEnabled(chosen && !grbl);
    cbToolChange->setEnabled(grbl);
    lblToolChangerNote->setText(grbl ? kGrblNote : QString());
    lblToolChangerNote->setVisible(grbl);
    const bool cycles =
        settings.controller == gcode::Controller::LinuxCnc || settings.controller == gcode::Controller::Generic;
    cbCycle->setEnabled(cycles);
    const bool cycle = cycles && settings.cycle != conversion::CycleKind::Plain;
    sePeck->setEnabled(cycle && settings.cycle == conversion::CycleKind::G83);
    chkRetractPlane->setEnabled(cycle);
    seRetractPlane->setEnabled(cycle && chkRetractPlane->isChecked());
    lblCycleNote->setText(grbl ? kNoCyclesNote : QString());
    lblCycleNote->setVisible(grbl);
    Validate();
    if (!chosen) {
        meBefore->setPlainText(QStringLiteral("(unchanged)"));
        meAfter->setPlainText(QStringLiteral("(unchanged)"));
        return;
    }
    const auto [before, after] = settings::ToolChangeBlockTexts(settings);
    meBefore->setPlainText(MultiLineFromHostText(before));
    meAfter->setPlainText(MultiLineFromHostText(after));
}

} // namespace korvex::ui

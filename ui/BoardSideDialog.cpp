#include "ui/BoardSideDialog.h"

#include <QButtonGroup>
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
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "excellon/BoardSide.h"
#include "ui/WindowFont.h"

namespace korvex::ui {

namespace {

const QString kMirrorAtProblem = QStringLiteral("must be -1,500 to 1,500 mm");
const QString kAlignmentHolesProblem = QStringLiteral("must be 0.1 to 10 mm");

QDoubleSpinBox* MillimetreBox(const char* name, int decimals) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(QLatin1String(name));
    // The machine's notation, whatever the regional settings say.
    box->setLocale(QLocale::c());
    box->setDecimals(decimals);
    // Wide enough to take whatever is typed, so that a wrong value is explained rather than silently changed.
    box->setRange(-999999.0, 999999.0);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

} // namespace

BoardSideDialog::BoardSideDialog(const settings::BoardSideSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BoardSideDialog"));
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Board side"));

    rbTop = new QRadioButton(QStringLiteral("&Top: as the drill file shows the board"));
    rbTop->setObjectName(QStringLiteral("rbTop"));
    rbBottom = new QRadioButton(QStringLiteral("&Bottom: drilled from the back, mirrored"));
    rbBottom->setObjectName(QStringLiteral("rbBottom"));
    auto* sides = new QButtonGroup(this);
    sides->addButton(rbTop);
    sides->addButton(rbBottom);

    cbAxis = new QComboBox;
    cbAxis->setObjectName(QStringLiteral("cbAxis"));
    cbAxis->addItem(QStringLiteral("X mirrored, about a vertical line"), static_cast<int>(excellon::MirrorAxis::X));
    cbAxis->addItem(QStringLiteral("Y mirrored, about a horizontal line"), static_cast<int>(excellon::MirrorAxis::Y));
    rbMirrorMiddle = new QRadioButton(QStringLiteral("The board's &middle"));
    rbMirrorMiddle->setObjectName(QStringLiteral("rbMirrorMiddle"));
    rbMirrorAt = new QRadioButton(QStringLiteral("&At:"));
    rbMirrorAt->setObjectName(QStringLiteral("rbMirrorAt"));
    auto* lines = new QButtonGroup(this);
    lines->addButton(rbMirrorMiddle);
    lines->addButton(rbMirrorAt);
    seMirrorAt = MillimetreBox("seMirrorAt", 3);
    chkAlignmentHoles = new QCheckBox(QStringLiteral("A&lignment holes, diameter:"));
    chkAlignmentHoles->setObjectName(QStringLiteral("chkAlignmentHoles"));
    chkAlignmentHoles->setToolTip(QStringLiteral("Two holes on the mirror line, %1 mm beyond the board's edges, "
                                                 "at the same place in the top and the bottom program")
                                      .arg(excellon::kAlignmentHoleMarginMm));
    seAlignmentHoles = MillimetreBox("seAlignmentHoles", 2);

    cbOrigin = new QComboBox;
    cbOrigin->setObjectName(QStringLiteral("cbOrigin"));
    cbOrigin->addItem(QStringLiteral("Where the drill file puts it"), static_cast<int>(excellon::BoardOrigin::File));
    cbOrigin->addItem(QStringLiteral("Lower left corner at 0,0"), static_cast<int>(excellon::BoardOrigin::LowerLeft));
    cbOrigin->addItem(QStringLiteral("Centre at 0,0"), static_cast<int>(excellon::BoardOrigin::Center));

    // As wide as the text they may show: an empty label asks for the font's average character width, which a
    // bitmap face reports hundreds of pixels wide.
    const auto note = [this](const char* name, const QString& longest) {
        auto* label = new QLabel;
        label->setObjectName(QLatin1String(name));
        label->setFixedWidth(fontMetrics().horizontalAdvance(longest) + 2 * label->margin() + 2);
        return label;
    };
    lblMirrorAtProblem = note("lblMirrorAtProblem", kMirrorAtProblem);
    lblAlignmentHolesProblem = note("lblAlignmentHolesProblem", kAlignmentHolesProblem);
    lblReadingNote = new QLabel(QStringLiteral("These choices act in the Excellon reading only (File / Drill file "
                                               "format…). The board's extents are those of all its drill files; "
                                               "the X and Y offsets apply afterwards."));
    lblReadingNote->setObjectName(QStringLiteral("lblReadingNote"));
    lblReadingNote->setWordWrap(true);

    auto* sideBox = new QGroupBox(QStringLiteral("Side drilled"));
    auto* sideLayout = new QVBoxLayout(sideBox);
    sideLayout->addWidget(rbTop);
    sideLayout->addWidget(rbBottom);
    auto* bottomForm = new QFormLayout;
    bottomForm->setContentsMargins(20, 0, 0, 0);
    bottomForm->addRow(QStringLiteral("Axis:"), cbAxis);
    auto* at = new QHBoxLayout;
    at->addWidget(rbMirrorMiddle);
    at->addWidget(rbMirrorAt);
    at->addWidget(seMirrorAt);
    at->addWidget(lblMirrorAtProblem, 1);
    bottomForm->addRow(QStringLiteral("Mirror line:"), at);
    auto* holes = new QHBoxLayout;
    holes->addWidget(chkAlignmentHoles);
    holes->addWidget(seAlignmentHoles);
    holes->addWidget(lblAlignmentHolesProblem, 1);
    bottomForm->addRow(QString(), holes);
    sideLayout->addLayout(bottomForm);

    auto* originForm = new QFormLayout;
    originForm->addRow(QStringLiteral("&Origin:"), cbOrigin);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sideBox);
    layout->addLayout(originForm);
    layout->addWidget(lblReadingNote);
    layout->addWidget(buttons);
    setMinimumWidth(460);
    // The note wraps: without this the dialog opens as wide as the note is long.
    lblReadingNote->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("These choices act in the Excellon reading only")));
    resize(minimumSizeHint().expandedTo(QSize(460, 0)));

    (settings.bottom ? rbBottom : rbTop)->setChecked(true);
    cbAxis->setCurrentIndex(std::max(0, cbAxis->findData(static_cast<int>(settings.axis))));
    (settings.mirrorAt ? rbMirrorAt : rbMirrorMiddle)->setChecked(true);
    seMirrorAt->setValue(settings.mirrorAt.value_or(0.0));
    chkAlignmentHoles->setChecked(settings.alignmentHoleMm.has_value());
    seAlignmentHoles->setValue(settings.alignmentHoleMm.value_or(3.0));
    cbOrigin->setCurrentIndex(std::max(0, cbOrigin->findData(static_cast<int>(settings.origin))));

    for (QAbstractButton* button : {static_cast<QAbstractButton*>(rbBottom), static_cast<QAbstractButton*>(rbMirrorAt),
                                    static_cast<QAbstractButton*>(chkAlignmentHoles)}) {
        connect(button, &QAbstractButton::toggled, this, &BoardSideDialog::ChoiceChanged);
    }
    // Text that is no number yet ("", "-") changes no value, but must hold OK back all the same.
    for (QDoubleSpinBox* box : {seMirrorAt, seAlignmentHoles}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &BoardSideDialog::Validate);
        connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &BoardSideDialog::Validate);
    }
    ChoiceChanged();
    (settings.bottom ? rbBottom : rbTop)->setFocus(Qt::OtherFocusReason);
}

settings::BoardSideSettings BoardSideDialog::Settings() const {
    settings::BoardSideSettings settings;
    settings.bottom = rbBottom->isChecked();
    settings.axis = static_cast<excellon::MirrorAxis>(cbAxis->currentData().toInt());
    if (rbMirrorAt->isChecked()) {
        settings.mirrorAt = seMirrorAt->value();
    }
    if (chkAlignmentHoles->isChecked()) {
        settings.alignmentHoleMm = seAlignmentHoles->value();
    }
    settings.origin = static_cast<excellon::BoardOrigin>(cbOrigin->currentData().toInt());
    return settings;
}

void BoardSideDialog::ChoiceChanged() {
    // The top side keeps the bottom's values for the next flip, greyed.
    const bool bottom = rbBottom->isChecked();
    cbAxis->setEnabled(bottom);
    rbMirrorMiddle->setEnabled(bottom);
    rbMirrorAt->setEnabled(bottom);
    seMirrorAt->setEnabled(bottom && rbMirrorAt->isChecked());
    chkAlignmentHoles->setEnabled(bottom);
    seAlignmentHoles->setEnabled(bottom && chkAlignmentHoles->isChecked());
    Validate();
}

void BoardSideDialog::Validate() {
    const auto within = [](const QDoubleSpinBox* box, double low, double high) {
        return !box->isEnabled() || (box->hasAcceptableInput() && box->value() >= low && box->value() <= high);
    };
    const bool mirrorAtFine = within(seMirrorAt, -settings::kMaxMirrorAt, settings::kMaxMirrorAt);
    const bool holesFine = within(seAlignmentHoles, settings::kMinAlignmentHole, settings::kMaxAlignmentHole);
    lblMirrorAtProblem->setText(mirrorAtFine ? QString() : kMirrorAtProblem);
    lblAlignmentHolesProblem->setText(holesFine ? QString() : kAlignmentHolesProblem);
    btnOk->setEnabled(mirrorAtFine && holesFine);
}

} // namespace korvex::ui

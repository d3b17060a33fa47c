#include "ui/DrillFileFormatDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "ui/WindowFont.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

namespace {

const QString kDigitsProblem = QStringLiteral("must be 1 to 6 each");

// The combo boxes' entries carry their choice as item data, so the order of the entries is free.
template <typename Choice>
void AddEntry(QComboBox& box, const char* text, Choice choice) {
    box.addItem(QString::fromUtf8(text), static_cast<int>(choice));
}

template <typename Choice>
void Select(QComboBox& box, Choice choice) {
    box.setCurrentIndex(std::max(0, box.findData(static_cast<int>(choice))));
}

template <typename Choice>
Choice Selected(const QComboBox& box) {
    return static_cast<Choice>(box.currentData().toInt());
}

} // namespace

DrillFileFormatDialog::DrillFileFormatDialog(const settings::DrillFileFormatSettings& settings, std::string inputFile,
                                             QWidget* parent, Inspector inspector)
    : QDialog(parent), inputFile_(std::move(inputFile)), inspector_(std::move(inspector)) {
    setObjectName(QStringLiteral("DrillFileFormatDialog"));
    // A dialog is a window of its own and does not take the main window's font by itself.
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Drill file format"));

    auto* reading = new QGroupBox(QStringLiteral("Reading"), this);
    rbDivisor = new QRadioButton(QStringLiteral("As set by the divisor (thousandths of an inch or millimetres)"));
    rbExcellon = new QRadioButton(QStringLiteral("Excellon format, read from the file"));
    rbDivisor->setObjectName(QStringLiteral("rbDivisor"));
    rbExcellon->setObjectName(QStringLiteral("rbExcellon"));
    auto* readingLayout = new QVBoxLayout(reading);
    readingLayout->addWidget(rbDivisor);
    readingLayout->addWidget(rbExcellon);

    auto* format = new QGroupBox(QStringLiteral("Excellon format"), this);
    format->setObjectName(QStringLiteral("gbFormat"));
    cbUnits = new QComboBox;
    cbUnits->setObjectName(QStringLiteral("cbUnits"));
    AddEntry(*cbUnits, "From the file", excellon::UnitsChoice::FromFile);
    AddEntry(*cbUnits, "Inch", excellon::UnitsChoice::Inch);
    AddEntry(*cbUnits, "Millimetres", excellon::UnitsChoice::Millimetre);

    chkDigitsFromFile = new QCheckBox(QStringLiteral("From the file"));
    chkDigitsFromFile->setObjectName(QStringLiteral("chkDigitsFromFile"));
    const auto digitBox = [](const char* name) {
        auto* box = new QSpinBox;
        box->setObjectName(QLatin1String(name));
        // Any digit can be typed; what the reading cannot use is explained beside the boxes.
        box->setRange(0, settings::kMaxDigits);
        return box;
    };
    seIntegerDigits = digitBox("seIntegerDigits");
    seDecimalDigits = digitBox("seDecimalDigits");
    auto* digits = new QHBoxLayout;
    digits->addWidget(chkDigitsFromFile);
    digits->addSpacing(12);
    digits->addWidget(seIntegerDigits);
    digits->addWidget(new QLabel(QStringLiteral(":")));
    digits->addWidget(seDecimalDigits);
    digits->addWidget(new QLabel(QStringLiteral("(integer : decimal)")));
    lblDigitsProblem = new QLabel;
    lblDigitsProblem->setObjectName(QStringLiteral("lblDigitsProblem"));
    // As wide as its text may be: empty, it would ask for the font's average character width, which a bitmap
    // face reports hundreds of pixels wide.
    lblDigitsProblem->setFixedWidth(fontMetrics().horizontalAdvance(kDigitsProblem) + 2);
    digits->addWidget(lblDigitsProblem);
    digits->addStretch();

    cbZeros = new QComboBox;
    cbZeros->setObjectName(QStringLiteral("cbZeros"));
    AddEntry(*cbZeros, "From the file", excellon::ZerosChoice::FromFile);
    AddEntry(*cbZeros, "LZ: leading zeros written, trailing ones left out", excellon::ZerosChoice::LZ);
    AddEntry(*cbZeros, "TZ: trailing zeros written, leading ones left out", excellon::ZerosChoice::TZ);

    auto* formatLayout = new QFormLayout(format);
    formatLayout->addRow(QStringLiteral("Units:"), cbUnits);
    formatLayout->addRow(QStringLiteral("Digits:"), digits);
    formatLayout->addRow(QStringLiteral("Zeros:"), cbZeros);

    const QString fileName = FromHostText(inputFile_);
    // The Input File field's texts before any choice (at start, and after Cancel) name no file.
    hasInputFile_ = !fileName.trimmed().isEmpty() && fileName != QLatin1String("please specify") &&
                    fileName != QLatin1String("specify File to Convert");
    auto* found = new QGroupBox(hasInputFile_ ? QStringLiteral("Found in %1").arg(QFileInfo(fileName).fileName())
                                              : QStringLiteral("Found in the input file"),
                                this);
    found->setObjectName(QStringLiteral("gbFound"));
    found->setToolTip(fileName);
    lblFound = new QLabel;
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setWordWrap(true);
    lblFound->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFound->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFound->setMinimumWidth(420);
    auto* foundLayout = new QVBoxLayout(found);
    foundLayout->addWidget(lblFound);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(reading);
    layout->addWidget(format);
    layout->addWidget(found);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    (settings.excellon ? rbExcellon : rbDivisor)->setChecked(true);
    Select(*cbUnits, settings.units);
    chkDigitsFromFile->setChecked(settings.digitsFromFile);
    fixedInteger_ = settings.integerDigits;
    fixedDecimal_ = settings.decimalDigits;
    seIntegerDigits->setValue(settings.integerDigits);
    seDecimalDigits->setValue(settings.decimalDigits);
    Select(*cbZeros, settings.zeros);

    connect(rbExcellon, &QRadioButton::toggled, this, &DrillFileFormatDialog::ChoiceChanged);
    connect(cbUnits, &QComboBox::currentIndexChanged, this, &DrillFileFormatDialog::ChoiceChanged);
    connect(chkDigitsFromFile, &QCheckBox::toggled, this, &DrillFileFormatDialog::ChoiceChanged);
    for (QSpinBox* box : {seIntegerDigits, seDecimalDigits}) {
        connect(box, &QSpinBox::valueChanged, this, &DrillFileFormatDialog::DigitsTyped);
        // Text that is no number yet changes no value, but must hold OK back all the same.
        connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &DrillFileFormatDialog::Validate);
    }
    connect(cbZeros, &QComboBox::currentIndexChanged, this, &DrillFileFormatDialog::ChoiceChanged);
    ChoiceChanged();
    (rbExcellon->isChecked() ? rbExcellon : rbDivisor)->setFocus(Qt::OtherFocusReason);
}

void DrillFileFormatDialog::DigitsTyped() {
    if (!chkDigitsFromFile->isChecked()) {
        fixedInteger_ = seIntegerDigits->value();
        fixedDecimal_ = seDecimalDigits->value();
    }
    ChoiceChanged();
}

void DrillFileFormatDialog::ShowDigits(const QStringList& found) {
    int integer = fixedInteger_;
    int decimal = fixedDecimal_;
    if (chkDigitsFromFile->isChecked()) {
        // "Format: 3:3 (header), LZ (header), absolute"
        static const QRegularExpression kFormat(QStringLiteral("^Format: (\\d):(\\d)"));
        for (const QString& line : found) {
            if (const QRegularExpressionMatch match = kFormat.match(line); match.hasMatch()) {
                integer = match.captured(1).toInt();
                decimal = match.captured(2).toInt();
                break;
            }
        }
    }
    for (const auto& [box, value] : {std::pair{seIntegerDigits, integer}, std::pair{seDecimalDigits, decimal}}) {
        const QSignalBlocker blocker(box);
        box->setValue(value);
    }
}

void DrillFileFormatDialog::Validate() {
    // Only digits the user can edit are judged: greyed ones are the file's or unused.
    const bool judged = seIntegerDigits->isEnabled();
    bool fine = true;
    for (QSpinBox* box : {seIntegerDigits, seDecimalDigits}) {
        fine = fine && box->hasAcceptableInput() && box->value() >= settings::kDialogMinDigits &&
               box->value() <= settings::kDialogMaxDigits;
    }
    fine = fine || !judged;
    lblDigitsProblem->setText(fine ? QString() : kDigitsProblem);
    btnOk->setEnabled(fine);
}

settings::DrillFileFormatSettings DrillFileFormatDialog::Settings() const {
    settings::DrillFileFormatSettings settings;
    settings.excellon = rbExcellon->isChecked();
    settings.units = Selected<excellon::UnitsChoice>(*cbUnits);
    settings.integerDigits = fixedInteger_;
    settings.decimalDigits = fixedDecimal_;
    // "From the file" is its own choice; fixed digits out of range hold OK back instead of meaning it.
    settings.digitsFromFile = chkDigitsFromFile->isChecked();
    settings.zeros = Selected<excellon::ZerosChoice>(*cbZeros);
    return settings;
}

void DrillFileFormatDialog::ChoiceChanged() {
    const settings::DrillFileFormatSettings settings = Settings();
    const bool excellon = settings.excellon;
    cbUnits->setEnabled(excellon);
    chkDigitsFromFile->setEnabled(excellon);
    seIntegerDigits->setEnabled(excellon && !chkDigitsFromFile->isChecked());
    seDecimalDigits->setEnabled(excellon && !chkDigitsFromFile->isChecked());
    cbZeros->setEnabled(excellon);

    QStringList lines;
    if (!hasInputFile_) {
        lines << QStringLiteral("No input file yet: choose one with Input File to see what this reading finds.");
    } else {
        // The fixed parts count in the look at the file either way, so the user sees what they would change.
        for (const std::string& line : inspector_(inputFile_, settings)) {
            lines << FromHostText(line);
        }
    }
    ShowDigits(lines);
    Validate();
    if (!excellon) {
        lines << QString()
              << QStringLiteral("The divisor reading ignores this format: it divides the numbers as "
                                "written by the divisor.");
    }
    lblFound->setText(lines.join(u'\n'));
}

} // namespace korvex::ui

// The File menu's dialogs for the run's choices: what the format dialog shows and hands back, the controller
// dialog filling the tool-change boxes, and the choices coming back in the next window.
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "settings/JobChoices.h"
#include "tests/ui/WindowFixture.h"
#include "ui/ControllerDialog.h"
#include "ui/DrillFileFormatDialog.h"
#include "ui/JobMenu.h"
#include "ui/TfrmKorvex.h"

using korvex::test::Answer;
using korvex::test::WindowFixture;
using namespace korvex::ui;
using namespace korvex::settings;
using korvex::gcode::GrblToolChange;

Q_DECLARE_METATYPE(korvex::gcode::Controller)

namespace {

// Leading zeros kept, trailing ones left out: "X02" is 20 mm in the file's own format, 2 mm by the divisor.
QString WriteDrillFile(const WindowFixture& fixture) {
    const QString path = fixture.Folder() + QStringLiteral("/board.drl");
    QFile drill(path);
    if (drill.open(QIODevice::WriteOnly)) {
        drill.write("M48\nMETRIC,LZ,000.000\nT1C0.800\nT2C1.000\n%\nT1\nX010Y005\nX02Y005\n"
                    "T2\nX0155Y01225\nG85X0205\nM30\n");
    }
    return path;
}

QByteArray SettingsFileText(const WindowFixture& fixture) {
    QFile ini(fixture.Folder() + QStringLiteral("/korvex.INI"));
    return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
}

} // namespace

class JobDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void formatDialogShowsWhatTheReadingFinds() {
        std::vector<std::pair<std::string, DrillFileFormatSettings>> looks;
        const auto inspector = [&looks](const std::string& path, const DrillFileFormatSettings& format) {
            looks.emplace_back(path, format);
            return std::vector<std::string>{"Units: mm (header)",
                                            std::string("Digits: ") + (format.digitsFromFile ? "file" : "fixed")};
        };
        DrillFileFormatDialog dialog(DrillFileFormatSettings{}, "/boards/a.drl", nullptr, inspector);
        QCOMPARE(looks.size(), std::size_t{1});
        QCOMPARE(looks.back().first, std::string("/boards/a.drl"));
        QVERIFY(dialog.lblFound->text().startsWith(QStringLiteral("Units: mm (header)\nDigits: file\n")));
        // The divisor reading takes nothing of the format: its parts cannot be changed then.
        QVERIFY(!dialog.cbUnits->isEnabled());
        QVERIFY(!dialog.seIntegerDigits->isEnabled());

        dialog.rbExcellon->setChecked(true);
        QVERIFY(dialog.cbUnits->isEnabled());
        QVERIFY(!dialog.seIntegerDigits->isEnabled());
        dialog.chkDigitsFromFile->setChecked(false);
        QVERIFY(dialog.seIntegerDigits->isEnabled());
        dialog.seIntegerDigits->setValue(3);
        dialog.seDecimalDigits->setValue(3);
        dialog.cbZeros->setCurrentIndex(dialog.cbZeros->findData(static_cast<int>(korvex::excellon::ZerosChoice::TZ)));
        dialog.cbUnits->setCurrentIndex(
            dialog.cbUnits->findData(static_cast<int>(korvex::excellon::UnitsChoice::Millimetre)));
        QCOMPARE(dialog.lblFound->text(), QStringLiteral("Units: mm (header)\nDigits: fixed"));

        const DrillFileFormatSettings expected{true, korvex::excellon::UnitsChoice::Millimetre, false, 3,
                                               3,    korvex::excellon::ZerosChoice::TZ};
        QVERIFY(dialog.Settings() == expected);
        // Every change looked again, with the choice as it then stood.
        QVERIFY(looks.back().second == expected);
        QVERIFY(looks.size() >= 6);

        // 0:0 is no way to say "from the file": it is refused like any other digits the reading cannot use.
        dialog.seIntegerDigits->setValue(0);
        dialog.seDecimalDigits->setValue(0);
        QVERIFY(!dialog.Settings().digitsFromFile);
        QVERIFY(!dialog.btnOk->isEnabled());
    }

    void formatDialogLooksAtTheInputFile() {
        WindowFixture fixture;
        DrillFileFormatDialog dialog(DrillFileFormatSettings{}, WriteDrillFile(fixture).toStdString());
        QCOMPARE(dialog.lblFound->text(), QStringLiteral("Units: mm (header)\n"
                                                         "Format: 3:3 (header), LZ (header), absolute\n"
                                                         "Tools: 2 (T1 0.800 mm, T2 1.000 mm)\n"
                                                         "Holes: 3, slots: 1, routes: 0\n"
                                                         "Extents: X 10.000 to 20.500 mm, Y 5.000 to 12.250 mm\n"
                                                         "\n"
                                                         "The divisor reading ignores this format: it divides the "
                                                         "numbers as written by the divisor."));
        // Fixed values win over the header, and the look follows at once.
        dialog.rbExcellon->setChecked(true);
        dialog.chkDigitsFromFile->setChecked(false);
        dialog.cbZeros->setCurrentIndex(dialog.cbZeros->findData(static_cast<int>(korvex::excellon::ZerosChoice::TZ)));
        QCOMPARE(dialog.lblFound->text().section(u'\n', 1, 1),
                 QStringLiteral("Format: 2:4 (user), TZ (user), absolute"));
    }

    // A value is judged as it is typed: the reason beside the field, and OK only while every field is fine.
    void fieldsAreJudgedWhereTyped_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reason"); // empty: accepted
        const QString feed = QStringLiteral("must be 1 to 10,000 mm/min");
        const QString spindle = QStringLiteral("must be 1 to 100,000 rpm");
        const QString digits = QStringLiteral("must be 1 to 6 each");
        QTest::newRow("feed 0") << "seFeed"
                                << "0" << feed;
        QTest::newRow("feed 1") << "seFeed"
                                << "1" << QString();
        QTest::newRow("feed 10000") << "seFeed"
                                    << "10000" << QString();
        QTest::newRow("feed 10000.1") << "seFeed"
                                      << "10000.1" << feed;
        QTest::newRow("feed -5") << "seFeed"
                                 << "-5" << feed;
        QTest::newRow("feed empty") << "seFeed"
                                    << "" << feed;
        QTest::newRow("spindle -500") << "seSpindle"
                                      << "-500" << spindle;
        QTest::newRow("spindle 0") << "seSpindle"
                                   << "0" << spindle;
        QTest::newRow("spindle 100000") << "seSpindle"
                                        << "100000" << QString();
        QTest::newRow("spindle 100001") << "seSpindle"
                                        << "100001" << spindle;
        const QString rapid = QStringLiteral("must be 1 to 100,000 mm/min");
        const QString toolChange = QStringLiteral("must be 0 to 3,600 s");
        QTest::newRow("rapid xy 0") << "seRapidXy"
                                    << "0" << rapid;
        QTest::newRow("rapid xy 100000") << "seRapidXy"
                                         << "100000" << QString();
        QTest::newRow("rapid z 100000.1") << "seRapidZ"
                                          << "100000.1" << rapid;
        QTest::newRow("rapid z 1") << "seRapidZ"
                                   << "1" << QString();
        QTest::newRow("tool change 0") << "seToolChangeTime"
                                       << "0" << QString();
        QTest::newRow("tool change 3600.1") << "seToolChangeTime"
                                            << "3600.1" << toolChange;
        QTest::newRow("tool change -1") << "seToolChangeTime"
                                        << "-1" << toolChange;
        const QString peck = QStringLiteral("must be 0.01 to 10 mm");
        QTest::newRow("peck 0") << "sePeck"
                                << "0" << peck;
        QTest::newRow("peck 10.01") << "sePeck"
                                    << "10.01" << peck;
        QTest::newRow("peck 0.01") << "sePeck"
                                   << "0.01" << QString();
        QTest::newRow("integer digits 0") << "seIntegerDigits"
                                          << "0" << digits;
        QTest::newRow("integer digits 6") << "seIntegerDigits"
                                          << "6" << QString();
        QTest::newRow("decimal digits 9") << "seDecimalDigits"
                                          << "9" << digits;
        QTest::newRow("decimal digits 1") << "seDecimalDigits"
                                          << "1" << QString();
    }

    void fieldsAreJudgedWhereTyped() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, reason);
        const bool controller = !field.endsWith(QLatin1String("Digits"));
        std::unique_ptr<QDialog> dialog;
        QLabel* problem = nullptr;
        QPushButton* ok = nullptr;
        if (controller) {
            auto* controllerDialog = new ControllerDialog(ControllerSettings{
                korvex::gcode::Controller::LinuxCnc, 100, 10000, false, korvex::conversion::CycleKind::G83});
            dialog.reset(controllerDialog);
            // "seFeed" beside "lblFeedProblem", and so on.
            problem =
                controllerDialog->findChild<QLabel*>(QStringLiteral("lbl") + field.mid(2) + QStringLiteral("Problem"));
            QVERIFY(problem != nullptr);
            ok = controllerDialog->btnOk;
        } else {
            DrillFileFormatSettings fixed;
            fixed.excellon = true;
            fixed.digitsFromFile = false;
            auto* formatDialog = new DrillFileFormatDialog(fixed, "please specify");
            dialog.reset(formatDialog);
            problem = formatDialog->lblDigitsProblem;
            ok = formatDialog->btnOk;
        }
        QVERIFY(ok->isEnabled());
        QCOMPARE(problem->text(), QString());
        auto* box = dialog->findChild<QAbstractSpinBox*>(field);
        QVERIFY(box != nullptr);
        QLineEdit* edit = box->findChild<QLineEdit*>();
        // Typed over the number, the suffix left as it is.
        edit->setFocus();
        box->selectAll();
        const QString suffix = edit->text().section(u' ', 1);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QVERIFY2(edit->text().startsWith(typed), qPrintable(edit->text() + " / " + suffix));
        QCOMPARE(problem->text(), reason);
        QCOMPARE(ok->isEnabled(), reason.isEmpty());
    }

    void controllerDialogLooks() {
        ControllerDialog dialog(ControllerSettings{korvex::gcode::Controller::LinuxCnc, 100, 10000, true});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.cbController);
        // The notes beside the fields take the room of their text only, even empty.
        QVERIFY2(dialog.width() < 600, qPrintable(QString::number(dialog.width())));
        for (QPlainTextEdit* view : {dialog.meBefore, dialog.meAfter}) {
            QCOMPARE(view->focusPolicy(), Qt::NoFocus);
        }
        QVERIFY(dialog.chkToolChanger->isEnabled());
        QVERIFY(dialog.lblToolChangerNote->isHidden());
        // GRBL pauses for each tool: the box would do nothing, so it is greyed and says why.
        dialog.cbController->setCurrentIndex(
            dialog.cbController->findData(static_cast<int>(korvex::gcode::Controller::Grbl)));
        QVERIFY(!dialog.chkToolChanger->isEnabled());
        QVERIFY(!dialog.lblToolChangerNote->isHidden());
        QCOMPARE(dialog.lblToolChangerNote->text(), QStringLiteral("GRBL changes no tools itself: choose how below."));
        // How GRBL's operator changes tools matters to GRBL alone, and its blocks follow the choice.
        QVERIFY(dialog.cbToolChange->isEnabled());
        dialog.cbToolChange->setCurrentIndex(dialog.cbToolChange->findData(static_cast<int>(GrblToolChange::Sender)));
        QCOMPARE(dialog.Settings().toolChange, GrblToolChange::Sender);
        QVERIFY(dialog.meAfter->toPlainText().contains(QStringLiteral("M6 (tool named above, for the sender)")));
        // GRBL 1.1 has no canned cycles: the choice is greyed, and a cycle chosen before drills plain moves.
        QVERIFY(!dialog.cbCycle->isEnabled());
        QVERIFY(!dialog.lblCycleNote->isHidden());
        dialog.cbController->setCurrentIndex(
            dialog.cbController->findData(static_cast<int>(korvex::gcode::Controller::LinuxCnc)));
        QVERIFY(!dialog.cbToolChange->isEnabled());

        // The peck is G83's alone; the retract plane's field follows its box.
        ControllerDialog cycles(ControllerSettings{korvex::gcode::Controller::Generic, 100, 10000, false,
                                                   korvex::conversion::CycleKind::G81});
        QVERIFY(cycles.cbCycle->isEnabled());
        QVERIFY(!cycles.sePeck->isEnabled());
        QVERIFY(!cycles.seRetractPlane->isEnabled());
        cycles.chkRetractPlane->setChecked(true);
        cycles.seRetractPlane->setValue(2.5);
        cycles.cbCycle->setCurrentIndex(cycles.cbCycle->findData(static_cast<int>(korvex::conversion::CycleKind::G83)));
        QVERIFY(cycles.sePeck->isEnabled());
        const ControllerSettings chosen = cycles.Settings();
        QVERIFY(chosen.cycle == korvex::conversion::CycleKind::G83 && chosen.retractPlane == 2.5 && chosen.peck == 0.5);
        cycles.cbController->setCurrentIndex(
            cycles.cbController->findData(static_cast<int>(korvex::gcode::Controller::Grbl)));
        QVERIFY(cycles.Settings().cycle == korvex::conversion::CycleKind::Plain);
    }

    void formatDialogWithoutAnInputFile_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("at start") << "please specify";
        QTest::newRow("after Cancel") << "specify File to Convert";
        QTest::newRow("emptied") << "";
    }

    void formatDialogWithoutAnInputFile() {
        QFETCH(QString, input);
        int looks = 0;
        const auto inspector = [&looks](const std::string&, const DrillFileFormatSettings&) {
            ++looks;
            return std::vector<std::string>{};
        };
        DrillFileFormatDialog dialog(DrillFileFormatSettings{}, input.toStdString(), nullptr, inspector);
        QCOMPARE(looks, 0);
        QCOMPARE(dialog.findChild<QGroupBox*>(QStringLiteral("gbFound"))->title(),
                 QStringLiteral("Found in the input file"));
        QVERIFY(dialog.lblFound->text().startsWith(
            QStringLiteral("No input file yet: choose one with Input File to see what this reading finds.")));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.rbDivisor);
        QVERIFY2(dialog.width() < 600, qPrintable(QString::number(dialog.width())));
    }

    void greyedDigitsShowTheFilesDigits() {
        WindowFixture fixture;
        DrillFileFormatSettings settings;
        settings.excellon = true;
        settings.integerDigits = 2;
        settings.decimalDigits = 4;
        DrillFileFormatDialog dialog(settings, WriteDrillFile(fixture).toStdString());
        QVERIFY(!dialog.seIntegerDigits->isEnabled());
        QCOMPARE(dialog.seIntegerDigits->value() * 10 + dialog.seDecimalDigits->value(), 33); // the header's 3:3
        QVERIFY(dialog.btnOk->isEnabled());
        dialog.chkDigitsFromFile->setChecked(false);
        QCOMPARE(dialog.seIntegerDigits->value() * 10 + dialog.seDecimalDigits->value(), 24); // the user's own
        dialog.seDecimalDigits->setValue(5);
        dialog.chkDigitsFromFile->setChecked(true);
        QCOMPARE(dialog.seDecimalDigits->value(), 3);
        const DrillFileFormatSettings chosen = dialog.Settings();
        QVERIFY(chosen.digitsFromFile);
        QCOMPARE(chosen.integerDigits * 10 + chosen.decimalDigits, 25);
    }

    void convertRunsWithTheChoices() {
        WindowFixture fixture;
        TfrmKorvex window;
        window.edInputFileName->setText(WriteDrillFile(fixture));
        const QString output = fixture.Folder() + QStringLiteral("/board.cnc");
        window.edOutputFileName->setText(output);
        JobSettings choices;
        choices.format.excellon = true;
        window.jobMenu->SetSettings(choices);
        window.btnConvertCon->click();
        QFile program(output);
        QVERIFY(program.open(QIODevice::ReadOnly));
        const QByteArray text = program.readAll();
        QVERIFY2(text.contains("X20.000"), text.constData());
    }

    void controllerFillsTheToolChangeBoxes_data() {
        QTest::addColumn<korvex::gcode::Controller>("controller");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("filled");
        QTest::newRow("linuxcnc") << korvex::gcode::Controller::LinuxCnc << true << true;
        QTest::newRow("grbl") << korvex::gcode::Controller::Grbl << true << true;
        QTest::newRow("generic") << korvex::gcode::Controller::Generic << true << true;
        QTest::newRow("none keeps the user's blocks") << korvex::gcode::Controller::None << true << false;
        QTest::newRow("cancel") << korvex::gcode::Controller::Grbl << false << false;
    }

    void controllerFillsTheToolChangeBoxes() {
        QFETCH(korvex::gcode::Controller, controller);
        QFETCH(bool, accept);
        QFETCH(bool, filled);
        WindowFixture fixture;
        TfrmKorvex window;
        window.meTxBefore->setPlainText(QStringLiteral("G00 Z40"));
        window.meTxAfter->setPlainText(QStringLiteral("M06"));

        const std::string userBefore = window.MacroText(MacroBlock::Before);
        const std::string userAfter = window.MacroText(MacroBlock::After);
        QString shownBefore;
        QString shownAfter;
        Answer<ControllerDialog>([&] { window.jobMenu->Controller1->trigger(); },
                                 [&](ControllerDialog& dialog) {
                                     dialog.cbController->setCurrentIndex(
                                         dialog.cbController->findData(static_cast<int>(controller)));
                                     dialog.seFeed->setValue(250);
                                     dialog.seSpindle->setValue(12000);
                                     dialog.chkToolChanger->setChecked(true);
                                     shownBefore = dialog.meBefore->toPlainText();
                                     shownAfter = dialog.meAfter->toPlainText();
                                     accept ? dialog.accept() : dialog.reject();
                                 });

        const ControllerSettings chosen{controller, 250, 12000, true};
        const auto [before, after] = ToolChangeBlockTexts(chosen);
        QCOMPARE(window.MacroText(MacroBlock::Before), filled ? before : userBefore);
        QCOMPARE(window.MacroText(MacroBlock::After), filled ? after : userAfter);
        if (filled) {
            // What the dialog showed is what OK wrote.
            QCOMPARE(window.meTxBefore->toPlainText() + u'|' + window.meTxAfter->toPlainText(),
                     shownBefore + u'|' + shownAfter);
        }
        QVERIFY(window.jobMenu->Settings().controller == (accept ? chosen : ControllerSettings{}));
        QCOMPARE(fixture.BoxLog(), QStringList());
    }

    // OK on the choice already in force: the boxes as filled stay without a word; text edited by hand since is
    // replaced only after a yes.
    void controllerKeepsHandEdits_data() {
        QTest::addColumn<QString>("addedLine");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("boxes as filled") << QString() << false << false << false;
        QTest::newRow("line added by hand, No keeps it") << "M08" << false << true << false;
        QTest::newRow("line added by hand, Yes replaces it") << "M08" << true << true << true;
    }

    void controllerKeepsHandEdits() {
        QFETCH(QString, addedLine);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        QFETCH(bool, replaced);
        WindowFixture fixture;
        TfrmKorvex window;
        const ControllerSettings grbl{korvex::gcode::Controller::Grbl, 300, 9000, false};
        JobSettings settings = window.jobMenu->Settings();
        settings.controller = grbl;
        window.jobMenu->SetSettings(settings);
        FillToolChangeBlocks(window, grbl);
        const std::string filledAfter = window.MacroText(MacroBlock::After);
        if (!addedLine.isEmpty()) {
            window.meTxAfter->appendPlainText(addedLine);
        }
        const std::string edited = window.MacroText(MacroBlock::After);
        if (yes) {
            fixture.Boxes().SetNextAnswer([](const korvex::platform::MessageBoxRequest& box) { *box.yes = true; });
        }
        Answer<ControllerDialog>([&] { window.jobMenu->Controller1->trigger(); },
                                 [](ControllerDialog& dialog) { dialog.accept(); });
        QCOMPARE(window.MacroText(MacroBlock::After), replaced ? filledAfter : edited);
        QCOMPARE(fixture.BoxLog(), asked ? QStringList{QStringLiteral("question|Korvex|The tool-change boxes hold text "
                                                                      "edited by hand.\nReplace it with the blocks of "
                                                                      "GRBL 1.1?")}
                                         : QStringList());
        QVERIFY(window.jobMenu->Settings().controller == grbl);
    }

    void choicesComeBackInTheNextWindow() {
        WindowFixture fixture;
        {
            // Untouched choices add nothing to the settings file.
            TfrmKorvex untouched;
            QVERIFY(untouched.close());
        }
        const QByteArray designFile = SettingsFileText(fixture);
        for (const char* section : {"[DrillFileFormat]", "[DrillOrder]", "[Controller]"}) {
            QVERIFY(!designFile.contains(section));
        }

        auto first = std::make_unique<TfrmKorvex>();
        first->edInputFileName->setText(QStringLiteral("/boards/a.drl"));
        first->jobMenu->ShortOrder1->trigger();
        Answer<DrillFileFormatDialog>([&] { first->jobMenu->DrillFileFormat1->trigger(); },
                                      [](DrillFileFormatDialog& dialog) {
                                          dialog.rbExcellon->setChecked(true);
                                          dialog.cbZeros->setCurrentIndex(2);
                                          dialog.accept();
                                      });
        Answer<ControllerDialog>([&] { first->jobMenu->Controller1->trigger(); },
                                 [](ControllerDialog& dialog) {
                                     dialog.cbController->setCurrentIndex(1);
                                     dialog.accept();
                                 });
        const JobSettings chosen = first->jobMenu->Settings();
        QCOMPARE(chosen.order, korvex::order::DrillOrder::Short);
        QVERIFY(chosen.format.excellon);
        QCOMPARE(chosen.format.zeros, korvex::excellon::ZerosChoice::TZ);
        QCOMPARE(chosen.controller.controller, korvex::gcode::Controller::LinuxCnc);
        QVERIFY(first->close());
        first.reset();

        const QByteArray saved = SettingsFileText(fixture);
        QVERIFY(saved.startsWith(designFile));
        QVERIFY(saved.contains("[DrillOrder]\r\nOrder=short\r\n"));

        const TfrmKorvex second;
        QVERIFY(second.jobMenu->ShortOrder1->isChecked());
        QVERIFY(!second.jobMenu->FileOrder1->isChecked());
        QVERIFY(second.jobMenu->Settings().format == chosen.format);
        QVERIFY(second.jobMenu->Settings().controller == chosen.controller);
        QCOMPARE(fixture.BoxLog(), QStringList());
    }
};

QTEST_MAIN(JobDialogsTest)
#include "JobDialogsTest.moc"

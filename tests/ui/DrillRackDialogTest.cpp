// File › "Drill rack…": what the dialog refuses where it is typed, and the rack coming back in the next window
// from its own section of the settings file.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "settings/DrillRackSettings.h"
#include "tests/ui/WindowFixture.h"
#include "ui/DrillRackDialog.h"
#include "ui/JobMenu.h"
#include "ui/TfrmKorvex.h"

using korvex::test::WindowFixture;
using namespace korvex::ui;
using namespace korvex::settings;

namespace {

QByteArray SettingsFileText(const WindowFixture& fixture) {
    QFile ini(fixture.Folder() + QStringLiteral("/korvex.INI"));
    return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
}

// Fills the table with "diameter name" rows as the user types them.
void Type(DrillRackDialog& dialog, const QStringList& rows) {
    for (const QString& row : rows) {
        dialog.btnAdd->click();
        const int at = dialog.twDrills->rowCount() - 1;
        dialog.twDrills->item(at, 0)->setText(row.section(QLatin1Char(' '), 0, 0));
        dialog.twDrills->item(at, 1)->setText(row.section(QLatin1Char(' '), 1));
    }
}

} // namespace

class DrillRackDialogTest : public QObject {
    Q_OBJECT

private slots:
    void fieldsAreJudgedWhereTyped_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<bool>("endMill");
        QTest::addColumn<QString>("endMillText");
        QTest::addColumn<QString>("problem"); // the first one shown, "" when OK may be pressed
        QTest::newRow("empty") << QStringList() << "0.05" << false << "1"
                               << "";
        QTest::newRow("drills") << QStringList{"0.3", "0.8 carbide", "1.0"} << "0.05" << true << "1"
                                << "";
        QTest::newRow("not a diameter") << QStringList{"0.3", "0,4"} << "0.05" << false << "1"
                                        << "Row 2: '0,4' is no diameter in mm (above 0, at most 100)";
        QTest::newRow("empty diameter") << QStringList{""} << "0.05" << false << "1"
                                        << "Row 1: '' is no diameter in mm (above 0, at most 100)";
        QTest::newRow("twice") << QStringList{"0.5", "0.50"} << "0.05" << false << "1"
                               << "Row 2: 0.50 mm is listed twice";
        QTest::newRow("name with comma") << QStringList{"0.5 a,b"} << "0.05" << false << "1"
                                         << "Row 1: a name may not hold ',' or '#'";
        QTest::newRow("tolerance") << QStringList{"0.5"} << "1.5" << false << "1"
                                   << "must be 0 to 1 mm";
        QTest::newRow("end mill") << QStringList{"0.5"} << "0.05" << true << "20"
                                  << "must be 0.1 to 10 mm";
        QTest::newRow("end mill unticked") << QStringList{"0.5"} << "0.05" << false << "20"
                                           << "";
    }

    void fieldsAreJudgedWhereTyped() {
        QFETCH(QStringList, rows);
        QFETCH(QString, tolerance);
        QFETCH(bool, endMill);
        QFETCH(QString, endMillText);
        QFETCH(QString, problem);
        DrillRackDialog dialog(korvex::excellon::DrillRack{});
        Type(dialog, rows);
        dialog.seTolerance->setValue(tolerance.toDouble());
        dialog.chkEndMill->setChecked(endMill);
        dialog.seEndMill->setValue(endMillText.toDouble());
        const QString shown = !dialog.lblDrillsProblem->text().isEmpty()      ? dialog.lblDrillsProblem->text()
                              : !dialog.lblToleranceProblem->text().isEmpty() ? dialog.lblToleranceProblem->text()
                                                                              : dialog.lblEndMillProblem->text();
        QCOMPARE(shown, problem);
        QCOMPARE(dialog.btnOk->isEnabled(), problem.isEmpty());
    }

    void rackComesBackInTheNextWindow() {
        WindowFixture fixture;
        {
            TfrmKorvex untouched;
            QVERIFY(untouched.close());
        }
        const QByteArray designFile = SettingsFileText(fixture);
        QVERIFY(!designFile.contains("[DrillRack]"));

        auto first = std::make_unique<TfrmKorvex>();
        korvex::test::Answer<DrillRackDialog>([&] { first->jobMenu->DrillRack1->trigger(); },
                                              [](DrillRackDialog& dialog) {
                                                  Type(dialog, {"0.3", "0.9", "0.8 carbide"});
                                                  dialog.twDrills->selectRow(1);
                                                  dialog.btnRemove->click();
                                                  dialog.seTolerance->setValue(0.03);
                                                  dialog.chkEndMill->setChecked(true);
                                                  dialog.seEndMill->setValue(1.2);
                                                  dialog.accept();
                                              });
        const korvex::excellon::DrillRack chosen = first->jobMenu->Rack();
        QCOMPARE(chosen.bits.size(), std::size_t{2});
        QCOMPARE(chosen.bits[1].name, std::string("carbide"));
        QVERIFY(first->close());
        first.reset();

        const QByteArray saved = SettingsFileText(fixture);
        QVERIFY(saved.startsWith(designFile));
        QVERIFY2(saved.contains("[DrillRack]\r\nDrills=0.3, 0.8 carbide\r\nTolerance=0.03\r\nEndMill=1.2\r\n"),
                 saved.constData());
        const TfrmKorvex second;
        QVERIFY(SameRack(second.jobMenu->Rack(), chosen));
    }
};

QTEST_MAIN(DrillRackDialogTest)
#include "DrillRackDialogTest.moc"

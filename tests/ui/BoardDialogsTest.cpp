// "Board side…" and "Board files…": what the dialogs accept and hand back, files added, dropped and removed,
// and the choices reaching the run and the next window.
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#include "tests/ui/WindowFixture.h"
#include "ui/BoardFilesDialog.h"
#include "ui/BoardSideDialog.h"
#include "ui/JobMenu.h"
#include "ui/TfrmKorvex.h"

using korvex::test::Answer;
using korvex::test::WindowFixture;
using namespace korvex::ui;
using namespace korvex::settings;

namespace {

QString WriteFile(const WindowFixture& fixture, const char* name, const char* text) {
    const QString path = fixture.Folder() + QLatin1Char('/') + QLatin1String(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
    }
    return path;
}

// Drops `urls` onto the list as a file manager would; whether the list took them.
bool Drop(QListWidget& list, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = list.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    return drop.isAccepted();
}

QStringList Listed(const QListWidget& list) {
    QStringList items;
    for (int row = 0; row < list.count(); ++row) {
        items << list.item(row)->text();
    }
    return items;
}

} // namespace

class BoardDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void sideFieldsAreJudgedWhereTyped_data() {
        QTest::addColumn<bool>("bottom");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reason"); // empty: accepted
        const QString line = QStringLiteral("must be -1,500 to 1,500 mm");
        const QString holes = QStringLiteral("must be 0.1 to 10 mm");
        QTest::newRow("mirror at 1500") << true << "seMirrorAt"
                                        << "1500" << QString();
        QTest::newRow("mirror at -1500.001") << true << "seMirrorAt"
                                             << "-1500.001" << line;
        QTest::newRow("mirror at empty") << true << "seMirrorAt"
                                         << "" << line;
        QTest::newRow("mirror at on the top side") << false << "seMirrorAt"
                                                   << "9999" << QString();
        QTest::newRow("holes 0.05") << true << "seAlignmentHoles"
                                    << "0.05" << holes;
        QTest::newRow("holes 10") << true << "seAlignmentHoles"
                                  << "10" << QString();
        QTest::newRow("holes 10.01") << true << "seAlignmentHoles"
                                     << "10.01" << holes;
    }

    void sideFieldsAreJudgedWhereTyped() {
        QFETCH(bool, bottom);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, reason);
        BoardSideDialog dialog(
            BoardSideSettings{bottom, korvex::excellon::MirrorAxis::X, 10.0, 3.0, korvex::excellon::BoardOrigin::File});
        auto* box = dialog.findChild<QAbstractSpinBox*>(field);
        QVERIFY(box != nullptr);
        auto* problem = dialog.findChild<QLabel*>(QStringLiteral("lbl") + field.mid(2) + QStringLiteral("Problem"));
        QVERIFY(problem != nullptr);
        QVERIFY(dialog.btnOk->isEnabled());
        QCOMPARE(box->isEnabled(), bottom);
        box->findChild<QLineEdit*>()->setText(typed);
        QCOMPARE(problem->text(), reason);
        QCOMPARE(dialog.btnOk->isEnabled(), reason.isEmpty());
    }

    void sideChoicesComeBack_data() {
        QTest::addColumn<bool>("bottom");
        QTest::addColumn<int>("axis");        // 0: X, 1: Y
        QTest::addColumn<double>("mirrorAt"); // negative: the board's middle
        QTest::addColumn<double>("holes");    // 0: none
        QTest::addColumn<int>("origin");
        QTest::newRow("top, file") << false << 0 << -1.0 << 0.0 << 0;
        QTest::newRow("bottom x middle, lower left") << true << 0 << -1.0 << 0.0 << 1;
        QTest::newRow("bottom y at 42.5, holes 3, centre") << true << 1 << 42.5 << 3.0 << 2;
    }

    void sideChoicesComeBack() {
        QFETCH(bool, bottom);
        QFETCH(int, axis);
        QFETCH(double, mirrorAt);
        QFETCH(double, holes);
        QFETCH(int, origin);
        BoardSideSettings settings;
        settings.bottom = bottom;
        settings.axis = axis == 0 ? korvex::excellon::MirrorAxis::X : korvex::excellon::MirrorAxis::Y;
        if (mirrorAt >= 0) {
            settings.mirrorAt = mirrorAt;
        }
        if (holes > 0) {
            settings.alignmentHoleMm = holes;
        }
        settings.origin = static_cast<korvex::excellon::BoardOrigin>(origin);
        BoardSideDialog dialog(settings);
        QVERIFY(dialog.Settings() == settings);
        QCOMPARE(dialog.cbAxis->isEnabled(), bottom);
        QCOMPARE(dialog.seAlignmentHoles->isEnabled(), bottom && holes > 0);
        // Turning the board over keeps the bottom's values greyed for the next flip.
        (bottom ? dialog.rbTop : dialog.rbBottom)->setChecked(true);
        QCOMPARE(dialog.cbAxis->isEnabled(), !bottom);
        (bottom ? dialog.rbBottom : dialog.rbTop)->setChecked(true);
        QVERIFY(dialog.Settings() == settings);
    }

    void filesAreAddedDroppedAndRemoved() {
        WindowFixture fixture;
        const QString input = WriteFile(fixture, "board.drl", "M48\nT1C0.8\n%\nT1\nX1Y1\nM30\n");
        const QString npth = WriteFile(fixture, "npth.drl", "M48\nT1C3.0\n%\nT1\nX2Y2\nM30\n");
        const QString slotFile = WriteFile(fixture, "slotFile.drl", "M48\nT1C1.0\n%\nM30\n");
        BoardFilesDialog dialog({}, input.toStdString());
        QString askedFolder;
        dialog.chooseFiles = [&](QWidget*, const QString& folder) {
            askedFolder = folder;
            return QStringList{npth, npth, input};
        };
        QVERIFY(dialog.btnOk->isEnabled());
        QVERIFY(!dialog.btnRemove->isEnabled());

        // Added once each; the input file is refused until it is removed.
        QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);
        QCOMPARE(askedFolder, fixture.Folder());
        QCOMPARE(Listed(*dialog.lbFiles), (QStringList{npth, input}));
        QVERIFY(!dialog.btnOk->isEnabled());
        QCOMPARE(dialog.lblProblem->text(), input + QStringLiteral(" is the input file: it is drilled once already."));
        dialog.lbFiles->item(1)->setSelected(true);
        QTest::mouseClick(dialog.btnRemove, Qt::LeftButton);
        QVERIFY(dialog.btnOk->isEnabled());

        // Files dropped from a file manager join the list; links to no local file do not.
        QVERIFY(!Drop(*dialog.lbFiles, {QUrl(QStringLiteral("https://example.org/a.drl"))}));
        QVERIFY(!Drop(*dialog.lbFiles, {QUrl::fromLocalFile(fixture.Folder())}));
        QVERIFY(Drop(*dialog.lbFiles, {QUrl::fromLocalFile(slotFile), QUrl::fromLocalFile(npth)}));
        QCOMPARE(Listed(*dialog.lbFiles), (QStringList{npth, slotFile}));

        // A listed file that went away holds OK back.
        QVERIFY(QFile::remove(slotFile));
        dialog.AddFiles({});
        QVERIFY(!dialog.btnOk->isEnabled());
        QCOMPARE(dialog.lblProblem->text(), slotFile + QStringLiteral(" is not there: remove it or put it back."));
        QCOMPARE(dialog.Files(), (std::vector<std::string>{npth.toStdString(), slotFile.toStdString()}));
    }

    void choicesReachTheRunAndTheNextWindow() {
        WindowFixture fixture;
        const QString input = WriteFile(fixture, "board.drl", "M48\nMETRIC\nT1C0.8\n%\nT1\nX10.0Y20.0\nM30\n");
        const QString npth = WriteFile(fixture, "npth.drl", "M48\nMETRIC\nT1C3.0\n%\nT1\nX30.0Y40.0\nM30\n");
        {
            TfrmKorvex untouched;
            QVERIFY(untouched.close());
        }
        const QByteArray designFile = [&] {
            QFile ini(fixture.Folder() + QStringLiteral("/korvex.INI"));
            return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
        }();
        QVERIFY(!designFile.contains("[BoardSide]") && !designFile.contains("[BoardFiles]"));

        auto first = std::make_unique<TfrmKorvex>();
        first->edInputFileName->setText(input);
        first->edOutputFileName->setText(fixture.Folder() + QStringLiteral("/board.cnc"));
        Answer<BoardSideDialog>([&] { first->jobMenu->BoardSide1->trigger(); },
                                [](BoardSideDialog& dialog) {
                                    dialog.rbBottom->setChecked(true);
                                    dialog.cbAxis->setCurrentIndex(1);
                                    dialog.chkAlignmentHoles->setChecked(true);
                                    dialog.accept();
                                });
        Answer<BoardFilesDialog>([&] { first->jobMenu->BoardFiles1->trigger(); },
                                 [&](BoardFilesDialog& dialog) {
                                     dialog.AddFiles({npth});
                                     dialog.accept();
                                 });
        BoardSettings expected;
        expected.side = {true, korvex::excellon::MirrorAxis::Y, std::nullopt, 3.0, korvex::excellon::BoardOrigin::File};
        expected.moreFiles = {npth.toStdString()};
        QVERIFY(first->jobMenu->Board() == expected);

        // The plain reading leaves them out and says so once, after the run's own lines.
        QTest::mouseClick(first->btnConvertCon, Qt::LeftButton);
        const QString log = first->meOutput->toPlainText().trimmed();
        QVERIFY2(log.endsWith(QStringLiteral("Warning: Board side and board files act in the Excellon reading only; "
                                             "this run ignored them")),
                 qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("Board side and board files")), 1);
        QVERIFY(first->close());
        first.reset();

        const TfrmKorvex second;
        QVERIFY(second.jobMenu->Board() == expected);
        QCOMPARE(fixture.BoxLog(), QStringList());
    }
};

QTEST_MAIN(BoardDialogsTest)
#include "BoardDialogsTest.moc"

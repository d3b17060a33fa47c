// The log pane's warnings: coloured and marked for the eye, counted beside the menu bar, text unchanged.
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "tests/ui/WindowFixture.h"
#include "ui/LogPresentation.h"
#include "ui/TfrmKorvex.h"
#include "ui/WindowHost.h"

using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

class LogPresentationTest : public QObject {
    Q_OBJECT

private slots:
    // The engine's warning texts, as they are written, and where the window tells the user to go.
    void hints_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("hint");
        QTest::newRow("plain reading hazard")
            << "Warning: slots (G85) are drilled as holes at their end points (line 12: \"X1Y1G85X2Y2\"); choose the "
               "Excellon reading"
            << "File › Drill file format…";
        QTest::newRow("block code") << "Warning: the tool-change block before holds M06, which GRBL does not accept"
                                    << "the tool-change boxes, or File › Controller…";
        QTest::newRow("program code") << "Warning: line 7 of the program holds G81, which GRBL does not accept"
                                      << "File › Controller…";
        QTest::newRow("feed") << "Warning: line 5 of the program feeds before any F word; GRBL stops there"
                              << "File › Controller…";
        QTest::newRow("depth") << "Warning: the run drills to Z1, which does not go below the work surface (Z0): "
                                  "nothing is drilled"
                               << "z down (or the tool's depth)";
        QTest::newRow("board size")
            << "Warning: the drilled area is 2540.000 x 1270.000 mm, larger than 1 m for a board"
            << "Divisor, or File › Drill file format…";
        QTest::newRow("verification") << "Warning: hole T1 at X1.000 Y2.000 is missing from the program"
                                      << "File › Drill file format…";
        QTest::newRow("board choices") << "Warning: Board side and board files act in the Excellon reading only; this "
                                          "run ignored them"
                                       << "File › Drill file format…";
        QTest::newRow("names its entry") << "Warning: choose File › Controller… for GRBL"
                                         << "";
        QTest::newRow("unknown warning") << "Warning: something new"
                                         << "";
        QTest::newRow("no warning") << "Verified: 3 holes as in the drill file; choose the Excellon reading"
                                    << "";
    }
    void hints() {
        QFETCH(QString, line);
        QFETCH(QString, hint);
        QCOMPARE(korvex::ui::WarningHint(line), hint);
    }

    // Readable on the light default and on dark themes: at least 4.5:1 against the pane's background.
    void colourReads_data() {
        QTest::addColumn<QColor>("base");
        QTest::newRow("white") << QColor(Qt::white);
        QTest::newRow("window grey") << QColor(240, 240, 240);
        QTest::newRow("yellowish") << QColor(255, 255, 200);
        QTest::newRow("black") << QColor(Qt::black);
        QTest::newRow("dark theme") << QColor(42, 42, 42);
        QTest::newRow("mid grey") << QColor(100, 100, 100);
    }
    void colourReads() {
        QFETCH(QColor, base);
        QPalette palette;
        palette.setColor(QPalette::Base, base);
        QVERIFY2(korvex::ui::ContrastRatio(korvex::ui::WarningColour(palette), base) >= 4.5,
                 qPrintable(korvex::ui::WarningColour(palette).name()));
    }

    // The count's font once coloured is not necessarily the one the label started with.
    void theLargestCountFitsTheMenuBar() {
        WindowFixture fixture;
        TfrmKorvex window;
        korvex::ui::WindowHost host(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        host.SetLogText("Warning: one");
        window.lblWarnings->setText(QStringLiteral("⚠ 99999 warnings"));
        QCoreApplication::processEvents();
        QVERIFY(window.lblWarnings->width() >= window.lblWarnings->sizeHint().width());
        QVERIFY(window.lblWarnings->geometry().right() < window.MainMenu1->width());
    }

    void windowColoursAndCountsWithoutChangingTheText() {
        WindowFixture fixture;
        TfrmKorvex window;
        korvex::ui::WindowHost host(window);
        QCoreApplication::processEvents(); // the colouring starts with the event loop, as in the program
        QCOMPARE(window.lblWarnings->text(), QString());
        const std::string text = "Conversion started\r\nWarning: line 5 of the program feeds before any F word\r\n"
                                 "12 holes\r\nWarning: something new";
        host.SetLogText(text);
        QCOMPARE(window.lblWarnings->text(), QStringLiteral("⚠ 2 warnings"));
        QCOMPARE(host.LogText(), text);
        host.AppendLogLine("Warning: hole T1 at X1 Y1 is missing from the program");
        QCOMPARE(window.lblWarnings->text(), QStringLiteral("⚠ 3 warnings"));
        const QColor warning = korvex::ui::WarningColour(window.meOutput->palette());
        for (QTextBlock block = window.meOutput->document()->begin(); block.isValid(); block = block.next()) {
            const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
            const bool coloured = !formats.isEmpty() && formats.front().format.foreground().color() == warning;
            QCOMPARE(coloured, block.text().startsWith(QStringLiteral("Warning: ")));
        }
        host.SetLogText("");
        QCOMPARE(window.lblWarnings->text(), QString());
    }
};

QTEST_MAIN(LogPresentationTest)
#include "LogPresentationTest.moc"

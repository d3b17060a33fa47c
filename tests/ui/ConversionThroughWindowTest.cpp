// "Convert" as the operator uses it: fields typed into the window, the button clicked, the program written
// and the log pane read; failures reach the error box and the "Numerical Error" box.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TfrmKorvex.h"
#include "ui/WindowHost.h"

using korvex::conversion::HostMacro;
using korvex::test::FindByName;
using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;
using korvex::ui::WindowHost;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Lines(const QString& text) {
    return text.split(u'\n');
}

const QStringList kParameterLog = {QStringLiteral("do conversion with the following parameters:"),
                                   QStringLiteral("convert file: input.drl to file: output.cnc"),
                                   QStringLiteral("xoffsett...0"),
                                   QStringLiteral("yOffsett 0"),
                                   QStringLiteral("zauf...1"),
                                   QStringLiteral("zab...2"),
                                   QStringLiteral("Start processing of output.cnc ...")};

} // namespace

class ConversionThroughWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;
    QString previousFolder_;

    QLineEdit* Field(const QString& name) { return qobject_cast<QLineEdit*>(FindByName(*window_, name)); }

    void Convert() { QTest::mouseClick(window_->btnConvertCon, Qt::LeftButton); }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<TfrmKorvex>();
        window_->show();
        // Bare file names resolve against the working directory, as after choosing a file in the dialog.
        previousFolder_ = QDir::currentPath();
        QDir::setCurrent(fixture_->Folder());
    }

    void cleanup() {
        QDir::setCurrent(previousFolder_);
        window_.reset();
        fixture_.reset();
    }

    void workedExample_data() {
        QTest::addColumn<QString>("goldenCase");
        QTest::addColumn<bool>("numbered");
        QTest::newRow("numbering on, increment 5") << QStringLiteral("worked-example-numbered") << true;
        QTest::newRow("numbering off") << QStringLiteral("worked-example-unnumbered") << false;
    }

    void workedExample() {
        QFETCH(QString, goldenCase);
        QFETCH(bool, numbered);
        const QDir golden(QStringLiteral(KORVEX_TEST_DATA_DIR "/") + goldenCase);
        QVERIFY(QFile::copy(golden.filePath(QStringLiteral("input.drl")), QStringLiteral("input.drl")));
        korvex::conversion::ConversionState& state = korvex::conversion::TheConversionState();
        state.LineNumbersOn = numbered;
        state.LineNumberIncrement = 5;
        window_->edInputFileName->setText(QStringLiteral("input.drl"));
        window_->edOutputFileName->setText(QStringLiteral("output.cnc"));
        window_->meOutput->setPlainText(QStringLiteral("earlier line\n"));

        Convert();

        QCOMPARE(fixture_->BoxLog(), QStringList());
        const QByteArray written = ReadAll(QStringLiteral("output.cnc"));
        QVERIFY(written.endsWith("\r\n"));
        QCOMPARE(written.count('\n'), written.count("\r\n"));
        QList<QByteArray> lines = written.split('\n');
        const QList<QByteArray> expected = ReadAll(golden.filePath(QStringLiteral("expected.cnc"))).split('\n');
        QCOMPARE(lines.size(), expected.size());
        // Banner lines 4 and 5 are free text: the maker's release and the address for updates.
        QVERIFY(lines[3].startsWith("; ") && lines[4].startsWith("; "));
        lines[3] = expected[3];
        lines[4] = expected[4];
        QCOMPARE(lines, expected);

        // The log follows what the pane held before, and ends with the run's warnings and summary as the golden
        // case has them.
        const QStringList warnings =
            QString::fromUtf8(ReadAll(golden.filePath(QStringLiteral("expected-warnings.txt"))))
                .split(u'\n', Qt::SkipEmptyParts);
        const QStringList log =
            QStringList{QStringLiteral("earlier line")} + kParameterLog +
            QStringList{QStringLiteral("Conversion finished")} + warnings +
            QStringList{
                QStringLiteral("Summary: 3 holes, 0 slots, 0 routes; X -3.250 to 15.500 mm, Y 7.000 to 20.000 mm"),
                QStringLiteral(
                    "Machine time: 1 min 15 s (rapids 0:09, plunges 0:06, milling 0:00, 2 tool changes 1:00)"),
                QString()};
        QCOMPARE(Lines(window_->meOutput->toPlainText()), log);
    }

    void pleaseSpecifyCannotBeOpened() {
        Convert();
        QCOMPARE(Lines(window_->meOutput->toPlainText()),
                 (QStringList{QStringLiteral("can not open please specify"), QString(),
                              QStringLiteral("do conversion with the following parameters:"),
                              QStringLiteral("convert file: please specify to file: please specify"),
                              QStringLiteral("xoffsett...0"), QStringLiteral("yOffsett 0"), QStringLiteral("zauf...1"),
                              QStringLiteral("zab...2"), QStringLiteral("Start processing of please specify ..."),
                              QString()}));
        QVERIFY(!QFile::exists(QStringLiteral("please specify")));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void badZFieldEndsTheRun_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box");
        QTest::newRow("z offset") << QStringLiteral("edZOffsett") << QStringLiteral("abc")
                                  << QStringLiteral("error|Korvex|Can not convert value abc.");
        QTest::newRow("z up, retried with commas") << QStringLiteral("edZauf") << QStringLiteral("1.2.3")
                                                   << QStringLiteral("error|Korvex|Can not convert value 1,2,3.");
        QTest::newRow("z down empty, no full stop after a blank")
            << QStringLiteral("edZab") << QString() << QStringLiteral("error|Korvex|Can not convert value ");
    }

    void badZFieldEndsTheRun() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, box);
        Field(field)->setText(text);
        Convert();
        QCOMPARE(fixture_->BoxLog(), QStringList{box});
        // The run ended before its log; the window goes on.
        QCOMPARE(window_->meOutput->toPlainText(), QStringLiteral("\n"));
        QVERIFY(window_->isVisible());
    }

    // Both boxes, the log line naming the field, and the older program left as it was.
    void badOffsetStopsTheRun() {
        QVERIFY(QFile::copy(QStringLiteral(KORVEX_TEST_DATA_DIR "/worked-example-numbered/input.drl"),
                            QStringLiteral("input.drl")));
        QFile older(QStringLiteral("output.cnc"));
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("; an older program\r\n");
        older.close();
        window_->edInputFileName->setText(QStringLiteral("input.drl"));
        window_->edOutputFileName->setText(QStringLiteral("output.cnc"));
        window_->edXOffsett->setText(QStringLiteral("0.000f"));
        Convert();
        const QString stop =
            QStringLiteral("Numerical Error in xOffsett \"0.000f\": conversion stopped, no program written");
        QCOMPARE(fixture_->BoxLog(), (QStringList{QStringLiteral("numerical|Numerical Error|Cant convert 0,000f"),
                                                  QStringLiteral("error|Korvex|") + stop + u'.'}));
        QVERIFY(window_->meOutput->toPlainText().contains(stop));
        QCOMPARE(ReadAll(QStringLiteral("output.cnc")), QByteArray("; an older program\r\n"));
    }

    void badDivisorBecomesOne() {
        window_->edDivider->setText(QStringLiteral("abc"));
        window_->edInputFileName->clear();
        QString fieldWhileBoxOpen;
        fixture_->Boxes().SetNextAnswer(
            [&](const korvex::platform::MessageBoxRequest&) { fieldWhileBoxOpen = window_->edDivider->text(); });
        Convert();
        QCOMPARE(fixture_->BoxLog(), QStringList{QStringLiteral("numerical|Numerical Error|Cant convert abc")});
        QCOMPARE(fixture_->Boxes().Shown().front().owner, nullptr);
        QCOMPARE(fieldWhileBoxOpen, QStringLiteral("abc"));
        QCOMPARE(window_->edDivider->text(), QStringLiteral("1"));
        // An empty input name ends the run without a word in the log.
        QCOMPARE(window_->meOutput->toPlainText(), QStringLiteral("\n"));
    }

    void hostReadsTheFields() {
        const std::pair<korvex::conversion::Field, const char*> fields[] = {
            {korvex::conversion::Field::InputFileName, "edInputFileName"},
            {korvex::conversion::Field::OutputFileName, "edOutputFileName"},
            {korvex::conversion::Field::XOffset, "edXOffsett"},
            {korvex::conversion::Field::YOffset, "edYOffsett"},
            {korvex::conversion::Field::ZOffset, "edZOffsett"},
            {korvex::conversion::Field::ZUp, "edZauf"},
            {korvex::conversion::Field::ZDown, "edZab"},
            {korvex::conversion::Field::Divisor, "edDivider"}};
        for (const auto& [field, name] : fields) {
            Field(QLatin1String(name))->setText(QStringLiteral(" %1 \u00e4 ").arg(QLatin1String(name)));
        }
        WindowHost host(*window_);
        for (const auto& [field, name] : fields) {
            // Untrimmed, in the locale's 8-bit encoding.
            QCOMPARE(host.FieldText(field),
                     (QStringLiteral(" %1 \u00e4 ").arg(QLatin1String(name))).toLocal8Bit().toStdString());
        }
        host.SetDividerText("1");
        QCOMPARE(window_->edDivider->text(), QStringLiteral("1"));
        QVERIFY(!host.SuppressLeadingZerosChecked());
        window_->chkSuppressLeadingZeros->setChecked(true);
        QVERIFY(host.SuppressLeadingZerosChecked());
    }

    void macroLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("design block") << QStringLiteral("M06\nG00 Z20\n") << QStringList{"M06", "G00 Z20"};
        QTest::newRow("no final line break") << QStringLiteral("M06\nG00 Z20") << QStringList{"M06", "G00 Z20"};
        QTest::newRow("empty") << QString() << QStringList{};
        QTest::newRow("one line break") << QStringLiteral("\n") << QStringList{QString()};
        QTest::newRow("empty line inside") << QStringLiteral("a\n\nb\n") << QStringList{"a", "", "b"};
        QTest::newRow("two final line breaks") << QStringLiteral("a\n\n") << QStringList{"a", ""};
        QTest::newRow("blanks kept") << QStringLiteral(" G00  Z30 \n") << QStringList{" G00  Z30 "};
    }

    void macroLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        std::vector<std::string> expected;
        for (const QString& line : lines) {
            expected.push_back(line.toStdString());
        }
        window_->meTxBefore->setPlainText(text);
        window_->meTxAfter->setPlainText(text);
        WindowHost host(*window_);
        QCOMPARE(host.MacroLines(HostMacro::Before), expected);
        QCOMPARE(host.MacroLines(HostMacro::After), expected);
    }

    void logPane_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QString>("after");
        QTest::newRow("append to an empty pane") << QString() << false << QByteArray("x") << QStringLiteral("x\n");
        QTest::newRow("append after a final line break")
            << QStringLiteral("\n") << false << QByteArray("x") << QStringLiteral("\nx\n");
        QTest::newRow("append to a last line without break")
            << QStringLiteral("earlier") << false << QByteArray("x") << QStringLiteral("earlier\nx");
        QTest::newRow("replace: LF CR is one line break")
            << QStringLiteral("old") << true << QByteArray("msg\n\r\r\nold\r\n") << QStringLiteral("msg\n\nold\n");
        QTest::newRow("replace: lone CR and LF")
            << QString() << true << QByteArray("a\rb\nc") << QStringLiteral("a\nb\nc");
    }

    void logPane() {
        QFETCH(QString, before);
        QFETCH(bool, replace);
        QFETCH(QByteArray, argument);
        QFETCH(QString, after);
        window_->meOutput->setPlainText(before);
        WindowHost host(*window_);
        if (replace) {
            host.SetLogText(argument.toStdString());
        } else {
            host.AppendLogLine(argument.toStdString());
        }
        QCOMPARE(window_->meOutput->toPlainText(), after);
        // The run reads the pane back with CR LF line breaks.
        QCOMPARE(QString::fromStdString(host.LogText()), QString(after).replace(u'\n', QStringLiteral("\r\n")));
    }
};

QTEST_MAIN(ConversionThroughWindowTest)
#include "ConversionThroughWindowTest.moc"

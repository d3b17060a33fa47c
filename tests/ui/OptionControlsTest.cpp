// The line-number box, the increment list and the hidden drill-cycle box: each change reaches the
// conversion state at once, and the next conversion through the window shows it.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include "conversion/ConversionState.h"
#include "tests/ui/WindowFixture.h"
#include "ui/OptionHandlers.h"
#include "ui/TfrmKorvex.h"

using korvex::conversion::ConversionState;
using korvex::conversion::TheConversionState;
using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

class OptionControlsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;

    void ShowActive() {
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    // Converts a small drill file through the window; the line numbers of the program, in order.
    QList<int> ConvertAndReadLineNumbers() {
        const QString input = fixture_->Folder() + QStringLiteral("/board.drl");
        const QString output = fixture_->Folder() + QStringLiteral("/board.CNC");
        QFile drill(input);
        if (!drill.open(QIODevice::WriteOnly)) {
            return {-1};
        }
        drill.write("T1\r\nX1.0Y2.0\r\nX3.0Y4.0\r\nM30\r\n");
        drill.close();
        window_->edInputFileName->setText(input);
        window_->edOutputFileName->setText(output);
        QTest::mouseClick(window_->btnConvertCon, Qt::LeftButton);

        QFile program(output);
        if (!program.open(QIODevice::ReadOnly)) {
            return {-2};
        }
        QList<int> numbers;
        static const QRegularExpression numbered(QStringLiteral("^N(\\d{5}) "));
        for (const QByteArray& line : program.readAll().split('\n')) {
            const auto match = numbered.match(QString::fromLatin1(line));
            if (match.hasMatch()) {
                numbers << match.captured(1).toInt();
            }
        }
        return numbers;
    }

    // Numbers from 0 in steps of `step`, as many as the program had.
    static QList<int> Steps(const QList<int>& numbers, int step) {
        QList<int> expected;
        for (qsizetype i = 0; i < numbers.size(); ++i) {
            expected << static_cast<int>(i) * step;
        }
        return expected;
    }

    void TypeIncrement(const QString& text) {
        QLineEdit* edit = window_->cbDeltaLineNumber->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<TfrmKorvex>();
    }

    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void tickingAndUntickingTheLineNumberBox() {
        ShowActive();
        // The settings of the fixture leave the box unticked and the increment at 5.
        QVERIFY(!window_->chkIncludeLineNumber->isChecked());
        QCOMPARE(ConvertAndReadLineNumbers(), QList<int>());

        window_->chkIncludeLineNumber->click();
        QVERIFY(TheConversionState().LineNumbersOn);
        const QList<int> numbers = ConvertAndReadLineNumbers();
        QVERIFY(numbers.size() > 5);
        QCOMPARE(numbers, Steps(numbers, 5));

        // The keyboard ticks it off again.
        window_->chkIncludeLineNumber->setFocus();
        QTest::keyClick(window_->chkIncludeLineNumber, Qt::Key_Space);
        QVERIFY(!window_->chkIncludeLineNumber->isChecked());
        QVERIFY(!TheConversionState().LineNumbersOn);
        QCOMPARE(ConvertAndReadLineNumbers(), QList<int>());
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void programSettingTheBox() {
        korvex::settings::SettingsControls& controls = *window_;
        ConversionState& state = TheConversionState();
        // A state the box does not show, so that a handler run would be seen.
        state.LineNumbersOn = true;
        controls.SetIncludeLineNumberChecked(false);
        QVERIFY(state.LineNumbersOn);
        controls.SetIncludeLineNumberChecked(true);
        QVERIFY(state.LineNumbersOn);
        state.LineNumbersOn = false;
        controls.SetIncludeLineNumberChecked(true);
        QVERIFY(!state.LineNumbersOn);
        controls.SetIncludeLineNumberChecked(false);
        QVERIFY(!state.LineNumbersOn);
    }

    void choosingFiftyFromTheList() {
        ShowActive();
        window_->chkIncludeLineNumber->setChecked(true);
        QComboBox* list = window_->cbDeltaLineNumber;
        list->showPopup();
        QAbstractItemView* view = list->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const QRect entry = view->visualRect(list->model()->index(3, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, entry.center());
        QCOMPARE(list->currentText(), QStringLiteral("50"));
        QCOMPARE(TheConversionState().LineNumberIncrement, 50);
        const QList<int> numbers = ConvertAndReadLineNumbers();
        QVERIFY(numbers.size() > 5);
        QCOMPARE(numbers, Steps(numbers, 50));
    }

    void choosingWithTheKeyboard() {
        ShowActive();
        QComboBox* list = window_->cbDeltaLineNumber;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QStringLiteral("10"));
        QCOMPARE(TheConversionState().LineNumberIncrement, 10);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(TheConversionState().LineNumberIncrement, 1);
    }

    void selectionByTheProgramIsNoChoice() {
        ConversionState& state = TheConversionState();
        state.LineNumberIncrement = 7;
        window_->SelectDeltaLineNumberIndex(3);
        window_->cbDeltaLineNumber->setCurrentIndex(2);
        window_->cbDeltaLineNumber->setEditText(QStringLiteral("20"));
        QCOMPARE(state.LineNumberIncrement, 7);
    }

    void typedIncrement_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("increment");
        QTest::newRow("a whole number not in the list") << "2" << 2;
        QTest::newRow("three digits") << "100" << 100;
        QTest::newRow("an entry's text") << "10" << 10;
        QTest::newRow("leading blank") << " 20" << 20;
        QTest::newRow("a word keeps the last increment") << "abc" << 5;
        QTest::newRow("zero") << "0" << 5;
        QTest::newRow("leading zero") << "05" << 5;
        QTest::newRow("negative") << "-5" << 5;
        QTest::newRow("trailing letter keeps what the digits gave") << "2x" << 2;
        QTest::newRow("six digits keep the five-digit value") << "123456" << 12345;
        QTest::newRow("decimal") << "2.5" << 2;
    }

    void typedIncrement() {
        QFETCH(QString, typed);
        QFETCH(int, increment);
        ShowActive();
        QCOMPARE(TheConversionState().LineNumberIncrement, 5);
        TypeIncrement(typed);
        QCOMPARE(window_->cbDeltaLineNumber->currentText(), typed);
        QCOMPARE(TheConversionState().LineNumberIncrement, increment);
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void typedIncrementNumbersTheNextConversion() {
        ShowActive();
        window_->chkIncludeLineNumber->setChecked(true);
        TypeIncrement(QStringLiteral("3"));
        const QList<int> numbers = ConvertAndReadLineNumbers();
        QVERIFY(numbers.size() > 5);
        QCOMPARE(numbers, Steps(numbers, 3));
    }

    void incrementText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("increment"); // 0: none
        for (const char* entry : {"1", "5", "10", "50"}) {
            QTest::newRow(entry) << entry << QString::fromLatin1(entry).toInt();
        }
        QTest::newRow("blanks around") << " 7 " << 7;
        QTest::newRow("largest") << "99999" << 99999;
        QTest::newRow("too long") << "100000" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("zero") << "00000" << 0;
        QTest::newRow("sign") << "+5" << 0;
        QTest::newRow("hexadecimal") << "0x10" << 0;
        QTest::newRow("blank inside") << "1 0" << 0;
    }

    void incrementText() {
        QFETCH(QString, text);
        QFETCH(int, increment);
        const auto result = korvex::ui::LineNumberIncrementOf(text);
        QCOMPARE(result.value_or(0), increment);
    }

    void drillCycleBox() {
        ConversionState& state = TheConversionState();
        QVERIFY(!window_->chkG79->isChecked());
        QVERIFY(!window_->edG81->isEnabled());
        window_->chkG79->setChecked(true);
        QVERIFY(window_->edG81->isEnabled());
        QVERIFY(state.G81Enabled);
        window_->chkG79->setChecked(false);
        QVERIFY(!window_->edG81->isEnabled());
        QVERIFY(!state.G81Enabled);
        // The stored option enables the field only; the box and the state stay as they were.
        window_->SetG81EditEnabled(true);
        QVERIFY(!window_->chkG79->isChecked());
        QVERIFY(!state.G81Enabled);
    }
};

QTEST_MAIN(OptionControlsTest)
#include "OptionControlsTest.moc"

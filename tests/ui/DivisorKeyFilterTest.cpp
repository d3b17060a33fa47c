// The divisor field's key filter, fed with real key events: what each key does to the text, and which
// message explains a refused key.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>

#include <memory>

#include "platform/DecimalSeparator.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TfrmKorvex.h"

using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

class DivisorKeyFilterTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;

    QLineEdit& Field() { return *window_->edDivider; }

    void Focus() {
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        Field().setFocus();
        QCOMPARE(QApplication::focusWidget(), &Field());
    }

    static QString Plain(const QString& text) { return QStringLiteral("plain|Korvex|") + text; }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<TfrmKorvex>();
        QGuiApplication::clipboard()->setText(QStringLiteral("999"));
    }

    void cleanup() {
        window_.reset();
        fixture_.reset();
        korvex::platform::SetDecimalSeparator('.');
    }

    void keys_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selectionStart");
        QTest::addColumn<int>("selectionLength"); // 0: the caret stands at selectionStart
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("keyText");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("message"); // empty: no box
        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        const QString ok;
        // clang-format off
        QTest::newRow("digit into an empty field")       << ""    << 0 << 0 << int(Qt::Key_1) << none << "1" << "1"    << ok;
        QTest::newRow("first separator")                 << "1"   << 1 << 0 << int(Qt::Key_Period) << none << "." << "1." << ok;
        QTest::newRow("digit after the separator")       << "1."  << 2 << 0 << int(Qt::Key_5) << none << "5" << "1.5"  << ok;
        QTest::newRow("second separator")                << "1.5" << 3 << 0 << int(Qt::Key_Period) << none << "." << "1.5" << "Invalid Key: twice .";
        QTest::newRow("separator anywhere counts")       << "1.5" << 0 << 0 << int(Qt::Key_Period) << none << "." << "1.5" << "Invalid Key: twice .";
        QTest::newRow("minus at the start")              << "25"  << 0 << 0 << int(Qt::Key_Minus) << none << "-" << "-25"  << ok;
        QTest::newRow("minus after a digit")             << "25"  << 1 << 0 << int(Qt::Key_Minus) << none << "-" << "25"   << "Only allowed at beginning of number: -";
        QTest::newRow("minus at the end")                << "25"  << 2 << 0 << int(Qt::Key_Minus) << none << "-" << "25"   << "Only allowed at beginning of number: -";
        QTest::newRow("second minus, twice rule first")  << "-25" << 0 << 0 << int(Qt::Key_Minus) << none << "-" << "-25"  << "Invalid Key: twice -";
        QTest::newRow("letter")                          << "25"  << 2 << 0 << int(Qt::Key_A) << none << "a" << "25"   << "Invalid key: a";
        QTest::newRow("comma while the separator is .")  << "25"  << 2 << 0 << int(Qt::Key_Comma) << none << "," << "25" << "Invalid key: ,";
        QTest::newRow("blank")                           << "25"  << 2 << 0 << int(Qt::Key_Space) << none << " " << "25"   << "Invalid key:  ";
        QTest::newRow("plus")                            << "25"  << 0 << 0 << int(Qt::Key_Plus) << none << "+" << "25"   << "Invalid key: +";
        QTest::newRow("exponent")                        << "25"  << 2 << 0 << int(Qt::Key_E) << none << "e" << "25"   << "Invalid key: e";
        QTest::newRow("digit in front of a minus")       << "-25" << 0 << 0 << int(Qt::Key_7) << none << "7" << "7-25" << ok;
        QTest::newRow("backspace")                       << "25"  << 2 << 0 << int(Qt::Key_Backspace) << none << "\b" << "2" << ok;
        QTest::newRow("backspace at the start")          << "25"  << 0 << 0 << int(Qt::Key_Backspace) << none << "\b" << "25" << ok;
        QTest::newRow("whole 1.5 selected, separator")   << "1.5" << 0 << 3 << int(Qt::Key_Period) << none << "." << "1.5" << "Invalid Key: twice .";
        QTest::newRow("selection from the start, minus") << "25"  << 0 << 2 << int(Qt::Key_Minus) << none << "-" << "-"   << ok;
        QTest::newRow("selection from a digit, minus")   << "25"  << 1 << 1 << int(Qt::Key_Minus) << none << "-" << "25"  << "Only allowed at beginning of number: -";
        QTest::newRow("digit replaces the selection")    << "1.5" << 0 << 3 << int(Qt::Key_8) << none << "8" << "8"     << ok;
        // Shortcuts are the field's editing keys, never text the filter refuses; the clipboard holds "7".
        QTest::newRow("Ctrl+V pastes")                   << "25"  << 2 << 0 << int(Qt::Key_V) << ctrl << "v" << "257"  << ok;
        QTest::newRow("Ctrl+X cuts")                     << "25"  << 0 << 2 << int(Qt::Key_X) << ctrl << "x" << ""     << ok;
        QTest::newRow("Ctrl+C")                          << "25"  << 0 << 2 << int(Qt::Key_C) << ctrl << "c" << "25"   << ok;
        QTest::newRow("Ctrl+Z")                          << "25"  << 2 << 0 << int(Qt::Key_Z) << ctrl << "z" << "25"   << ok;
        QTest::newRow("Ctrl+A")                          << "25"  << 2 << 0 << int(Qt::Key_A) << ctrl << "a" << "25"   << ok;
        QTest::newRow("Ctrl+Backspace deletes the word") << "25"  << 2 << 0 << int(Qt::Key_Backspace) << ctrl << "\b" << "" << ok;
        QTest::newRow("Escape")                          << "25"  << 2 << 0 << int(Qt::Key_Escape) << none << "\x1b" << "25" << "Invalid key: \x1b";
        QTest::newRow("Delete types nothing")            << "25"  << 0 << 0 << int(Qt::Key_Delete) << none << "\x7f" << "5" << ok;
        QTest::newRow("arrow types nothing")             << "25"  << 2 << 0 << int(Qt::Key_Left) << none << ""  << "25"   << ok;
        QTest::newRow("Alt+digit belongs to the menu")   << "25"  << 2 << 0 << int(Qt::Key_5) << int(Qt::AltModifier) << "5" << "25" << ok;
        // clang-format on
    }

    void keys() {
        QFETCH(QString, text);
        QFETCH(int, selectionStart);
        QFETCH(int, selectionLength);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, keyText);
        QFETCH(QString, after);
        QFETCH(QString, message);
        Focus();
        QGuiApplication::clipboard()->setText(QStringLiteral("7"));
        Field().setText(text);
        if (selectionLength > 0) {
            Field().setSelection(selectionStart, selectionLength);
        } else {
            Field().setCursorPosition(selectionStart);
        }

        QTest::sendKeyEvent(QTest::Click, &Field(), Qt::Key(key), keyText, Qt::KeyboardModifiers(modifiers));

        QCOMPARE(Field().text(), after);
        QCOMPARE(fixture_->BoxLog(), message.isEmpty() ? QStringList() : QStringList{Plain(message)});
        QCOMPARE(QApplication::focusWidget(), &Field());
    }

    void typingOneAndAHalf() {
        Focus();
        Field().clear();
        QTest::keyClicks(&Field(), QStringLiteral("1.5."));
        QCOMPARE(Field().text(), QStringLiteral("1.5"));
        QCOMPARE(fixture_->BoxLog(), QStringList{Plain(QStringLiteral("Invalid Key: twice ."))});
    }

    void separatorIsReadForEveryKey() {
        Focus();
        Field().setText(QStringLiteral("2"));
        Field().setCursorPosition(1);
        korvex::platform::SetDecimalSeparator(',');
        QTest::keyClick(&Field(), ',');
        QTest::keyClick(&Field(), '.');
        QCOMPARE(Field().text(), QStringLiteral("2,"));
        korvex::platform::SetDecimalSeparator('.');
        QTest::keyClick(&Field(), ',');
        QCOMPARE(Field().text(), QStringLiteral("2,"));
        QCOMPARE(fixture_->BoxLog(),
                 (QStringList{Plain(QStringLiteral("Invalid key: .")), Plain(QStringLiteral("Invalid key: ,"))}));
    }

    void refusalBoxAndFocus() {
        Focus();
        Field().setText(QStringLiteral("25"));
        // While the box is open, the focus is elsewhere; afterwards it is back in the field.
        fixture_->Boxes().SetNextAnswer(
            [this](const korvex::platform::MessageBoxRequest&) { window_->edXOffsett->setFocus(); });
        QTest::keyClick(&Field(), 'x');
        QCOMPARE(QApplication::focusWidget(), &Field());
        const auto& shown = fixture_->Boxes().Shown();
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].kind, korvex::platform::MessageBoxKind::Plain);
        QCOMPARE(shown[0].caption, QStringLiteral("Korvex"));
        QCOMPARE(shown[0].text, QStringLiteral("Invalid key: x"));
        QVERIFY(shown[0].centredOnScreen);
    }

    void enterMovesToTheLineNumberBox_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }

    void enterMovesToTheLineNumberBox() {
        QFETCH(int, key);
        Focus();
        Field().setText(QStringLiteral("1.5"));
        QTest::keyClick(&Field(), Qt::Key(key));
        QCOMPARE(QApplication::focusWidget(), window_->chkIncludeLineNumber);
        QCOMPARE(Field().text(), QStringLiteral("1.5"));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void shortcutOfTheWindowDoesNotTakeTheKey() {
        Focus();
        Field().setText(QStringLiteral("25"));
        QShortcut paste(QKeySequence::Paste, window_.get());
        int fired = 0;
        connect(&paste, &QShortcut::activated, this, [&fired] { ++fired; });
        QGuiApplication::clipboard()->setText(QStringLiteral("7"));
        QTest::keyClick(&Field(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(fired, 0);
        QCOMPARE(Field().text(), QStringLiteral("257"));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void textFromTheProgramIsNotFiltered() {
        window_->SetText(korvex::conversion::Field::Divisor, "abc,-1-");
        QCOMPARE(Field().text(), QStringLiteral("abc,-1-"));
        Field().insert(QStringLiteral("x"));
        QCOMPARE(Field().text(), QStringLiteral("abc,-1-x"));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void otherFieldsAreNotFiltered() {
        Focus();
        window_->edXOffsett->setFocus();
        window_->edXOffsett->setText(QString());
        QTest::keyClicks(window_->edXOffsett, QStringLiteral("a,b"));
        QCOMPARE(window_->edXOffsett->text(), QStringLiteral("a,b"));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }
};

QTEST_MAIN(DivisorKeyFilterTest)
#include "DivisorKeyFilterTest.moc"

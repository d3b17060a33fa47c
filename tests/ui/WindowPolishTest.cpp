// The small mends of the main window: Enter on a button, message boxes as wide as their caption, the saved
// increment, "all files", the file dialog's completion list, a window kept on a small screen and a window
// that closes after a save that keeps failing.
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <optional>
#include <stdexcept>

#include "conversion/ConversionState.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "tests/ui/WindowFixture.h"
#include "ui/TfrmKorvex.h"
#include "ui/WindowFont.h"
#include "ui/WindowPlacement.h"

using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

namespace {

// Every file dialog is cancelled at once.
class CancellingChooser final : public korvex::platform::FileChooser {
public:
    CancellingChooser() : previous_(korvex::platform::SetFileChooser(this)) {}
    ~CancellingChooser() override { korvex::platform::SetFileChooser(previous_); }
    CancellingChooser(const CancellingChooser&) = delete;
    CancellingChooser& operator=(const CancellingChooser&) = delete;
    std::optional<QString> Choose(QFileDialog& /*dialog*/) override { return std::nullopt; }

private:
    FileChooser* previous_;
};

// A window whose saving always fails.
class UnsavableWindow : public TfrmKorvex {
    void SaveSettings() override { throw std::runtime_error("In /nowhere/korvex.INI kann nicht geschrieben werden"); }
};

} // namespace

class WindowPolishTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;

    QByteArray SavedSettings() const {
        QFile file(fixture_->Folder() + QStringLiteral("/korvex.INI"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("clicks");
        for (const char* name : {"Button1", "Button2", "btnConvertCon"}) {
            const QByteArray base(name);
            QTest::newRow(base + ", Return") << name << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
            QTest::newRow(base + ", keypad Enter") << name << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
            QTest::newRow(base + ", Space as before") << name << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
            QTest::newRow(base + ", Ctrl+Return is no press")
                << name << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
        }
    }

    void enterPressesTheFocusedButton() {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, clicks);
        const CancellingChooser cancel;
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        auto* target = window_->findChild<QPushButton*>(button);
        QVERIFY(target != nullptr);
        target->setFocus();
        QSignalSpy clicked(target, &QPushButton::clicked);
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.count(), clicks);
    }

    void messageBoxesShowTheirWholeCaption_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        using korvex::platform::MessageBoxKind;
        QTest::newRow("error, short text") << int(MessageBoxKind::Error) << "Korvex"
                                           << "Done.";
        QTest::newRow("numerical error") << int(MessageBoxKind::NumericalError) << "Numerical Error"
                                         << "Cant convert x";
        QTest::newRow("long caption") << int(MessageBoxKind::Plain) << "Korvex - a rather long application title"
                                      << "1";
    }

    void messageBoxesShowTheirWholeCaption() {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        korvex::platform::MessageBoxRequest request;
        request.kind = static_cast<korvex::platform::MessageBoxKind>(kind);
        request.caption = caption;
        request.text = text;
        const auto box = korvex::platform::CreateMessageBox(request);
        box->setWindowModality(Qt::NonModal);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QVERIFY2(box->width() >= korvex::platform::CaptionRoom(caption),
                 qPrintable(QStringLiteral("%1 < %2").arg(box->width()).arg(korvex::platform::CaptionRoom(caption))));
        QVERIFY(korvex::platform::CaptionRoom(caption) > QFontMetrics(box->font()).horizontalAdvance(caption));
    }

    void savedIncrementIsTheTypedOne_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("used");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("10") << "10" << 10 << QByteArray("DeltaLineNumberIndex=2\r\n");
        QTest::newRow("1 with blanks") << " 1 " << 1 << QByteArray("DeltaLineNumberIndex=0\r\n");
        QTest::newRow("50") << "50" << 50 << QByteArray("DeltaLineNumberIndex=3\r\n");
    }

    void savedIncrementIsTheTypedOne() {
        QFETCH(QString, typed);
        QFETCH(int, used);
        QFETCH(QByteArray, saved);
        window_->show();
        QLineEdit* field = window_->cbDeltaLineNumber->lineEdit();
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, typed);
        QCOMPARE(korvex::conversion::TheConversionState().LineNumberIncrement, used);
        QCOMPARE(field->text(), typed);
        window_->Savesettings1->trigger();
        QVERIFY2(SavedSettings().contains(saved), SavedSettings().constData());
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void allFilesListsNamesWithoutADot() {
        QDir folder(fixture_->Folder());
        QVERIFY(folder.mkpath(QStringLiteral("pcb")));
        QVERIFY(folder.cd(QStringLiteral("pcb")));
        for (const char* name : {"board", "board.drl", "notes.txt"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (QFileDialog* dialog : {window_->InputFileDlg, window_->SaveDialog1}) {
            const QString allFiles = dialog->nameFilters().constLast();
            const QString patterns = allFiles.mid(allFiles.indexOf(u'(') + 1).chopped(1);
            QCOMPARE(folder.entryList(patterns.split(u' '), QDir::Files, QDir::Name),
                     (QStringList{"board", "board.drl", "notes.txt"}));
        }
    }

    void completionListClosesWithTheDialog() {
        QDir folder(fixture_->Folder());
        for (const char* name : {"board1.drl", "board2.drl"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QFileDialog& dialog = *window_->InputFileDlg;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setDirectory(fixture_->Folder());
        dialog.selectNameFilter(dialog.nameFilters().constLast());
        QAbstractItemView* popup = nullptr;
        QTimer::singleShot(0, [&dialog, &popup] {
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name == nullptr || name->completer() == nullptr) {
                dialog.reject();
                return;
            }
            // The list a typed name opens, as the user sees it while confirming.
            name->setText(QStringLiteral("board"));
            name->completer()->setCompletionPrefix(QStringLiteral("board"));
            name->completer()->complete();
            popup = name->completer()->popup();
            name->setText(QStringLiteral("board1.drl"));
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        window_->Button1->click();
        QVERIFY(popup != nullptr);
        QVERIFY(!popup->isVisible());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(window_->edInputFileName->text(), folder.filePath(QStringLiteral("board1.drl")));
    }

    void windowKeptOnTheScreen_data() {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("position");
        const QSize size(896, 781);
        QTest::newRow("fits: design position")
            << QRect({450, 108}, size) << QRect(0, 0, 1600, 1200) << QPoint(450, 108);
        QTest::newRow("1366 x 768: up and left as far as needed")
            << QRect({450, 108}, size) << QRect(0, 0, 1366, 768) << QPoint(450, 0);
        QTest::newRow("1280 x 1024: left") << QRect({450, 108}, size) << QRect(0, 0, 1280, 1024) << QPoint(384, 108);
        QTest::newRow("panel on top") << QRect({450, 10}, size) << QRect(0, 32, 1600, 1168) << QPoint(450, 32);
        QTest::newRow("second screen on the left")
            << QRect({450, 108}, size) << QRect(-1280, 0, 1280, 1024) << QPoint(-896, 108);
        QTest::newRow("larger than the area: top-left corner shown")
            << QRect({450, 108}, size) << QRect(0, 0, 800, 600) << QPoint(0, 0);
        QTest::newRow("no area known: untouched") << QRect({450, 108}, size) << QRect() << QPoint(450, 108);
    }

    void windowKeptOnTheScreen() {
        QFETCH(QRect, window);
        QFETCH(QRect, area);
        QFETCH(QPoint, position);
        QCOMPARE(korvex::ui::KeepOnScreen(window, area), position);
    }

    // The window on the screen the test runs on: at its design position on the large screen of the suite, and
    // moved up on a 1366 x 768 laptop screen (screens/small.json), its size unchanged either way.
    void windowOpensOnTheAvailableArea() {
        window_->show();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window_->centralWidget()->size(), QSize(896, 760));
        QCOMPARE(window_->pos(), area.height() == 768 ? QPoint(450, 0) : QPoint(450, 108));
    }

    // At 120 dpi (screens/dpi120.json) the layout grows with the font's line height, and the window still
    // opens at its design position in device-independent pixels.
    void scalingFollowsTheLineHeight() {
        window_->show();
        const double scale = korvex::ui::WindowScale(window_->font());
        if (QGuiApplication::primaryScreen()->logicalDotsPerInch() > 96) {
            QVERIFY(QFontMetrics(window_->font()).height() > 13 || !korvex::ui::HasWindowFontFace());
        }
        QCOMPARE(window_->centralWidget()->size(), QSize(qRound(896 * scale), qRound(760 * scale)));
        QCOMPARE(window_->findChild<QWidget*>(QStringLiteral("meOutput"))->geometry(),
                 QRect(qRound(8 * scale), qRound(565 * scale), qRound(880 * scale), qRound(186 * scale)));
        QCOMPARE(window_->pos(), QPoint(450, 108));
    }

    void closeAfterAFailedSaveCloses() {
        window_.reset();
        UnsavableWindow window;
        window.show();
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        const QString box = QStringLiteral("error|Korvex|In /nowhere/korvex.INI kann nicht geschrieben werden.");
        QCOMPARE(fixture_->BoxLog(), (QStringList{box, box}));
    }
};

QTEST_MAIN(WindowPolishTest)
#include "WindowPolishTest.moc"

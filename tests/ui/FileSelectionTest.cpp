// "Input File" and "Output File" on real files in a temporary folder, with the dialogs answered by a scripted
// chooser; once also through the real dialog.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

#include "platform/FileChooser.h"
#include "tests/ui/WindowFixture.h"
#include "ui/ErrorGuard.h"
#include "ui/TfrmKorvex.h"

using korvex::platform::FileChooser;
using korvex::test::WindowFixture;
using korvex::ui::TfrmKorvex;

namespace {

const QString kBackupFailure =
    QStringLiteral("error|Korvex|Unable to create backup file. Specify also output file name.");

const QString kDrillFiles = QStringLiteral(
    "Drill files (*.drl *.DRL *.Drl *.drd *.DRD *.Drd *.xln *.XLN *.Xln *.exc *.EXC *.Exc *.txt *.TXT *.Txt *.ncd "
    "*.NCD *.Ncd *.cnc *.CNC *.Cnc *.tap *.TAP *.Tap *.fdr *.FDR *.Fdr *.drill *.DRILL *.Drill *.nc *.NC *.Nc)");

// Answers the dialogs in turn and remembers how each was set up when it opened.
class ScriptedChooser final : public FileChooser {
public:
    struct Seen {
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QString title;
        QStringList filters;
        QString selectedFilter;
        QString defaultSuffix;
        QString folder;
        QString offeredName;
    };

    ScriptedChooser() : previous_(korvex::platform::SetFileChooser(this)) {}
    ~ScriptedChooser() override { korvex::platform::SetFileChooser(previous_); }
    ScriptedChooser(const ScriptedChooser&) = delete;
    ScriptedChooser& operator=(const ScriptedChooser&) = delete;

    // A full path to confirm, or nothing for Cancel.
    void Answer(std::optional<QString> answer) { answers_.push_back(std::move(answer)); }
    const std::vector<Seen>& SeenDialogs() const { return seen_; }

    std::optional<QString> Choose(QFileDialog& dialog) override {
        Seen seen;
        seen.mode = dialog.acceptMode();
        seen.title = dialog.windowTitle();
        seen.filters = dialog.nameFilters();
        seen.selectedFilter = dialog.selectedNameFilter();
        seen.defaultSuffix = dialog.defaultSuffix();
        seen.folder = dialog.directory().absolutePath();
        seen.offeredName = dialog.selectedFiles().value(0);
        seen_.push_back(seen);
        if (answers_.empty()) {
            return std::nullopt;
        }
        std::optional<QString> answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

private:
    FileChooser* previous_;
    std::deque<std::optional<QString>> answers_;
    std::vector<Seen> seen_;
};

// "name=content" is a file, "name/" a folder holding one file, so that nothing can remove it by accident.
void MakeFiles(const QString& folder, const QStringList& entries) {
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            const QString path = folder + u'/' + entry.chopped(1);
            QVERIFY(QDir().mkpath(path));
            QFile inside(path + QStringLiteral("/inside"));
            QVERIFY(inside.open(QIODevice::WriteOnly));
            continue;
        }
        const auto equals = entry.indexOf(u'=');
        QFile file(folder + u'/' + entry.left(equals));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry.mid(equals + 1).toLatin1());
    }
}

// The folder's contents in the notation of MakeFiles, sorted.
QStringList ListFiles(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        if (info.isDir()) {
            entries << info.fileName() + u'/';
            continue;
        }
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            entries << info.fileName() + u'=' + QString::fromLatin1(file.readAll());
        }
    }
    entries.sort();
    return entries;
}

QStringList RecentEntries(TfrmKorvex& window) {
    emit window.File1->aboutToShow();
    if (!window.RecentFiles1->menuAction()->isEnabled()) {
        return {};
    }
    QStringList texts;
    for (const QAction* entry : window.RecentFiles1->actions()) {
        texts << entry->text();
    }
    return texts;
}

} // namespace

class FileSelectionTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fixture_;
    std::unique_ptr<TfrmKorvex> window_;
    std::unique_ptr<ScriptedChooser> chooser_;
    QString previousFolder_;
    QString pcb_;       // the drill files' folder
    QString elsewhere_; // the working directory before a choice

    void ClickInputFile() { QTest::mouseClick(window_->Button1, Qt::LeftButton); }
    void ClickOutputFile() { QTest::mouseClick(window_->Button2, Qt::LeftButton); }
    QString InPcb(const QString& name) const { return pcb_ + u'/' + name; }

private slots:
    void init() {
        fixture_ = std::make_unique<WindowFixture>();
        window_ = std::make_unique<TfrmKorvex>();
        chooser_ = std::make_unique<ScriptedChooser>();
        pcb_ = fixture_->Folder() + QStringLiteral("/pcb");
        elsewhere_ = fixture_->Folder() + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(pcb_) && QDir().mkpath(elsewhere_));
        previousFolder_ = QDir::currentPath();
        QDir::setCurrent(elsewhere_);
        window_->edOutputFileName->setText(QStringLiteral("earlier output"));
    }

    void cleanup() {
        QDir::setCurrent(previousFolder_);
        chooser_.reset();
        window_.reset();
        fixture_.reset();
    }

    void confirmInputFile_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("box");
        const QString none;
        QTest::newRow("neither .CNC nor .BAK: nothing touched")
            << "board.drl" << QStringList{"board.drl=drill"} << "board.CNC" << QStringList{"board.drl=drill"} << none;
        QTest::newRow(".CNC and .BAK: the old backup goes, the program becomes the backup")
            << "board.drl" << QStringList{"board.drl=drill", "board.CNC=new", "board.BAK=old"} << "board.CNC"
            << QStringList{"board.BAK=new", "board.drl=drill"} << none;
        QTest::newRow("only .CNC") << "board.drl" << QStringList{"board.drl=drill", "board.CNC=program"} << "board.CNC"
                                   << QStringList{"board.BAK=program", "board.drl=drill"} << none;
        QTest::newRow("only .BAK: deleted") << "board.drl" << QStringList{"board.drl=drill", "board.BAK=old"}
                                            << "board.CNC" << QStringList{"board.drl=drill"} << none;
        QTest::newRow("two dots") << "board.top.drl"
                                  << QStringList{"board.top.drl=drill", "board.top.CNC=program", "board.CNC=other"}
                                  << "board.top.CNC"
                                  << QStringList{"board.CNC=other", "board.top.BAK=program", "board.top.drl=drill"}
                                  << none;
        QTest::newRow("no extension") << "board" << QStringList{"board=drill", "board.CNC=program"} << "board.CNC"
                                      << QStringList{"board.BAK=program", "board=drill"} << none;
        QTest::newRow("lower-case extension still gives capitals")
            << "board.DRL" << QStringList{"board.DRL=drill", "board.cnc=mine"} << "board.CNC"
            << QStringList{"board.DRL=drill", "board.cnc=mine"} << none;
        QTest::newRow("backup name taken by a folder: refused, program kept")
            << "board.drl" << QStringList{"board.drl=drill", "board.CNC=program", "board.BAK/"} << QString()
            << QStringList{"board.BAK/", "board.CNC=program", "board.drl=drill"} << kBackupFailure;
        QTest::newRow("a folder under the output name is no program")
            << "board.drl" << QStringList{"board.drl=drill", "board.CNC/"} << "board.CNC"
            << QStringList{"board.CNC/", "board.drl=drill"} << none;
        QTest::newRow("a drill file named like the backup is never deleted")
            << "board.BAK" << QStringList{"board.BAK=drill"} << "board.CNC" << QStringList{"board.BAK=drill"} << none;
        QTest::newRow("... and then cannot take the program's place")
            << "board.BAK" << QStringList{"board.BAK=drill", "board.CNC=program"} << QString()
            << QStringList{"board.BAK=drill", "board.CNC=program"} << kBackupFailure;
        QTest::newRow("a drill file named like the output is not moved away")
            << "board.CNC" << QStringList{"board.CNC=drill", "board.BAK=old"} << "board.CNC"
            << QStringList{"board.CNC=drill"} << none;
        QTest::newRow("a colon in the name keeps the backup beside the right file")
            << "a:b.drl" << QStringList{"a:b.drl=drill", "a:b.CNC=program", "b.CNC=unrelated", "b.BAK=unrelated"}
            << "a:b.CNC" << QStringList{"a:b.BAK=program", "a:b.drl=drill", "b.BAK=unrelated", "b.CNC=unrelated"}
            << none;
        // On this system a file's own write protection does not stop its deletion; the folder's does.
        QTest::newRow("write-protected .BAK file is replaced")
            << "board.drl" << QStringList{"board.drl=drill", "board.CNC=new", "board.BAK=protected"} << "board.CNC"
            << QStringList{"board.BAK=new", "board.drl=drill"} << none;
    }

    void confirmInputFile() {
        QFETCH(QString, chosen);
        QFETCH(QStringList, before);
        QFETCH(QString, output);
        QFETCH(QStringList, after);
        QFETCH(QString, box);
        MakeFiles(pcb_, before);
        if (QString(QTest::currentDataTag()).startsWith(QLatin1String("write-protected"))) {
            QVERIFY(QFile::setPermissions(InPcb("board.BAK"), QFile::ReadOwner | QFile::ReadOther));
        }
        chooser_->Answer(InPcb(chosen));

        ClickInputFile();

        QCOMPARE(window_->edInputFileName->text(), InPcb(chosen));
        QCOMPARE(window_->edOutputFileName->text(),
                 output.isEmpty() ? QStringLiteral("earlier output") : InPcb(output));
        QCOMPARE(ListFiles(pcb_), after);
        QCOMPARE(fixture_->BoxLog(), box.isEmpty() ? QStringList() : QStringList{box});
        // Like the platform's open dialog, confirming a file makes its folder the working directory.
        QCOMPARE(QDir::currentPath(), pcb_);
        QCOMPARE(ListFiles(elsewhere_), QStringList());
    }

    void readOnlyFolderRefusesTheBackup() {
        if (::geteuid() == 0) {
            QSKIP("write protection does not stop the superuser");
        }
        MakeFiles(pcb_, {"board.drl=drill", "board.CNC=new", "board.BAK=old"});
        QVERIFY(QFile::setPermissions(pcb_, QFile::ReadOwner | QFile::ExeOwner));
        chooser_->Answer(InPcb("board.drl"));

        ClickInputFile();

        QVERIFY(QFile::setPermissions(pcb_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(fixture_->BoxLog(), QStringList{kBackupFailure});
        QCOMPARE(window_->edInputFileName->text(), InPcb("board.drl"));
        QCOMPARE(window_->edOutputFileName->text(), QStringLiteral("earlier output"));
        QCOMPARE(ListFiles(pcb_), (QStringList{"board.BAK=old", "board.CNC=new", "board.drl=drill"}));
    }

    void cancelInputFile_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("no such file in the working directory") << QStringList() << QStringList();
        QTest::newRow("a file of that name becomes its backup")
            << QStringList{"specify File to Convert.CNC=program"} << QStringList{"specify File to Convert.BAK=program"};
    }

    void cancelInputFile() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        MakeFiles(elsewhere_, before);
        chooser_->Answer(std::nullopt);

        ClickInputFile();

        QCOMPARE(window_->edInputFileName->text(), QStringLiteral("specify File to Convert"));
        QCOMPARE(window_->edOutputFileName->text(), QStringLiteral("specify File to Convert.CNC"));
        QCOMPARE(ListFiles(elsewhere_), after);
        QCOMPARE(QDir::currentPath(), elsewhere_);
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    void dialogsAsSetUpAndOfferingTheLastName() {
        MakeFiles(pcb_, {"board.drl=drill"});
        // Where the settings put them: the executable's folder.
        const QString startFolder = fixture_->Folder();
        chooser_->Answer(InPcb("board.drl"));
        chooser_->Answer(std::nullopt);
        chooser_->Answer(InPcb("out.Cnc"));
        chooser_->Answer(std::nullopt);

        ClickInputFile();
        ClickInputFile();
        ClickOutputFile();
        ClickOutputFile();

        const std::vector<ScriptedChooser::Seen>& seen = chooser_->SeenDialogs();
        QCOMPARE(seen.size(), std::size_t{4});
        for (std::size_t i : {0, 1}) {
            QCOMPARE(seen[i].mode, QFileDialog::AcceptOpen);
            QCOMPARE(seen[i].title, QStringLiteral("Select cnc file"));
            QCOMPARE(seen[i].filters, (QStringList{kDrillFiles, "All files (*)"}));
            QCOMPARE(seen[i].selectedFilter, kDrillFiles);
            QCOMPARE(seen[i].defaultSuffix, QStringLiteral("txt"));
        }
        for (std::size_t i : {2, 3}) {
            QCOMPARE(seen[i].mode, QFileDialog::AcceptSave);
            QCOMPARE(seen[i].title, QStringLiteral("Save File"));
            QCOMPARE(seen[i].filters, (QStringList{"CNC-File (*.Cnc)", "Alle (*)"}));
            QCOMPARE(seen[i].selectedFilter, QStringLiteral("CNC-File (*.Cnc)"));
            QCOMPARE(seen[i].defaultSuffix, QStringLiteral("Cnc"));
        }
        // First opened in the settings' folder; afterwards at the name confirmed last.
        QCOMPARE(seen[0].folder, startFolder);
        QCOMPARE(seen[1].folder, pcb_);
        QCOMPARE(seen[1].offeredName, InPcb("board.drl"));
        QCOMPARE(seen[2].folder, startFolder);
        QCOMPARE(seen[3].offeredName, InPcb("out.Cnc"));
    }

    void outputFileCancelAndConfirm() {
        MakeFiles(pcb_, {"board.drl=drill"});
        // Cancel before any confirmed choice empties the field.
        chooser_->Answer(std::nullopt);
        ClickOutputFile();
        QCOMPARE(window_->edOutputFileName->text(), QString());

        chooser_->Answer(InPcb("mine.Cnc"));
        ClickOutputFile();
        QCOMPARE(window_->edOutputFileName->text(), InPcb("mine.Cnc"));

        // "Input File" proposes another name; Cancel in the save dialog brings the confirmed one back.
        chooser_->Answer(InPcb("board.drl"));
        ClickInputFile();
        QCOMPARE(window_->edOutputFileName->text(), InPcb("board.CNC"));
        chooser_->Answer(std::nullopt);
        ClickOutputFile();
        QCOMPARE(window_->edOutputFileName->text(), InPcb("mine.Cnc"));
        // The save dialog leaves the working directory alone.
        QCOMPARE(QDir::currentPath(), pcb_);
        QCOMPARE(ListFiles(pcb_), QStringList{"board.drl=drill"});
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }

    // Choosing touches no file; the backup is made when a conversion is about to replace the chosen file.
    void outputFileOnAnExistingFile_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("box");
        const QString none;
        QTest::newRow("new name: nothing touched")
            << "mine.Cnc" << QStringList{"board.drl=drill"} << QStringList{"board.drl=drill"} << none;
        QTest::newRow("existing program kept as .BAK, older .BAK replaced")
            << "mine.Cnc" << QStringList{"board.drl=drill", "mine.Cnc=program", "mine.BAK=old"}
            << QStringList{"board.drl=drill", "mine.BAK=program"} << none;
        QTest::newRow("original gone: its backup stays") << "mine.Cnc" << QStringList{"board.drl=drill", "mine.BAK=old"}
                                                         << QStringList{"board.drl=drill", "mine.BAK=old"} << none;
        QTest::newRow("backup impossible: refused, program kept")
            << "mine.Cnc" << QStringList{"board.drl=drill", "mine.Cnc=program", "mine.BAK/"}
            << QStringList{"board.drl=drill", "mine.BAK/", "mine.Cnc=program"} << kBackupFailure;
        QTest::newRow("an existing file named like its own backup is refused")
            << "mine.BAK" << QStringList{"board.drl=drill", "mine.BAK=program"}
            << QStringList{"board.drl=drill", "mine.BAK=program"} << kBackupFailure;
        QTest::newRow("a new file named like a backup is fine")
            << "mine.BAK" << QStringList{"board.drl=drill"} << QStringList{"board.drl=drill"} << none;
        QTest::newRow("the drill file itself is not moved away")
            << "board.drl" << QStringList{"board.drl=drill"} << QStringList{"board.drl=drill"} << none;
    }

    void outputFileOnAnExistingFile() {
        QFETCH(QString, chosen);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, box);
        MakeFiles(pcb_, before);
        window_->edInputFileName->setText(InPcb("board.drl"));
        chooser_->Answer(InPcb(chosen));

        ClickOutputFile();
        QCOMPARE(window_->edOutputFileName->text(), InPcb(chosen));
        before.sort();
        QCOMPARE(ListFiles(pcb_), before);

        korvex::ui::RunGuarded([&] { window_->BeforeOutputIsWritten(InPcb(chosen).toStdString()); });
        QCOMPARE(ListFiles(pcb_), after);
        QCOMPARE(fixture_->BoxLog(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    // Choosing one file twice keeps the user's program; later runs do not replace that one backup.
    void outputFileChosenTwiceKeepsTheOriginal() {
        MakeFiles(pcb_, {"board.drl=drill", "mine.Cnc=program"});
        window_->edInputFileName->setText(InPcb("board.drl"));
        chooser_->Answer(InPcb("mine.Cnc"));
        chooser_->Answer(InPcb("mine.Cnc"));
        ClickOutputFile();
        ClickOutputFile();
        QCOMPARE(ListFiles(pcb_), (QStringList{"board.drl=drill", "mine.Cnc=program"}));
        window_->BeforeOutputIsWritten(InPcb("mine.Cnc").toStdString());
        MakeFiles(pcb_, {"mine.Cnc=first run"});
        window_->BeforeOutputIsWritten(InPcb("mine.Cnc").toStdString());
        QCOMPARE(ListFiles(pcb_), (QStringList{"board.drl=drill", "mine.BAK=program", "mine.Cnc=first run"}));
        // Another name typed into the field is not the chosen one: nothing is moved for it.
        MakeFiles(pcb_, {"other.Cnc=keep"});
        window_->BeforeOutputIsWritten(InPcb("other.Cnc").toStdString());
        QVERIFY(ListFiles(pcb_).contains(QStringLiteral("other.Cnc=keep")));
    }

    // Through a real conversion: the backup appears only when Convert replaces the file.
    void outputFileBackupOnConvert() {
        QFile drill(QString::fromLatin1(KORVEX_TEST_DATA_DIR "/worked-example-unnumbered/input.drl"));
        QVERIFY(drill.open(QIODevice::ReadOnly));
        MakeFiles(pcb_, {"mine.Cnc=program"});
        QFile copy(InPcb("board.drl"));
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(drill.readAll()) > 0);
        copy.close();
        window_->edInputFileName->setText(InPcb("board.drl"));
        chooser_->Answer(InPcb("mine.Cnc"));
        ClickOutputFile();
        QVERIFY(!QFile::exists(InPcb("mine.BAK")));
        QTest::mouseClick(window_->btnConvertCon, Qt::LeftButton);
        QCOMPARE(fixture_->BoxLog(), QStringList());
        QFile backup(InPcb("mine.BAK"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray("program"));
        QFile program(InPcb("mine.Cnc"));
        QVERIFY(program.open(QIODevice::ReadOnly));
        QVERIFY(program.readAll() != QByteArray("program"));
    }

    // The real dialog once: the name typed into its name field and confirmed.
    // Every other way of naming the input does what a confirmed "Input File" does, and lists the file first
    // under File > Recent files.
    void otherWaysToOpen_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("command line, relative path") << "argument";
        QTest::newRow("dropped onto the input field") << "drop on field";
        QTest::newRow("dropped onto the window, as where a field takes no drops") << "drop on window";
        QTest::newRow("dropped onto a tool-change block") << "drop on block";
        QTest::newRow("recent files entry") << "recent";
    }

    void otherWaysToOpen() {
        QFETCH(QString, way);
        MakeFiles(pcb_, {"board.drl=drill", "board.CNC=program", "other.drl=x"});
        window_->OpenInputFile(InPcb("other.drl"));
        const auto drop = [&](QWidget* target) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(InPcb("board.drl"))});
            data.setText(QStringLiteral("not this"));
            QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &dropped);
            QVERIFY(dropped.isAccepted());
        };
        if (way == QLatin1String("argument")) {
            QDir::setCurrent(pcb_);
            window_->OpenInputFile(QStringLiteral("board.drl"));
        } else if (way == QLatin1String("drop on field")) {
            drop(window_->edInputFileName);
        } else if (way == QLatin1String("drop on window")) {
            drop(window_.get());
        } else if (way == QLatin1String("drop on block")) {
            drop(window_->meTxAfter->viewport());
        } else {
            window_->OpenInputFile(InPcb("board.drl"));
            window_->OpenInputFile(InPcb("other.drl"));
            QCOMPARE(RecentEntries(*window_).size(), 2);
            MakeFiles(pcb_, {"board.CNC=program"}); // the first open above made its own backup
            window_->RecentFiles1->actions().at(1)->trigger();
        }
        QCOMPARE(window_->edInputFileName->text(), InPcb("board.drl"));
        QCOMPARE(window_->edOutputFileName->text(), InPcb("board.CNC"));
        QCOMPARE(ListFiles(pcb_), (QStringList{"board.BAK=program", "board.drl=drill", "other.drl=x"}));
        QCOMPARE(window_->meTxAfter->toPlainText(), QStringLiteral("M06\nG00 Z20\n"));
        QCOMPARE(fixture_->BoxLog(), QStringList());

        // The newest first, in its own section of the settings file; a new window reads it back.
        QCOMPARE(RecentEntries(*window_), (QStringList{"&1 " + InPcb("board.drl"), "&2 " + InPcb("other.drl")}));
        window_.reset();
        window_ = std::make_unique<TfrmKorvex>();
        QCOMPARE(RecentEntries(*window_), (QStringList{"&1 " + InPcb("board.drl"), "&2 " + InPcb("other.drl")}));
    }

    void recentFilesKeepEightAndGreyTheMissing() {
        QStringList names;
        for (int i = 1; i <= 10; ++i) {
            names << QStringLiteral("b%1.drl=x").arg(i);
        }
        MakeFiles(pcb_, names);
        QFile::remove(InPcb("b2.drl")); // never there: taken all the same, like a typed name
        chooser_->Answer(InPcb("b1.drl"));
        ClickInputFile();
        for (int i = 2; i <= 10; ++i) {
            window_->OpenInputFile(InPcb(QStringLiteral("b%1.drl").arg(i)));
        }
        window_->OpenInputFile(InPcb("b5.drl")); // again: moves to the front, not listed twice
        QFile::remove(InPcb("b9.drl"));
        emit window_->File1->aboutToShow();
        QStringList shown;
        for (QAction* entry : window_->RecentFiles1->actions()) {
            shown << entry->text().section(u'/', -1) + (entry->isEnabled() ? "" : " (greyed)");
        }
        QCOMPARE(shown, (QStringList{"b5.drl", "b10.drl", "b9.drl (greyed)", "b8.drl", "b7.drl", "b6.drl", "b4.drl",
                                     "b3.drl"}));
    }

    // Building the dialogs, and with them the name completer's model, waits for their first use: a last folder
    // of thousands of files must neither slow the start nor keep the window busy listing it.
    void dialogsAreBuiltOnFirstUse() {
        const QString big = fixture_->Folder() + QStringLiteral("/big");
        QVERIFY(QDir().mkpath(big));
        for (int i = 0; i < 3000; ++i) {
            QFile file(big + QStringLiteral("/hole%1.drl").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile ini(fixture_->Folder() + QStringLiteral("/korvex.INI"));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write(("[Program]\r\nSourceDir=" + big + "\r\nSaveDir=" + big + "\r\n").toLocal8Bit());
        ini.close();
        window_ = std::make_unique<TfrmKorvex>();
        const auto built = [this] {
            return window_->findChildren<QFileDialog*>().size() + window_->findChildren<QFileSystemModel*>().size();
        };
        QCOMPARE(built(), 0);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QCoreApplication::processEvents();
        QCOMPARE(built(), 0);

        chooser_->Answer(std::nullopt);
        ClickInputFile();
        QCOMPARE(window_->findChildren<QFileDialog*>().size(), 1);
        chooser_->Answer(std::nullopt);
        ClickOutputFile();
        QCOMPARE(window_->findChildren<QFileDialog*>().size(), 2);
        const std::vector<ScriptedChooser::Seen>& seen = chooser_->SeenDialogs();
        QCOMPARE(seen.size(), std::size_t{2});
        QCOMPARE(seen[0].folder, big);
        QCOMPARE(seen[1].folder, big);
        QCOMPARE(seen[0].title, QStringLiteral("Select cnc file"));
        QCOMPARE(seen[1].title, QStringLiteral("Save File"));
    }

    void realDialogs() {
        chooser_.reset();
        MakeFiles(pcb_, {"board.drl=drill", "board.CNC=program"});
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        const auto typeAndConfirm = [](const QString& path, QString* title) {
            QTimer::singleShot(0, [path, title] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) {
                    return;
                }
                *title = dialog->windowTitle();
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (name != nullptr) {
                    name->setText(path);
                }
                QMetaObject::invokeMethod(dialog, "accept");
            });
        };

        QString title;
        typeAndConfirm(InPcb("board.drl"), &title);
        ClickInputFile();
        QCOMPARE(title, QStringLiteral("Select cnc file"));
        QCOMPARE(window_->edInputFileName->text(), InPcb("board.drl"));
        QCOMPARE(window_->edOutputFileName->text(), InPcb("board.CNC"));
        QCOMPARE(QDir::currentPath(), pcb_);

        // A name typed without an extension gets the dialog's default one.
        typeAndConfirm(InPcb("typed"), &title);
        ClickOutputFile();
        QCOMPARE(title, QStringLiteral("Save File"));
        QCOMPARE(window_->edOutputFileName->text(), InPcb("typed.Cnc"));
        QCOMPARE(ListFiles(pcb_), (QStringList{"board.BAK=program", "board.drl=drill"}));
        QCOMPARE(fixture_->BoxLog(), QStringList());
    }
};

QTEST_MAIN(FileSelectionTest)
#include "FileSelectionTest.moc"

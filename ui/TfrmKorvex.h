// The main window: file names, offsets, Z heights, divisor, line-number options, the two tool-change blocks,
// the explanatory drawing and the log pane. "Convert" runs the conversion on what the fields hold.
//
// Names kept from the original program, because settings files, tests and users' notes refer to them:
//   zauf, Zauf, ZAuf       z up: the height the tool is raised to between holes (edZauf, INI key "ZAuf", the
//                          log's "zauf..." line; likewise "zab...")
//   zab, Zab               z down: the drilling depth (edZab, INI key "edZab")
//   Offsett                offset (edXOffsett, edYOffsett, edZOffsett; INI keys "XOffsett", "edZOffsett")
//   Divider                divisor: what the drill file's coordinates are divided by (edDivider, INI "Divisor")
//   TfrmKorvex             this window; TfrmInfo the About box ("T" a type, "frm" a form, that is a window)
//   ed…, me…               one-line edit fields, multi-line boxes (meOutput the log, meTxBefore / meTxAfter
//                          the G-code before and after a tool change, kept in TxMacroBefore.txt / TxMacroAfter.txt)
//   lbl…, Label1 … 16      labels; chk… check boxes; cb… the combo box; btn… and Button1, Button2 push buttons
//   Button1Click           "Input File": choose the drill file; Button2Click "Output File": choose the program
//   btnConvertConClick     "Convert"
//   chkG79, edG81          the hidden "create G81/G79 drill cycle" box and its cycle line, kept for the settings
//   File1, Exit1, Info1, About1, Savesettings1
//                          menus and their entries, numbered as a form designer names them; MainMenu1 the menu bar
//   InputFileDlg, SaveDialog1   the open and save dialogs; Image1 the explanatory drawing
//   FormCreate, FormClose  the window's start-up and closing; …Click / …Change the handlers of a control
// In code the run and the settings name the fields by what they hold (conversion::Field: ZUp, ZDown, XOffset,
// Divisor …); TextField() ties each to its widget.
#pragma once

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "settings/RecentFiles.h"
#include "settings/Settings.h"
#include "settings/SettingsControls.h"
#include "ui/FileSelection.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace korvex::ui {

class PreviewLink;
struct InputPreview;
class JobMenu;

class TfrmKorvex : public QMainWindow, public settings::SettingsControls {
    Q_OBJECT

public:
    explicit TfrmKorvex(QWidget* parent = nullptr);
    ~TfrmKorvex() override;

    // How "Info" / "About" shows the About dialog: without blocking this window, in front of it. The dialog
    // lives as long as the application; the window does not own it.
    void SetAboutDialog(std::function<void()> showInFront) { showAbout_ = std::move(showInFront); }

    // `korvex FILE`, a drill file dropped onto the window, or File › Recent files: FILE becomes the input and
    // its output is proposed, as "Input File" does with a chosen file. A relative path is taken from the
    // working directory. Errors are shown in the window's boxes.
    void OpenInputFile(const QString& path);

    // The run is about to create `outputName`: a program chosen with "Output File" is kept as its ".BAK"
    // now. Throws FileSelectionError when it cannot be, and the file is then left as it is.
    void BeforeOutputIsWritten(const std::string& outputName);

    // The window's components in declaration order; the settings, the file buttons, the key filter and the
    // conversion host work on them. Each carries its field name as objectName.
    QLineEdit* edXOffsett = nullptr;
    QLineEdit* edYOffsett = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* btnConvertCon = nullptr;
    LazyFileDialog InputFileDlg; // built on first use
    LazyFileDialog SaveDialog1;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLineEdit* edZab = nullptr;
    QLineEdit* edZauf = nullptr;
    QLabel* lblzauf = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Image1 = nullptr;
    QLineEdit* edInputFileName = nullptr;
    QLineEdit* edOutputFileName = nullptr;
    QLineEdit* edZOffsett = nullptr;
    QLabel* lblZOffsett = nullptr;
    QPlainTextEdit* meOutput = nullptr;
    QLabel* Label8 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Info1 = nullptr;
    QAction* About1 = nullptr;
    QLabel* Label9 = nullptr;
    QAction* Savesettings1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QPlainTextEdit* meTxBefore = nullptr;
    QPlainTextEdit* meTxAfter = nullptr;
    QLineEdit* edDivider = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QCheckBox* chkSuppressLeadingZeros = nullptr;
    QCheckBox* chkIncludeLineNumber = nullptr;
    QCheckBox* chkG79 = nullptr;
    QLineEdit* edG81 = nullptr;
    QComboBox* cbDeltaLineNumber = nullptr;
    QLabel* Label16 = nullptr;
    QAction* Preview1 = nullptr;   // File / Preview…
    QMenu* RecentFiles1 = nullptr; // File / Recent files, filled each time it opens
    QLabel* lblWarnings = nullptr; // how many warnings the log holds, right of the menu bar

    // The one place that ties each field to its edit box; the settings and the run's host both go through it.
    QLineEdit* TextField(conversion::Field field) const;

    // SettingsControls
    std::string Text(conversion::Field field) const override;
    void SetText(conversion::Field field, const std::string& text) override;
    bool IncludeLineNumberChecked() const override;
    void SetIncludeLineNumberChecked(bool checked) override;
    bool SuppressLeadingZerosChecked() const override;
    void SetSuppressLeadingZerosChecked(bool checked) override;
    bool G81EditEnabled() const override;
    void SetG81EditEnabled(bool enabled) override;
    int DeltaLineNumberIndex() const override;
    void SelectDeltaLineNumberIndex(int index) override;
    std::string DeltaLineNumberText() const override;
    std::string MacroText(settings::MacroBlock block) const override;
    void SetMacroText(settings::MacroBlock block, const std::string& text) override;
    std::string InitialFolder(settings::FileDialog dialog) const override;
    void SetInitialFolder(settings::FileDialog dialog, const std::string& folder) override;
    const settings::JobSettings* JobChoices() const override;
    void SetJobChoices(const settings::JobSettings& choices) override;
    const settings::BoardSettings* BoardChoices() const override;
    void SetBoardChoices(const settings::BoardSettings& choices) override;
    const excellon::DrillRack* DrillRack() const override;
    void SetDrillRack(const excellon::DrillRack& rack) override;

    // The File menu's entries for the run's choices (drill file format, drill order, controller).
    JobMenu* jobMenu = nullptr;

public slots:
    void btnConvertConClick();
    void Button1Click();
    void Button2Click();
    void Exit1Click();
    void About1Click();
    void Savesettings1Click();
    void chkIncludeLineNumberClick();
    void cbDeltaLineNumberChange();
    void chkG79Click();
    void Preview1Click();

protected:
    void closeEvent(QCloseEvent* event) override; // FormClose
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateComponents();
    void FormCreate();
    // Alt+letter reaches the menu bar's mnemonics, never a field as text.
    void KeepAltKeysForTheMenus();
    // File › Recent files and dropped files: the list is read from the settings file when the File menu first
    // opens or a file is taken as input, and written back whenever a file is taken.
    void CreateRecentFiles();
    void ShowRecentFiles();
    void InputFileTaken(const QString& path);
    // Warning lines of the log stand out and are counted; the log's text stays as written.
    void DecorateLog();
    // The preview follows the input file: a new one is read as the chosen reading reads it, not converted yet.
    void ConnectPreview();
    InputPreview ReadInputForPreview();

    // LoadSettings runs from FormCreate; SaveSettings from closing and "Save settings". Virtual so tests can
    // make saving fail. One store for both: it remembers what was loaded, so a save never replaces stored
    // settings that could not be read.
    void LoadSettings();
    virtual void SaveSettings();

    QPlainTextEdit* Block(settings::MacroBlock block) const;

    settings::SettingsStore settings_;
    std::unique_ptr<FileSelection> fileSelection_;
    QString inputInitialFolder_;
    QString saveInitialFolder_;
    std::function<void()> showAbout_;
    std::unique_ptr<PreviewLink> preview_;
    bool closeRefused_ = false; // a failed save has kept the window open once
    settings::RecentFiles recentFiles_;
    bool recentFilesRead_ = false;
};

} // namespace korvex::ui

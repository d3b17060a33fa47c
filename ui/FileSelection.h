// "Input File" and "Output File": the two buttons that fill the path fields from the file dialogs. Choosing
// the drill file proposes "<base>.CNC" beside it and keeps an older program of that name as "<base>.BAK";
// a name chosen with "Output File" keeps the existing file the same way, when a conversion is about to replace it.
#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

class QFileDialog;
class QLineEdit;
class QWidget;

namespace korvex::ui {

// The message when an existing program cannot be moved aside.
inline constexpr const char* kBackupFailure = "Unable to create backup file. Specify also output file name";

class FileSelectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Moves an existing `target` aside to `backup`, deleting an older file under `backup` first (a failed
// deletion is not reported; the move then fails). Neither name is touched when it leads to `keep`, the
// drill file. Throws FileSelectionError(kBackupFailure) when `target` exists but cannot be moved.
void KeepBackup(const std::string& target, const std::string& backup, const std::string& keep);

// A file dialog that is built when it is first asked for. Building one costs more than the rest of the window
// (widgets, a file system model and its thread, Qt's own settings), and a dialog set to a folder lists that folder
// at once; the window should show before any of that, and most runs never open the dialog at all. Until then
// the folder it is to start in is only remembered. Copies are handles of the same dialog.
class LazyFileDialog {
public:
    using Setup = std::function<void(QFileDialog&)>;

    // `setup` gives the new dialog its titles, filters and options; it becomes a child of `parent`. Without a
    // folder of its own the dialog starts in the working directory of this moment, as a dialog built now would.
    void Prepare(QWidget& parent, Setup setup);

    // The folder the dialog starts in; an empty one leaves it where it is.
    void SetDirectory(const QString& folder);

    // The dialog, built on the first call.
    QFileDialog* get() const;
    QFileDialog* operator->() const { return get(); }
    QFileDialog& operator*() const { return *get(); }
    operator QFileDialog*() const { return get(); }

    bool IsBuilt() const { return !state_->dialog.isNull(); }

private:
    struct State {
        QWidget* parent = nullptr;
        Setup setup;
        QString directory;
        QPointer<QFileDialog> dialog;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

class FileSelection {
public:
    struct Controls {
        QLineEdit* inputFileName = nullptr;
        QLineEdit* outputFileName = nullptr;
        const LazyFileDialog* openDialog = nullptr;
        const LazyFileDialog* saveDialog = nullptr;
    };

    explicit FileSelection(const Controls& controls) : controls_(controls) {}

    // "Input File": the chosen path (after Cancel "specify File to Convert") goes into the input field;
    // then "<folder><base>.CNC" is proposed as the output, after an existing file of that name has become
    // "<folder><base>.BAK". When that move fails the output field keeps its text and FileSelectionError is
    // thrown.
    void ChooseInputFile();

    // A drill file named on the command line, dropped onto the window or picked from the recent files: taken
    // as a confirmed choice of "Input File" is, with the same proposal and backup of the output.
    void TakeInputFile(const QString& path);

    // Called with each input file taken (a confirmed choice, or TakeInputFile) once its output is proposed.
    void SetInputTakenHandler(std::function<void(const QString&)> handler) { inputTaken_ = std::move(handler); }

    // "Output File": the chosen path goes into the output field. Cancel puts back the name last confirmed in
    // this dialog, or empties the field before the first one.
    void ChooseOutputFile();

    // The run is about to create `outputName`. When that is the name last chosen with "Output File" and a
    // file (not the drill file `inputName`) exists there, it becomes "<folder><base>.BAK" first, replacing
    // an older backup; FileSelectionError when it cannot, and nothing is touched. Once per choice; a backup
    // whose original is gone is left alone.
    void BeforeReplacing(const std::string& outputName, const std::string& inputName);

private:
    void ProposeOutputFor(const QString& input);

    Controls controls_;
    std::function<void(const QString&)> inputTaken_;
    // Each dialog offers the name last confirmed in it again, for as long as the program runs.
    QString lastInput_;
    QString lastOutput_;
    std::string pendingBackup_; // the name "Output File" chose, until a run is about to replace it
};

} // namespace korvex::ui

// "Input File" and "Output File": the two buttons that fill the path fields from the file dialogs. Choosing
// the drill file proposes "<base>.CNC" beside it and keeps an older program of that name as "<base>.BAK";
// a name chosen with "Output File" keeps the existing file the same way, when a conversion is about to replace it.
#pragma once

#include <QString>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

class QFileDialog;
class QLineEdit;

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

class FileSelection {
public:
    struct Controls {
        QLineEdit* inputFileName = nullptr;
        QLineEdit* outputFileName = nullptr;
        QFileDialog* openDialog = nullptr;
        QFileDialog* saveDialog = nullptr;
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

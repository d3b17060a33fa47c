#include "ui/FileSelection.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

#include "conversion/FileNames.h"
#include "platform/FileChooser.h"
#include "platform/FileSystem.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

namespace {

// Both extensions are written in capitals, whatever the case of the chosen file's own.
constexpr const char* kOutputExtension = ".CNC";
constexpr const char* kBackupExtension = ".BAK";

std::string WithExtension(const std::string& path, const char* extension) {
    return conversion::FolderPart(path) + conversion::BaseName(path) + extension;
}

} // namespace

void LazyFileDialog::Prepare(QWidget& parent, Setup setup) {
    state_->parent = &parent;
    state_->setup = std::move(setup);
    state_->directory = QDir::currentPath();
}

void LazyFileDialog::SetDirectory(const QString& folder) {
    if (folder.isEmpty()) {
        return;
    }
    state_->directory = folder;
    if (IsBuilt()) {
        state_->dialog->setDirectory(folder);
    }
}

QFileDialog* LazyFileDialog::get() const {
    State& state = *state_;
    if (state.dialog.isNull()) {
        auto* dialog = new QFileDialog(state.parent);
        if (state.setup) {
            state.setup(*dialog);
        }
        dialog->setDirectory(state.directory);
        state.dialog = dialog;
    }
    return state.dialog.data();
}

void KeepBackup(const std::string& target, const std::string& backup, const std::string& keep) {
    if (platform::FileExists(backup) && !platform::IsSameFile(backup, keep)) {
        // A backup that cannot be deleted makes the move below fail, which is reported there.
        static_cast<void>(platform::DeleteFile(backup));
    }
    if (!platform::FileExists(target) || platform::IsSameFile(target, keep)) {
        return;
    }
    if (platform::RenameFile(target, backup)) {
        throw FileSelectionError(kBackupFailure);
    }
}

void FileSelection::ChooseInputFile() {
    if (const auto chosen = platform::ExecuteFileDialog(**controls_.openDialog, lastInput_)) {
        TakeInputFile(*chosen);
    } else {
        ProposeOutputFor(QStringLiteral("specify File to Convert"));
    }
}

void FileSelection::TakeInputFile(const QString& path) {
    lastInput_ = path;
    ProposeOutputFor(path);
    if (inputTaken_) {
        inputTaken_(path);
    }
}

void FileSelection::ProposeOutputFor(const QString& input) {
    controls_.inputFileName->setText(input);
    // The names keep the folder part of the input: after a confirmed choice it is the working directory the
    // dialog left behind, and after Cancel there is none, so bare names resolve there just the same. Where
    // a file name itself holds a "\" or ":", the folder part keeps the backup beside the right file.
    const std::string inputPath = ToHostText(controls_.inputFileName->text());
    const std::string output = WithExtension(inputPath, kOutputExtension);
    KeepBackup(output, WithExtension(inputPath, kBackupExtension), inputPath);
    controls_.outputFileName->setText(FromHostText(output));
}

void FileSelection::ChooseOutputFile() {
    QLineEdit& output = *controls_.outputFileName;
    const auto chosen = platform::ExecuteFileDialog(**controls_.saveDialog, lastOutput_);
    if (!chosen) {
        output.setText(lastOutput_);
        return;
    }
    lastOutput_ = *chosen;
    // Nothing is moved yet: a choice may be made twice, or never be converted to. The program under the
    // chosen name is kept as its ".BAK" when the next conversion is about to replace it.
    pendingBackup_ = ToHostText(*chosen);
    output.setText(*chosen);
}

void FileSelection::BeforeReplacing(const std::string& outputName, const std::string& inputName) {
    if (pendingBackup_.empty() || outputName != pendingBackup_) {
        return;
    }
    const std::string backup = WithExtension(outputName, kBackupExtension);
    if (backup == outputName) {
        // A file that already is its own backup name cannot be kept that way.
        if (platform::FileExists(outputName) && !platform::IsSameFile(outputName, inputName)) {
            throw FileSelectionError(kBackupFailure);
        }
    } else if (platform::FileExists(outputName) && !platform::IsSameFile(outputName, inputName)) {
        // The one backup per name is replaced only by a program that exists; a backup whose original is gone
        // stays.
        KeepBackup(outputName, backup, inputName);
    }
    // One backup per choice: later runs replace their own program, not the user's kept original.
    pendingBackup_.clear();
}

} // namespace korvex::ui

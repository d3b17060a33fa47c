#include "ui/FileSelection.h"

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
    QLineEdit& input = *controls_.inputFileName;
    if (const auto chosen = platform::ExecuteFileDialog(*controls_.openDialog, lastInput_)) {
        lastInput_ = *chosen;
        input.setText(*chosen);
    } else {
        input.setText(QStringLiteral("specify File to Convert"));
    }

    // The names keep the folder part of the input: after a confirmed choice it is the working directory the
    // dialog left behind, and after Cancel there is none, so bare names resolve there just the same. Where
    // a file name itself holds a "\" or ":", the folder part keeps the backup beside the right file.
    const std::string inputPath = ToHostText(input.text());
    const std::string output = WithExtension(inputPath, kOutputExtension);
    KeepBackup(output, WithExtension(inputPath, kBackupExtension), inputPath);
    controls_.outputFileName->setText(FromHostText(output));
}

void FileSelection::ChooseOutputFile() {
    QLineEdit& output = *controls_.outputFileName;
    const auto chosen = platform::ExecuteFileDialog(*controls_.saveDialog, lastOutput_);
    if (!chosen) {
        output.setText(lastOutput_);
        return;
    }
    lastOutput_ = *chosen;

    // The next conversion writes over the chosen file: an existing program there is kept as its ".BAK",
    // as choosing the drill file does. A file that already is its own backup name cannot be kept that way.
    const std::string path = ToHostText(*chosen);
    const std::string backup = WithExtension(path, kBackupExtension);
    if (backup == path) {
        if (platform::FileExists(path)) {
            throw FileSelectionError(kBackupFailure);
        }
    } else {
        KeepBackup(path, backup, ToHostText(controls_.inputFileName->text()));
    }
    output.setText(*chosen);
}

} // namespace korvex::ui

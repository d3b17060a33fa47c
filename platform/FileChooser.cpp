#include "platform/FileChooser.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include "platform/FileSystem.h"

namespace korvex::platform {

namespace {

FileChooser*& InstalledChooser() {
    static FileChooser* chooser = nullptr;
    return chooser;
}

} // namespace

std::optional<QString> DialogFileChooser::Choose(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}

FileChooser* SetFileChooser(FileChooser* chooser) {
    FileChooser* previous = InstalledChooser();
    InstalledChooser() = chooser;
    return previous;
}

std::optional<QString> ExecuteFileDialog(QFileDialog& dialog, const QString& offeredName) {
    if (!offeredName.isEmpty()) {
        dialog.selectFile(offeredName);
    }
    DialogFileChooser realDialog;
    FileChooser& chooser = InstalledChooser() != nullptr ? *InstalledChooser() : realDialog;
    std::optional<QString> chosen = chooser.Choose(dialog);
    // The name field's completion list is a window of its own: left open, it would stay on the screen after
    // the dialog and take the user's next click.
    for (const QLineEdit* field : dialog.findChildren<QLineEdit*>()) {
        if (QCompleter* completer = field->completer(); completer != nullptr && completer->popup() != nullptr) {
            completer->popup()->hide();
        }
    }
    if (chosen && dialog.acceptMode() == QFileDialog::AcceptOpen) {
        // The chosen file's folder exists, so this does not fail in practice; if it does, bare names keep
        // resolving where they did, which is all a failure could mean here.
        static_cast<void>(SetWorkingDirectory(QFile::encodeName(QFileInfo(*chosen).absolutePath()).toStdString()));
    }
    return chosen;
}

} // namespace korvex::platform

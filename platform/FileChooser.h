// The file-open and file-save dialogs as the program uses them. The user's part (picking a file or
// cancelling) goes through a replaceable FileChooser, so tests can answer a dialog without showing it; what
// the platform does around it stays here and is the same for every chooser.
#pragma once

#include <QString>

#include <optional>

class QFileDialog;

namespace korvex::platform {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Shows `dialog` modally as it is set up and returns the full path the user confirmed, or nothing when
    // the user cancelled.
    virtual std::optional<QString> Choose(QFileDialog& dialog) = 0;
};

// The real dialog: exec() and the selected file.
class DialogFileChooser final : public FileChooser {
public:
    std::optional<QString> Choose(QFileDialog& dialog) override;
};

// Puts `chooser` in front of every file dialog; nullptr brings back the real dialogs. Returns the chooser
// it replaces (nullptr for the real one). The caller keeps ownership.
FileChooser* SetFileChooser(FileChooser* chooser);

// Shows `dialog` through the current chooser. `offeredName`, the name last confirmed in this dialog, stands
// in its name field (and, being a full path, brings the dialog to that name's folder); when it is empty the
// dialog starts where it was set to start. Confirming a file in an open dialog makes that file's folder the
// working directory, as the platform's own open dialog does: bare names then resolve there.
std::optional<QString> ExecuteFileDialog(QFileDialog& dialog, const QString& offeredName);

} // namespace korvex::platform

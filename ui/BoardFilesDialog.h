// "Board files…": further drill files drilled in the same program after the input file (a board's plated and
// non-plated holes, its slots), in the listed order. Files come by "Add…", or dropped onto the list from a
// file manager; "Remove" takes the selected ones out. A listed file that is not there, or the input file
// itself, holds OK back with the reason under the list. The Excellon reading only, which the dialog says.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvex::ui {

class BoardFilesDialog : public QDialog {
    Q_OBJECT

public:
    // `inputFile`: the Input File field's text, which the list must not repeat; its folder is where "Add…"
    // starts.
    BoardFilesDialog(const std::vector<std::string>& files, const std::string& inputFile, QWidget* parent = nullptr);

    std::vector<std::string> Files() const;
    // Appends the files not listed yet, as "Add…" and a drop do.
    void AddFiles(const QStringList& paths);

    // "Add…" asks this for the files; by default the system's file dialog (tests answer it themselves).
    std::function<QStringList(QWidget* parent, const QString& folder)> chooseFiles;

    QListWidget* lbFiles = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QLabel* lblProblem = nullptr;
    QLabel* lblReadingNote = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void btnAddClick();
    void btnRemoveClick();
    void Validate();

    QString inputFile_;
};

} // namespace korvex::ui

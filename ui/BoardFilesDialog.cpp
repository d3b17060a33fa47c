#include "ui/BoardFilesDialog.h"

#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/WindowFont.h"
#include "ui/WindowHost.h"

namespace korvex::ui {

namespace {

// The local files among dropped items; anything else (a web link, text) is not a drill file to list.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            files << url.toLocalFile();
        }
    }
    return files;
}

// The list takes files dropped from a file manager; reordering by dragging is not offered.
class FileList final : public QListWidget {
public:
    explicit FileList(BoardFilesDialog& dialog) : dialog_(dialog) {
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { Offer(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { Offer(event); }
    void dropEvent(QDropEvent* event) override {
        const QStringList files = DroppedFiles(event->mimeData());
        if (files.isEmpty()) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        dialog_.AddFiles(files);
    }

private:
    static void Offer(QDropEvent* event) {
        if (DroppedFiles(event->mimeData()).isEmpty()) {
            event->ignore();
        } else {
            event->acceptProposedAction();
        }
    }

    BoardFilesDialog& dialog_;
};

} // namespace

BoardFilesDialog::BoardFilesDialog(const std::vector<std::string>& files, const std::string& inputFile, QWidget* parent)
    : QDialog(parent), inputFile_(FromHostText(inputFile)) {
    setObjectName(QStringLiteral("BoardFilesDialog"));
    setFont(WindowFont());
    setWindowTitle(QStringLiteral("Board files"));

    chooseFiles = [](QWidget* owner, const QString& folder) {
        return QFileDialog::getOpenFileNames(owner, QStringLiteral("Further drill files"), folder,
                                             QStringLiteral("Drill files (*.drl *.DRL *.drd *.DRD *.txt *.TXT "
                                                            "*.xln *.XLN *.nc *.NC);;All files (*)"));
    };

    auto* heading = new QLabel(QStringLiteral("Drilled in the same program after the input file, in this order:"));
    heading->setWordWrap(true);
    lbFiles = new FileList(*this);
    lbFiles->setObjectName(QStringLiteral("lbFiles"));
    lbFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbFiles->setToolTip(QStringLiteral("Drop drill files here"));
    btnAdd = new QPushButton(QStringLiteral("&Add…"));
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(QStringLiteral("&Remove"));
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    lblProblem = new QLabel;
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblReadingNote = new QLabel(QStringLiteral("Drilled with the Excellon reading only (File / Drill file format…); "
                                               "tools are gathered across the files."));
    lblReadingNote->setObjectName(QStringLiteral("lblReadingNote"));
    lblReadingNote->setWordWrap(true);

    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addWidget(btnAdd);
    buttonColumn->addWidget(btnRemove);
    buttonColumn->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lbFiles, 1);
    listRow->addLayout(buttonColumn);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(listRow, 1);
    layout->addWidget(lblProblem);
    layout->addWidget(lblReadingNote);
    layout->addWidget(buttons);
    setMinimumSize(520, 300);

    for (const std::string& file : files) {
        lbFiles->addItem(FromHostText(file));
    }
    connect(btnAdd, &QPushButton::clicked, this, &BoardFilesDialog::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &BoardFilesDialog::btnRemoveClick);
    connect(lbFiles, &QListWidget::itemSelectionChanged, this, &BoardFilesDialog::Validate);
    Validate();
    btnAdd->setFocus(Qt::OtherFocusReason);
}

std::vector<std::string> BoardFilesDialog::Files() const {
    std::vector<std::string> files;
    for (int row = 0; row < lbFiles->count(); ++row) {
        files.push_back(ToHostText(lbFiles->item(row)->text()));
    }
    return files;
}

void BoardFilesDialog::AddFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!path.isEmpty() && lbFiles->findItems(path, Qt::MatchExactly).isEmpty()) {
            lbFiles->addItem(path);
        }
    }
    Validate();
}

void BoardFilesDialog::btnAddClick() {
    AddFiles(chooseFiles(this, QFileInfo(inputFile_).absolutePath()));
}

void BoardFilesDialog::btnRemoveClick() {
    qDeleteAll(lbFiles->selectedItems());
    Validate();
}

void BoardFilesDialog::Validate() {
    btnRemove->setEnabled(!lbFiles->selectedItems().isEmpty());
    QString problem;
    for (int row = 0; row < lbFiles->count() && problem.isEmpty(); ++row) {
        const QString path = lbFiles->item(row)->text();
        const QFileInfo file(path);
        if (!inputFile_.isEmpty() && file == QFileInfo(inputFile_)) {
            problem = QStringLiteral("%1 is the input file: it is drilled once already.").arg(path);
        } else if (!file.isFile()) {
            problem = QStringLiteral("%1 is not there: remove it or put it back.").arg(path);
        }
    }
    lblProblem->setText(problem);
    lblProblem->setVisible(!problem.isEmpty());
    btnOk->setEnabled(problem.isEmpty());
}

} // namespace korvex::ui

#include "ui/TfrmKorvex.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QUrl>

#include <future>
#include <iterator>
#include <vector>

#include "conversion/ConversionState.h"
#include "gcode/MachineTime.h"
#include "platform/DecimalSeparator.h"
#include "preview/ProgramPreview.h"
#include "settings/JobChoices.h"
#include "ui/DivisorKeyFilter.h"
#include "ui/Drawing.h"
#include "ui/ErrorGuard.h"
#include "ui/JobMenu.h"
#include "ui/JobStep.h"
#include "ui/LogPresentation.h"
#include "ui/OptionHandlers.h"
#include "ui/PreviewWindow.h"
#include "ui/WindowFont.h"
#include "ui/WindowHost.h"
#include "ui/WindowPlacement.h"

// The window's icon, as XPM source.
#include "resources/korvex-icon.xpm"

// Resources of a static library must be registered by hand; Q_INIT_RESOURCE cannot stand in a namespace.
static void InitMainWindowResources() {
    Q_INIT_RESOURCE(korvex_main);
}

namespace korvex::ui {

namespace {

// A bitmap face has no bold cut; like the original platform, bold is simulated by striking the text twice,
// one pixel apart.
class OverstrikeBoldButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        option.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawControl(QStyle::CE_PushButtonLabel, option);
        option.rect.translate(1, 0);
        painter.drawControl(QStyle::CE_PushButtonLabel, option);
    }
};

// Enter or Return on a focused push button presses it, as Space does; a window without a default button
// would otherwise ignore the key.
class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button == nullptr || !button->isEnabled() ||
            (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        button->click();
        return true;
    }
};

// Alt with a letter opens a menu (or does nothing); the fields would otherwise insert the letter, since the
// key carries its text. AltGr is no Alt here: the characters it types still arrive.
class AltKeysBelongToTheMenus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        return (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) != 0 && !key->text().isEmpty() &&
               key->text().front().isPrint();
    }
};

// The captions and the room their controls give them: a stand-in font may run wider than the design face.
std::vector<CaptionRoom> CaptionRooms(const QWidget& client) {
    std::vector<CaptionRoom> rooms;
    for (const QLabel* label : client.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            rooms.push_back({label->text(), label->width(), false});
        }
    }
    for (const QCheckBox* box : client.findChildren<QCheckBox*>()) {
        const QStyle* style = box->style();
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                              style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        rooms.push_back({box->text(), box->width() - indicator, false});
    }
    for (const QPushButton* button : client.findChildren<QPushButton*>()) {
        const int margins = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        rooms.push_back({button->text(), button->width() - margins, button->font().bold()});
    }
    return rooms;
}

// The file dialogs' filters are written as "description|pattern|description|pattern".
QStringList NameFilters(const QString& pairs) {
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        // "*.*" means every file where it was written; here it would leave out names without a dot.
        if (patterns == QStringLiteral("*.*")) {
            patterns = QStringLiteral("*");
        }
        filters << parts.at(i) + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

// A default extension may be written as a pattern ("*.txt"); the dialog wants the bare suffix.
QString DialogSuffix(QString extension) {
    while (extension.startsWith(u'*') || extension.startsWith(u'.')) {
        extension.remove(0, 1);
    }
    return extension;
}

// The names real drill files come with. The dialog matches case-sensitively on Linux, so each is listed in
// the three spellings tools write: lower case, capitals, and capitalised (".Drill").
QString DrillFileFilter() {
    QStringList patterns;
    for (const char* extension : {"drl", "drd", "xln", "exc", "txt", "ncd", "cnc", "tap", "fdr", "drill", "nc"}) {
        const QString lower = QLatin1String(extension);
        const QString capitalised = lower.left(1).toUpper() + lower.mid(1);
        patterns << QStringLiteral("*.") + lower << QStringLiteral("*.") + lower.toUpper()
                 << QStringLiteral("*.") + capitalised;
    }
    return QStringLiteral("Drill files|") + patterns.join(u';') + QStringLiteral("|All files|*.*");
}

// The first local file (not a folder) a drag carries.
QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return QString();
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isDir()) {
            return url.toLocalFile();
        }
    }
    return QString();
}

// The text fields take dropped text themselves; a dropped file is the window's wherever it lands.
class FileDropsGoToTheWindow : public QObject {
public:
    explicit FileDropsGoToTheWindow(TfrmKorvex& window) : QObject(&window), window_(window) {}

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DroppedFile(drag->mimeData()).isEmpty()) {
                return false;
            }
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = DroppedFile(drop->mimeData());
            if (file.isEmpty()) {
                return false;
            }
            drop->acceptProposedAction();
            window_.OpenInputFile(file);
            return true;
        }
        default:
            return false;
        }
    }

private:
    TfrmKorvex& window_;
};

void ConfigureFileDialog(QFileDialog& dialog, const char* name, const QString& title, const QString& filter,
                         const QString& defaultExtension) {
    dialog.setObjectName(QLatin1String(name));
    dialog.setWindowTitle(title);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = NameFilters(filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    dialog.setDefaultSuffix(DialogSuffix(defaultExtension));
}

} // namespace

TfrmKorvex::TfrmKorvex(QWidget* parent) : QMainWindow(parent) {
    InitMainWindowResources();
    CreateComponents();
    KeepAltKeysForTheMenus();
    FormCreate();
    CreateRecentFiles();
    DecorateLog();
    ConnectPreview();
}

void TfrmKorvex::KeepAltKeysForTheMenus() {
    auto* filter = new AltKeysBelongToTheMenus(this);
    for (QLineEdit* field : centralWidget()->findChildren<QLineEdit*>()) {
        field->installEventFilter(filter);
    }
    for (QPlainTextEdit* block : centralWidget()->findChildren<QPlainTextEdit*>()) {
        block->installEventFilter(filter);
    }
}

TfrmKorvex::~TfrmKorvex() {
    // Destroying the children takes the focus away from the increment list, whose field may then select
    // the entry matching its text and announce it; no handler of this half-destroyed window may run then.
    for (QObject* sender :
         {static_cast<QObject*>(cbDeltaLineNumber), static_cast<QObject*>(cbDeltaLineNumber->lineEdit()),
          static_cast<QObject*>(chkIncludeLineNumber), static_cast<QObject*>(chkG79)}) {
        disconnect(sender, nullptr, this, nullptr);
    }
}

void TfrmKorvex::CreateRecentFiles() {
    RecentFiles1 = new QMenu(QStringLiteral("&Recent files"), File1);
    RecentFiles1->setObjectName(QStringLiteral("RecentFiles1"));
    QAction* first = File1->actions().value(0);
    File1->insertMenu(first, RecentFiles1);
    File1->insertSeparator(first);
    // Refreshed whenever the File menu opens: an empty (greyed) submenu never opens itself. The list is read when
    // the menu first opens, so that a start reads the settings file once.
    connect(File1, &QMenu::aboutToShow, this, [this] {
        if (!recentFilesRead_) {
            recentFiles_.Load(settings_.Files().settingsFile);
            recentFilesRead_ = true;
        }
        ShowRecentFiles();
    });
    RecentFiles1->setEnabled(false);
    fileSelection_->SetInputTakenHandler([this](const QString& path) { InputFileTaken(path); });

    setAcceptDrops(true);
    auto* drops = new FileDropsGoToTheWindow(*this);
    for (QLineEdit* field : centralWidget()->findChildren<QLineEdit*>()) {
        field->installEventFilter(drops);
    }
    for (QPlainTextEdit* block : centralWidget()->findChildren<QPlainTextEdit*>()) {
        block->viewport()->installEventFilter(drops);
    }
}

void TfrmKorvex::ShowRecentFiles() {
    RecentFiles1->clear();
    int number = 0;
    for (const std::string& path : recentFiles_.Paths()) {
        const QString shown = FromHostText(path);
        QString text = QStringLiteral("&%1 ").arg(++number) + QString(shown).replace(u'&', QStringLiteral("&&"));
        QAction* entry = RecentFiles1->addAction(text);
        // A file that is gone (or on a medium not mounted now) stays in the list, greyed, until newer ones push
        // it out: it may come back.
        entry->setEnabled(QFileInfo(shown).isFile());
        connect(entry, &QAction::triggered, this, [this, shown] { OpenInputFile(shown); });
    }
    RecentFiles1->setEnabled(number > 0);
}

void TfrmKorvex::InputFileTaken(const QString& path) {
    recentFiles_.Load(settings_.Files().settingsFile); // another window may have added to it meanwhile
    recentFilesRead_ = true;
    recentFiles_.Add(ToHostText(QFileInfo(path).absoluteFilePath()));
    // A list that cannot be kept is no reason to bother the user: the file has been taken all the same.
    static_cast<void>(recentFiles_.Save(settings_.Files().settingsFile));
    ShowRecentFiles();
}

void TfrmKorvex::OpenInputFile(const QString& path) {
    RunGuarded([this, &path] { fileSelection_->TakeInputFile(QDir::cleanPath(QFileInfo(path).absoluteFilePath())); });
}

void TfrmKorvex::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TfrmKorvex::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (!file.isEmpty()) {
        event->acceptProposedAction();
        OpenInputFile(file);
    }
}

void TfrmKorvex::CreateComponents() {
    setObjectName(QStringLiteral("frmKorvex"));
    setWindowTitle(QStringLiteral("Korvex"));
    // Read from the compiled-in picture: an icon named by its file has Qt look through its icon and image
    // plugins first, which costs a start more than the rest of the icon.
    setWindowIcon(QIcon(QPixmap::fromImage(QImage(korvex_icon))));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    const QFont font = WindowFont();
    setFont(font);
    const double scale = WindowScale(font);
    const auto scaled = [scale](int value) { return Scaled(value, scale); };

    // The drawing (read, or at an uncommon scale rendered) is made on a thread of its own meanwhile.
    PrepareDrawingFonts();
    std::future<QImage> drawing =
        std::async(std::launch::async | std::launch::deferred, [scale, ratio = devicePixelRatioF()] {
            // The menu bar reads a picture for its overflow button as it is built, and a first picture read looks
            // through Qt's image plugins: this thread does that look meanwhile, and the menu bar finds it done.
            static_cast<void>(QImageReader::supportedImageFormats());
            return WindowDrawing(scale, ratio);
        });

    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);

    // The client area below the menu bar; controls sit at fixed positions and stay there on resizing.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

    const auto place = [&](QWidget* widget, const char* name, int left, int top, int width, int height) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(scaled(left), scaled(top), scaled(width), scaled(height));
    };
    const auto label = [&](const char* name, const char* caption, int left, int top, int width, int height) {
        auto* result = new QLabel(QString::fromLatin1(caption), client);
        result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(result, name, left, top, width, height);
        return result;
    };
    const auto edit = [&](const char* name, const char* text, int left, int top, int width, int height) {
        auto* result = new QLineEdit(QString::fromLatin1(text), client);
        place(result, name, left, top, width, height);
        return result;
    };
    const auto memo = [&](const char* name, const char* text, int left, int top, int width, int height) {
        auto* result = new QPlainTextEdit(client);
        result->setPlainText(QString::fromLatin1(text));
        result->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        result->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        result->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        // Tab moves on to the next control instead of being typed.
        result->setTabChangesFocus(true);
        place(result, name, left, top, width, height);
        return result;
    };
    const auto button = [&](const char* name, const char* caption, int left, int top, int width, int height) {
        auto* result = new QPushButton(QString::fromLatin1(caption), client);
        result->setAutoDefault(false);
        place(result, name, left, top, width, height);
        return result;
    };
    const auto checkBox = [&](const char* name, const char* caption, int left, int top, int width, int height) {
        auto* result = new QCheckBox(QString::fromLatin1(caption), client);
        place(result, name, left, top, width, height);
        return result;
    };

    edXOffsett = edit("edXOffsett", "0", 63, 80, 77, 23);
    edYOffsett = edit("edYOffsett", "0", 63, 109, 77, 21);
    Label1 = label("Label1", "xOffsett", 8, 85, 36, 13);
    Label2 = label("Label2", "yOffsett", 8, 113, 36, 13);
    QFont bold = font;
    bold.setBold(true);
    if (!HasWindowFontFace()) {
        btnConvertCon = button("btnConvertCon", "Convert", 228, 537, 132, 22);
    } else {
        btnConvertCon = new OverstrikeBoldButton(QStringLiteral("Convert"), client);
        btnConvertCon->setAutoDefault(false);
        place(btnConvertCon, "btnConvertCon", 228, 537, 132, 22);
    }
    btnConvertCon->setFont(bold);

    InputFileDlg.Prepare(*this, [](QFileDialog& dialog) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        ConfigureFileDialog(dialog, "InputFileDlg", QStringLiteral("Select cnc file"), DrillFileFilter(),
                            QStringLiteral("*.txt"));
    });
    SaveDialog1.Prepare(*this, [](QFileDialog& dialog) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        ConfigureFileDialog(dialog, "SaveDialog1", QStringLiteral("Save File"),
                            QStringLiteral("CNC-File|*.Cnc|Alle|*.*"), QStringLiteral("Cnc"));
        // No question about an existing file: "Output File" keeps it as its ".BAK" instead.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    });

    Button1 = button("Button1", "Input File", 8, 8, 97, 21);
    Button2 = button("Button2", "Output File", 8, 42, 97, 21);
    edZab = edit("edZab", "2", 257, 81, 81, 21);
    edZauf = edit("edZauf", "1", 258, 109, 81, 21);
    lblzauf = label("lblzauf", "z up", 201, 113, 20, 13);
    Label4 = label("Label4", "z  down", 201, 85, 37, 13);
    Label3 = label("Label3", "mm", 146, 85, 16, 13);
    Label5 = label("Label5", "mm", 345, 113, 16, 13);
    Label6 = label("Label6", "mm", 344, 85, 16, 13);
    Label7 = label("Label7", "mm", 146, 113, 16, 13);

    Image1 = label("Image1", "", 376, 83, 511, 449);

    edInputFileName = edit("edInputFileName", "please specify", 111, 8, 776, 21);
    edOutputFileName = edit("edOutputFileName", "please specify", 111, 42, 776, 21);
    edZOffsett = edit("edZOffsett", "0", 63, 139, 77, 21);
    lblZOffsett = label("lblZOffsett", "zOffsett", 8, 143, 36, 13);
    meOutput = memo("meOutput", "\n", 8, 565, 880, 186);
    Label8 = label("Label8", "Output result", 8, 546, 60, 13);

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Exit1 = new QAction(QStringLiteral("C&lose Converter"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Info1 = MainMenu1->addMenu(QStringLiteral("&Info"));
    Info1->setObjectName(QStringLiteral("Info1"));
    About1 = Info1->addAction(QStringLiteral("&About"));
    About1->setObjectName(QStringLiteral("About1"));
    Label9 = label("Label9", "mm", 146, 143, 16, 13);
    Savesettings1 = new QAction(QStringLiteral("&Save settings"), this);
    Savesettings1->setObjectName(QStringLiteral("Savesettings1"));
    File1->addAction(Savesettings1);
    File1->addAction(Exit1);
    jobMenu = new JobMenu(*File1, Savesettings1, *this, *this, [this] { return ToHostText(edInputFileName->text()); });
    Preview1 = new QAction(QStringLiteral("&Preview…"), this);
    Preview1->setObjectName(QStringLiteral("Preview1"));
    File1->insertAction(Savesettings1, Preview1);
    preview_ = std::make_unique<PreviewLink>();

    Label10 = label("Label10", "G-Code before Tool change", 8, 375, 132, 13);
    Label11 = label("Label11", "G-Code after tool change", 8, 199, 119, 13);
    meTxBefore = memo("meTxBefore", "G00 Z30\n", 8, 394, 353, 129);
    meTxAfter = memo("meTxAfter", "M06\nG00 Z20\n", 8, 218, 352, 143);
    edDivider = edit("edDivider", "1", 257, 139, 81, 21);
    // Kept with the field although the window shows no hints.
    edDivider->setAccessibleDescription(QStringLiteral("x-, y-, z-values will be divided by this value"));
    new DivisorKeyFilter(*edDivider); // RealKeyPress
    Label12 = label("Label12", "Divisor", 201, 143, 32, 13);
    Label13 = label("Label13", "1", 344, 143, 6, 13);
    chkSuppressLeadingZeros = checkBox("chkSuppressLeadingZeros", "Suppress leading zeros", 202, 195, 137, 17);
    chkSuppressLeadingZeros->setHidden(true);
    chkIncludeLineNumber = checkBox("chkIncludeLineNumber", "include line number", 8, 170, 119, 17);
    chkG79 = checkBox("chkG79", "create G81/G79 drill cycle", 8, 193, 159, 17);
    chkG79->setHidden(true);
    edG81 = edit("edG81", "G81 Z6 B7 F500 H3", 8, 218, 331, 21);
    edG81->setHidden(true);
    edG81->setEnabled(false);

    cbDeltaLineNumber = new QComboBox(client);
    cbDeltaLineNumber->setEditable(true);
    // Typed text never becomes a new entry of the list.
    cbDeltaLineNumber->setInsertPolicy(QComboBox::NoInsert);
    cbDeltaLineNumber->setItemDelegate(new QStyledItemDelegate(cbDeltaLineNumber));
    for (const char* entry : {"1", "5", "10", "50"}) {
        cbDeltaLineNumber->addItem(QString::fromLatin1(entry));
        cbDeltaLineNumber->setItemData(cbDeltaLineNumber->count() - 1, QSize(0, scaled(13)), Qt::SizeHintRole);
    }
    cbDeltaLineNumber->setCurrentIndex(1);
    place(cbDeltaLineNumber, "cbDeltaLineNumber", 256, 168, 83, 21);
    Label16 = label("Label16", "Line number increment", 143, 171, 107, 13);

    QWidget* const order[] = {edXOffsett,
                              edYOffsett,
                              btnConvertCon,
                              meOutput,
                              Button1,
                              Button2,
                              edZab,
                              edZauf,
                              edInputFileName,
                              edOutputFileName,
                              edZOffsett,
                              meTxBefore,
                              meTxAfter,
                              edDivider,
                              chkSuppressLeadingZeros,
                              chkIncludeLineNumber,
                              chkG79,
                              edG81,
                              cbDeltaLineNumber};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }

    connect(btnConvertCon, &QPushButton::clicked, this, &TfrmKorvex::btnConvertConClick);
    connect(Button1, &QPushButton::clicked, this, &TfrmKorvex::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmKorvex::Button2Click);
    connect(Exit1, &QAction::triggered, this, &TfrmKorvex::Exit1Click);
    connect(About1, &QAction::triggered, this, &TfrmKorvex::About1Click);
    connect(Savesettings1, &QAction::triggered, this, &TfrmKorvex::Savesettings1Click);
    connect(Preview1, &QAction::triggered, this, &TfrmKorvex::Preview1Click);
    // A check box's handler runs on every change of its state, the program's changes included.
    connect(chkIncludeLineNumber, &QCheckBox::toggled, this, &TfrmKorvex::chkIncludeLineNumberClick);
    connect(chkG79, &QCheckBox::toggled, this, &TfrmKorvex::chkG79Click);
    // The increment follows the user only: a choice from the list, or typing in its field; never a
    // selection by the program.
    connect(cbDeltaLineNumber, &QComboBox::activated, this, &TfrmKorvex::cbDeltaLineNumberChange);
    connect(cbDeltaLineNumber->lineEdit(), &QLineEdit::textEdited, this, &TfrmKorvex::cbDeltaLineNumberChange);

    Image1->setPixmap(QPixmap::fromImage(drawing.get()));

    fileSelection_ = std::make_unique<FileSelection>(
        FileSelection::Controls{edInputFileName, edOutputFileName, &InputFileDlg, &SaveDialog1});

    auto* enterPresses = new EnterPressesButton(this);
    for (QPushButton* pushButton : {btnConvertCon, Button1, Button2}) {
        pushButton->installEventFilter(enterPresses);
    }

    if (!HasWindowFontFace()) {
        const QFont fitted = FitCaptions(font, CaptionRooms(*client));
        setFont(fitted);
        QFont fittedBold = fitted;
        fittedBold.setBold(true);
        btnConvertCon->setFont(fittedBold);
    }

    // Client area 896 x 760 below the menu bar, at its design position on the screen (in device-independent
    // pixels, whatever the scale), or as near to it as the screen's available area allows.
    client->resize(scaled(896), scaled(760));
    resize(scaled(896), scaled(760) + MainMenu1->sizeHint().height());
    const QPoint designPosition(450, 108);
    QScreen* screen = QGuiApplication::screenAt(designPosition);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    move(screen != nullptr ? KeepOnScreen(QRect(designPosition, size()), screen->availableGeometry()) : designPosition);
}

void TfrmKorvex::FormCreate() {
    // The real parsers read the process's separator; whatever the regional settings say, the window's
    // numbers are written with ".".
    platform::SetDecimalSeparator('.');
    RunGuarded([this] { LoadSettings(); });
    // The macro lists exist whatever loading the settings did.
    conversion::ConversionState& state = conversion::TheConversionState();
    state.MacroBefore.clear();
    state.MacroAfter.clear();
}

void TfrmKorvex::closeEvent(QCloseEvent* event) {
    // FormClose: a failed save keeps the window open, so the user can mend the cause and close again. Only
    // once: the next close tries again and then closes whatever happens, or a cause the user cannot mend (a
    // folder of somebody else's) would keep the window open for ever.
    if (RunGuarded([this] { SaveSettings(); }) || closeRefused_) {
        event->accept();
    } else {
        closeRefused_ = true;
        event->ignore();
    }
}

void TfrmKorvex::BeforeOutputIsWritten(const std::string& outputName) {
    fileSelection_->BeforeReplacing(outputName, ToHostText(edInputFileName->text()));
}

void TfrmKorvex::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        // The user changed the regional settings: from now on numbers are read the user's way.
        platform::SetDecimalSeparator(platform::RegionalDecimalSeparator());
    }
    QMainWindow::changeEvent(event);
}

void TfrmKorvex::DecorateLog() {
    lblWarnings = new QLabel(MainMenu1);
    lblWarnings->setObjectName(QStringLiteral("lblWarnings"));
    lblWarnings->setContentsMargins(0, 0, 8, 0);
    // Room for any count from the start: the menu bar places its corner widget by the width it had then. The sign
    // is given an em and more, not measured: measuring it would look for a font that has it, which a start that
    // shows no warning need not do.
    lblWarnings->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QFontMetrics metrics = lblWarnings->fontMetrics();
    lblWarnings->setMinimumWidth(metrics.height() + metrics.horizontalAdvance(QStringLiteral(" 99999 warnings")) + 8);
    MainMenu1->setCornerWidget(lblWarnings, Qt::TopRightCorner);
    new LogDecoration(*meOutput, lblWarnings);
}

void TfrmKorvex::ConnectPreview() {
    preview_->SetSettingsFile(settings_.Files().settingsFile);
    preview_->SetInputReader([this] { return ReadInputForPreview(); });
    // At once, so that a conversion right after typing is never followed by an older reading; the file is read
    // only while the preview is open, and a partly typed name fails fast.
    connect(edInputFileName, &QLineEdit::textChanged, this,
            [this] { RunGuarded([this] { preview_->InputChanged(); }); });
}

InputPreview TfrmKorvex::ReadInputForPreview() {
    InputPreview input;
    input.inputName = edInputFileName->text();
    // A run of its own on a copy of the state, into memory: nothing is written, the log and the fields stay.
    PreviewHost host(*this);
    conversion::ConversionState state = conversion::TheConversionState();
    job::JobOptions options = settings::MakeJobOptions(jobMenu->Settings(), jobMenu->Board());
    if (options.reading.excellon) {
        options.board.rack = jobMenu->Rack();
    }
    options.collectToolDiameters = true;
    options.verify = false;
    try {
        const job::JobReport report = job::ConvertJob(state, host, options);
        if (report.outcome != conversion::RunOutcome::Finished) {
            input.problem = RunFailureReason("", host.LogText());
        } else if (!host.NumericalError().empty()) {
            input.problem = FromHostText(host.NumericalError());
        }
        input.scene = preview::ProgramTextScene(host.Program(), report.toolDiameters, {}, options.board.rack.endMillMm);
    } catch (const std::exception& error) {
        input.problem = QString::fromLocal8Bit(error.what());
        input.scene = preview::ProgramTextScene("", {}, {});
    }
    return input;
}

// ---- settings glue -------------------------------------------------------------------------------------

void TfrmKorvex::LoadSettings() {
    settings_.LoadSettings(*this, conversion::TheConversionState());
}

void TfrmKorvex::SaveSettings() {
    settings_.SaveSettings(*this);
}

// ---- handlers ------------------------------------------------------------------------------------------

void TfrmKorvex::btnConvertConClick() {
    RunGuarded([this] {
        WindowHost host(*this);
        std::string boardWarning;
        job::JobOptions options = settings::MakeJobOptions(jobMenu->Settings(), jobMenu->Board(), &boardWarning);
        if (options.reading.excellon) {
            options.board.rack = jobMenu->Rack();
        }
        options.collectToolDiameters = true; // for the preview
        const std::string logBefore = host.LogText();
        job::JobReport report;
        try {
            report = job::ConvertJob(conversion::TheConversionState(), host, options);
        } catch (const std::exception& error) {
            preview_->ConversionFailed(QString::fromLocal8Bit(error.what()));
            throw;
        }
        if (!boardWarning.empty()) {
            host.AppendLogLine(boardWarning);
        }
        if (report.outcome == conversion::RunOutcome::Finished) {
            preview_->SetMachineTime(gcode::MachineTimeLine(report.machineTime));
            preview_->SetEndMill(options.board.rack.endMillMm);
            preview_->ProgramWritten(host.FieldText(conversion::Field::OutputFileName), report.toolDiameters,
                                     settings::DifferencePositions(report));
        } else {
            preview_->ConversionFailed(RunFailureReason(logBefore, host.LogText()));
        }
    });
}

void TfrmKorvex::Preview1Click() {
    RunGuarded([this] { preview_->Show(this); });
}

void TfrmKorvex::Button1Click() {
    RunGuarded([this] { fileSelection_->ChooseInputFile(); });
}

void TfrmKorvex::Button2Click() {
    RunGuarded([this] { fileSelection_->ChooseOutputFile(); });
}

void TfrmKorvex::chkIncludeLineNumberClick() {
    RunGuarded([this] { CopyIncludeLineNumber(*chkIncludeLineNumber, conversion::TheConversionState()); });
}

void TfrmKorvex::cbDeltaLineNumberChange() {
    RunGuarded([this] {
        const QString shown = cbDeltaLineNumber->currentText();
        CopyLineNumberIncrement(shown, conversion::TheConversionState());
        // A typed entry of the list becomes its selection, which is what the settings keep: the increment
        // saved is the one used. The typed text and the cursor stay as they are.
        const int entry = cbDeltaLineNumber->findText(shown.trimmed(), Qt::MatchExactly);
        if (entry >= 0 && entry != cbDeltaLineNumber->currentIndex()) {
            QLineEdit* field = cbDeltaLineNumber->lineEdit();
            const int cursor = field->cursorPosition();
            const QSignalBlocker blocker(cbDeltaLineNumber);
            const QSignalBlocker fieldBlocker(field);
            cbDeltaLineNumber->setCurrentIndex(entry);
            field->setText(shown);
            field->setCursorPosition(cursor);
        }
    });
}

void TfrmKorvex::chkG79Click() {
    RunGuarded([this] { CoupleDrillCycle(*chkG79, *edG81, conversion::TheConversionState()); });
}

void TfrmKorvex::Exit1Click() {
    RunGuarded([this] { close(); });
}

void TfrmKorvex::About1Click() {
    RunGuarded([this] {
        if (showAbout_) {
            showAbout_();
        }
    });
}

void TfrmKorvex::Savesettings1Click() {
    RunGuarded([this] { SaveSettings(); });
}

// ---- SettingsControls ----------------------------------------------------------------------------------

QLineEdit* TfrmKorvex::TextField(conversion::Field field) const {
    switch (field) {
    case conversion::Field::InputFileName:
        return edInputFileName;
    case conversion::Field::OutputFileName:
        return edOutputFileName;
    case conversion::Field::XOffset:
        return edXOffsett;
    case conversion::Field::YOffset:
        return edYOffsett;
    case conversion::Field::ZUp:
        return edZauf;
    case conversion::Field::ZDown:
        return edZab;
    case conversion::Field::ZOffset:
        return edZOffsett;
    case conversion::Field::Divisor:
        return edDivider;
    }
    return edDivider;
}

QPlainTextEdit* TfrmKorvex::Block(settings::MacroBlock block) const {
    return block == settings::MacroBlock::Before ? meTxBefore : meTxAfter;
}

std::string TfrmKorvex::Text(conversion::Field field) const {
    return ToHostText(TextField(field)->text());
}

void TfrmKorvex::SetText(conversion::Field field, const std::string& text) {
    TextField(field)->setText(FromHostText(text));
}

bool TfrmKorvex::IncludeLineNumberChecked() const {
    return chkIncludeLineNumber->isChecked();
}

void TfrmKorvex::SetIncludeLineNumberChecked(bool checked) {
    chkIncludeLineNumber->setChecked(checked);
}

bool TfrmKorvex::SuppressLeadingZerosChecked() const {
    return chkSuppressLeadingZeros->isChecked();
}

void TfrmKorvex::SetSuppressLeadingZerosChecked(bool checked) {
    chkSuppressLeadingZeros->setChecked(checked);
}

bool TfrmKorvex::G81EditEnabled() const {
    return edG81->isEnabled();
}

void TfrmKorvex::SetG81EditEnabled(bool enabled) {
    edG81->setEnabled(enabled);
}

int TfrmKorvex::DeltaLineNumberIndex() const {
    return cbDeltaLineNumber->currentIndex();
}

void TfrmKorvex::SelectDeltaLineNumberIndex(int index) {
    // A selection by the program is no user's choice: the change handler must not see it.
    const QSignalBlocker blocker(cbDeltaLineNumber);
    cbDeltaLineNumber->setCurrentIndex(index >= 0 && index < cbDeltaLineNumber->count() ? index : -1);
}

std::string TfrmKorvex::DeltaLineNumberText() const {
    const int index = cbDeltaLineNumber->currentIndex();
    return index >= 0 ? ToHostText(cbDeltaLineNumber->itemText(index)) : std::string();
}

std::string TfrmKorvex::MacroText(settings::MacroBlock block) const {
    return MultiLineToHostText(MultiLineText(*Block(block)));
}

void TfrmKorvex::SetMacroText(settings::MacroBlock block, const std::string& text) {
    Block(block)->setPlainText(MultiLineFromHostText(text));
}

std::string TfrmKorvex::InitialFolder(settings::FileDialog dialog) const {
    return ToHostText(dialog == settings::FileDialog::Input ? inputInitialFolder_ : saveInitialFolder_);
}

void TfrmKorvex::SetInitialFolder(settings::FileDialog dialog, const std::string& folder) {
    const QString text = FromHostText(folder);
    (dialog == settings::FileDialog::Input ? inputInitialFolder_ : saveInitialFolder_) = text;
    // An empty folder leaves the choice to the dialog.
    (dialog == settings::FileDialog::Input ? InputFileDlg : SaveDialog1).SetDirectory(text);
}

const settings::JobSettings* TfrmKorvex::JobChoices() const {
    return &jobMenu->Settings();
}

void TfrmKorvex::SetJobChoices(const settings::JobSettings& choices) {
    jobMenu->SetSettings(choices);
}

const settings::BoardSettings* TfrmKorvex::BoardChoices() const {
    return &jobMenu->Board();
}

void TfrmKorvex::SetBoardChoices(const settings::BoardSettings& choices) {
    jobMenu->SetBoard(choices);
}

const excellon::DrillRack* TfrmKorvex::DrillRack() const {
    return &jobMenu->Rack();
}

void TfrmKorvex::SetDrillRack(const excellon::DrillRack& rack) {
    jobMenu->SetRack(rack);
}

} // namespace korvex::ui

#include "ui/TfrmInfo.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "platform/ExecutablePath.h"
#include "platform/Shell.h"
#include "ui/JpegPicture.h"
#include "ui/WindowFont.h"

// Resources compiled into a static library must be registered by name, outside any namespace.
static void InitAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace korvex::ui {

namespace {

const QColor kLinkColour(0, 0, 255);
const QColor kLinkHoverColour(128, 0, 128);
const QColor kNoteBackground(255, 255, 0);

constexpr int kClientWidth = 305;
constexpr int kClientHeight = 414;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// A label of the window font that can be bold. "MS Sans Serif" has no bold face; like the system it comes
// from, we draw its bold as every glyph doubled one pixel to the right, each character one pixel wider.
class InfoLabel : public QLabel {
public:
    explicit InfoLabel(QWidget* parent) : QLabel(parent) {}

    void SetBold() {
        QFont bold = font();
        doubleStrike_ = HasWindowFontFace();
        if (doubleStrike_) {
            bold.setLetterSpacing(QFont::AbsoluteSpacing, 1);
        } else {
            bold.setBold(true);
        }
        setFont(bold);
        setProperty("bold", true);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!doubleStrike_) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(rect(), static_cast<int>(alignment()), text());
        painter.drawText(rect().translated(1, 0), static_cast<int>(alignment()), text());
    }

private:
    bool doubleStrike_ = false;
};

} // namespace

TfrmInfo::TfrmInfo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    InitAboutResources();
    setObjectName(QStringLiteral("frmInfo"));
    // Closing hides the box; the program ends with its main window alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    CreateControls();
    FormCreate();
}

void TfrmInfo::CreateControls() {
    const QFont font = WindowFont();
    scale_ = WindowScale(font);
    setFont(font);
    setWindowTitle(QStringLiteral("Info"));
    setWindowIcon(QIcon(QStringLiteral(":/korvex/about/info.png")));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);
    resize(Scaled(kClientWidth, scale_), Scaled(kClientHeight, scale_));

    lblInfo = new QFrame(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblInfo->setLineWidth(1);
    lblInfo->setGeometry(Scaled(8, scale_), Scaled(208, scale_), Scaled(289, scale_), Scaled(169, scale_));

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(Scaled(112, scale_), Scaled(384, scale_), Scaled(75, scale_), Scaled(25, scale_));
    Button1->setAutoDefault(false);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    // Drawn at its natural size from the top-left corner; what does not fit the area is cut off.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(Scaled(8, scale_), Scaled(8, scale_), Scaled(289, scale_), Scaled(193, scale_));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFile picture(QStringLiteral(":/korvex/about/about.jpg"));
    if (picture.open(QIODevice::ReadOnly)) {
        Image1->setPixmap(QPixmap::fromImage(DecodeJpeg(picture.readAll())));
    }

    Label4 = NewLabel("Label4", 8, 40, QStringLiteral("Free to use under the MIT licence"));
    lblCopyRight = NewLabel("lblCopyRight", 10, 24, QStringLiteral("lblCopyRight"));
    lblProgramName = NewLabel("lblProgramName", 8, 8, QStringLiteral("lblProgramName"), true, true);
    lblVersion = NewLabel("lblVersion", 8, 56, QStringLiteral("lblVersion"));
    Label2 = NewLabel("Label2", 8, 136, QStringLiteral("Please read the warranty conditions in"), true);
    Label3 = NewLabel("Label3", 8, 152, ReadmeLocation(platform::ExecutablePath()), true);
    Label7 =
        NewLabel("Label7", 8, 120, QStringLiteral("Please inform me about bugs") + QString(14, QLatin1Char(' ')), true);
    Label8 = NewLabel("Label8", 8, 72, QStringLiteral("Mail: korvex@korvex.example"));
    lblBuild = NewLabel("lblBuild", 8, 88, QStringLiteral("lblBuild"));
    lblDescription = NewLabel("lblDescription", 8, 104, QStringLiteral("lblDescription"));

    lblProgramNameMouseLeave(); // blue, as created
    lblProgramName->installEventFilter(this);
    for (QLabel* note : {Label7, Label2, Label3}) {
        note->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        QPalette yellow = note->palette();
        yellow.setColor(QPalette::Window, kNoteBackground);
        note->setPalette(yellow);
        note->setAutoFillBackground(true);
    }
}

QLabel* TfrmInfo::NewLabel(const char* name, int left, int top, const QString& text, bool bold, bool underline) {
    auto* label = new InfoLabel(lblInfo);
    label->setObjectName(QString::fromLatin1(name));
    if (underline) {
        QFont underlined = label->font();
        underlined.setUnderline(true);
        label->setFont(underlined);
    }
    if (bold) {
        label->SetBold();
    }
    label->setTextFormat(Qt::PlainText); // version texts come from a file: never read them as markup
    label->setFocusPolicy(Qt::NoFocus);
    label->move(Scaled(left, scale_), Scaled(top, scale_));
    SetLabelText(label, text);
    return label;
}

void TfrmInfo::SetLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    const QFontMetrics metrics = label->fontMetrics();
    label->resize(metrics.horizontalAdvance(label->text()), metrics.height());
}

void TfrmInfo::FormCreate() {
    version::TFileVersionInfo info;
    version::ReadFileVersionInfo(platform::ExecutablePath(), info);
    VersionInfo_ = info;
    SetLabelText(lblBuild, Text("Build: " + VersionInfo_.FileVersion));
    SetLabelText(lblVersion, Text("Version: " + VersionInfo_.ProductVersion));
    SetLabelText(lblCopyRight, Text(VersionInfo_.LegalCopyRight));
    SetLabelText(lblProgramName, Text(VersionInfo_.ProductName));
    SetLabelText(lblDescription, Text(VersionInfo_.FileDescription));
}

QString TfrmInfo::ReadmeLocation(const std::string& executablePath) {
    const QFileInfo program(QString::fromLocal8Bit(executablePath.c_str()));
    const QDir folder = program.absoluteDir();
    if (!folder.exists(QStringLiteral("Readme.txt"))) {
        const QFileInfo installed(folder.filePath(QStringLiteral("../share/doc/korvex/Readme.txt")));
        if (installed.isFile()) {
            return installed.canonicalFilePath();
        }
    }
    return QStringLiteral("Readme.txt beside the program");
}

void TfrmInfo::ShowInFront() {
    const bool wasHidden = !isVisible();
    show();
    // Centred with its frame, whose size is known once it is shown.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (wasHidden && screen != nullptr) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    }
    raise();
    activateWindow();
}

void TfrmInfo::Button1Click() {
    close();
}

void TfrmInfo::lblProgramNameClick() {
    platform::ShellExecuteA(nullptr, "open", kMakerWebPage, nullptr, nullptr, platform::SW_SHOW);
}

void TfrmInfo::lblProgramNameMouseEnter() {
    QPalette colours = lblProgramName->palette();
    colours.setColor(QPalette::WindowText, kLinkHoverColour);
    lblProgramName->setPalette(colours);
}

void TfrmInfo::lblProgramNameMouseLeave() {
    QPalette colours = lblProgramName->palette();
    colours.setColor(QPalette::WindowText, kLinkColour);
    lblProgramName->setPalette(colours);
}

bool TfrmInfo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblProgramName) {
        switch (event->type()) {
        case QEvent::Enter:
            lblProgramNameMouseEnter();
            break;
        case QEvent::Leave:
            lblProgramNameMouseLeave();
            break;
        case QEvent::MouseButtonPress:
            linkPressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonRelease: {
            // A click is a press and a release on the label, as with any button.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = linkPressed_ && mouse->button() == Qt::LeftButton &&
                               lblProgramName->rect().contains(mouse->position().toPoint());
            linkPressed_ = false;
            if (click) {
                lblProgramNameClick();
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace korvex::ui

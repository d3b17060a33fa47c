#include "platform/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>

#include <utility>

namespace korvex::platform {

namespace {

QString& TitleStorage() {
    static QString title;
    return title;
}

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

void CentreOnScreen(QWidget& box) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    box.adjustSize();
    QRect frame = box.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    box.move(frame.topLeft());
}

void Show(const MessageBoxRequest& request) {
    if (Handler()) {
        Handler()(request);
        return;
    }
    std::unique_ptr<QMessageBox> box = CreateMessageBox(request);
    if (request.centredOnScreen) {
        CentreOnScreen(*box);
    }
    const int answer = box->exec();
    if (request.yes != nullptr) {
        *request.yes = answer == QMessageBox::Yes;
    }
}

} // namespace

int CaptionRoom(const QString& caption) {
    // Title bars set their caption in a bold face, beside the box's icon and close button; the room for
    // those is estimated from the style's title-bar height.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const int titleBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + 4 * titleBar;
}

void SetApplicationTitle(const QString& title) {
    TitleStorage() = title;
}

QString ApplicationTitle() {
    if (!TitleStorage().isEmpty()) {
        return TitleStorage();
    }
    return QCoreApplication::applicationName();
}

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + QLatin1Char('.');
    }
    return message;
}

std::unique_ptr<QMessageBox> CreateMessageBox(const MessageBoxRequest& request) {
    auto box = std::make_unique<QMessageBox>(request.owner);
    box->setWindowTitle(request.caption);
    box->setText(request.text);
    box->setTextFormat(Qt::PlainText);
    if (request.kind == MessageBoxKind::Question) {
        box->setIcon(QMessageBox::Question);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setIcon(request.kind == MessageBoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    box->setWindowModality(Qt::ApplicationModal);
    // A box sized to a short text would leave the window manager too little room for the caption, which it
    // then cuts to "...": an empty row as wide as the caption needs keeps the box that wide.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()); grid != nullptr) {
        grid->addItem(new QSpacerItem(CaptionRoom(request.caption), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

void ShowErrorBox(const QString& message) {
    MessageBoxRequest request;
    request.kind = MessageBoxKind::Error;
    request.caption = ApplicationTitle();
    request.text = ErrorBoxText(message);
    // Owned by the window the user was working in, so the box stays in front of it.
    request.owner = QApplication::activeWindow();
    Show(request);
}

void ShowPlainBox(const QString& message) {
    MessageBoxRequest request;
    request.kind = MessageBoxKind::Plain;
    request.caption = ApplicationTitle();
    request.text = message;
    request.centredOnScreen = true;
    Show(request);
}

void ShowNumericalErrorBox(const QString& message) {
    MessageBoxRequest request;
    request.kind = MessageBoxKind::NumericalError;
    request.caption = QStringLiteral("Numerical Error");
    request.text = message;
    Show(request);
}

bool AskYesNo(const QString& question) {
    bool yes = false;
    MessageBoxRequest request;
    request.kind = MessageBoxKind::Question;
    request.caption = ApplicationTitle();
    request.text = question;
    request.owner = QApplication::activeWindow();
    request.yes = &yes;
    Show(request);
    return yes;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

MessageBoxRecorder::MessageBoxRecorder() {
    previous_ = SetMessageBoxHandler([this](const MessageBoxRequest& request) {
        shown_.push_back(request);
        if (!answers_.empty()) {
            auto answer = std::move(answers_.front());
            answers_.erase(answers_.begin());
            answer(request);
        }
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(previous_));
}

void MessageBoxRecorder::SetNextAnswer(std::function<void(const MessageBoxRequest&)> whileOpen) {
    answers_.push_back(std::move(whileOpen));
}

} // namespace korvex::platform

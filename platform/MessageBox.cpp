#include "platform/MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

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
    box->exec();
}

} // namespace

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
    box->setIcon(request.kind == MessageBoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
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

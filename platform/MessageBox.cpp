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

void Show(const MessageBoxSpec& spec) {
    if (Handler()) {
        Handler()(spec);
        return;
    }
    std::unique_ptr<QMessageBox> box = CreateMessageBox(spec);
    if (spec.centredOnScreen) {
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

std::unique_ptr<QMessageBox> CreateMessageBox(const MessageBoxSpec& spec) {
    auto box = std::make_unique<QMessageBox>(spec.owner);
    box->setWindowTitle(spec.caption);
    box->setText(spec.text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(spec.kind == MessageBoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void ShowErrorBox(const QString& message) {
    MessageBoxSpec spec;
    spec.kind = MessageBoxKind::Error;
    spec.caption = ApplicationTitle();
    spec.text = ErrorBoxText(message);
    // Owned by the window the user was working in, so the box stays in front of it.
    spec.owner = QApplication::activeWindow();
    Show(spec);
}

void ShowPlainBox(const QString& message) {
    MessageBoxSpec spec;
    spec.kind = MessageBoxKind::Plain;
    spec.caption = ApplicationTitle();
    spec.text = message;
    spec.centredOnScreen = true;
    Show(spec);
}

void ShowNumericalErrorBox(const QString& message) {
    MessageBoxSpec spec;
    spec.kind = MessageBoxKind::NumericalError;
    spec.caption = QStringLiteral("Numerical Error");
    spec.text = message;
    Show(spec);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

MessageBoxRecorder::MessageBoxRecorder() {
    previous_ = SetMessageBoxHandler([this](const MessageBoxSpec& spec) {
        shown_.push_back(spec);
        if (!answers_.empty()) {
            auto answer = std::move(answers_.front());
            answers_.erase(answers_.begin());
            answer(spec);
        }
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(previous_));
}

void MessageBoxRecorder::SetNextAnswer(std::function<void(const MessageBoxSpec&)> whileOpen) {
    answers_.push_back(std::move(whileOpen));
}

} // namespace korvex::platform

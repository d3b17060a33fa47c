// Every message box of the program goes through here: the application's error box, the plain box of the
// divisor's key filter and the "Numerical Error" box of the settings parser. Tests install a handler that
// records the boxes and answers them instead of showing them.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QMessageBox;
class QWidget;

namespace korvex::platform {

// The application's title: it captions the error box and the key filter's box.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

enum class MessageBoxKind {
    Error,          // an error that left an event handler: error icon, caption = application title
    Plain,          // the key filter's refusal: no icon, caption = application title, centred on the screen
    NumericalError, // a settings number that cannot be read: no icon, no owner, caption "Numerical Error"
    Question        // a yes/no question: question icon, caption = application title, "No" unless answered
};

// Everything a box shows. All boxes are modal and have exactly one "OK" button, except the question's
// "Yes" and "No".
struct MessageBoxRequest {
    MessageBoxKind kind = MessageBoxKind::Error;
    QString caption;
    QString text;
    QWidget* owner = nullptr;
    bool centredOnScreen = false;
    bool* yes = nullptr; // a question's answer: set to true by whoever answers "Yes"
};

// The text the error box shows: a "." is added when the message's last character has a code above that
// of "." ("Can not convert value 1,2,3" -> "Can not convert value 1,2,3.", "Done." stays).
QString ErrorBoxText(const QString& message);

// Modal; they return when the user has closed the box.
void ShowErrorBox(const QString& message);
void ShowPlainBox(const QString& message);
void ShowNumericalErrorBox(const QString& message);
// True when the user answers "Yes"; "No" is the default button and Escape's.
bool AskYesNo(const QString& question);

// The dialog the default handler shows for `request` (not yet shown). It is at least CaptionRoom(caption)
// wide, so the window manager shows the whole caption.
std::unique_ptr<QMessageBox> CreateMessageBox(const MessageBoxRequest& request);

// The width a box needs for `caption` in its title bar: the caption in bold plus the title bar's icon and
// buttons.
int CaptionRoom(const QString& caption);

// Replaces how boxes are shown; an empty handler restores the real boxes. Returns the previous handler.
using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// While it lives, boxes are recorded and answered with "OK" at once instead of being shown. An action set
// with SetNextAnswer runs in place of the user while the next box is "open" (then the box is closed).
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<MessageBoxRequest>& Shown() const { return shown_; }
    void Clear() { shown_.clear(); }
    void SetNextAnswer(std::function<void(const MessageBoxRequest&)> whileOpen);

private:
    std::vector<MessageBoxRequest> shown_;
    std::vector<std::function<void(const MessageBoxRequest&)>> answers_;
    MessageBoxHandler previous_;
};

} // namespace korvex::platform

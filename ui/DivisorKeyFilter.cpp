#include "ui/DivisorKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "platform/DecimalSeparator.h"
#include "platform/MessageBox.h"

namespace korvex::ui {

namespace {

constexpr QChar kBackspace(8);
constexpr QChar kEnter(13);
constexpr QChar kMinus(u'-');

bool IsAllowed(QChar c, QChar separator) {
    return c == kBackspace || c == kMinus || (c >= u'0' && c <= u'9') || c == separator;
}

int SelectionStart(const QLineEdit& field) {
    return field.hasSelectedText() ? field.selectionStart() : field.cursorPosition();
}

} // namespace

std::optional<QString> DivisorKeyRefusal(const QString& key, const QString& text, int selectionStart, QChar separator) {
    // A key that types more than one character (a character outside the 16-bit range) is no digit either.
    if (key.size() != 1 || !IsAllowed(key.front(), separator)) {
        return QStringLiteral("Invalid key: ") + key;
    }
    const QChar c = key.front();
    if ((c == kMinus || c == separator) && text.contains(c)) {
        return QStringLiteral("Invalid Key: twice ") + key;
    }
    if (c == kMinus && selectionStart != 0) {
        return QStringLiteral("Only allowed at beginning of number: ") + key;
    }
    return std::nullopt;
}

std::optional<QString> TypedCharacter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) {
        return std::nullopt;
    }
    const int key = event.key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QString(kEnter);
    case Qt::Key_Backspace:
        // Ctrl+Backspace is the field's "delete word", like every other Ctrl combination below.
        return modifiers & Qt::ControlModifier ? std::nullopt : std::optional<QString>(QString(kBackspace));
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return std::nullopt; // the window's tab order
    case Qt::Key_Delete:
        return std::nullopt; // edits the field like the arrows move in it, although X11 gives it a DEL text
    default:
        break;
    }
    if (modifiers & Qt::ControlModifier) {
        // Shortcuts (select all, copy, paste, undo …) are the field's own: judged as text they would be
        // refused as "Invalid key: " with an invisible control character.
        return std::nullopt;
    }
    const QString text = event.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text;
}

void FocusNextControl(QWidget& from) {
    QWidget* window = from.window();
    for (QWidget* next = from.nextInFocusChain(); next != nullptr && next != &from; next = next->nextInFocusChain()) {
        const bool takesTab = (next->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        if (takesTab && next->focusProxy() == nullptr && next->isEnabled() && next->isVisibleTo(window) &&
            window->isAncestorOf(next)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool RealKeyPress(QLineEdit& field, const QString& key) {
    if (key == QString(kEnter)) {
        FocusNextControl(field);
        return true;
    }
    const QChar separator = QLatin1Char(platform::DecimalSeparator());
    const std::optional<QString> refusal = DivisorKeyRefusal(key, field.text(), SelectionStart(field), separator);
    if (!refusal) {
        return false;
    }
    platform::ShowPlainBox(*refusal);
    field.setFocus(Qt::OtherFocusReason);
    return true;
}

DivisorKeyFilter::DivisorKeyFilter(QLineEdit& field) : QObject(&field), field_(field) {
    // Only typed keys pass the filter: composed input and dropped text would bypass it.
    field.setAttribute(Qt::WA_InputMethodEnabled, false);
    field.setAcceptDrops(false);
    field.installEventFilter(this);
}

bool DivisorKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &field_) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Every key that types a character is the field's, so Qt's shortcuts never take it away from the
        // filter; the key press follows.
        if (TypedCharacter(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto& press = *static_cast<QKeyEvent*>(event);
        if (const auto key = TypedCharacter(press)) {
            return RealKeyPress(field_, *key);
        }
        // With Alt or Meta held a key types nothing (it is the menu's or the desktop's), but the line edit
        // would insert its text; swallow that silently.
        const bool altOrMeta = (press.modifiers() & (Qt::AltModifier | Qt::MetaModifier)) != 0;
        return altOrMeta && !press.text().isEmpty() && press.text().front().isPrint();
    }
    return false;
}

} // namespace korvex::ui

// The divisor field lets only a plain decimal number be typed: digits, one leading "-" and one decimal
// separator, plus backspace. Every refused key is explained in the plain message box; Enter moves on to the
// next control. Text the program puts into the field, or that arrives through the clipboard, is not
// filtered.
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace korvex::ui {

// The refusal's message for `key` typed into a field holding `text` whose selection (or caret) starts at
// `selectionStart`, or nothing when the key may reach the field. `separator` is the decimal separator now
// in force. Enter is not judged here.
std::optional<QString> DivisorKeyRefusal(const QString& key, const QString& text, int selectionStart, QChar separator);

// The character a key press types, as the filter sees it: Enter is "\r", Backspace "\b". Nothing for keys
// that type nothing (arrows, Delete, Tab, function keys), for Ctrl combinations, which are the field's
// editing shortcuts, and for Alt or Meta combinations, which belong to the menu and the desktop.
std::optional<QString> TypedCharacter(const QKeyEvent& event);

// Moves the keyboard focus from `from` to the next control in its window's tab order that can take it.
void FocusNextControl(QWidget& from);

// RealKeyPress: handles `key` typed into `field`. Returns true when the key was swallowed (Enter, which moves
// the focus on, or a refused key, whose message has been shown); false lets the key reach the field.
bool RealKeyPress(QLineEdit& field, const QString& key);

// Runs RealKeyPress for every key typed into the field it is installed on, before Qt's shortcut handling
// can take a typed key away. The field's editing shortcuts (Ctrl+A, Ctrl+C, Ctrl+V …) work as in any field;
// what they paste is not filtered, as with the context menu.
class DivisorKeyFilter : public QObject {
    Q_OBJECT

public:
    // Installs itself on `field` and lives as long as the field.
    explicit DivisorKeyFilter(QLineEdit& field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& field_;
};

} // namespace korvex::ui

// How the log pane shows warnings: "Warning: " lines in a colour that stands out on the pane's background, light
// or dark, with a warning sign and, where the line does not say it, the menu entry or field that addresses it.
// All of it is drawing: the pane's text stays exactly what the run wrote.
#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QString>

class QLabel;
class QPlainTextEdit;

namespace korvex::ui {

// The warning lines of a log text: those that begin with "Warning: ".
int CountWarnings(const QString& logText);
// "" for none, "⚠ 1 warning", "⚠ 2 warnings".
QString WarningCountText(int count);
// Where the user addresses a warning ("File › Controller…"), or "" when the line names it itself or is unknown.
QString WarningHint(const QString& line);

// The WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);
// The warning colour for a pane of this palette: at least 4.5:1 against its base colour.
QColor WarningColour(const QPalette& palette);

// Decorates `pane` for as long as it lives and keeps `count` (may be null) showing how many warnings it holds.
class LogDecoration : public QObject {
    Q_OBJECT

public:
    LogDecoration(QPlainTextEdit& pane, QLabel* count);

    int WarningCount() const { return warnings_; }

signals:
    void WarningCountChanged(int count);

private:
    void Recount();

    QPlainTextEdit& pane_;
    QLabel* count_;
    int warnings_ = 0;
};

} // namespace korvex::ui

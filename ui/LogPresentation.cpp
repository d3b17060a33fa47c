#include "ui/LogPresentation.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QSyntaxHighlighter>
#include <QTextBlock>

#include <algorithm>
#include <cmath>

namespace korvex::ui {

namespace {

const QString kWarningPrefix = QStringLiteral("Warning: ");

bool IsWarning(const QString& line) {
    return line.startsWith(kWarningPrefix);
}

double Luminance(const QColor& colour) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

// Warning lines in their colour. Only formats: the document's text is untouched.
class WarningHighlighter : public QSyntaxHighlighter {
public:
    WarningHighlighter(QTextDocument* document, QPlainTextEdit& pane) : QSyntaxHighlighter(document), pane_(pane) {}

protected:
    void highlightBlock(const QString& text) override {
        if (IsWarning(text)) {
            QTextCharFormat format;
            format.setForeground(WarningColour(pane_.palette()));
            setFormat(0, static_cast<int>(text.size()), format);
        }
    }

private:
    QPlainTextEdit& pane_;
};

// Draws over the pane's text area: a warning sign after each visible warning line, then the entry that addresses
// it. Transparent for the mouse, so selecting and scrolling work as before. A child of the pane, not of its
// viewport: scrolling moves the viewport's children along with the text.
class WarningMarks : public QWidget {
public:
    WarningMarks(QPlainTextEdit& pane) : QWidget(&pane), pane_(pane) {
        setObjectName(QStringLiteral("warningMarks"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(pane.viewport()->geometry());
        pane.viewport()->installEventFilter(this);
        raise();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
            setGeometry(pane_.viewport()->geometry());
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor colour = WarningColour(pane_.palette());
        const int lineHeight = pane_.fontMetrics().height();
        QFont hintFont = pane_.font();
        hintFont.setItalic(true);
        painter.setFont(hintFont);
        painter.setPen(colour);
        for (QTextBlock block = pane_.cursorForPosition(QPoint(0, 0)).block(); block.isValid(); block = block.next()) {
            QTextCursor end(block);
            end.movePosition(QTextCursor::EndOfBlock);
            const QRect at = pane_.cursorRect(end);
            if (at.top() > height()) {
                break;
            }
            if (!IsWarning(block.text())) {
                continue;
            }
            const int size = std::max(8, lineHeight - 2);
            const int x = at.right() + 4;
            WarningSign().paint(&painter, QRect(x, at.top() + (at.height() - size) / 2, size, size));
            const QString hint = WarningHint(block.text());
            if (!hint.isEmpty()) {
                painter.drawText(QRect(x + size + 4, at.top(), width(), at.height()), Qt::AlignLeft | Qt::AlignVCenter,
                                 QStringLiteral("→ ") + hint);
            }
        }
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::StyleChange) {
            sign_ = QIcon();
        }
        QWidget::changeEvent(event);
    }

private:
    // Looked up when the first warning is drawn, not with the window's first frame: the style finds it in the
    // icon themes, which takes longer than painting the rest of the window.
    const QIcon& WarningSign() {
        if (sign_.isNull()) {
            sign_ = style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this);
        }
        return sign_;
    }

    QPlainTextEdit& pane_;
    QIcon sign_;
};

} // namespace

int CountWarnings(const QString& logText) {
    int count = 0;
    for (const QStringView line : QStringView(logText).split(QLatin1Char('\n'))) {
        count += line.startsWith(kWarningPrefix) ? 1 : 0;
    }
    return count;
}

QString WarningCountText(int count) {
    if (count <= 0) {
        return QString();
    }
    return count == 1 ? QStringLiteral("⚠ 1 warning") : QStringLiteral("⚠ %1 warnings").arg(count);
}

QString WarningHint(const QString& line) {
    if (!IsWarning(line) || line.contains(QStringLiteral("File ›"))) {
        return QString();
    }
    // The parts of the engine's warning texts that tell which setting is at fault, and where that setting is.
    struct Hint {
        const char* phrase;
        const char* where;
    };
    static const Hint kHints[] = {
        {"choose the Excellon reading", "File › Drill file format…"},
        {"act in the Excellon reading only", "File › Drill file format…"},
        {"the tool-change block", "the tool-change boxes, or File › Controller…"},
        {"does not accept", "File › Controller…"},
        {"reads at most", "File › Controller…"},
        {"more program lines longer than", "File › Controller…"},
        {"before any F word", "File › Controller…"},
        {" drills to Z", "z down (or the tool's depth)"},
        {" retracts to Z", "z up and z down"},
        {"the drilled area is", "Divisor, or File › Drill file format…"},
        {"is missing from the program", "File › Drill file format…"},
        {"that the drill file does not ask for", "File › Drill file format…"},
        {"asks for no such path", "File › Drill file format…"},
        {"differences between the program and the drill file", "File › Drill file format…"},
    };
    for (const Hint& hint : kHints) {
        if (line.contains(QString::fromUtf8(hint.phrase))) {
            return QString::fromUtf8(hint.where);
        }
    }
    return QString();
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor WarningColour(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    // A dark amber on light panes, a light one on dark panes; darkened or lightened until it reads.
    const bool dark = Luminance(base) < 0.18;
    QColor colour = dark ? QColor(255, 183, 77) : QColor(176, 64, 0);
    for (int step = 0; step < 20 && ContrastRatio(colour, base) < 4.5; ++step) {
        colour = dark ? colour.lighter(115) : colour.darker(115);
    }
    return colour;
}

LogDecoration::LogDecoration(QPlainTextEdit& pane, QLabel* count) : QObject(&pane), pane_(pane), count_(count) {
    new WarningHighlighter(pane.document(), pane);
    auto* marks = new WarningMarks(pane);
    connect(pane.document(), &QTextDocument::contentsChanged, this, [this, marks] {
        Recount();
        marks->update();
    });
    for (QScrollBar* bar : {pane.verticalScrollBar(), pane.horizontalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, marks, [marks] { marks->update(); });
    }
    Recount();
}

void LogDecoration::Recount() {
    const int count = CountWarnings(pane_.toPlainText());
    // An empty label has no text to colour: its style sheet waits for the first warning, as a style sheet costs a
    // start a style of its own.
    if (count_ != nullptr && (count > 0 || !count_->styleSheet().isEmpty())) {
        count_->setText(WarningCountText(count));
        // The label stands on the window's colour, not on a text pane's.
        QPalette colours = count_->palette();
        QPalette against = colours;
        against.setColor(QPalette::Base, colours.color(QPalette::Window));
        // A style sheet, as a menu bar's style may draw its children's text in a colour of its own.
        count_->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(WarningColour(against).name()));
    }
    if (count != warnings_) {
        warnings_ = count;
        emit WarningCountChanged(count);
    }
}

} // namespace korvex::ui

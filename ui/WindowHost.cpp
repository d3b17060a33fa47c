#include "ui/WindowHost.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/MessageBox.h"
#include "ui/TfrmKorvex.h"

namespace korvex::ui {

namespace {

// Unifies the line breaks of 8-bit text into the widget's '\n'.
QString WidgetLineBreaks(const QString& text, bool lfCrIsOneBreak) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool hasNext = i + 1 < text.size();
        if (c == u'\r') {
            if (hasNext && text.at(i + 1) == u'\n') {
                ++i;
            }
            result += u'\n';
        } else if (c == u'\n') {
            if (lfCrIsOneBreak && hasNext && text.at(i + 1) == u'\r') {
                ++i;
            }
            result += u'\n';
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

QString MultiLineText(const QPlainTextEdit& widget) {
    QString text = widget.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

QString FromHostText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToHostText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

std::string MultiLineToHostText(const QString& text) {
    QString crlf = text;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    return ToHostText(crlf);
}

QString MultiLineFromHostText(const std::string& text) {
    return WidgetLineBreaks(FromHostText(text), false);
}

std::vector<std::string> TextLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (lines.back().isEmpty()) {
        lines.removeLast();
    }
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(lines.size()));
    for (const QString& line : lines) {
        result.push_back(ToHostText(line));
    }
    return result;
}

void AppendLogLine(QPlainTextEdit& pane, const QString& line) {
    QTextCursor cursor(pane.document());
    cursor.movePosition(QTextCursor::End);
    const QString text = WidgetLineBreaks(line, false);
    if (pane.document()->lastBlock().text().isEmpty()) {
        cursor.insertText(text + u'\n');
    } else {
        cursor.insertText(u'\n' + text);
    }
    pane.setTextCursor(cursor);
    pane.ensureCursorVisible();
}

void SetLogText(QPlainTextEdit& pane, const std::string& text) {
    pane.setPlainText(WidgetLineBreaks(FromHostText(text), true));
}

std::string WindowHost::FieldText(conversion::Field field) const {
    return ToHostText(window_.TextField(field)->text());
}

void WindowHost::SetDividerText(const std::string& text) {
    window_.TextField(conversion::Field::Divisor)->setText(FromHostText(text));
}

bool WindowHost::SuppressLeadingZerosChecked() const {
    return window_.chkSuppressLeadingZeros->isChecked();
}

std::vector<std::string> WindowHost::MacroLines(conversion::HostMacro macro) const {
    const QPlainTextEdit* block = macro == conversion::HostMacro::Before ? window_.meTxBefore : window_.meTxAfter;
    return TextLines(MultiLineText(*block));
}

void WindowHost::AppendLogLine(const std::string& line) {
    ui::AppendLogLine(*window_.meOutput, FromHostText(line));
}

std::string WindowHost::LogText() const {
    return MultiLineToHostText(MultiLineText(*window_.meOutput));
}

void WindowHost::SetLogText(const std::string& text) {
    ui::SetLogText(*window_.meOutput, text);
}

void WindowHost::ShowNumericalError(const std::string& message) {
    platform::ShowNumericalErrorBox(FromHostText(message));
}

std::unique_ptr<platform::TextLineWriter> WindowHost::CreateOutput(const std::string& name,
                                                                   const platform::TextLineReader& input) {
    window_.BeforeOutputIsWritten(name);
    return ConversionHost::CreateOutput(name, input);
}

namespace {

class ProgramTextWriter final : public platform::TextLineWriter {
public:
    explicit ProgramTextWriter(std::string& program) : program_(program) {}
    void WriteLine(std::string_view text) override {
        program_.append(text);
        program_.append("\r\n");
    }
    void WriteLines(std::string_view linesWithCrLf) override { program_.append(linesWithCrLf); }
    void Close() override {}

private:
    std::string& program_;
};

} // namespace

QString RunFailureReason(const std::string& logBefore, const std::string& logAfter) {
    // Lines compared without the blanks and stray CRs around them: the run joins its open failures to the
    // earlier text with LF CR.
    const auto lines = [](const std::string& log) {
        QStringList result;
        for (const std::string& line : TextLines(FromHostText(log))) {
            result.append(FromHostText(line).trimmed());
        }
        return result;
    };
    QStringList earlier = lines(logBefore);
    QStringList added;
    for (const QString& line : lines(logAfter)) {
        if (!earlier.removeOne(line) && !line.isEmpty()) {
            added.append(line);
        }
    }
    for (const QString& line : added) {
        if (line.startsWith(QStringLiteral("can not"), Qt::CaseInsensitive) ||
            line.contains(QStringLiteral("not specified"), Qt::CaseInsensitive) ||
            line.contains(QStringLiteral("error"), Qt::CaseInsensitive)) {
            return line;
        }
    }
    return added.isEmpty() ? QStringLiteral("the conversion did not finish") : added.front();
}

std::string PreviewHost::FieldText(conversion::Field field) const {
    // Any name will do for a program that is never written; the field may still say "please specify".
    return field == conversion::Field::OutputFileName ? std::string("preview") : fields_.FieldText(field);
}

void PreviewHost::AppendLogLine(const std::string& line) {
    if (!log_.empty()) {
        log_ += "\r\n";
    }
    log_ += line;
}

void PreviewHost::ShowNumericalError(const std::string& message) {
    if (numericalError_.empty()) {
        numericalError_ = message;
    }
}

std::unique_ptr<platform::TextLineWriter> PreviewHost::CreateOutput(const std::string&,
                                                                    const platform::TextLineReader&) {
    program_.clear();
    return std::make_unique<ProgramTextWriter>(program_);
}

} // namespace korvex::ui

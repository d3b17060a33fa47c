// The conversion run's view of the main window: it reads the fields as they stand and writes into the log
// pane. Texts cross between the window and the engine in the locale's 8-bit encoding.
#pragma once

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "conversion/ConversionHost.h"

class QPlainTextEdit;

namespace korvex::ui {

class TfrmKorvex;

// 8-bit text of the engine and the settings <-> text of a widget.
QString FromHostText(const std::string& text);
std::string ToHostText(const QString& text);

// A multi-line text as the engine and the settings files see it: lines separated by CR LF.
std::string MultiLineToHostText(const QString& text);
// Every CR LF, lone CR and lone LF becomes one line break of the widget.
QString MultiLineFromHostText(const std::string& text);

// A multi-line widget's text with '\n' between its lines; unlike toPlainText() it keeps non-breaking spaces.
QString MultiLineText(const QPlainTextEdit& widget);

// The lines of a multi-line text; a final empty line after the last line break is not a line.
std::vector<std::string> TextLines(const QString& text);

// The log pane. Appending puts the line after the last line, as a list of lines would; a pane that ends
// with a line break (its last line empty) gets the new line in place of that empty line.
void AppendLogLine(QPlainTextEdit& pane, const QString& line);
// Replacing the whole text takes LF CR as one line break, besides CR LF, CR and LF: the run puts its open
// failures in front of the earlier text with that separator.
void SetLogText(QPlainTextEdit& pane, const std::string& text);

// Why a run did not finish, from the log before and after it: the first line the run added that names a failure
// (the run puts open failures in front of the earlier text), else the first line it added.
QString RunFailureReason(const std::string& logBefore, const std::string& logAfter);

class WindowHost final : public conversion::ConversionHost {
public:
    explicit WindowHost(TfrmKorvex& window) : window_(window) {}

    std::string FieldText(conversion::Field field) const override;
    void SetDividerText(const std::string& text) override;
    bool SuppressLeadingZerosChecked() const override;
    std::vector<std::string> MacroLines(conversion::HostMacro macro) const override;

    void AppendLogLine(const std::string& line) override;
    std::string LogText() const override;
    void SetLogText(const std::string& text) override;

    void ShowNumericalError(const std::string& message) override;

    // Keeps a program chosen with "Output File" as its backup first (TfrmKorvex::BeforeOutputIsWritten).
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override;

private:
    TfrmKorvex& window_;
};

// The run for the preview of a drill file before it is converted: the window's fields and boxes as they stand,
// but the program goes into memory, the log and any numerical error stay here, and the window is not touched.
class PreviewHost final : public conversion::ConversionHost {
public:
    explicit PreviewHost(TfrmKorvex& window) : fields_(window) {}

    std::string FieldText(conversion::Field field) const override;
    void SetDividerText(const std::string&) override {}
    bool SuppressLeadingZerosChecked() const override { return fields_.SuppressLeadingZerosChecked(); }
    std::vector<std::string> MacroLines(conversion::HostMacro macro) const override {
        return fields_.MacroLines(macro);
    }

    void AppendLogLine(const std::string& line) override;
    std::string LogText() const override { return log_; }
    void SetLogText(const std::string& text) override { log_ = text; }

    void ShowNumericalError(const std::string& message) override;

    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override;

    // The program as the run wrote it, lines ending in CR LF.
    const std::string& Program() const { return program_; }
    // The first numerical error's message, empty when there was none.
    const std::string& NumericalError() const { return numericalError_; }

private:
    WindowHost fields_;
    std::string log_;
    std::string program_;
    std::string numericalError_;
};

} // namespace korvex::ui

// The run's host for the command line: fields come from options, the log goes to a stream.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "conversion/ConversionHost.h"

namespace korvex::conversion {

// Splits a tool-change block into its lines: CR LF, LF and a lone CR each end a line; a final empty line
// after the last line break is no line.
std::vector<std::string> SplitBlockLines(const std::string& text);

class ConsoleHost : public ConversionHost {
public:
    // `log` receives the log lines unless quiet; failures and warnings ("Warning: " lines) are written to it
    // in any case.
    ConsoleHost(std::ostream& log, bool quiet);

    void SetField(Field field, std::string text) { fields_[field] = std::move(text); }
    void SetMacroText(HostMacro macro, const std::string& text) { macros_[macro] = text; }
    void SetSuppressLeadingZeros(bool checked) { suppressLeadingZeros_ = checked; }

    std::string FieldText(Field field) const override;
    void SetDividerText(const std::string& text) override { fields_[Field::Divisor] = text; }
    bool SuppressLeadingZerosChecked() const override { return suppressLeadingZeros_; }
    std::vector<std::string> MacroLines(HostMacro macro) const override;
    void AppendLogLine(const std::string& line) override;
    std::string LogText() const override { return log_; }
    void SetLogText(const std::string& text) override;
    void ShowNumericalError(const std::string& message) override;
    std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                           const platform::TextLineReader& input) override;

    // True once a failure or warning reached the stream.
    bool ReportedProblem() const { return reportedProblem_; }

protected:
    // Takes the run's log as SetLogText does, without showing the new line: for a host that reports that
    // failure in words of its own.
    void KeepLogText(const std::string& text) {
        log_ = text;
        reportedProblem_ = true;
    }

private:
    std::ostream& stream_;
    bool quiet_;
    bool suppressLeadingZeros_ = false;
    bool reportedProblem_ = false;
    std::map<Field, std::string> fields_;
    std::map<HostMacro, std::string> macros_;
    std::string log_;
};

} // namespace korvex::conversion

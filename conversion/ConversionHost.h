// What the conversion run needs of its window. The Qt window and korvex-cli are two hosts of one run.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/Field.h"
#include "platform/TextFile.h"

namespace korvex::conversion {

enum class HostMacro { Before, After };

class ConversionHost {
public:
    virtual ~ConversionHost();

    // The field's text as it stands, untrimmed (8-bit text).
    virtual std::string FieldText(Field field) const = 0;
    // The run sets the divisor field to "1" when the divisor is 0.
    virtual void SetDividerText(const std::string& text) = 0;
    virtual bool SuppressLeadingZerosChecked() const = 0;
    // The lines of a tool-change block in order; a final empty line after the last line break is no line.
    virtual std::vector<std::string> MacroLines(HostMacro macro) const = 0;

    virtual void AppendLogLine(const std::string& line) = 0;
    virtual std::string LogText() const = 0;
    virtual void SetLogText(const std::string& text) = 0;

    // The "Numerical Error" box: no owner, no icon, one OK; returns when the user has closed it.
    virtual void ShowNumericalError(const std::string& message) = 0;

    // Creates the output program; nullptr when it cannot be created. The default makes a file that must
    // not be the input file.
    virtual std::unique_ptr<platform::TextLineWriter> CreateOutput(const std::string& name,
                                                                   const platform::TextLineReader& input);
    // Opens the drill file; nullptr when it cannot be opened.
    virtual std::unique_ptr<platform::TextLineReader> OpenInput(const std::string& name);

    // Reads a settings field: on a bad text it shows "Cant convert " + text under "Numerical Error" and
    // gives nothing, so the run can stop instead of going on with a value the user never gave.
    std::optional<double> TextToReal(const std::string& text);
};

} // namespace korvex::conversion

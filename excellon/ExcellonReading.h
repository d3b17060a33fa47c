// The Excellon-aware reading of a run: the drill file's own format decides what its numbers mean, slots and
// routes are milled, and Excellon's codes become comments. The program looks like the plain reading's.
#pragma once

#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "excellon/DrillFileReport.h"
#include "excellon/Format.h"

namespace korvex::excellon {

class ExcellonReading : public conversion::BodyReading {
public:
    explicit ExcellonReading(const ReadingChoice& choice) : choice_(choice) {}

    // Logs the format found and that the divisor does not apply, then writes the program. Throws
    // conversion::ConversionError naming the line for a number it cannot read (state.InputLine is that line
    // then), and "no drill data in FILE" for a file without a tool, hole, slot or route.
    void Convert(conversion::ConversionState& state, conversion::ConversionHost& host, platform::TextLineReader& input,
                 platform::TextLineWriter& output, const std::string& zUpWord) override;

    // The format of the last run's file.
    const Format& DetectedFormat() const { return format_; }

    // The last run's "Warning: " lines (header lines it did not know), for the log after the run.
    const std::vector<std::string>& Warnings() const { return warnings_; }

private:
    ReadingChoice choice_;
    Format format_;
    std::vector<std::string> warnings_;
};

} // namespace korvex::excellon

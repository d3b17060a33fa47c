// The Excellon-aware reading of a run: the drill file's own format decides what its numbers mean, slots and
// routes are milled, and Excellon's codes become comments. The program looks like the plain reading's.
#pragma once

#include <string>

#include "conversion/ConversionState.h"
#include "excellon/DrillFileReport.h"
#include "excellon/Format.h"

namespace korvex::excellon {

class ExcellonReading : public conversion::BodyReading {
public:
    explicit ExcellonReading(const ReadingChoice& choice) : choice_(choice) {}

    // Logs the format found and that the divisor does not apply, then writes the program. Throws
    // conversion::ConversionError naming the line for a number it cannot read.
    void Convert(conversion::ConversionState& state, conversion::ConversionHost& host, platform::TextLineReader& input,
                 platform::TextLineWriter& output, const std::string& zUpWord) override;

    // The format of the last run's file.
    const Format& DetectedFormat() const { return format_; }

private:
    ReadingChoice choice_;
    Format format_;
};

} // namespace korvex::excellon

// One conversion as the front ends start it: the chosen reading of the drill file, the drill order, and the
// steps after writing (summary, checks, verification). With default options it is the plain run, byte for
// byte, and its log gains only the lines the added steps report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "conversion/RunConversion.h"
#include "excellon/Inspect.h"

namespace korvex::conversion {
class ConversionHost;
struct ConversionState;
} // namespace korvex::conversion

namespace korvex::job {

struct JobOptions {
    // -- The drill file's reading --
    // The plain reading (divisor) unless reading.excellon; then the file's own format with the fixed values.
    excellon::ReadingChoice reading;

    // -- Drill order --

    // -- Controller and verification --
};

struct JobReport {
    conversion::RunOutcome outcome = conversion::RunOutcome::EndedEarly;

    // -- What the added steps found --
    // What the run wrote (the summary line), and the plain reading's warnings as logged.
    std::size_t holes = 0;
    std::size_t slots = 0;
    std::size_t routes = 0;
    std::vector<std::string> warnings;
};

// Runs the conversion with the host's fields and `options`. Errors leave as RunConversion throws them.
JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options);

} // namespace korvex::job

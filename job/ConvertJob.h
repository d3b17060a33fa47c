// One conversion as the front ends start it: the chosen reading of the drill file, the drill order, and the
// steps after writing (summary, checks, verification). With default options it is the plain run, byte for
// byte, and its log gains only the lines the added steps report.
#pragma once

#include <memory>
#include <string>

#include "conversion/RunConversion.h"
#include "order/DrillOrder.h"

namespace korvex::conversion {
class ConversionHost;
struct ConversionState;
} // namespace korvex::conversion

namespace korvex::job {

struct JobOptions {
    // -- The drill file's reading --

    // -- Drill order --
    korvex::order::DrillOrder order = korvex::order::DrillOrder::File;

    // -- Controller and verification --
};

struct JobReport {
    conversion::RunOutcome outcome = conversion::RunOutcome::EndedEarly;

    // -- What the added steps found --

    // Drill order (short only): the rapid travel in mm in the drill file's order and as written, and the time
    // the ordering took in seconds.
    double fileOrderTravel = 0.0;
    double drillOrderTravel = 0.0;
    double drillOrderSeconds = 0.0;
};

// Runs the conversion with the host's fields and `options`. Errors leave as RunConversion throws them.
JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options);

} // namespace korvex::job

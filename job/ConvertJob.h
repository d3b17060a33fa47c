// One conversion as the front ends start it: the chosen reading of the drill file, the drill order, and the
// steps after writing (summary, checks, verification). With default options it is the plain run, byte for
// byte, and its log gains only the lines the added steps report.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "conversion/RunConversion.h"
#include "excellon/BoardOptions.h"
#include "excellon/DrillFileReport.h"
#include "gcode/ControllerPreset.h"
#include "gcode/MachineTime.h"
#include "gcode/Verification.h"
#include "order/DrillOrder.h"

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
    korvex::order::DrillOrder order = korvex::order::DrillOrder::File;

    // -- The board (the Excellon reading only) --
    // Further drill files, gathered tools, the drill rack, the side and the origin; the defaults change nothing.
    excellon::BoardOptions board;

    // -- Controller and verification --
    // The controller the program is for: its checks (feed rate, codes it refuses) run only when one is chosen.
    gcode::Controller controller = gcode::Controller::None;
    // GRBL only: how the program changes tools. Split writes one program per tool beside the output
    // (PartPath) as well as the whole program.
    gcode::GrblToolChange grblToolChange = gcode::GrblToolChange::Pause;
    // Read the written program back and compare it with the drill file ("Verified: ..." or the differences).
    bool verify = false;
    // How the holes are drilled: plain moves, or the controller's canned cycle with its words.
    conversion::DrillCycle cycle;

    // -- Machine time --
    // The machine the "Machine time: " line after the summary times the written program with.
    gcode::MachineModel machine;

    // -- Preview --
    // Where to write the picture of the written program as SVG; empty for none.
    std::string svgPath;
    // Keep the tool diameters the drill file gives, for a preview drawn later.
    bool collectToolDiameters = false;
};

struct JobReport {
    conversion::RunOutcome outcome = conversion::RunOutcome::EndedEarly;

    // -- What the added steps found --
    // What the run wrote (the summary line), and the warnings as logged: the plain reading's, then the checks'.
    std::size_t holes = 0;
    std::size_t slotCount = 0; // not "slots": Qt defines that word as a macro
    std::size_t routes = 0;
    std::vector<std::string> warnings;
    gcode::VerificationResult verification; // ran only with JobOptions::verify

    // Drill order (short only): the rapid travel in mm in the drill file's order and as written, and the time
    // the ordering took in seconds.
    double fileOrderTravel = 0.0;
    double drillOrderTravel = 0.0;
    double drillOrderSeconds = 0.0;

    // -- Machine time --
    // The written program on options.machine; with the short order also the drill file's order (it differs
    // only in the rapid travel between holes).
    gcode::MachineTime machineTime;
    double fileOrderMachineSeconds = 0.0;

    // -- Preview --
    // The programs written with GrblToolChange::Split, one per tool.
    std::vector<std::string> partPaths;

    // Tool diameters in mm by tool number (with collectToolDiameters or svgPath).
    std::map<std::int32_t, double> toolDiameters;
    // Why the picture could not be written; empty when it was, or none was asked for.
    std::string svgError;
};

// Runs the conversion with the host's fields and `options`. Errors leave as RunConversion throws them; further
// drill files without the Excellon reading are refused before anything is written.
JobReport ConvertJob(conversion::ConversionState& state, conversion::ConversionHost& host, const JobOptions& options);

} // namespace korvex::job

// The drill file as the Excellon reading understands it, read in memory without writing a program: what the
// default reading's cross-check and the verification compare against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/RunObserver.h"
#include "excellon/DrillFileReport.h"
#include "excellon/Format.h"

namespace korvex::excellon {

struct DrillWork {
    struct Hole {
        std::int32_t tool = -1;
        double x = 0.0; // mm, without the run's offsets
        double y = 0.0;
    };

    bool readable = false; // false: `error` says why
    std::string error;
    Format format;
    std::vector<Hole> holes;                  // in file order
    std::vector<conversion::PathEvent> paths; // slots and routes in file order, tools filled in
    std::size_t tools = 0;                    // distinct tools the file defines or selects

    bool Empty() const { return tools == 0 && holes.empty() && paths.empty(); }
};

// Reads `lines` (numbered from 1) with the format DetectFormat finds for `choice` and `drillPath` (a sidecar
// beside it counts). Never throws: a file the reading cannot read comes back with readable false.
DrillWork ReadDrillWork(const std::vector<std::string>& lines, const ReadingChoice& choice,
                        const std::string& drillPath);

// "inch 2:4 TZ (header, comment)": units, digits and zeros, then the distinct sources in that order.
std::string ReadAs(const Format& format);

} // namespace korvex::excellon

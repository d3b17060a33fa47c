// The Excellon-aware reading of a run: the drill file's own format decides what its numbers mean, slots and
// routes are milled, and Excellon's codes become comments. The program looks like the plain reading's.
//
// The whole file is read before anything is written, so all the work of one tool is drilled in one run and a
// board's further drill files, drill rack and side can shape the program. A file that selects each tool once,
// without board options, is written in its own order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "conversion/ConversionState.h"
#include "excellon/BoardOptions.h"
#include "excellon/DrillFileReport.h"
#include "excellon/Format.h"

namespace korvex::excellon {

class ExcellonReading : public conversion::BodyReading {
public:
    explicit ExcellonReading(const ReadingChoice& choice, BoardOptions board = {})
        : choice_(choice), board_(std::move(board)) {}

    // Logs the format found and that the divisor does not apply, then writes the program. Throws
    // conversion::ConversionError naming the line for a number it cannot read (state.InputLine is that line
    // then), and "no drill data in FILE" for a file without a tool, hole, slot or route. A further drill file
    // that cannot be read fails the run with a message naming it.
    void Convert(conversion::ConversionState& state, conversion::ConversionHost& host, platform::TextLineReader& input,
                 platform::TextLineWriter& output, const std::string& zUpWord) override;

    // The format of the last run's file.
    const Format& DetectedFormat() const { return format_; }

    // The last run's "Warning: " lines (header lines it did not know), for the log after the run.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // The tool number the last run's program drills `tool` of file `file` with (0: the input file, then the
    // further files in order): gathered, renumbered or put on a bit. `tool` itself where the run did not see it.
    std::int32_t ProgramTool(std::size_t file, std::int32_t tool) const;
    // The tool of the alignment holes, -1 when the last run drilled none.
    std::int32_t AlignmentTool() const { return alignmentTool_; }

private:
    ReadingChoice choice_;
    BoardOptions board_;
    Format format_;
    std::vector<std::string> warnings_;
    std::map<std::pair<std::size_t, std::int32_t>, std::int32_t> programTools_;
    std::int32_t alignmentTool_ = -1;
};

} // namespace korvex::excellon

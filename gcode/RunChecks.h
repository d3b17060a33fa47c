// Checks on a finished run that catch what a machine operator would otherwise find at the machine: a depth
// that drills nothing, a drilled area no board has (a wrong divisor), and, once a controller is chosen, lines
// that controller refuses. Each finding is one "Warning: " line; a sound run gives none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/RunObserver.h"
#include "gcode/ControllerPreset.h"
#include "gcode/GcodeReader.h"

namespace korvex::conversion {
struct ConversionState;
}

namespace korvex::gcode {

// The extent of everything the run drills and mills, and which tools it uses; kept small for any file size.
class RunShape : public conversion::RunObserver {
public:
    void OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void WatchHoles(conversion::ConversionState& state, const conversion::HoleEvent* holes, std::size_t count) override;
    void OnPath(const conversion::PathEvent& path) override;

    std::size_t Count() const { return count_; }
    double Width() const { return count_ == 0 ? 0.0 : maxX_ - minX_; }
    double Height() const { return count_ == 0 ? 0.0 : maxY_ - minY_; }
    // Tools 0..98 in the order first used; -1 stands for work before any tool selection.
    const std::vector<std::int32_t>& Tools() const { return tools_; }

private:
    void Include(double x, double y);
    void Use(std::int32_t tool);

    std::size_t count_ = 0;
    double minX_ = 0.0;
    double maxX_ = 0.0;
    double minY_ = 0.0;
    double maxY_ = 0.0;
    std::vector<std::int32_t> tools_;
};

// Follows the program line by line as it is written (the run may write to standard output, where nothing
// can be read back) and notes what the chosen controller would refuse.
class ProgramScan {
public:
    // `blockLines`: the tool-change blocks' lines, which the checks judge on their own.
    ProgramScan(Controller controller, std::vector<std::string> blockLines)
        : controller_(controller), blockLines_(std::move(blockLines)) {}

    // The program is for a sender that handles M6 itself and never passes it on: M6 is not refused.
    void LeaveM6ToSender() { m6ToSender_ = true; }

    void Line(std::string_view line);

    struct Finding {
        std::size_t line = 0;
        std::string what; // "M47", "word E", "92 characters"
    };
    // The first feed move (G01/G02/G03) before any F word; 0 when there is none.
    std::size_t FirstFeedWithoutRate() const { return reader_.Result().firstFeedWithoutRate; }
    const std::vector<Finding>& Refused() const { return refused_; } // the first few
    std::size_t RefusedCount() const { return refusedCount_; }
    const std::vector<Finding>& TooLong() const { return tooLong_; } // the first few
    std::size_t TooLongCount() const { return tooLongCount_; }

private:
    Controller controller_;
    std::vector<std::string> blockLines_;
    bool m6ToSender_ = false;
    std::size_t line_ = 0;
    ProgramReader reader_{ReadOptions{0.0, false, false}}; // modes and words only: nothing kept per move
    std::vector<Finding> refused_;
    std::size_t refusedCount_ = 0;
    std::vector<Finding> tooLong_;
    std::size_t tooLongCount_ = 0;
};

// The Z check's and area check's view of a run.
struct CheckInput {
    double zUp = 0.0; // the run's retract and drilling words, as written
    double zDown = 0.0;
    bool runWordsUsed = true; // false when every tool used drills with words of its own
    // Tools whose header entry drills with other words: tool, z up, z down.
    struct ToolZ {
        std::int32_t tool = -1;
        double zUp = 0.0;
        double zDown = 0.0;
    };
    std::vector<ToolZ> toolZ;
    double divisor = 1.0;
    // The area check's advice: the Excellon reading has units and digits to fix, not a divisor; the default
    // reading a divisor only where the cross-check found one that gives the Excellon reading's places.
    bool excellonReading = false;
    std::optional<double> confirmedDivisor;
    const RunShape* shape = nullptr;
    Controller controller = Controller::None;
    std::vector<std::string> macroBefore;
    std::vector<std::string> macroAfter;
    bool lineNumbers = true;
    const ProgramScan* scan = nullptr; // null without a controller
    bool m6ToSender = false;           // as ProgramScan::LeaveM6ToSender
};

// Fills the Z values of `input` from the state after a run: the run's words and those tools of `shape` whose
// own entry differs. The words are "Z-2.0" texts as the program holds them.
void ReadZWords(const conversion::ConversionState& state, const RunShape& shape, CheckInput& input);

// The warning lines, in a fixed order: depth, area, feed rate, tool-change blocks, program lines.
std::vector<std::string> RunChecks(const CheckInput& input);

} // namespace korvex::gcode

// Compares what a written program drills and mills with what the drill file asked for. The expected side is
// the drill file as an Excellon read of its own gives it, independent of the reading that wrote the program;
// the program side is the program read back from disk, so a fault anywhere between the file and the program
// shows up, a misread of the file included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conversion/RunObserver.h"
#include "gcode/GcodeReader.h"

namespace korvex::gcode {

// Positions closer than this are the same: the program writes three decimals.
constexpr double kVerifyTolerance = 0.0015;

// What the drill file asked for, in the events a run reports.
class ExpectedWork : public conversion::RunObserver {
public:
    struct Hole {
        std::int32_t tool = -1;
        double x = 0.0;
        double y = 0.0;
    };

    void OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void OnPath(const conversion::PathEvent& path) override;
    void OnToolDiameter(std::int32_t tool, double diameterMm) override;

    const std::vector<Hole>& Holes() const { return holes_; }
    const std::vector<conversion::PathEvent>& Paths() const { return paths_; }
    // Diameters in mm by tool, as the drill file defines them (0 where it does not).
    const std::vector<double>& ToolDiameters() const { return diameters_; }

private:
    std::vector<Hole> holes_;
    std::vector<conversion::PathEvent> paths_;
    std::vector<double> diameters_;
};

struct Difference {
    enum class Kind { MissingHole, ExtraHole, MissingPath, ExtraPath };
    Kind kind = Kind::MissingHole;
    conversion::PathKind pathKind = conversion::PathKind::Slot; // for MissingPath: what the file asked for
    std::int32_t tool = -1;
    double x = 0.0; // the hole, or the path's start
    double y = 0.0;
    double endX = 0.0; // paths only: where the path ends
    double endY = 0.0;
};

struct VerificationResult {
    bool ran = false;       // false when the program could not be read back (standard output, no file)
    std::string skipReason; // why, when it did not run
    // What the drill file asked for. (Not "slots": Qt's keyword of that name must not meet this header.)
    std::size_t holeCount = 0;
    std::size_t slotCount = 0;
    std::size_t routeCount = 0;
    std::vector<Difference> differences; // sorted by position; at most kMaxKeptDifferences
    std::size_t differenceCount = 0;     // all of them
    std::string readAs;                  // how the drill file was read, "inch 2:4 TZ (header, comment)"
    bool Passed() const { return ran && differenceCount == 0; }
};

constexpr std::size_t kMaxKeptDifferences = 10000;

// How a program drills with the drills the user owns: tools of the drill file that one bit drills are one tool
// to the comparison, and a hole milled by the end mill is the hole it makes. Tools are numbered as both sides
// give them (the expected side may already name each hole by the tool the program drills it with).
struct DrillMapping {
    // The bit each tool is drilled with; a tool named in neither map is compared by its number.
    std::map<std::int32_t, std::size_t> bitOf;
    // The tools whose holes the end mill makes, with the hole's diameter in mm (NaN: any diameter). They are
    // one tool to the comparison, whatever number the program mills them with.
    std::map<std::int32_t, double> milled;
    // With an end mill, a milled circle (CircleOf) of a tool is a hole of that tool, this much wider than the
    // cutter's centre line, where the drill file asks for such a hole.
    std::optional<double> endMillMm;
};

// Compares as multisets: every expected hole needs a drilled hole of the same tool within the tolerance, and
// every expected path a milled path of the same tool with the same pieces. With `mapping`, "the same tool" is
// the same bit (or, for milled tools, the end mill), and a milled hole's diameter must agree to 0.005 mm.
VerificationResult Verify(const ExpectedWork& expected, const Program& program, const DrillMapping* mapping = nullptr);

// The log lines for a result: "Verified against the drill file read as ...: ..." when it passed, otherwise "Warning: "
// lines for the first `shown` differences by position and one line for the rest; the skip reason when it did not run.
std::vector<std::string> VerificationLogLines(const VerificationResult& result, std::size_t shown = 5);

} // namespace korvex::gcode

// What turns one drill file into a board job in the Excellon reading: further drill files drilled in the same
// program, how tools are gathered and ordered, the drills the user owns, the side drilled and where the board's
// origin lies. Every default leaves the program as the Excellon reading writes it for one file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvex::excellon {

enum class ToolOrder { File, Diameter };
enum class MirrorAxis { None, X, Y };
enum class BoardOrigin { File, LowerLeft, Center };

// One drill the user owns.
struct RackBit {
    double diameterMm = 0.0;
    std::string name; // optional; the log and the tool-change comment use it where given
};

// The drills the user owns. Empty (no bits, no end mill): every tool is drilled as the file gives it.
struct DrillRack {
    std::vector<RackBit> bits;
    double toleranceMm = 0.05;
    std::optional<double> endMillMm; // mills holes larger than the largest bit + tolerance

    bool Empty() const { return bits.empty() && !endMillMm; }
};

struct BoardPlacement {
    // The board's extents are moved so that this point lands on 0,0 before the run's offsets apply.
    BoardOrigin origin = BoardOrigin::File;
    // Drilled from the back: X (or Y) mirrored about the line X = mirrorAt (Y = mirrorAt); without mirrorAt,
    // the middle of the board's extents in that axis (after the origin moved it).
    MirrorAxis mirror = MirrorAxis::None;
    std::optional<double> mirrorAt;
    // Two holes of this diameter on the mirror axis, outside the board, identical on both sides.
    std::optional<double> alignmentHoleMm;

    bool Identity() const { return origin == BoardOrigin::File && mirror == MirrorAxis::None && !alignmentHoleMm; }
};

struct BoardOptions {
    // Drilled in the same program after the input file, in this order.
    std::vector<std::string> moreFiles;
    // All the work of one tool in one run, repeated selections merged, tools of equal diameter in one change.
    // Also on with keepTools, the diameter order, further files or a rack; off, each selection keeps its change.
    bool gatherTools = false;
    // Tools of equal diameter keep their own tool change (plated and non-plated holes, for instance).
    bool keepTools = false;
    ToolOrder toolOrder = ToolOrder::File;
    DrillRack rack;
    BoardPlacement placement;
};

} // namespace korvex::excellon

// Where the board lies on the machine: its origin moved to 0,0 and, drilled from the back, mirrored about an
// axis, with alignment holes for the pins it flips onto.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "excellon/BoardOptions.h"

namespace korvex::excellon {

// The board's extents in mm (holes, and the paths' points), before the run's offsets.
struct BoardExtents {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
};

// Moves and mirrors points and paths of one board the same way. A map holds numbers only, computed from the
// extents and the placement: the reading and the verification, given the same two, map every point alike.
class BoardMap {
public:
    BoardMap() = default; // the identity
    BoardMap(const BoardExtents& board, const BoardPlacement& placement);

    conversion::HolePosition Apply(double x, double y) const;
    // Every point and centre; a mirrored arc turns the other way.
    void Apply(conversion::PathEvent& path) const;
    bool Mirrors() const { return mirrorX_ || mirrorY_; }

private:
    double shiftX_ = 0.0;
    double shiftY_ = 0.0;
    bool mirrorX_ = false;
    bool mirrorY_ = false;
    double axis_ = 0.0;
};

// How far beyond the board's extents the alignment holes lie, in mm.
constexpr double kAlignmentHoleMarginMm = 5.0;

// The alignment holes of `placement` (none without alignmentHoleMm or a mirror): two on the mirror axis,
// kAlignmentHoleMarginMm beyond the board's two other edges, at the same place whichever side is drilled.
// `board` as before the map; the holes are where the program drills them (moved and mirrored already: not to
// be passed through the BoardMap again).
std::vector<conversion::HolePosition> AlignmentHoles(const BoardExtents& board, const BoardPlacement& placement);

// The words korvex-cli and the settings file use: "x", "y"; "file", "lower-left", "center".
std::optional<MirrorAxis> MirrorAxisFromName(std::string_view name);
std::optional<BoardOrigin> BoardOriginFromName(std::string_view name);
std::string_view BoardOriginName(BoardOrigin origin);

} // namespace korvex::excellon

// What the reading of a board and the verification of its program must agree on: the board's extents, from
// which the side's map and the alignment holes follow.
#pragma once

#include "conversion/RunObserver.h"
#include "excellon/BoardSide.h"

namespace korvex::excellon {

// Grows over holes and the points of paths (starts and segment ends), in mm before the run's offsets.
class BoardExtentsBuilder {
public:
    void Add(double x, double y);
    void Add(const conversion::PathEvent& path);
    bool Any() const { return any_; }
    const BoardExtents& Result() const { return extents_; }

private:
    BoardExtents extents_;
    bool any_ = false;
};

} // namespace korvex::excellon

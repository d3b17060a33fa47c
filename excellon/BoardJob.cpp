#include "excellon/BoardJob.h"

#include <algorithm>

namespace korvex::excellon {

void BoardExtentsBuilder::Add(double x, double y) {
    if (!any_) {
        extents_ = BoardExtents{x, y, x, y};
        any_ = true;
        return;
    }
    extents_.minX = std::min(extents_.minX, x);
    extents_.minY = std::min(extents_.minY, y);
    extents_.maxX = std::max(extents_.maxX, x);
    extents_.maxY = std::max(extents_.maxY, y);
}

void BoardExtentsBuilder::Add(const conversion::PathEvent& path) {
    Add(path.startX, path.startY);
    for (const conversion::PathSegment& segment : path.segments) {
        Add(segment.x, segment.y);
    }
}

} // namespace korvex::excellon

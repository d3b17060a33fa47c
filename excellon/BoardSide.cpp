#include "excellon/BoardSide.h"

namespace korvex::excellon {

BoardMap::BoardMap(const BoardExtents&, const BoardPlacement&) {}

conversion::HolePosition BoardMap::Apply(double x, double y) const {
    return conversion::HolePosition{x + shiftX_, y + shiftY_};
}

void BoardMap::Apply(conversion::PathEvent&) const {}

std::vector<conversion::HolePosition> AlignmentHoles(const BoardExtents&, const BoardPlacement&) {
    return {};
}

} // namespace korvex::excellon

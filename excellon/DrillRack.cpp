#include "excellon/DrillRack.h"

#include <cmath>

namespace korvex::excellon {

BitChoice ChooseBit(const DrillRack& rack, double holeMm) {
    BitChoice choice;
    if (rack.bits.empty()) {
        choice.kind = BitChoice::Kind::Mill;
        return choice;
    }
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < rack.bits.size(); ++i) {
        const double d = std::fabs(rack.bits[i].diameterMm - holeMm);
        const double best = std::fabs(rack.bits[nearest].diameterMm - holeMm);
        if (d < best || (d == best && rack.bits[i].diameterMm < rack.bits[nearest].diameterMm)) {
            nearest = i;
        }
    }
    choice.bit = nearest;
    return choice;
}

conversion::PathEvent MilledHole(double x, double y, double holeMm, double endMillMm) {
    conversion::PathEvent path;
    const double r = (holeMm - endMillMm) / 2;
    path.startX = x + r;
    path.startY = y;
    conversion::PathSegment circle;
    circle.kind = conversion::PathSegment::Kind::CounterClockwiseArc;
    circle.x = x + r;
    circle.y = y;
    circle.centerX = x;
    circle.centerY = y;
    path.segments.push_back(circle);
    return path;
}

} // namespace korvex::excellon

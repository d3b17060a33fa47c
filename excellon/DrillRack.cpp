#include "excellon/DrillRack.h"

#include <cmath>

namespace korvex::excellon {

namespace {

// Diameters come from decimal text (0.35 is not exactly 0.3 + 0.05): differences this small are equal, so a
// hole exactly at the tolerance's edge is inside it and a hole halfway between two bits is a tie.
constexpr double kSameMm = 1e-9;

// The program writes three decimals: a cutter path closer to the centre than this is no circle it can write.
constexpr double kSmallestMilledRadiusMm = 0.001;
// Rounding the start to three decimals and the arc's centre offset once more may move the circle outwards by
// up to 1.5 thousandths: the path keeps that far inside, so the hole never comes out larger than asked.
constexpr double kRoundingMarginMm = 0.0015;

} // namespace

BitChoice ChooseBit(const DrillRack& rack, double holeMm) {
    BitChoice choice;
    if (rack.bits.empty()) {
        choice.kind = BitChoice::Kind::Mill;
        return choice;
    }
    std::size_t nearest = 0;
    std::size_t smallest = 0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < rack.bits.size(); ++i) {
        const double d = rack.bits[i].diameterMm;
        const double gap = std::fabs(d - holeMm);
        const double best = std::fabs(rack.bits[nearest].diameterMm - holeMm);
        if (gap < best - kSameMm || (gap <= best + kSameMm && d < rack.bits[nearest].diameterMm)) {
            nearest = i;
        }
        if (d < rack.bits[smallest].diameterMm) {
            smallest = i;
        }
        if (d > rack.bits[largest].diameterMm) {
            largest = i;
        }
    }
    const double tolerance = rack.toleranceMm + kSameMm;
    if (std::fabs(rack.bits[nearest].diameterMm - holeMm) <= tolerance) {
        choice.bit = nearest;
        return choice;
    }
    if (holeMm > rack.bits[largest].diameterMm) {
        // An end mill wider than the hole would make it larger still than the largest bit leaves it small.
        if (rack.endMillMm && *rack.endMillMm <= holeMm + tolerance) {
            choice.kind = BitChoice::Kind::Mill;
            return choice;
        }
        choice.kind = BitChoice::Kind::TooLarge;
        choice.bit = largest;
        return choice;
    }
    if (holeMm < rack.bits[smallest].diameterMm) {
        choice.kind = BitChoice::Kind::TooSmall;
        choice.bit = smallest;
        return choice;
    }
    // Between two bits and near neither: the nearest, warned like a hole beyond the rack on that side.
    choice.kind = rack.bits[nearest].diameterMm > holeMm ? BitChoice::Kind::TooSmall : BitChoice::Kind::TooLarge;
    choice.bit = nearest;
    return choice;
}

conversion::PathEvent MilledHole(double x, double y, double holeMm, double endMillMm) {
    conversion::PathEvent path;
    const double r = (holeMm - endMillMm) / 2 - kRoundingMarginMm;
    // Marks the path as a milled hole also where it is a plain plunge, so the summary counts it as a hole.
    path.helixPassMm = endMillMm;
    if (!(r >= kSmallestMilledRadiusMm)) {
        path.startX = x;
        path.startY = y;
        return path;
    }
    path.startX = x + r;
    path.startY = y;
    // Two half turns: a whole circle in one arc starts and ends on the same point, which readers and some
    // controllers take for no move at all.
    for (const double endX : {x - r, x + r}) {
        conversion::PathSegment half;
        half.kind = conversion::PathSegment::Kind::CounterClockwiseArc;
        half.x = endX;
        half.y = y;
        half.centerX = x;
        half.centerY = y;
        path.segments.push_back(half);
    }
    return path;
}

} // namespace korvex::excellon

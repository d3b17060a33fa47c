// The drills the user owns: which bit drills a hole of the drill file, and how the end mill mills a hole
// larger than every bit.
#pragma once

#include <cstddef>

#include "conversion/RunObserver.h"
#include "excellon/BoardOptions.h"

namespace korvex::excellon {

struct BitChoice {
    enum class Kind {
        Drill,    // rack.bits[bit] within the tolerance
        TooSmall, // smaller than the smallest bit − tolerance: drilled with rack.bits[bit] (the smallest), warned
        TooLarge, // larger than the largest bit + tolerance and no end mill: drilled with the largest, warned
        Mill,     // larger than the largest bit + tolerance: milled with rack.endMillMm; `bit` unused
    };
    Kind kind = Kind::Drill;
    std::size_t bit = 0;
};

// The bit for a hole of `holeMm`: the nearest bit within the tolerance (ties: the smaller bit). A rack without
// bits but with an end mill mills every hole larger than the end mill and drills the rest with the end mill.
BitChoice ChooseBit(const DrillRack& rack, double holeMm);

// The path that mills a hole of `holeMm` at x,y with an end mill of `endMillMm`: a helix down to depth in
// passes of at most the end mill's diameter, then a full circle, the cutter staying inside the hole.
conversion::PathEvent MilledHole(double x, double y, double holeMm, double endMillMm);

} // namespace korvex::excellon

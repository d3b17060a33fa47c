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

// The bit for a hole of `holeMm`: the nearest bit within the tolerance (ties: the smaller bit); a hole exactly
// at the tolerance's edge is within it. A rack without bits but with an end mill mills every hole larger than
// the end mill and drills the rest with the end mill. Beyond the largest bit, an end mill wider than the hole
// + tolerance cannot make it: TooLarge. A hole between two bits and within the tolerance of neither goes to
// the nearest (ties: the smaller), TooSmall when that bit is larger than the hole, TooLarge when smaller.
BitChoice ChooseBit(const DrillRack& rack, double holeMm);

// The path that mills a hole of `holeMm` at x,y with an end mill of `endMillMm`: a helix down to depth in
// passes of at most the end mill's diameter, then a full circle, the cutter staying inside the hole. The path
// is one circle about x,y in two counter-clockwise half turns, of radius (hole - end mill)/2 less 0.0015 (what
// rounding to the program's decimals may add), with helixPassMm the end mill's diameter: the writer turns it
// into the helix for the tool's depth. An end mill not at least 0.005 mm smaller than the hole has no circle
// to mill: the path has no segments and starts at x,y; written as a path it is a plain plunge there
// (helixPassMm still marks it as a milled hole), and a caller may as well drill it as a hole with the end mill.
conversion::PathEvent MilledHole(double x, double y, double holeMm, double endMillMm);

} // namespace korvex::excellon

// A short visiting order for the holes of one tool: the machine starts at a known point and may end anywhere.
#pragma once

#include <cstddef>
#include <vector>

namespace korvex::order {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// The straight-line length of visiting `points` in `order` (indices into points), starting at `start`.
double TravelLength(const std::vector<Point>& points, const std::vector<std::size_t>& order, Point start);

// A visiting order of every index of `points`, each once, starting at `start`. Nearest neighbour, then 2-opt
// and Or-opt moves over each point's nearest neighbours, with an effort bounded by counts that grow with the
// number of points, so the same input always gives the same order. Up to eight points are ordered exactly.
// The result is never longer than the points' own order: when it would be, the points' own order is returned.
std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start);

} // namespace korvex::order

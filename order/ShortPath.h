// A short visiting order for the holes of one tool: the machine starts at a known point and may end anywhere, or
// near where it is to go next.
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
// The same plus the move from the last point visited (from `start` when there is none) on to `towards`.
double TravelLength(const std::vector<Point>& points, const std::vector<std::size_t>& order, Point start,
                    Point towards);

// A visiting order of every index of `points`, each once, starting at `start`. A greedy start, then 2-opt and
// Or-opt moves over each point's nearest neighbours and small kicks that are kept only when the local moves
// then find a shorter order, with an effort bounded by counts that grow with the number of points, so the same
// input always gives the same order. Up to eight places are ordered exactly. The result is never longer than
// the points' own order: when it would be, the points' own order is returned.
std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start);

// As above, but the order ends near `towards` (where the machine goes next): it minimises the path plus the
// move from its end to `towards`, and is never longer in that sense than the points' own order.
std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start, Point towards);

// One order per run for runs drilled one after the other from `start`, each run starting where the last one
// ended (an empty run leaves the machine where it is). Each run's end is chosen towards the next run, and the
// whole travel, moves between runs included, is never longer than with every run in its own order (then that
// is what comes back).
std::vector<std::vector<std::size_t>> OrderRuns(const std::vector<std::vector<Point>>& runs, Point start);

} // namespace korvex::order

#include "order/ShortPath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <numeric>

#include <nanoflann.hpp>

namespace korvex::order {

namespace {

// Neighbours kept per point for the improving moves; more finds little on drill patterns and costs time.
constexpr std::size_t kNeighbours = 8;
// Up to this many points every order is tried.
constexpr std::size_t kExactLimit = 8;
// The effort bounds, per point: how many looks at a point and moves there may be in all, and how many tour
// positions the moves may shift in all. Counts, not a clock, so the result does not depend on the machine.
constexpr std::size_t kStepsPerPoint = 40;
constexpr std::size_t kShiftsPerPoint = 2000;
// A move must gain more than this (mm) to count, so rounding cannot make moves cycle.
constexpr double kMinGain = 1e-9;

double Distance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// nanoflann's view of some of the points, by index.
struct PointCloud {
    const std::vector<Point>* points = nullptr;
    std::vector<std::size_t> ids;

    std::size_t kdtree_get_point_count() const { return ids.size(); }
    double kdtree_get_pt(std::size_t i, std::size_t dim) const {
        const Point& p = (*points)[ids[i]];
        return dim == 0 ? p.x : p.y;
    }
    template <class BBox>
    bool kdtree_get_bbox(BBox&) const {
        return false;
    }
};

using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, PointCloud>, PointCloud, 2>;

// The nearest point not yet visited; nanoflann hands over every candidate closer than the best so far.
class NearestUnvisited {
public:
    NearestUnvisited(const PointCloud& cloud, const std::vector<char>& visited) : cloud_(cloud), visited_(visited) {}

    std::size_t size() const { return found_ ? 1 : 0; }
    bool full() const { return found_; }
    bool addPoint(double dist, std::size_t i) {
        if (dist < best_ && visited_[cloud_.ids[i]] == 0) {
            best_ = dist;
            index_ = cloud_.ids[i];
            found_ = true;
        }
        return true;
    }
    double worstDist() const { return best_; }
    std::size_t Index() const { return index_; }

private:
    const PointCloud& cloud_;
    const std::vector<char>& visited_;
    double best_ = std::numeric_limits<double>::infinity();
    std::size_t index_ = 0;
    bool found_ = false;
};

// Each point's nearest others (the start point included, as index points.size()), nearest first.
std::vector<std::uint32_t> NeighbourLists(const std::vector<Point>& all, std::size_t k) {
    PointCloud cloud;
    cloud.points = &all;
    cloud.ids.resize(all.size());
    std::iota(cloud.ids.begin(), cloud.ids.end(), std::size_t{0});
    const Tree tree(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));

    std::vector<std::uint32_t> lists(all.size() * k);
    std::vector<std::uint32_t> found(k + 1);
    std::vector<double> dists(k + 1);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const double query[2] = {all[i].x, all[i].y};
        const std::size_t count = tree.knnSearch(query, k + 1, found.data(), dists.data());
        std::size_t kept = 0;
        for (std::size_t j = 0; j < count && kept < k; ++j) {
            if (found[j] != i) {
                lists[i * k + kept++] = static_cast<std::uint32_t>(found[j]);
            }
        }
        // Fewer points than k: the list repeats its last entry, which the moves skip as no gain.
        for (; kept < k; ++kept) {
            lists[i * k + kept] = kept == 0 ? static_cast<std::uint32_t>(i) : lists[i * k + kept - 1];
        }
    }
    return lists;
}

// Greedy: always on to the nearest point not yet visited. The neighbour list answers most steps exactly (the
// first unvisited entry is the nearest unvisited point); the tree answers the rest and is rebuilt over the
// points left once half of it is visited, so searches do not wade through visited points.
std::vector<std::size_t> NearestNeighbourOrder(const std::vector<Point>& all, const std::vector<std::uint32_t>& lists,
                                               std::size_t k) {
    const std::size_t n = all.size() - 1; // the last one is the start
    std::vector<char> visited(all.size(), 0);
    visited[n] = 1;
    PointCloud cloud;
    cloud.points = &all;
    auto rebuild = [&]() {
        cloud.ids.clear();
        for (std::size_t i = 0; i < n; ++i) {
            if (visited[i] == 0) {
                cloud.ids.push_back(i);
            }
        }
        return std::make_unique<Tree>(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    };
    std::unique_ptr<Tree> tree = rebuild();
    std::size_t visitedInTree = 0;

    std::vector<std::size_t> order;
    order.reserve(n);
    std::size_t current = n;
    while (order.size() < n) {
        std::size_t next = all.size();
        for (std::size_t j = 0; j < k; ++j) {
            const std::size_t candidate = lists[current * k + j];
            if (visited[candidate] == 0) {
                next = candidate;
                break;
            }
        }
        if (next == all.size()) {
            if (2 * visitedInTree > cloud.ids.size()) {
                tree = rebuild();
                visitedInTree = 0;
            }
            NearestUnvisited result(cloud, visited);
            const double query[2] = {all[current].x, all[current].y};
            tree->findNeighbors(result, query, nanoflann::SearchParams());
            next = result.Index();
            if (!result.full() || visited[next] != 0) {
                // Cannot happen with finite distances; should it, any unvisited point keeps the order whole.
                next = static_cast<std::size_t>(std::find(visited.begin(), visited.end(), 0) - visited.begin());
            }
        }
        visited[next] = 1;
        ++visitedInTree;
        order.push_back(next);
        current = next;
    }
    return order;
}

// The open path as a cycle: the start S, the points, and a free end D at no distance from anything, with the
// edge D-S never removed. Then every 2-opt move is one reversal, done on whichever side of the cycle is shorter.
class Tour {
public:
    Tour(const std::vector<Point>& all, const std::vector<std::size_t>& path)
        : all_(all), start_(all.size() - 1), end_(all.size()), size_(all.size() + 1) {
        tour_.reserve(size_);
        tour_.push_back(start_);
        tour_.insert(tour_.end(), path.begin(), path.end());
        tour_.push_back(end_);
        pos_.resize(size_);
        for (std::size_t i = 0; i < size_; ++i) {
            pos_[tour_[i]] = i;
        }
    }

    std::size_t Start() const { return start_; }
    std::size_t End() const { return end_; }
    std::size_t Shifts() const { return shifts_; }

    double Dist(std::size_t a, std::size_t b) const {
        return (a == end_ || b == end_) ? 0.0 : Distance(all_[a], all_[b]);
    }
    std::size_t Succ(std::size_t c) const { return tour_[pos_[c] + 1 == size_ ? 0 : pos_[c] + 1]; }
    std::size_t Pred(std::size_t c) const { return tour_[pos_[c] == 0 ? size_ - 1 : pos_[c] - 1]; }
    bool Fixed(std::size_t a, std::size_t b) const { return (a == start_ && b == end_) || (a == end_ && b == start_); }

    // Removes the edges a-b and c-d, where b follows a as d follows c (in the same direction), and adds a-c, b-d.
    void Move(std::size_t a, std::size_t b, std::size_t c, std::size_t d) {
        if (Succ(a) == b) {
            Reverse(b, c);
        } else {
            Reverse(a, d);
        }
    }

    // The points after the start, in order, up to the free end.
    std::vector<std::size_t> Path() const {
        std::vector<std::size_t> path;
        path.reserve(size_ - 2);
        const bool forward = Succ(start_) != end_;
        for (std::size_t c = forward ? Succ(start_) : Pred(start_); c != end_; c = forward ? Succ(c) : Pred(c)) {
            path.push_back(c);
        }
        return path;
    }

private:
    // Reverses the run of the cycle from `from` forward to `to`.
    void Reverse(std::size_t from, std::size_t to) {
        std::size_t i = pos_[from];
        std::size_t j = pos_[to];
        std::size_t length = (j + size_ - i) % size_ + 1;
        if (2 * length > size_) {
            // The rest of the cycle reversed gives the same cycle, read the other way round.
            const std::size_t restFrom = j + 1 == size_ ? 0 : j + 1;
            const std::size_t restTo = i == 0 ? size_ - 1 : i - 1;
            i = restFrom;
            j = restTo;
            length = size_ - length;
        }
        for (std::size_t step = 0; step < length / 2; ++step) {
            std::swap(tour_[i], tour_[j]);
            pos_[tour_[i]] = i;
            pos_[tour_[j]] = j;
            i = i + 1 == size_ ? 0 : i + 1;
            j = j == 0 ? size_ - 1 : j - 1;
        }
        shifts_ += length;
    }

    const std::vector<Point>& all_;
    std::size_t start_;
    std::size_t end_;
    std::size_t size_;
    std::vector<std::size_t> tour_;
    std::vector<std::size_t> pos_;
    std::size_t shifts_ = 0;
};

class Improver {
public:
    Improver(Tour& tour, const std::vector<std::uint32_t>& lists, std::size_t k) : tour_(tour), lists_(lists), k_(k) {}

    void Run(std::size_t pointCount, std::size_t maxSteps, std::size_t maxShifts) {
        const std::vector<std::size_t> path = tour_.Path();
        queued_.assign(pointCount + 2, 0);
        for (std::size_t c : path) {
            Push(c);
        }
        // Every look at a point and every move counts against `maxSteps`, every position a move shifts
        // against `maxShifts`: the work is bounded whatever the points.
        std::size_t steps = 0;
        while (!queue_.empty() && steps < maxSteps && tour_.Shifts() < maxShifts) {
            const std::size_t a = queue_.front();
            queue_.pop_front();
            queued_[a] = 0;
            ++steps;
            while (steps < maxSteps && tour_.Shifts() < maxShifts && (TwoOpt(a) || OrOpt(a))) {
                ++steps;
            }
        }
    }

private:
    void Push(std::size_t c) {
        if (c != tour_.End() && queued_[c] == 0) {
            queued_[c] = 1;
            queue_.push_back(c);
        }
    }

    std::size_t Step(std::size_t c, bool forward) const { return forward ? tour_.Succ(c) : tour_.Pred(c); }
    std::uint32_t Neighbour(std::size_t a, std::size_t j) const { return lists_[a * k_ + j]; }

    // Replaces a-b and c-d by a-c and b-d, where b and d follow a and c in one direction.
    bool TwoOpt(std::size_t a) {
        for (const bool forward : {true, false}) {
            const std::size_t b = Step(a, forward);
            if (tour_.Fixed(a, b)) {
                continue;
            }
            const double ab = tour_.Dist(a, b);
            for (std::size_t j = 0; j < k_; ++j) {
                const std::size_t c = Neighbour(a, j);
                const double gain1 = ab - tour_.Dist(a, c);
                if (gain1 <= kMinGain) {
                    break;
                }
                const std::size_t d = Step(c, forward);
                if (c == b || d == a || c == a || tour_.Fixed(c, d)) {
                    continue;
                }
                const double gain = gain1 + tour_.Dist(c, d) - tour_.Dist(b, d);
                if (gain > kMinGain) {
                    tour_.Move(a, b, c, d);
                    Push(a);
                    Push(b);
                    Push(c);
                    Push(d);
                    return true;
                }
            }
        }
        return false;
    }

    // Moves a run of one to three points that ends in `a` between two neighbours elsewhere, either way round.
    bool OrOpt(std::size_t a) {
        if (a == tour_.Start()) {
            return false;
        }
        for (std::size_t length = 1; length <= 3; ++length) {
            for (const bool forward : {true, false}) {
                // The run is s1 = a .. s2, going `forward`; p comes before it, n after.
                std::size_t run[3] = {a, a, a};
                bool usable = true;
                for (std::size_t i = 1; i < length && usable; ++i) {
                    run[i] = Step(run[i - 1], forward);
                    usable = run[i] != tour_.Start() && run[i] != tour_.End();
                }
                if (!usable || (length == 1 && !forward)) {
                    continue;
                }
                const std::size_t s1 = a;
                const std::size_t s2 = run[length - 1];
                const std::size_t p = Step(s1, !forward);
                const std::size_t n = Step(s2, forward);
                if (p == n || tour_.Fixed(p, n)) {
                    continue;
                }
                const double removeGain = tour_.Dist(p, s1) + tour_.Dist(s2, n) - tour_.Dist(p, n);
                if (removeGain <= kMinGain) {
                    continue;
                }
                auto inRun = [&](std::size_t c) { return c == run[0] || c == run[1] || c == run[2]; };
                for (std::size_t j = 0; j < k_; ++j) {
                    const std::size_t c = Neighbour(a, j);
                    const double addFirst = tour_.Dist(c, s1);
                    if (addFirst >= removeGain) {
                        break;
                    }
                    if (inRun(c)) {
                        continue;
                    }
                    for (const bool side : {true, false}) {
                        const std::size_t d = Step(c, side);
                        if (inRun(d) || tour_.Fixed(c, d)) {
                            continue;
                        }
                        const double gain = removeGain + tour_.Dist(c, d) - addFirst - tour_.Dist(d, s2);
                        if (gain > kMinGain) {
                            Insert(p, s1, s2, n, c, d);
                            Push(p);
                            Push(n);
                            Push(c);
                            Push(d);
                            Push(s1);
                            Push(s2);
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    // Takes the run s1..s2 (p before it, n after) out and puts it between c and d with c next to s1, by two or
    // three reversals.
    void Insert(std::size_t p, std::size_t s1, std::size_t s2, std::size_t n, std::size_t c, std::size_t d) {
        // Read the cycle in the direction in which s1 follows p: p s1..s2 n X u v Y, with v after u.
        const bool forward = tour_.Succ(p) == s1;
        std::size_t u = c;
        std::size_t v = d;
        if (Step(c, forward) != d) {
            std::swap(u, v);
        }
        const std::size_t touch = s1; // the end that c is to be next to
        if (v == p) {
            // The gap is just before p: read the cycle the other way, where it comes just after the run.
            std::swap(p, n);
            std::swap(s1, s2);
            std::swap(u, v);
        }
        tour_.Move(p, s1, u, v); // p u X' n s2..s1 v
        if (u != n) {
            tour_.Move(p, u, n, s2); // p n X u s2..s1 v
        }
        // u is now next to s2 and v next to s1; turn the run round when that puts c next to the wrong end.
        const std::size_t nextToC = u == c ? s2 : s1;
        if (nextToC != touch && s1 != s2) {
            tour_.Move(u, s2, s1, v);
        }
    }

    Tour& tour_;
    const std::vector<std::uint32_t>& lists_;
    std::size_t k_;
    std::deque<std::size_t> queue_;
    std::vector<char> queued_;
};

// Distances must stay finite and exact enough for the gains to mean something; places thousands of
// kilometres apart (or not numbers at all) are left as they are.
bool Orderable(const std::vector<Point>& points, Point start) {
    constexpr double kLimit = 1e12;
    auto inRange = [&](const Point& p) {
        return std::fabs(p.x - start.x) <= kLimit && std::fabs(p.y - start.y) <= kLimit;
    };
    return std::isfinite(start.x) && std::isfinite(start.y) && std::all_of(points.begin(), points.end(), inRange);
}

std::vector<std::size_t> ExactOrder(const std::vector<Point>& points, Point start) {
    std::vector<std::size_t> order(points.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::size_t> best = order;
    double bestLength = TravelLength(points, order, start);
    while (std::next_permutation(order.begin(), order.end())) {
        const double length = TravelLength(points, order, start);
        if (length < bestLength) {
            bestLength = length;
            best = order;
        }
    }
    return best;
}

} // namespace

double TravelLength(const std::vector<Point>& points, const std::vector<std::size_t>& order, Point start) {
    double length = 0.0;
    Point at = start;
    for (std::size_t i : order) {
        length += Distance(at, points[i]);
        at = points[i];
    }
    return length;
}

std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start) {
    std::vector<std::size_t> fileOrder(points.size());
    std::iota(fileOrder.begin(), fileOrder.end(), std::size_t{0});
    if (points.size() <= 1 || !Orderable(points, start)) {
        return fileOrder;
    }
    // Holes at one place are drilled one after the other; ordering the places only also keeps the searches
    // for the nearest place from wading through piles of equal points.
    std::vector<std::size_t> byPlace = fileOrder;
    std::stable_sort(byPlace.begin(), byPlace.end(), [&](std::size_t a, std::size_t b) {
        return points[a].x < points[b].x || (points[a].x == points[b].x && points[a].y < points[b].y);
    });
    std::vector<Point> places;
    std::vector<std::size_t> firstOfPlace; // into byPlace, one past the end last
    for (std::size_t i = 0; i < byPlace.size(); ++i) {
        const Point& p = points[byPlace[i]];
        if (places.empty() || p.x != places.back().x || p.y != places.back().y) {
            places.push_back(p);
            firstOfPlace.push_back(i);
        }
    }
    firstOfPlace.push_back(byPlace.size());

    std::vector<std::size_t> placeOrder;
    if (places.size() <= kExactLimit) {
        placeOrder = ExactOrder(places, start);
    } else {
        std::vector<Point> all(places);
        all.push_back(start);
        const std::size_t k = std::min(kNeighbours, places.size());
        const std::vector<std::uint32_t> lists = NeighbourLists(all, k);
        Tour tour(all, NearestNeighbourOrder(all, lists, k));
        Improver improver(tour, lists, k);
        improver.Run(places.size(), kStepsPerPoint * places.size(), kShiftsPerPoint * places.size());
        placeOrder = tour.Path();
    }
    std::vector<std::size_t> order;
    order.reserve(points.size());
    for (std::size_t place : placeOrder) {
        order.insert(order.end(), byPlace.begin() + static_cast<std::ptrdiff_t>(firstOfPlace[place]),
                     byPlace.begin() + static_cast<std::ptrdiff_t>(firstOfPlace[place + 1]));
    }
    if (TravelLength(points, order, start) >= TravelLength(points, fileOrder, start)) {
        return fileOrder;
    }
    return order;
}

} // namespace korvex::order

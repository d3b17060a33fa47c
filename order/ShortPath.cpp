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
constexpr std::size_t kNeighbours = 10;
// The greedy start joins each point only to one of its nearest few: enough to leave few loose ends, and it
// keeps the sort of candidate edges small at a million points.
constexpr std::size_t kGreedyNeighbours = 6;
// Up to this many points every order is tried.
constexpr std::size_t kExactLimit = 8;
// The effort bounds, per point: how many looks at a point and moves there may be in all, and how many tour
// positions the moves may shift in all. Counts, not a clock, so the result does not depend on the machine.
constexpr std::size_t kStepsPerPoint = 60;
constexpr std::size_t kShiftsPerPoint = 1000;
// No single move shifts more positions than this, or a fifth of the points when that is more: on large boards a
// far reversal costs more than it gains. After a kick only near moves are looked for.
constexpr std::size_t kMaxReversal = 50000;
constexpr std::size_t kKickReversal = 1000;
// Kicks after the local moves settle: one per two points, and on small boards twenty per point up to this many
// in all (more saved 2 mm over all the shared boards), each followed by at most kStepsPerKick looks and moves.
constexpr std::size_t kPointsPerKick = 2;
constexpr std::size_t kKicksPerSmallPoint = 20;
constexpr std::size_t kSmallBoardKicks = 20000;
constexpr std::size_t kStepsPerKick = 25;
// The longest piece a kick moves.
constexpr std::size_t kKickSpan = 30;
// A move must gain more than this (mm) to count, so rounding cannot make moves cycle.
constexpr double kMinGain = 1e-9;

double Distance(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// A fixed pseudo-random sequence for the kicks: the same order on every machine.
class Sequence {
public:
    std::size_t Below(std::size_t limit) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>((state_ >> 33) % limit);
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

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

// Greedy matching: the shortest candidate edges first, each taken unless it gives a point a third edge (the
// start a second) or closes a loop. The pieces left are then joined from the start, each time on to the
// nearest loose end, as nearest neighbour does with points. Greedy pieces follow the board's own rows and
// clusters, which the local moves cannot find from a nearest-neighbour path.
std::vector<std::size_t> GreedyOrder(const std::vector<Point>& all, const std::vector<std::uint32_t>& lists,
                                     std::size_t k) {
    const std::size_t n = all.size() - 1; // the last one is the start
    struct Edge {
        float length;
        std::uint32_t a;
        std::uint32_t b;
    };
    const std::size_t greedyK = std::min(k, kGreedyNeighbours);
    std::vector<Edge> edges;
    edges.reserve(all.size() * greedyK);
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (std::size_t j = 0; j < greedyK; ++j) {
            const std::uint32_t other = lists[i * k + j];
            if (other > i) {
                edges.push_back(
                    {static_cast<float>(Distance(all[i], all[other])), static_cast<std::uint32_t>(i), other});
            } else if (other < i) {
                edges.push_back(
                    {static_cast<float>(Distance(all[i], all[other])), other, static_cast<std::uint32_t>(i)});
            }
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) {
        return l.length < r.length || (l.length == r.length && (l.a < r.a || (l.a == r.a && l.b < r.b)));
    });
    edges.erase(
        std::unique(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.a == r.a && l.b == r.b; }),
        edges.end());

    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> link(2 * all.size(), kNone); // two neighbours per point
    std::vector<std::uint32_t> root(all.size());
    std::iota(root.begin(), root.end(), std::uint32_t{0});
    auto find = [&root](std::uint32_t c) {
        while (root[c] != c) {
            root[c] = root[root[c]];
            c = root[c];
        }
        return c;
    };
    auto degree = [&link](std::uint32_t c) {
        return (link[2 * c] != kNone ? 1 : 0) + (link[2 * c + 1] != kNone ? 1 : 0);
    };
    auto maxDegree = [n](std::uint32_t c) { return c == n ? 1 : 2; };
    for (const Edge& e : edges) {
        if (degree(e.a) >= maxDegree(e.a) || degree(e.b) >= maxDegree(e.b)) {
            continue;
        }
        const std::uint32_t ra = find(e.a);
        const std::uint32_t rb = find(e.b);
        if (ra == rb) {
            continue;
        }
        root[ra] = rb;
        link[2 * e.a + (link[2 * e.a] == kNone ? 0 : 1)] = e.b;
        link[2 * e.b + (link[2 * e.b] == kNone ? 0 : 1)] = e.a;
    }
    edges.clear();
    edges.shrink_to_fit();

    // Walks a piece from its loose end `from`, appending it, and returns its other end.
    std::vector<char> visited(all.size(), 0);
    std::vector<std::size_t> order;
    order.reserve(n);
    auto walk = [&](std::uint32_t from) {
        std::uint32_t previous = kNone;
        std::uint32_t at = from;
        while (true) {
            visited[at] = 1;
            if (at != n) {
                order.push_back(at);
            }
            const std::uint32_t next = link[2 * at] != previous ? link[2 * at] : link[2 * at + 1];
            if (next == kNone || next == previous) {
                return at;
            }
            previous = at;
            at = next;
        }
    };

    PointCloud cloud;
    cloud.points = &all;
    for (std::size_t i = 0; i < n; ++i) {
        if (degree(static_cast<std::uint32_t>(i)) < 2) {
            cloud.ids.push_back(i);
        }
    }
    std::size_t current = walk(static_cast<std::uint32_t>(n));
    auto rebuild = [&]() {
        cloud.ids.erase(
            std::remove_if(cloud.ids.begin(), cloud.ids.end(), [&visited](std::size_t c) { return visited[c] != 0; }),
            cloud.ids.end());
        return std::make_unique<Tree>(2, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
    };
    std::unique_ptr<Tree> tree = rebuild();
    std::size_t visitedInTree = 0;
    while (order.size() < n) {
        if (2 * visitedInTree > cloud.ids.size()) {
            tree = rebuild();
            visitedInTree = 0;
        }
        NearestUnvisited result(cloud, visited);
        const double query[2] = {all[current].x, all[current].y};
        tree->findNeighbors(result, query, nanoflann::SearchParams());
        std::size_t next = result.Index();
        if (!result.full() || visited[next] != 0) {
            // Cannot happen with finite distances; should it, any loose end keeps the order whole.
            next = n;
            for (std::size_t c : cloud.ids) {
                if (visited[c] == 0) {
                    next = c;
                    break;
                }
            }
            if (next == n) {
                break;
            }
        }
        const std::size_t before = order.size();
        current = walk(static_cast<std::uint32_t>(next));
        visitedInTree += order.size() - before >= 2 ? 2 : 1;
    }
    return order;
}

// The points along a Hilbert curve over their bounding box. Numbered in this order, points near each other on
// the board are near each other in memory, which on large boards saves more time than anything else.
std::vector<std::size_t> CurveOrder(const std::vector<Point>& all) {
    const std::size_t n = all.size();
    double minX = all[0].x, maxX = all[0].x, minY = all[0].y, maxY = all[0].y;
    for (const Point& p : all) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const double extent = std::max({maxX - minX, maxY - minY, 1e-300});
    constexpr std::uint32_t kSide = 1U << 16;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<std::uint32_t>(std::min((all[i].x - minX) / extent * kSide, kSide - 1.0));
        auto y = static_cast<std::uint32_t>(std::min((all[i].y - minY) / extent * kSide, kSide - 1.0));
        std::uint64_t d = 0;
        for (std::uint32_t s = kSide / 2; s > 0; s /= 2) {
            const std::uint32_t rx = (x & s) != 0 ? 1 : 0;
            const std::uint32_t ry = (y & s) != 0 ? 1 : 0;
            d += static_cast<std::uint64_t>(s) * s * ((3 * rx) ^ ry);
            if (ry == 0) {
                if (rx == 1) {
                    x = kSide - 1 - x;
                    y = kSide - 1 - y;
                }
                std::swap(x, y);
            }
        }
        keys[i] = {d, static_cast<std::uint32_t>(i)};
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = keys[i].second;
    }
    return order;
}

// The open path as a cycle: the start S, the points, and an end D, with the edge D-S never removed. D is at no
// distance from anything when the end is free, else it stands at the point the path should end near. Then every
// 2-opt move is one reversal, done on whichever side of the cycle is shorter; the reversals can be logged and
// undone, which is how a kick that did not pay is taken back.
class Tour {
public:
    Tour(const std::vector<Point>& all, const std::vector<std::size_t>& path, const Point* towards)
        : all_(all), start_(all.size() - 1), end_(all.size()), size_(all.size() + 1),
          towards_(towards != nullptr ? *towards : Point{}), hasTowards_(towards != nullptr) {
        tour_.reserve(size_);
        tour_.push_back(static_cast<std::uint32_t>(start_));
        for (std::size_t c : path) {
            tour_.push_back(static_cast<std::uint32_t>(c));
        }
        tour_.push_back(static_cast<std::uint32_t>(end_));
        pos_.resize(size_);
        for (std::size_t i = 0; i < size_; ++i) {
            pos_[tour_[i]] = static_cast<std::uint32_t>(i);
        }
    }

    std::size_t Start() const { return start_; }
    std::size_t End() const { return end_; }
    std::size_t Size() const { return size_; }
    std::size_t Shifts() const { return shifts_; }
    std::size_t At(std::size_t position) const { return tour_[position % size_]; }
    std::size_t Position(std::size_t c) const { return pos_[c]; }

    double Dist(std::size_t a, std::size_t b) const {
        if (a == end_ || b == end_) {
            const std::size_t other = a == end_ ? b : a;
            return hasTowards_ && other != end_ ? Distance(all_[other], towards_) : 0.0;
        }
        return Distance(all_[a], all_[b]);
    }
    std::size_t Succ(std::size_t c) const { return tour_[pos_[c] + 1 == size_ ? 0 : pos_[c] + 1]; }
    std::size_t Pred(std::size_t c) const { return tour_[pos_[c] == 0 ? size_ - 1 : pos_[c] - 1]; }
    bool Fixed(std::size_t a, std::size_t b) const { return (a == start_ && b == end_) || (a == end_ && b == start_); }

    // How many positions apart two points are, either way round the cycle.
    std::size_t Gap(std::size_t a, std::size_t b) const {
        const std::size_t d = pos_[a] > pos_[b] ? pos_[a] - pos_[b] : pos_[b] - pos_[a];
        return std::min(d, size_ - d);
    }

    // The positions the 2-opt move below shifts.
    std::size_t MoveCost(std::size_t a, std::size_t b, std::size_t c, std::size_t d) const {
        return Succ(a) == b ? ReverseCost(b, c) : ReverseCost(a, d);
    }

    // Removes the edges a-b and c-d, where b follows a as d follows c (in the same direction), and adds a-c, b-d.
    void Move(std::size_t a, std::size_t b, std::size_t c, std::size_t d) {
        if (Succ(a) == b) {
            Reverse(b, c);
        } else {
            Reverse(a, d);
        }
    }

    void StartLog() {
        log_.clear();
        logging_ = true;
    }
    void KeepLogged() { logging_ = false; }
    void UndoLogged() {
        logging_ = false;
        for (auto it = log_.rbegin(); it != log_.rend(); ++it) {
            ReversePositions(it->first, it->second);
        }
    }

    // The points after the start, in order, up to the end.
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
    // Reverses the run of the cycle from `from` forward to `to` (or the rest of the cycle, the same cycle).
    void Reverse(std::size_t from, std::size_t to) {
        std::size_t i = pos_[from];
        const std::size_t j = pos_[to];
        std::size_t length = (j + size_ - i) % size_ + 1;
        if (2 * length > size_) {
            i = j + 1 == size_ ? 0 : j + 1;
            length = size_ - length;
        }
        ReversePositions(i, length);
        if (logging_) {
            log_.emplace_back(i, length);
        }
    }

    std::size_t ReverseCost(std::size_t from, std::size_t to) const {
        const std::size_t length = (pos_[to] + size_ - pos_[from]) % size_ + 1;
        return std::min(length, size_ - length);
    }

    void ReversePositions(std::size_t i, std::size_t length) {
        std::size_t j = (i + length - 1) % size_;
        for (std::size_t step = 0; step < length / 2; ++step) {
            std::swap(tour_[i], tour_[j]);
            pos_[tour_[i]] = static_cast<std::uint32_t>(i);
            pos_[tour_[j]] = static_cast<std::uint32_t>(j);
            i = i + 1 == size_ ? 0 : i + 1;
            j = j == 0 ? size_ - 1 : j - 1;
        }
        shifts_ += length;
    }

    const std::vector<Point>& all_;
    std::size_t start_;
    std::size_t end_;
    std::size_t size_;
    Point towards_;
    bool hasTowards_;
    std::vector<std::uint32_t> tour_;
    std::vector<std::uint32_t> pos_;
    std::size_t shifts_ = 0;
    bool logging_ = false;
    std::vector<std::pair<std::size_t, std::size_t>> log_;
};

class Improver {
public:
    Improver(Tour& tour, const std::vector<std::uint32_t>& lists, std::size_t k, std::size_t maxReversal)
        : tour_(tour), lists_(lists), k_(k), maxReversal_(maxReversal) {}

    // Local moves until none gains (every point looked at after its neighbourhood changed) or the effort is spent.
    void Settle(std::size_t pointCount, std::size_t maxSteps, std::size_t maxShifts) {
        const std::vector<std::size_t> path = tour_.Path();
        queued_.assign(pointCount + 2, 0);
        for (std::size_t c : path) {
            Push(c);
        }
        Drain(maxSteps, maxShifts);
    }

    // Moves a short piece of the tour elsewhere nearby, settles around it, and keeps the result only when the
    // tour came out shorter. Points and piece lengths come from a fixed sequence.
    void Kick(std::size_t pointCount, std::size_t kicks, std::size_t stepsPerKick, std::size_t maxShifts,
              std::size_t maxReversal) {
        maxReversal_ = maxReversal;
        const std::size_t span = std::min(kKickSpan, pointCount / 3);
        if (span == 0) {
            return;
        }
        Sequence random;
        const std::size_t size = tour_.Size();
        for (std::size_t kick = 0; kick < kicks && tour_.Shifts() < maxShifts; ++kick) {
            // A B C D round the cycle becomes A C B D: the three edges at the cuts change.
            const std::size_t p = tour_.Position(random.Below(pointCount));
            const std::size_t lengthB = 1 + random.Below(span);
            const std::size_t lengthC = 1 + random.Below(span);
            bool clear = true;
            for (std::size_t i = 0; i <= lengthB + lengthC + 1 && clear; ++i) {
                const std::size_t c = tour_.At(p + i);
                clear = c != tour_.Start() && c != tour_.End();
            }
            if (!clear || lengthB + lengthC + 2 > size) {
                continue;
            }
            const std::size_t a = tour_.At(p);
            const std::size_t b1 = tour_.At(p + 1);
            const std::size_t b2 = tour_.At(p + lengthB);
            const std::size_t c1 = tour_.At(p + lengthB + 1);
            const std::size_t c2 = tour_.At(p + lengthB + lengthC);
            const std::size_t d = tour_.At(p + lengthB + lengthC + 1);
            const double cost = tour_.Dist(a, c1) + tour_.Dist(c2, b1) + tour_.Dist(b2, d) - tour_.Dist(a, b1) -
                                tour_.Dist(b2, c1) - tour_.Dist(c2, d);
            tour_.StartLog();
            tour_.Move(a, b1, c2, d);  // a c2..c1 b2..b1 d
            tour_.Move(a, c2, c1, b2); // a c1..c2 b2..b1 d
            tour_.Move(c2, b2, b1, d); // a c1..c2 b1..b2 d
            gained_ = 0.0;
            for (std::size_t c : {a, b1, b2, c1, c2, d}) {
                Push(c);
            }
            Drain(stepsPerKick, maxShifts);
            while (!queue_.empty()) {
                queued_[queue_.front()] = 0;
                queue_.pop_front();
            }
            if (gained_ - cost > kMinGain) {
                tour_.KeepLogged();
            } else {
                tour_.UndoLogged();
            }
        }
    }

private:
    // Every look at a point and every move counts against `maxSteps`, every position a move shifts against
    // `maxShifts`: the work is bounded whatever the points.
    void Drain(std::size_t maxSteps, std::size_t maxShifts) {
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
                if (gain > kMinGain && tour_.MoveCost(a, b, c, d) <= maxReversal_) {
                    tour_.Move(a, b, c, d);
                    gained_ += gain;
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
                    if (inRun(c) || tour_.Gap(c, s1) > maxReversal_) {
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
                            gained_ += gain;
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
    std::size_t maxReversal_;
    std::deque<std::size_t> queue_;
    std::vector<char> queued_;
    double gained_ = 0.0;
};

// Distances must stay finite and exact enough for the gains to mean something; places thousands of
// kilometres apart (or not numbers at all) are left as they are.
bool Orderable(const std::vector<Point>& points, Point start, const Point* towards) {
    constexpr double kLimit = 1e12;
    auto inRange = [&](const Point& p) {
        return std::fabs(p.x - start.x) <= kLimit && std::fabs(p.y - start.y) <= kLimit;
    };
    return std::isfinite(start.x) && std::isfinite(start.y) && std::all_of(points.begin(), points.end(), inRange) &&
           (towards == nullptr || inRange(*towards));
}

double PathLength(const std::vector<Point>& points, const std::vector<std::size_t>& order, Point start,
                  const Point* towards) {
    return towards != nullptr ? TravelLength(points, order, start, *towards) : TravelLength(points, order, start);
}

std::vector<std::size_t> ExactOrder(const std::vector<Point>& points, Point start, const Point* towards) {
    std::vector<std::size_t> order(points.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::size_t> best = order;
    double bestLength = PathLength(points, order, start, towards);
    while (std::next_permutation(order.begin(), order.end())) {
        const double length = PathLength(points, order, start, towards);
        if (length < bestLength) {
            bestLength = length;
            best = order;
        }
    }
    return best;
}

std::vector<std::size_t> TourOrder(const std::vector<Point>& places, Point start, const Point* towards) {
    const std::size_t n = places.size();
    const std::vector<std::size_t> curve = CurveOrder(places);
    std::vector<Point> all;
    all.reserve(n + 1);
    for (std::size_t c : curve) {
        all.push_back(places[c]);
    }
    all.push_back(start);
    const std::size_t k = std::min(kNeighbours, n);
    const std::vector<std::uint32_t> lists = NeighbourLists(all, k);
    Tour tour(all, GreedyOrder(all, lists, k), towards);
    Improver improver(tour, lists, k, std::max(kMaxReversal, n / 5));
    const std::size_t maxShifts = kShiftsPerPoint * n;
    improver.Settle(n, kStepsPerPoint * n, maxShifts);
    const std::size_t kicks = std::max(n / kPointsPerKick, std::min(kSmallBoardKicks, kKicksPerSmallPoint * n));
    improver.Kick(n, kicks, kStepsPerKick, 2 * maxShifts, kKickReversal);
    std::vector<std::size_t> path = tour.Path();
    for (std::size_t& c : path) {
        c = curve[c];
    }
    return path;
}

std::vector<std::size_t> Order(const std::vector<Point>& points, Point start, const Point* towards) {
    std::vector<std::size_t> fileOrder(points.size());
    std::iota(fileOrder.begin(), fileOrder.end(), std::size_t{0});
    if (points.size() <= 1 || !Orderable(points, start, towards)) {
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

    const std::vector<std::size_t> placeOrder =
        places.size() <= kExactLimit ? ExactOrder(places, start, towards) : TourOrder(places, start, towards);
    std::vector<std::size_t> order;
    order.reserve(points.size());
    for (std::size_t place : placeOrder) {
        order.insert(order.end(), byPlace.begin() + static_cast<std::ptrdiff_t>(firstOfPlace[place]),
                     byPlace.begin() + static_cast<std::ptrdiff_t>(firstOfPlace[place + 1]));
    }
    if (!(PathLength(points, order, start, towards) < PathLength(points, fileOrder, start, towards))) {
        return fileOrder;
    }
    return order;
}

// The travel through all runs with these orders, and where it ends.
double RunsLength(const std::vector<std::vector<Point>>& runs, const std::vector<std::vector<std::size_t>>& orders,
                  Point start) {
    double length = 0.0;
    Point at = start;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        length += TravelLength(runs[r], orders[r], at);
        if (!orders[r].empty()) {
            at = runs[r][orders[r].back()];
        }
    }
    return length;
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

double TravelLength(const std::vector<Point>& points, const std::vector<std::size_t>& order, Point start,
                    Point towards) {
    const double length = TravelLength(points, order, start);
    return length + Distance(order.empty() ? start : points[order.back()], towards);
}

std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start) {
    return Order(points, start, nullptr);
}

std::vector<std::size_t> ShortOrder(const std::vector<Point>& points, Point start, Point towards) {
    return Order(points, start, &towards);
}

std::vector<std::vector<std::size_t>> OrderRuns(const std::vector<std::vector<Point>>& runs, Point start) {
    std::vector<std::vector<std::size_t>> fileOrders(runs.size());
    for (std::size_t r = 0; r < runs.size(); ++r) {
        fileOrders[r].resize(runs[r].size());
        std::iota(fileOrders[r].begin(), fileOrders[r].end(), std::size_t{0});
    }
    // First each run with its end free; then again, each ending towards where the next one started the time
    // before. The shortest of these, and the file's order, wins.
    std::vector<std::vector<std::size_t>> best = fileOrders;
    double bestLength = RunsLength(runs, fileOrders, start);
    std::vector<std::vector<std::size_t>> orders(runs.size());
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        Point at = start;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const Point* towards = nullptr;
            Point next;
            if (round > 0) {
                for (std::size_t later = r + 1; later < runs.size(); ++later) {
                    if (!orders[later].empty()) {
                        next = runs[later][orders[later].front()];
                        towards = &next;
                        break;
                    }
                }
            }
            orders[r] = Order(runs[r], at, towards);
            if (!orders[r].empty()) {
                at = runs[r][orders[r].back()];
            }
        }
        const double length = RunsLength(runs, orders, start);
        if (length < bestLength) {
            bestLength = length;
            best = orders;
        }
    }
    return best;
}

} // namespace korvex::order

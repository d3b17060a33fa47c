#include "order/ShortOrderObserver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>

namespace korvex::order {

void ShortOrderObserver::MoveTo(Point to, Point& from, double& travel) {
    travel += std::hypot(to.x - from.x, to.y - from.y);
    from = to;
}

void ShortOrderObserver::OnHole(conversion::ConversionState&, const conversion::HoleEvent& hole) {
    MoveTo(Point{hole.x, hole.y}, filePosition_, fileTravel_);
    ++holes_;
}

// The writer has written the holes held before a path, so the path follows them in both orders.
void ShortOrderObserver::OnPath(const conversion::PathEvent& path) {
    const Point start{path.startX, path.startY};
    const Point end = path.segments.empty() ? start : Point{path.segments.back().x, path.segments.back().y};
    MoveTo(start, filePosition_, fileTravel_);
    filePosition_ = end;
    MoveTo(start, writtenPosition_, writtenTravel_);
    writtenPosition_ = end;
}

void ShortOrderObserver::Foresee(const std::vector<Ahead>& steps) {
    const auto started = std::chrono::steady_clock::now();
    plan_.clear();
    nextPlanned_ = 0;
    // Paths stand where they are: the runs between two of them are planned together, the last one ending
    // towards the path's start (a run of that one point, left out of the plan afterwards).
    Point at = writtenPosition_;
    std::vector<std::vector<Point>> runs;
    std::size_t firstRun = 0;
    auto planRuns = [&](const Point* pathStart) {
        if (pathStart != nullptr) {
            runs.push_back({*pathStart});
        }
        const std::vector<std::vector<std::size_t>> orders = OrderRuns(runs, at);
        for (std::size_t r = 0; r < orders.size() - (pathStart != nullptr ? 1 : 0); ++r) {
            plan_[firstRun + r].order = orders[r];
        }
        runs.clear();
        firstRun = plan_.size();
    };
    for (const Ahead& step : steps) {
        if (step.holes.empty()) {
            const Point start{step.pathStart.x, step.pathStart.y};
            planRuns(&start);
            at = Point{step.pathEnd.x, step.pathEnd.y};
            continue;
        }
        std::vector<Point>& points = runs.emplace_back();
        points.reserve(step.holes.size());
        for (const conversion::HolePosition& hole : step.holes) {
            points.push_back(Point{hole.x, hole.y});
        }
        plan_.push_back(PlannedRun{step.holes, {}});
    }
    if (!runs.empty()) {
        planRuns(nullptr);
    }
    seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

std::vector<std::size_t> ShortOrderObserver::Order(const std::vector<conversion::HolePosition>& holes, bool fixed) {
    std::vector<std::size_t> order(holes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (nextPlanned_ < plan_.size()) {
        const PlannedRun& planned = plan_[nextPlanned_];
        const bool same = !fixed && planned.holes.size() == holes.size() &&
                          std::equal(holes.begin(), holes.end(), planned.holes.begin(),
                                     [](const conversion::HolePosition& a, const conversion::HolePosition& b) {
                                         return a.x == b.x && a.y == b.y;
                                     });
        if (same) {
            ++nextPlanned_;
            for (const std::size_t index : planned.order) {
                MoveTo(Point{holes[index].x, holes[index].y}, writtenPosition_, writtenTravel_);
            }
            return planned.order;
        }
        plan_.clear();
    }
    std::vector<Point> points;
    points.reserve(holes.size());
    for (const conversion::HolePosition& hole : holes) {
        points.push_back(Point{hole.x, hole.y});
    }
    if (!fixed && points.size() > 1) {
        const auto started = std::chrono::steady_clock::now();
        order = ShortOrder(points, writtenPosition_);
        seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    for (const std::size_t index : order) {
        MoveTo(points[index], writtenPosition_, writtenTravel_);
    }
    return order;
}

} // namespace korvex::order

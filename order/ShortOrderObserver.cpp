#include "order/ShortOrderObserver.h"

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

std::vector<std::size_t> ShortOrderObserver::Order(const std::vector<conversion::HolePosition>& holes, bool fixed) {
    std::vector<std::size_t> order(holes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
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

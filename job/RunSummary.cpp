#include "job/RunSummary.h"

#include <algorithm>

#include "platform/DecimalText.h"

namespace korvex::job {

void RunSummary::OnHole(conversion::ConversionState&, const conversion::HoleEvent& hole) {
    ++holes_;
    Extend(hole.x, hole.y);
}

void RunSummary::WatchHoles(conversion::ConversionState&, const conversion::HoleEvent* holes, std::size_t count) {
    holes_ += count;
    for (std::size_t i = 0; i < count; ++i) {
        Extend(holes[i].x, holes[i].y);
    }
}

void RunSummary::OnPath(const conversion::PathEvent& path) {
    // A hole milled by the end mill is the hole it makes, not a slot.
    if (path.helixPassMm > 0.0) {
        ++holes_;
        const bool circle = !path.segments.empty();
        Extend(circle ? path.segments.front().centerX : path.startX,
               circle ? path.segments.front().centerY : path.startY);
        return;
    }
    ++(path.kind == conversion::PathKind::Slot ? slots_ : routes_);
    Extend(path.startX, path.startY);
    for (const conversion::PathSegment& segment : path.segments) {
        Extend(segment.x, segment.y);
    }
}

void RunSummary::Extend(double x, double y) {
    if (!any_) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        any_ = true;
        return;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
}

std::string RunSummary::Line() const {
    std::string line = "Summary: " + std::to_string(holes_) + " holes, " + std::to_string(slots_) + " slots, " +
                       std::to_string(routes_) + " routes";
    if (any_) {
        line += "; X " + platform::FixedText(minX_) + " to " + platform::FixedText(maxX_) + " mm, Y " +
                platform::FixedText(minY_) + " to " + platform::FixedText(maxY_) + " mm";
    }
    return line;
}

} // namespace korvex::job

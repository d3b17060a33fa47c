// Counts what a run writes, so the log can end with one line that makes a wrong scale visible at once.
#pragma once

#include <cstddef>
#include <string>

#include "conversion/RunObserver.h"

namespace korvex::job {

class RunSummary : public conversion::RunObserver {
public:
    void OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void WatchHoles(conversion::ConversionState& state, const conversion::HoleEvent* holes, std::size_t count) override;
    void OnPath(const conversion::PathEvent& path) override;

    std::size_t Holes() const { return holes_; }
    std::size_t Slots() const { return slots_; }
    std::size_t Routes() const { return routes_; }

    // "Summary: 22 holes, 3 slots, 0 routes; X 3.810 to 63.500 mm, Y 2.540 to 40.640 mm"; without anything
    // written the extents are left out.
    std::string Line() const;

private:
    void Extend(double x, double y);

    std::size_t holes_ = 0;
    std::size_t slots_ = 0;
    std::size_t routes_ = 0;
    bool any_ = false;
    double minX_ = 0.0;
    double maxX_ = 0.0;
    double minY_ = 0.0;
    double maxY_ = 0.0;
};

} // namespace korvex::job

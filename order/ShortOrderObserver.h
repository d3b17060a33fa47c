// Drills the holes of each run of holes (between tool changes and any other program line) in a short order.
// The run's writer holds every hole of a run and asks this order for the sequence once the run ends; as an
// observer it follows the drill file's order, so that the log can compare the travel of both.
#pragma once

#include <cstdint>
#include <vector>

#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "order/ShortPath.h"

namespace korvex::order {

class ShortOrderObserver : public conversion::RunObserver, public conversion::HoleOrder {
public:
    void OnHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void OnPath(const conversion::PathEvent& path) override;
    std::vector<std::size_t> Order(const std::vector<conversion::HolePosition>& holes, bool fixed) override;
    // Plans the runs together: each run's end towards the next run or path, never longer in all than the
    // file's order. Runs that then come as foreseen are written as planned; the first that does not ends the
    // plan, and it and the rest are ordered each alone.
    void Foresee(const std::vector<Ahead>& steps) override;

    // Rapid travel in mm over the whole run, from the origin: to each hole and to the start of each slot or
    // route, in the drill file's order and in the order written.
    double FileOrderTravel() const { return fileTravel_; }
    double WrittenTravel() const { return writtenTravel_; }
    // Time spent finding the orders, in seconds.
    double OrderingSeconds() const { return seconds_; }
    std::size_t Holes() const { return holes_; }

private:
    static void MoveTo(Point to, Point& from, double& travel);

    struct PlannedRun {
        std::vector<conversion::HolePosition> holes;
        std::vector<std::size_t> order;
    };
    std::vector<PlannedRun> plan_;
    std::size_t nextPlanned_ = 0;

    Point filePosition_;
    Point writtenPosition_;
    double fileTravel_ = 0.0;
    double writtenTravel_ = 0.0;
    double seconds_ = 0.0;
    std::size_t holes_ = 0;
};

} // namespace korvex::order

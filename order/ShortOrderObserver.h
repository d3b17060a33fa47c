// Drills the holes of each run of holes (between tool changes and any other program line) in a short order.
// It takes every hole the reading reports, keeps them until the run writes something else, and then writes
// them reordered, each as the same three lines the reading would have written.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "conversion/RunObserver.h"
#include "order/ShortPath.h"

namespace korvex::order {

class ShortOrderObserver : public conversion::RunObserver {
public:
    bool TakeHole(conversion::ConversionState& state, const conversion::HoleEvent& hole) override;
    void Flush(conversion::ConversionState& state, platform::TextLineWriter& output) override;
    void OnPath(const conversion::PathEvent& path) override;

    // Rapid travel in mm over the whole run, from the origin: to each hole and to the start of each slot or
    // route, in the drill file's order and in the order written.
    double FileOrderTravel() const { return fileTravel_; }
    double WrittenTravel() const { return writtenTravel_; }
    // Time spent finding the orders, in seconds.
    double OrderingSeconds() const { return seconds_; }
    std::size_t Holes() const { return holes_; }

private:
    // One taken hole. Its coordinate words sit in words_: the X word, then the Y word; either is empty when
    // the line left it out and no earlier hole named it.
    struct Hole {
        Point at;
        std::uint32_t wordsAt = 0;
        std::uint32_t xLength = 0;
        std::uint32_t yLength = 0;
        bool ownX = false; // the drill line itself named the coordinate
        bool ownY = false;
    };

    void WriteSegment(conversion::ConversionState& state, platform::TextLineWriter& output);
    void WriteHole(conversion::ConversionState& state, const Hole& hole, bool bothWords, std::string& block);
    void ApplyPendingPaths();
    static void MoveTo(Point to, Point& from, double& travel);

    std::vector<Hole> pending_;
    std::string words_;
    std::string zUp_;
    std::string zDown_;
    std::int32_t tool_ = -1;

    // The last X and Y word of a hole in the drill file's order, with the value it stands for.
    std::string lastXWord_;
    std::string lastYWord_;
    double lastX_ = 0.0;
    double lastY_ = 0.0;
    // The coordinate words the program last gave the machine (empty when unknown, after a slot or route).
    std::string writtenXWord_;
    std::string writtenYWord_;

    Point filePosition_;
    Point writtenPosition_;
    std::vector<std::pair<Point, Point>> pendingPaths_; // start and end of each, until the holes before it are out
    double fileTravel_ = 0.0;
    double writtenTravel_ = 0.0;
    double seconds_ = 0.0;
    std::size_t holes_ = 0;
};

} // namespace korvex::order

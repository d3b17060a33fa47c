// What a run tells about the holes, slots and routes it writes, in either reading. The summary line, the drill
// order, the verification and the preview all listen here instead of parsing the program again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvex::conversion {

struct ConversionState;

// One hole as the run writes it: three program lines (retract, rapid to the hole, feed down).
struct HoleEvent {
    std::int32_t tool = -1; // the selected tool, -1 before the first selection
    double x = 0.0;         // the position in mm as written; where the line leaves out a coordinate,
    double y = 0.0;         // the machine keeps the last one (0 before any)
    bool hasX = false;      // whether the program line names X (and Y)
    bool hasY = false;
    std::string_view xWord; // "X12.500" as written, empty when the line leaves it out
    std::string_view yWord;
};

enum class PathKind { Slot, Route };

// One piece of a milled path: a straight feed or an arc to (x, y); arcs turn about (centerX, centerY).
struct PathSegment {
    enum class Kind { Line, ClockwiseArc, CounterClockwiseArc };
    Kind kind = Kind::Line;
    double x = 0.0;
    double y = 0.0;
    double centerX = 0.0;
    double centerY = 0.0;
};

// A slot (G85) or a routed path, milled with `tool` from (startX, startY) along `segments`, in mm as written.
struct PathEvent {
    std::int32_t tool = -1;
    PathKind kind = PathKind::Slot;
    double startX = 0.0;
    double startY = 0.0;
    std::vector<PathSegment> segments;
    // A milled hole: the segments close on the start, and the cutter goes down along them from the surface (Z0)
    // to the tool's depth in turns that each go down at most this far, then cuts them once more at depth.
    // 0: plunge at the start and cut the segments once.
    double helixPassMm = 0.0;
};

class RunObserver {
public:
    virtual ~RunObserver();

    // A tool's diameter in mm, when the drill file gives one.
    virtual void OnToolDiameter(std::int32_t tool, double diameterMm);
    // A hole as the reading hands it to the writer, in the drill file's order (a hole order may write it
    // later, in another place of the run). The words are valid for this call only.
    virtual void OnHole(ConversionState& state, const HoleEvent& hole);
    // Holes in batches, as the plain reading's coordinate lines give them: the same holes in the same order as
    // one by one, all delivered before anything else the run tells. The words lie in the run's buffer and stay
    // valid for this call only. The default hands each to OnHole.
    virtual void WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count);
    // A slot or route as written.
    virtual void OnPath(const PathEvent& path);
};

// Hands every event to each observer in turn.
class ObserverList : public RunObserver {
public:
    void Add(RunObserver* observer) { observers_.push_back(observer); }
    bool Empty() const { return observers_.empty(); }

    void OnToolDiameter(std::int32_t tool, double diameterMm) override;
    void OnHole(ConversionState& state, const HoleEvent& hole) override;
    void WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) override;
    void OnPath(const PathEvent& path) override;

private:
    std::vector<RunObserver*> observers_;
};

} // namespace korvex::conversion

// What a run tells about the holes, slots and routes it writes, in either reading. The summary line, the drill
// order, the verification and the preview all listen here instead of parsing the program again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvex::platform {
class TextLineWriter;
}

namespace korvex::conversion {

struct ConversionState;

// One hole as the run is about to write it: three program lines (retract, rapid to the hole, feed down).
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
};

class RunObserver {
public:
    virtual ~RunObserver();

    // A tool's diameter in mm, when the drill file gives one.
    virtual void OnToolDiameter(std::int32_t tool, double diameterMm);
    // A hole about to be written. Returning true takes it: the run does not write it, and the observer
    // writes it in Flush (with the line numbers current then).
    virtual bool TakeHole(ConversionState& state, const HoleEvent& hole);
    // False for an observer that never takes a hole. Such observers may be handed the holes of the plain
    // reading's coordinate lines in batches through WatchHoles instead of one by one through TakeHole: the same
    // holes in the same order, delivered before the next Flush or TakeHole call.
    virtual bool MayTakeHoles() const;
    // Holes none of which is taken; the words lie in the run's buffer and stay valid for this call only. The
    // default hands each to TakeHole.
    virtual void WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count);
    // Called before the run writes any line that is not a hole, and once at the end of the body, so taken
    // holes keep their place between the program's other lines.
    virtual void Flush(ConversionState& state, platform::TextLineWriter& output);
    // A slot or route as written.
    virtual void OnPath(const PathEvent& path);
};

// Hands every event to each observer in turn; a hole is taken when any of them takes it (at most one should).
class ObserverList : public RunObserver {
public:
    void Add(RunObserver* observer) { observers_.push_back(observer); }
    bool Empty() const { return observers_.empty(); }

    void OnToolDiameter(std::int32_t tool, double diameterMm) override;
    bool TakeHole(ConversionState& state, const HoleEvent& hole) override;
    bool MayTakeHoles() const override;
    void WatchHoles(ConversionState& state, const HoleEvent* holes, std::size_t count) override;
    void Flush(ConversionState& state, platform::TextLineWriter& output) override;
    void OnPath(const PathEvent& path) override;

private:
    std::vector<RunObserver*> observers_;
};

} // namespace korvex::conversion

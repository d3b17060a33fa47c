// The picture of a written program before it is drawn: holes with their diameters, cuts as strokes of the
// tool's width, the rapid moves, a legend per tool, the extents, and the places the verification disputes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gcode/GcodeReader.h"
#include "platform/DecimalText.h"

namespace korvex::preview {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// What a written program does in the plane, as the preview draws it: the holes it drills and the sideways
// moves between and along them (ReadProgramMoves in ProgramPreview.h reads it from a program).
// The tool plunged at `at` below the surface and came back up without moving sideways, or (with `diameter`)
// milled a round hole of that diameter about `at`.
struct DrilledHole {
    std::int32_t tool = -1;
    Point at;
    std::optional<double> diameter = std::nullopt; // the tool's diameter when not given
};

// A sideways move, of the kinds the program reader names. Rapids are travel; feed lines and arcs cut a stroke of
// the tool's width.
struct Move {
    gcode::MoveKind kind = gcode::MoveKind::Rapid;
    std::int32_t tool = -1;
    Point start;
    Point end;
    Point centre; // arcs only
};

struct ProgramMoves {
    std::vector<DrilledHole> holes;
    std::vector<Move> moves;
};

// Holes of a tool whose diameter the drill file does not give are drawn this wide.
constexpr double kUnknownDiameterMm = 1.0;

struct Box {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    bool empty = true;

    void Add(Point p, double margin = 0.0);
    double Width() const { return empty ? 0.0 : maxX - minX; }
    double Height() const { return empty ? 0.0 : maxY - minY; }
    bool Intersects(const Box& other) const;
};

struct ModelHole {
    std::int32_t tool = -1;
    Point at;
    double diameter = kUnknownDiameterMm;
};

// A cut: one feed line or an arc flattened into short chords, milled `width` wide.
struct ModelStroke {
    std::int32_t tool = -1;
    double width = kUnknownDiameterMm;
    std::vector<Point> points;
    Box bounds; // of the centre line, without the width
};

struct RapidLine {
    Point from;
    Point to;
};

struct ToolSummary {
    std::int32_t tool = -1;
    std::optional<double> diameter; // as the drill file gives it
    std::size_t holes = 0;
    std::size_t cuts = 0;
};

// Finds holes near a point or inside a box through a grid of buckets about two holes each.
class HoleGrid {
public:
    void Build(const std::vector<ModelHole>& holes);
    // The hole closest to `p` by its centre; nullopt without holes.
    std::optional<std::size_t> Nearest(const std::vector<ModelHole>& holes, Point p) const;
    // Calls `visit(index)` for every hole whose bucket overlaps `box` (the caller tests the hole itself).
    template <typename Visit>
    void ForEachIn(const Box& box, Visit&& visit) const;

private:
    bool CellRange(const Box& box, std::size_t& x0, std::size_t& y0, std::size_t& x1, std::size_t& y1) const;

    double originX_ = 0.0;
    double originY_ = 0.0;
    double cell_ = 1.0;
    std::size_t columns_ = 0;
    std::size_t rows_ = 0;
    std::vector<std::uint32_t> cellStart_; // columns_ * rows_ + 1 offsets into items_
    std::vector<std::uint32_t> items_;
};

class PreviewModel {
public:
    PreviewModel() = default;
    PreviewModel(const ProgramMoves& program, const std::map<std::int32_t, double>& diameters,
                 std::vector<Point> differences = {});

    const std::vector<ModelHole>& Holes() const { return holes_; }
    const std::vector<ModelStroke>& Strokes() const { return strokes_; }
    const std::vector<RapidLine>& Rapids() const { return rapids_; }
    const std::vector<Point>& Differences() const { return differences_; }
    // One row per tool that drills or cuts, by tool number.
    const std::vector<ToolSummary>& Tools() const { return tools_; }
    // The row of `tool` in Tools().
    std::size_t ToolRow(std::int32_t tool) const;
    // Where the program drills and cuts: hole centres and path points, without the tool's width.
    const Box& Extents() const { return extents_; }
    // Everything drawn, with the tool widths, the differences and the origin.
    const Box& DrawingBounds() const { return drawing_; }
    double LargestDiameter() const { return largestDiameter_; }

    std::optional<std::size_t> NearestHole(Point p) const { return grid_.Nearest(holes_, p); }
    // The hole whose circle contains `p` (the nearest one when circles overlap).
    std::optional<std::size_t> HoleAt(Point p) const;
    template <typename Visit>
    void ForEachHoleIn(const Box& box, Visit&& visit) const;

private:
    std::vector<ModelHole> holes_;
    std::vector<ModelStroke> strokes_;
    std::vector<RapidLine> rapids_;
    std::vector<Point> differences_;
    std::vector<ToolSummary> tools_;
    Box extents_;
    Box drawing_;
    double largestDiameter_ = 0.0;
    HoleGrid grid_;
};

// "X -3.250 .. 15.500 mm (18.750)  Y 7.000 .. 20.000 mm (13.000)", or "no holes or cuts".
std::string ExtentsText(const Box& extents);
// Millimetres as the preview's texts show them (three decimals, a point whatever the locale).
inline std::string FormatMm(double value, int decimals = 3) {
    return platform::FixedText(value, decimals);
}

template <typename Visit>
void HoleGrid::ForEachIn(const Box& box, Visit&& visit) const {
    std::size_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!CellRange(box, x0, y0, x1, y1)) {
        return;
    }
    for (std::size_t row = y0; row <= y1; ++row) {
        for (std::size_t column = x0; column <= x1; ++column) {
            const std::size_t cell = row * columns_ + column;
            for (std::uint32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
                visit(static_cast<std::size_t>(items_[k]));
            }
        }
    }
}

template <typename Visit>
void PreviewModel::ForEachHoleIn(const Box& box, Visit&& visit) const {
    Box grown = box;
    grown.minX -= largestDiameter_ / 2.0;
    grown.minY -= largestDiameter_ / 2.0;
    grown.maxX += largestDiameter_ / 2.0;
    grown.maxY += largestDiameter_ / 2.0;
    grid_.ForEachIn(grown, [&](std::size_t index) {
        const ModelHole& hole = holes_[index];
        const double r = hole.diameter / 2.0;
        if (hole.at.x + r >= box.minX && hole.at.x - r <= box.maxX && hole.at.y + r >= box.minY &&
            hole.at.y - r <= box.maxY) {
            visit(index);
        }
    });
}

} // namespace korvex::preview

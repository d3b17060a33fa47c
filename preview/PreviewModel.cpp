#include "preview/PreviewModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvex::preview {

namespace {

constexpr double kPi = 3.14159265358979323846;

// An arc as chords short enough that the picture shows no corners at any useful zoom.
void FlattenArc(const Move& move, std::vector<Point>& points) {
    const double radius = std::hypot(move.start.x - move.centre.x, move.start.y - move.centre.y);
    const double a0 = std::atan2(move.start.y - move.centre.y, move.start.x - move.centre.x);
    const double a1 = std::atan2(move.end.y - move.centre.y, move.end.x - move.centre.x);
    double sweep = a1 - a0;
    if (move.kind == gcode::MoveKind::CounterClockwiseArc) {
        if (sweep <= 0.0) {
            sweep += 2.0 * kPi;
        }
    } else if (sweep >= 0.0) {
        sweep -= 2.0 * kPi;
    }
    const double chords = std::ceil(std::fabs(sweep) / (2.0 * kPi) * 72.0);
    const int steps = std::isfinite(chords) ? static_cast<int>(std::clamp(chords, 2.0, 72.0)) : 2;
    for (int k = 1; k < steps; ++k) {
        const double a = a0 + sweep * k / steps;
        points.push_back(Point{move.centre.x + radius * std::cos(a), move.centre.y + radius * std::sin(a)});
    }
    points.push_back(move.end);
}

// The bucket `cells` buckets from the grid's origin, held to the grid; NaN (from absurd coordinates) is 0.
std::size_t CellIndex(double cells, std::size_t count) {
    if (!(cells > 0.0)) {
        return 0;
    }
    if (cells >= static_cast<double>(count - 1)) {
        return count - 1;
    }
    return static_cast<std::size_t>(cells);
}

double Squared(Point a, Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return dx * dx + dy * dy;
}

} // namespace

void Box::Add(Point p, double margin) {
    if (empty) {
        minX = p.x - margin;
        maxX = p.x + margin;
        minY = p.y - margin;
        maxY = p.y + margin;
        empty = false;
        return;
    }
    minX = std::min(minX, p.x - margin);
    maxX = std::max(maxX, p.x + margin);
    minY = std::min(minY, p.y - margin);
    maxY = std::max(maxY, p.y + margin);
}

bool Box::Intersects(const Box& other) const {
    return !empty && !other.empty && minX <= other.maxX && other.minX <= maxX && minY <= other.maxY &&
           other.minY <= maxY;
}

void HoleGrid::Build(const std::vector<ModelHole>& holes) {
    columns_ = rows_ = 0;
    cellStart_.clear();
    items_.clear();
    if (holes.empty()) {
        return;
    }
    Box box;
    for (const ModelHole& hole : holes) {
        box.Add(hole.at);
    }
    const double width = std::max(box.Width(), 1e-6);
    const double height = std::max(box.Height(), 1e-6);
    // About two holes per bucket; a long thin board gets one row or column rather than empty buckets.
    const double buckets = std::max(1.0, static_cast<double>(holes.size()) / 2.0);
    cell_ = std::max(std::sqrt(width * height / buckets), 1e-6);
    cell_ = std::max({cell_, width / buckets, height / buckets});
    columns_ = CellIndex(width / cell_, 1u << 15) + 1;
    rows_ = CellIndex(height / cell_, 1u << 15) + 1;
    cell_ = std::max(width / static_cast<double>(columns_), height / static_cast<double>(rows_)) * (1.0 + 1e-9);
    originX_ = box.minX;
    originY_ = box.minY;

    auto cellOf = [&](Point p) {
        const std::size_t column = CellIndex((p.x - originX_) / cell_, columns_);
        const std::size_t row = CellIndex((p.y - originY_) / cell_, rows_);
        return row * columns_ + column;
    };
    cellStart_.assign(columns_ * rows_ + 1, 0);
    for (const ModelHole& hole : holes) {
        ++cellStart_[cellOf(hole.at) + 1];
    }
    for (std::size_t k = 1; k < cellStart_.size(); ++k) {
        cellStart_[k] += cellStart_[k - 1];
    }
    items_.resize(holes.size());
    std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    for (std::size_t index = 0; index < holes.size(); ++index) {
        items_[fill[cellOf(holes[index].at)]++] = static_cast<std::uint32_t>(index);
    }
}

bool HoleGrid::CellRange(const Box& box, std::size_t& x0, std::size_t& y0, std::size_t& x1, std::size_t& y1) const {
    if (columns_ == 0 || box.empty) {
        return false;
    }
    const double right = originX_ + cell_ * static_cast<double>(columns_);
    const double top = originY_ + cell_ * static_cast<double>(rows_);
    if (box.maxX < originX_ || box.minX > right || box.maxY < originY_ || box.minY > top) {
        return false;
    }
    auto index = [&](double value, double origin, std::size_t count) {
        return CellIndex(std::floor((value - origin) / cell_), count);
    };
    x0 = index(box.minX, originX_, columns_);
    x1 = index(box.maxX, originX_, columns_);
    y0 = index(box.minY, originY_, rows_);
    y1 = index(box.maxY, originY_, rows_);
    return true;
}

std::optional<std::size_t> HoleGrid::Nearest(const std::vector<ModelHole>& holes, Point p) const {
    if (columns_ == 0) {
        return std::nullopt;
    }
    auto clampIndex = [&](double value, double origin, std::size_t count) {
        return static_cast<std::ptrdiff_t>(CellIndex(std::floor((value - origin) / cell_), count));
    };
    const std::ptrdiff_t cx = clampIndex(p.x, originX_, columns_);
    const std::ptrdiff_t cy = clampIndex(p.y, originY_, rows_);
    const auto columns = static_cast<std::ptrdiff_t>(columns_);
    const auto rows = static_cast<std::ptrdiff_t>(rows_);

    // Distances by hypot: squares of far coordinates overflow, and every hole would then be equally far.
    std::optional<std::size_t> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    auto visitCell = [&](std::ptrdiff_t column, std::ptrdiff_t row) {
        if (column < 0 || row < 0 || column >= columns || row >= rows) {
            return;
        }
        const auto cell = static_cast<std::size_t>(row * columns + column);
        for (std::uint32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
            const Point at = holes[items_[k]].at;
            const double d = std::hypot(at.x - p.x, at.y - p.y);
            if (!best || d < bestDistance) {
                bestDistance = d;
                best = items_[k];
            }
        }
    };
    // Only the buckets of each ring that lie on the grid are visited, so a point far off the board costs no
    // more than the grid has buckets.
    for (std::ptrdiff_t ring = 0;; ++ring) {
        const std::ptrdiff_t left = std::max<std::ptrdiff_t>(0, cx - ring);
        const std::ptrdiff_t right = std::min(columns - 1, cx + ring);
        const std::ptrdiff_t bottom = std::max<std::ptrdiff_t>(0, cy - ring);
        const std::ptrdiff_t top = std::min(rows - 1, cy + ring);
        if (ring == 0) {
            visitCell(cx, cy);
        } else {
            for (std::ptrdiff_t column = left; column <= right; ++column) {
                if (cy - ring >= 0) {
                    visitCell(column, cy - ring);
                }
                if (cy + ring < rows) {
                    visitCell(column, cy + ring);
                }
            }
            for (std::ptrdiff_t row = std::max(bottom, cy - ring + 1); row <= std::min(top, cy + ring - 1); ++row) {
                if (cx - ring >= 0) {
                    visitCell(cx - ring, row);
                }
                if (cx + ring < columns) {
                    visitCell(cx + ring, row);
                }
            }
        }
        // Buckets beyond this ring lie outside the box of rings searched so far; sides of that box past the
        // grid's edge have no buckets behind them.
        double bound = std::numeric_limits<double>::infinity();
        bool covered = true;
        if (cx - ring > 0) {
            bound = std::min(bound, p.x - (originX_ + cell_ * static_cast<double>(cx - ring)));
            covered = false;
        }
        if (cx + ring + 1 < columns) {
            bound = std::min(bound, originX_ + cell_ * static_cast<double>(cx + ring + 1) - p.x);
            covered = false;
        }
        if (cy - ring > 0) {
            bound = std::min(bound, p.y - (originY_ + cell_ * static_cast<double>(cy - ring)));
            covered = false;
        }
        if (cy + ring + 1 < rows) {
            bound = std::min(bound, originY_ + cell_ * static_cast<double>(cy + ring + 1) - p.y);
            covered = false;
        }
        if (covered || (best && bestDistance <= bound)) {
            return best;
        }
    }
}

PreviewModel::PreviewModel(const ProgramMoves& program, const std::map<std::int32_t, double>& diameters,
                           std::vector<Point> differences)
    : differences_(std::move(differences)) {
    std::map<std::int32_t, ToolSummary> tools;
    auto widthOf = [&](std::int32_t tool) {
        const auto found = diameters.find(tool);
        return (found != diameters.end() && found->second > 0.0) ? found->second : kUnknownDiameterMm;
    };
    auto summary = [&](std::int32_t tool) -> ToolSummary& {
        ToolSummary& row = tools[tool];
        row.tool = tool;
        const auto found = diameters.find(tool);
        if (found != diameters.end() && found->second > 0.0) {
            row.diameter = found->second;
        }
        return row;
    };

    holes_.reserve(program.holes.size());
    for (const DrilledHole& hole : program.holes) {
        const double diameter = hole.diameter.value_or(widthOf(hole.tool));
        holes_.push_back(ModelHole{hole.tool, hole.at, diameter});
        ++summary(hole.tool).holes;
        extents_.Add(hole.at);
        drawing_.Add(hole.at, diameter / 2.0);
        largestDiameter_ = std::max(largestDiameter_, diameter);
    }
    for (const Move& move : program.moves) {
        if (move.kind == gcode::MoveKind::Rapid) {
            rapids_.push_back(RapidLine{move.start, move.end});
            continue;
        }
        // Consecutive cuts of one tool make one stroke, so joins are drawn round and once.
        const bool continues = !strokes_.empty() && strokes_.back().tool == move.tool &&
                               strokes_.back().points.back().x == move.start.x &&
                               strokes_.back().points.back().y == move.start.y;
        if (!continues) {
            ModelStroke stroke;
            stroke.tool = move.tool;
            stroke.width = widthOf(move.tool);
            stroke.points.push_back(move.start);
            strokes_.push_back(std::move(stroke));
            ++summary(move.tool).cuts;
        }
        ModelStroke& stroke = strokes_.back();
        if (move.kind == gcode::MoveKind::Feed) {
            stroke.points.push_back(move.end);
        } else {
            FlattenArc(move, stroke.points);
        }
    }
    for (ModelStroke& stroke : strokes_) {
        for (const Point& p : stroke.points) {
            stroke.bounds.Add(p);
            extents_.Add(p);
            drawing_.Add(p, stroke.width / 2.0);
        }
    }
    for (const Point& p : differences_) {
        drawing_.Add(p, largestDiameter_ > 0.0 ? largestDiameter_ : kUnknownDiameterMm);
    }
    drawing_.Add(Point{0.0, 0.0});
    for (const auto& entry : tools) {
        tools_.push_back(entry.second);
    }
    grid_.Build(holes_);
}

std::size_t PreviewModel::ToolRow(std::int32_t tool) const {
    const auto found = std::lower_bound(tools_.begin(), tools_.end(), tool,
                                        [](const ToolSummary& row, std::int32_t t) { return row.tool < t; });
    return static_cast<std::size_t>(found - tools_.begin());
}

std::optional<std::size_t> PreviewModel::HoleAt(Point p) const {
    std::optional<std::size_t> best;
    double bestSquared = std::numeric_limits<double>::infinity();
    Box box;
    box.Add(p);
    ForEachHoleIn(box, [&](std::size_t index) {
        const ModelHole& hole = holes_[index];
        const double d = Squared(hole.at, p);
        if (d <= hole.diameter * hole.diameter / 4.0 && d < bestSquared) {
            bestSquared = d;
            best = index;
        }
    });
    return best;
}

std::string ExtentsText(const Box& extents) {
    if (extents.empty) {
        return "no holes or cuts";
    }
    return "X " + FormatMm(extents.minX) + " .. " + FormatMm(extents.maxX) + " mm (" + FormatMm(extents.Width()) +
           ")  Y " + FormatMm(extents.minY) + " .. " + FormatMm(extents.maxY) + " mm (" + FormatMm(extents.Height()) +
           ")";
}

} // namespace korvex::preview

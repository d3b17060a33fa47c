#include "gcode/Verification.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <unordered_map>

#include "platform/DecimalText.h"

namespace korvex::gcode {

using conversion::PathEvent;
using conversion::PathKind;
using conversion::PathSegment;

void ExpectedWork::OnHole(conversion::ConversionState&, const conversion::HoleEvent& hole) {
    holes_.push_back({hole.tool, hole.x, hole.y});
}

void ExpectedWork::OnPath(const PathEvent& path) {
    paths_.push_back(path);
}

void ExpectedWork::OnToolDiameter(std::int32_t tool, double diameterMm) {
    if (tool < 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(tool);
    if (diameters_.size() <= index) {
        diameters_.resize(index + 1, 0.0);
    }
    diameters_[index] = diameterMm;
}

namespace {

bool Near(double a, double b) {
    return std::fabs(a - b) <= kVerifyTolerance;
}

double Distance(double x1, double y1, double x2, double y2) {
    return std::max(std::fabs(x1 - x2), std::fabs(y1 - y2));
}

// Where each program item may be found: a grid of cells one tolerance wide, so a match lies in the cell of
// the expected point or one of its eight neighbours.
class Grid {
public:
    void Add(std::int32_t tool, double x, double y, std::size_t index) {
        cells_[Key(tool, Cell(x), Cell(y))].push_back(index);
    }

    // The unused index nearest to (x, y) among those `distance` accepts (it gives a negative distance for the
    // others); it is then used. SIZE_MAX when none. Nearest first, so that an exact match is never taken away
    // by a neighbour within the tolerance.
    template <typename Distance>
    std::size_t Take(std::int32_t tool, double x, double y, Distance distance) {
        const std::int64_t cx = Cell(x);
        const std::int64_t cy = Cell(y);
        std::vector<std::size_t>* bestCell = nullptr;
        std::size_t bestSlot = 0;
        double bestDistance = 0.0;
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto found = cells_.find(Key(tool, cx + dx, cy + dy));
                if (found == cells_.end()) {
                    continue;
                }
                std::vector<std::size_t>& indices = found->second;
                for (std::size_t k = 0; k < indices.size(); ++k) {
                    const double d = distance(indices[k]);
                    if (d >= 0.0 && (bestCell == nullptr || d < bestDistance)) {
                        bestCell = &indices;
                        bestSlot = k;
                        bestDistance = d;
                    }
                }
            }
        }
        if (bestCell == nullptr) {
            return SIZE_MAX;
        }
        const std::size_t index = (*bestCell)[bestSlot];
        (*bestCell)[bestSlot] = bestCell->back();
        bestCell->pop_back();
        return index;
    }

    template <typename Visit>
    void ForEachLeft(Visit visit) const {
        for (const auto& cell : cells_) {
            for (const std::size_t index : cell.second) {
                visit(index);
            }
        }
    }

private:
    static std::int64_t Cell(double v) {
        const double cell = std::floor(v / kVerifyTolerance);
        // Far outside any machine; clamping keeps the conversion defined.
        return static_cast<std::int64_t>(std::clamp(cell, -1e15, 1e15));
    }
    static std::uint64_t Key(std::int32_t tool, std::int64_t x, std::int64_t y) {
        std::uint64_t h = static_cast<std::uint64_t>(tool) * 0x9E3779B97F4A7C15ULL;
        h ^= static_cast<std::uint64_t>(x) + 0x7F4A7C159E3779B9ULL + (h << 6) + (h >> 2);
        h ^= static_cast<std::uint64_t>(y) + 0x94D049BB133111EBULL + (h << 6) + (h >> 2);
        return h;
    }

    std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells_;
};

PathSegment::Kind SegmentKindOf(MoveKind kind) {
    switch (kind) {
    case MoveKind::ClockwiseArc:
        return PathSegment::Kind::ClockwiseArc;
    case MoveKind::CounterClockwiseArc:
        return PathSegment::Kind::CounterClockwiseArc;
    default:
        return PathSegment::Kind::Line;
    }
}

bool SamePath(const PathEvent& expected, const MilledPath& milled) {
    if (expected.segments.size() != milled.pieces.size() || !Near(expected.startX, milled.startX) ||
        !Near(expected.startY, milled.startY)) {
        return false;
    }
    for (std::size_t k = 0; k < milled.pieces.size(); ++k) {
        const PathSegment& segment = expected.segments[k];
        const PathPiece& piece = milled.pieces[k];
        if (segment.kind != SegmentKindOf(piece.kind) || !Near(segment.x, piece.x) || !Near(segment.y, piece.y)) {
            return false;
        }
        if (segment.kind != PathSegment::Kind::Line &&
            (!Near(segment.centerX, piece.centerX) || !Near(segment.centerY, piece.centerY))) {
            return false;
        }
    }
    return true;
}

void AddDifference(VerificationResult& result, const Difference& difference) {
    ++result.differenceCount;
    if (result.differences.size() < kMaxKeptDifferences) {
        result.differences.push_back(difference);
    }
}

// A hole on either side of the comparison: `key` is what must agree (the tool, or the bit it is drilled
// with), `tool` what a difference names; `diameter` is checked where both sides know it (NaN: unknown).
struct HoleItem {
    std::int32_t key = -1;
    std::int32_t tool = -1;
    double x = 0.0;
    double y = 0.0;
    double diameter = std::numeric_limits<double>::quiet_NaN();
};

// A milled hole's path keeps a little inside for the rounding of its words, which may also add to what is read
// back: a few thousandths either way are the hole asked for.
constexpr double kMilledDiameterTolerance = 0.005;

bool SameDiameter(const HoleItem& a, const HoleItem& b) {
    return std::isnan(a.diameter) || std::isnan(b.diameter) ||
           std::fabs(a.diameter - b.diameter) <= kMilledDiameterTolerance;
}

// The usual case, a program that drills exactly what was asked, in whatever order: both sides sorted pair
// up one to one. Rounding to the written decimals may swap two holes closer than the tolerance, which only
// sends the comparison the long way.
bool SameHolesSorted(std::vector<HoleItem> a, std::vector<HoleItem> b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto order = [](const HoleItem& p, const HoleItem& q) {
        return std::tie(p.key, p.x, p.y) < std::tie(q.key, q.x, q.y);
    };
    std::sort(a.begin(), a.end(), order);
    std::sort(b.begin(), b.end(), order);
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].key != b[k].key || !Near(a[k].x, b[k].x) || !Near(a[k].y, b[k].y) || !SameDiameter(a[k], b[k])) {
            return false;
        }
    }
    return true;
}

void CompareHoles(const std::vector<HoleItem>& expected, const std::vector<HoleItem>& drilled,
                  VerificationResult& result) {
    if (SameHolesSorted(expected, drilled)) {
        return;
    }
    Grid grid;
    for (std::size_t k = 0; k < drilled.size(); ++k) {
        grid.Add(drilled[k].key, drilled[k].x, drilled[k].y, k);
    }
    for (const HoleItem& hole : expected) {
        const std::size_t found = grid.Take(hole.key, hole.x, hole.y, [&](std::size_t k) {
            return Near(drilled[k].x, hole.x) && Near(drilled[k].y, hole.y) && SameDiameter(drilled[k], hole)
                       ? Distance(drilled[k].x, drilled[k].y, hole.x, hole.y)
                       : -1.0;
        });
        if (found == SIZE_MAX) {
            Difference difference;
            difference.kind = Difference::Kind::MissingHole;
            difference.tool = hole.tool;
            difference.x = hole.x;
            difference.y = hole.y;
            AddDifference(result, difference);
        }
    }
    grid.ForEachLeft([&](std::size_t k) {
        Difference difference;
        difference.kind = Difference::Kind::ExtraHole;
        difference.tool = drilled[k].tool;
        difference.x = drilled[k].x;
        difference.y = drilled[k].y;
        AddDifference(result, difference);
    });
}

std::optional<double> Find(const std::map<std::int32_t, double>& map, std::int32_t key) {
    const auto found = map.find(key);
    return found == map.end() ? std::nullopt : std::optional<double>(found->second);
}

// Keys of the bits and of the end mill, apart from every tool number a program can select.
constexpr std::int32_t kMilledKey = std::numeric_limits<std::int32_t>::min();

std::int32_t KeyOf(const DrillMapping* mapping, std::int32_t tool) {
    if (mapping == nullptr) {
        return tool;
    }
    if (mapping->milled.count(tool) != 0) {
        return kMilledKey;
    }
    const auto bit = mapping->bitOf.find(tool);
    return bit == mapping->bitOf.end()
               ? tool
               : kMilledKey + 1 + static_cast<std::int32_t>(std::min<std::size_t>(bit->second, 1u << 20));
}

void ComparePaths(const std::vector<PathEvent>& expected, const std::vector<MilledPath>& milled,
                  const DrillMapping* mapping, VerificationResult& result) {
    Grid grid;
    for (std::size_t k = 0; k < milled.size(); ++k) {
        grid.Add(KeyOf(mapping, milled[k].tool), milled[k].startX, milled[k].startY, k);
    }
    for (const PathEvent& path : expected) {
        const std::size_t found = grid.Take(KeyOf(mapping, path.tool), path.startX, path.startY, [&](std::size_t k) {
            return SamePath(path, milled[k]) ? Distance(milled[k].startX, milled[k].startY, path.startX, path.startY)
                                             : -1.0;
        });
        if (found == SIZE_MAX) {
            Difference difference;
            difference.kind = Difference::Kind::MissingPath;
            difference.pathKind = path.kind;
            difference.tool = path.tool;
            difference.x = path.startX;
            difference.y = path.startY;
            difference.endX = path.segments.empty() ? path.startX : path.segments.back().x;
            difference.endY = path.segments.empty() ? path.startY : path.segments.back().y;
            AddDifference(result, difference);
        }
    }
    grid.ForEachLeft([&](std::size_t k) {
        const MilledPath& path = milled[k];
        Difference difference;
        difference.kind = Difference::Kind::ExtraPath;
        difference.tool = path.tool;
        difference.x = path.startX;
        difference.y = path.startY;
        difference.endX = path.pieces.empty() ? path.startX : path.pieces.back().x;
        difference.endY = path.pieces.empty() ? path.startY : path.pieces.back().y;
        AddDifference(result, difference);
    });
}

std::string At(double x, double y) {
    return "X" + platform::FixedText(x) + " Y" + platform::FixedText(y);
}

std::string ToolText(std::int32_t tool) {
    return tool < 0 ? std::string("before any tool") : "T" + std::to_string(tool);
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Describe(const Difference& difference) {
    const std::string tool = ToolText(difference.tool);
    switch (difference.kind) {
    case Difference::Kind::MissingHole:
        return "hole " + tool + " at " + At(difference.x, difference.y) + " is missing from the program";
    case Difference::Kind::ExtraHole:
        return "the program drills a hole " + tool + " at " + At(difference.x, difference.y) +
               " that the drill file does not ask for";
    case Difference::Kind::MissingPath:
        return std::string(difference.pathKind == PathKind::Slot ? "slot " : "route ") + tool + " from " +
               At(difference.x, difference.y) + " to " + At(difference.endX, difference.endY) +
               " is missing from the program";
    case Difference::Kind::ExtraPath:
        return "the program mills " + tool + " from " + At(difference.x, difference.y) + " to " +
               At(difference.endX, difference.endY) + " where the drill file asks for no such path";
    }
    return {};
}

} // namespace

VerificationResult Verify(const ExpectedWork& expected, const Program& program, const DrillMapping* mapping) {
    VerificationResult result;
    result.ran = true;
    result.holeCount = expected.Holes().size();
    for (const PathEvent& path : expected.Paths()) {
        ++(path.kind == PathKind::Slot ? result.slotCount : result.routeCount);
    }
    std::vector<HoleItem> asked;
    asked.reserve(expected.Holes().size());
    for (const ExpectedWork::Hole& hole : expected.Holes()) {
        HoleItem item{KeyOf(mapping, hole.tool), hole.tool, hole.x, hole.y};
        if (const auto milled = mapping == nullptr ? std::nullopt : Find(mapping->milled, hole.tool)) {
            item.diameter = *milled;
        }
        asked.push_back(item);
    }
    std::vector<HoleItem> made;
    made.reserve(program.holes.size());
    for (const DrilledHole& hole : program.holes) {
        made.push_back(HoleItem{KeyOf(mapping, hole.tool), hole.tool, hole.x, hole.y});
    }
    // A milled circle is a hole of its tool where the drill file asks for one there (of that diameter, where
    // the mapping knows it); otherwise (a routed circle) it stays a path.
    std::vector<MilledPath> paths;
    const bool circlesAreHoles = mapping != nullptr && mapping->endMillMm;
    Grid askedGrid;
    if (circlesAreHoles) {
        for (std::size_t k = 0; k < asked.size(); ++k) {
            askedGrid.Add(asked[k].key, asked[k].x, asked[k].y, k);
        }
    }
    for (const MilledPath& path : program.paths) {
        const std::optional<MilledCircle> circle = circlesAreHoles ? CircleOf(path) : std::nullopt;
        if (circle) {
            const HoleItem hole{KeyOf(mapping, path.tool), path.tool, circle->x, circle->y,
                                circle->diameter + *mapping->endMillMm};
            const std::size_t found = askedGrid.Take(hole.key, hole.x, hole.y, [&](std::size_t k) {
                return Near(asked[k].x, hole.x) && Near(asked[k].y, hole.y) && SameDiameter(asked[k], hole)
                           ? Distance(asked[k].x, asked[k].y, hole.x, hole.y)
                           : -1.0;
            });
            if (found != SIZE_MAX) {
                made.push_back(hole);
                continue;
            }
        }
        if (circlesAreHoles) {
            paths.push_back(path);
        }
    }
    CompareHoles(asked, made, result);
    ComparePaths(expected.Paths(), circlesAreHoles ? paths : program.paths, mapping, result);
    std::sort(result.differences.begin(), result.differences.end(), [](const Difference& a, const Difference& b) {
        return std::tie(a.x, a.y, a.kind, a.tool) < std::tie(b.x, b.y, b.kind, b.tool);
    });
    return result;
}

std::vector<std::string> VerificationLogLines(const VerificationResult& result, std::size_t shown) {
    std::vector<std::string> lines;
    if (!result.ran) {
        lines.push_back("Not verified: " + result.skipReason);
        return lines;
    }
    if (result.differenceCount == 0) {
        lines.push_back("Verified against the drill file" + (result.readAs.empty() ? "" : " read as " + result.readAs) +
                        ": " + Counted(result.holeCount, "hole", "holes") + ", " +
                        Counted(result.slotCount, "slot", "slots") + ", " +
                        Counted(result.routeCount, "route", "routes"));
        return lines;
    }
    for (std::size_t k = 0; k < result.differences.size() && k < shown; ++k) {
        lines.push_back("Warning: " + Describe(result.differences[k]));
    }
    if (result.differenceCount > shown) {
        lines.push_back("Warning: " + std::to_string(result.differenceCount - shown) +
                        " more differences between the program and the drill file");
    }
    return lines;
}

} // namespace korvex::gcode

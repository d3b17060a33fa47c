#include "excellon/BoardSide.h"

#include <utility>

namespace korvex::excellon {

namespace {

// Where the origin choice puts the board: the shift that brings the chosen corner (or centre) to 0,0.
std::pair<double, double> OriginShift(const BoardExtents& board, BoardOrigin origin) {
    switch (origin) {
    case BoardOrigin::LowerLeft:
        return {-board.minX, -board.minY};
    case BoardOrigin::Center:
        return {-(board.minX + board.maxX) / 2.0, -(board.minY + board.maxY) / 2.0};
    case BoardOrigin::File:
        break;
    }
    return {0.0, 0.0};
}

BoardExtents Shifted(const BoardExtents& board, std::pair<double, double> shift) {
    return BoardExtents{board.minX + shift.first, board.minY + shift.second, board.maxX + shift.first,
                        board.maxY + shift.second};
}

// The mirror line's coordinate: the user's, or the middle of the moved board in the mirrored axis.
double MirrorLine(const BoardExtents& moved, const BoardPlacement& placement) {
    if (placement.mirrorAt) {
        return *placement.mirrorAt;
    }
    return placement.mirror == MirrorAxis::X ? (moved.minX + moved.maxX) / 2.0 : (moved.minY + moved.maxY) / 2.0;
}

} // namespace

BoardMap::BoardMap(const BoardExtents& board, const BoardPlacement& placement) {
    const std::pair<double, double> shift = OriginShift(board, placement.origin);
    shiftX_ = shift.first;
    shiftY_ = shift.second;
    mirrorX_ = placement.mirror == MirrorAxis::X;
    mirrorY_ = placement.mirror == MirrorAxis::Y;
    if (Mirrors()) {
        axis_ = MirrorLine(Shifted(board, shift), placement);
    }
}

conversion::HolePosition BoardMap::Apply(double x, double y) const {
    // 2·axis is exact, so a point on the axis (an alignment hole) maps onto itself bit for bit.
    x += shiftX_;
    y += shiftY_;
    if (mirrorX_) {
        x = 2.0 * axis_ - x;
    }
    if (mirrorY_) {
        y = 2.0 * axis_ - y;
    }
    return conversion::HolePosition{x, y};
}

void BoardMap::Apply(conversion::PathEvent& path) const {
    const conversion::HolePosition start = Apply(path.startX, path.startY);
    path.startX = start.x;
    path.startY = start.y;
    using Kind = conversion::PathSegment::Kind;
    for (conversion::PathSegment& segment : path.segments) {
        const conversion::HolePosition end = Apply(segment.x, segment.y);
        segment.x = end.x;
        segment.y = end.y;
        if (segment.kind == Kind::Line) {
            continue;
        }
        const conversion::HolePosition centre = Apply(segment.centerX, segment.centerY);
        segment.centerX = centre.x;
        segment.centerY = centre.y;
        // A mirror image turns the other way round.
        if (Mirrors()) {
            segment.kind = segment.kind == Kind::ClockwiseArc ? Kind::CounterClockwiseArc : Kind::ClockwiseArc;
        }
    }
}

std::vector<conversion::HolePosition> AlignmentHoles(const BoardExtents& board, const BoardPlacement& placement) {
    if (!placement.alignmentHoleMm || placement.mirror == MirrorAxis::None) {
        return {};
    }
    // Both ends of the mirror line, beyond the moved board: points on the line are their own mirror images, so
    // the holes lie where the top side's would, and the flipped board drops onto the same pins.
    const BoardExtents moved = Shifted(board, OriginShift(board, placement.origin));
    const double line = MirrorLine(moved, placement);
    if (placement.mirror == MirrorAxis::X) {
        return {{line, moved.minY - kAlignmentHoleMarginMm}, {line, moved.maxY + kAlignmentHoleMarginMm}};
    }
    return {{moved.minX - kAlignmentHoleMarginMm, line}, {moved.maxX + kAlignmentHoleMarginMm, line}};
}

std::optional<MirrorAxis> MirrorAxisFromName(std::string_view name) {
    if (name == "x") {
        return MirrorAxis::X;
    }
    if (name == "y") {
        return MirrorAxis::Y;
    }
    return std::nullopt;
}

std::optional<BoardOrigin> BoardOriginFromName(std::string_view name) {
    for (const BoardOrigin origin : {BoardOrigin::File, BoardOrigin::LowerLeft, BoardOrigin::Center}) {
        if (name == BoardOriginName(origin)) {
            return origin;
        }
    }
    return std::nullopt;
}

std::string_view BoardOriginName(BoardOrigin origin) {
    switch (origin) {
    case BoardOrigin::LowerLeft:
        return "lower-left";
    case BoardOrigin::Center:
        return "center";
    case BoardOrigin::File:
        break;
    }
    return "file";
}

} // namespace korvex::excellon

// Where the board lands: origin moves, mirroring for the back side, and the alignment holes both sides share.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "excellon/BoardSide.h"

namespace {

using namespace korvex::excellon;
using korvex::conversion::HolePosition;
using korvex::conversion::PathEvent;
using korvex::conversion::PathSegment;

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

// A board exported far from the machine's origin, and one lying at negative coordinates.
constexpr BoardExtents kFarBoard{10.0, 403.0, 60.0, 483.0};
constexpr BoardExtents kNegativeBoard{-80.0, -45.5, -20.0, -5.5};

BoardPlacement Placement(BoardOrigin origin, MirrorAxis mirror = MirrorAxis::None,
                         std::optional<double> mirrorAt = std::nullopt, std::optional<double> holes = std::nullopt) {
    BoardPlacement placement;
    placement.origin = origin;
    placement.mirror = mirror;
    placement.mirrorAt = mirrorAt;
    placement.alignmentHoleMm = holes;
    return placement;
}

constexpr double kExact = 1e-9;

// Single points

struct PointRow {
    const char* name;
    BoardExtents board;
    BoardPlacement placement;
    HolePosition in;
    HolePosition expected;
};

void PrintTo(const PointRow& row, std::ostream* out) {
    *out << row.name;
}

class BoardMapPointTest : public testing::TestWithParam<PointRow> {};

TEST_P(BoardMapPointTest, LandsWhereExpected) {
    const PointRow& row = GetParam();
    const HolePosition out = BoardMap(row.board, row.placement).Apply(row.in.x, row.in.y);
    EXPECT_NEAR(out.x, row.expected.x, kExact);
    EXPECT_NEAR(out.y, row.expected.y, kExact);
}

INSTANTIATE_TEST_SUITE_P(
    Places, BoardMapPointTest,
    testing::Values(
        PointRow{"file_origin_keeps", kFarBoard, Placement(BoardOrigin::File), {12, 410}, {12, 410}},
        PointRow{"lower_left_corner_to_zero", kFarBoard, Placement(BoardOrigin::LowerLeft), {10, 403}, {0, 0}},
        PointRow{"lower_left_upper_right", kFarBoard, Placement(BoardOrigin::LowerLeft), {60, 483}, {50, 80}},
        PointRow{"lower_left_negative", kNegativeBoard, Placement(BoardOrigin::LowerLeft), {-80, -45.5}, {0, 0}},
        PointRow{"centre_to_zero", kFarBoard, Placement(BoardOrigin::Center), {35, 443}, {0, 0}},
        PointRow{"centre_corner", kFarBoard, Placement(BoardOrigin::Center), {10, 403}, {-25, -40}},
        PointRow{"centre_negative", kNegativeBoard, Placement(BoardOrigin::Center), {-50, -25.5}, {0, 0}},
        PointRow{"mirror_x_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X), {12, 410}, {58, 410}},
        PointRow{"mirror_y_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::Y), {12, 410}, {12, 476}},
        PointRow{"mirror_x_at", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X, 100.0), {12, 410}, {188, 410}},
        PointRow{
            "mirror_y_at_zero", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::Y, 0.0), {12, 410}, {12, -410}},
        // The origin moves first; the middle is the moved board's.
        PointRow{"lower_left_then_mirror_x",
                 kFarBoard,
                 Placement(BoardOrigin::LowerLeft, MirrorAxis::X),
                 {12, 410},
                 {48, 7}},
        PointRow{"lower_left_then_mirror_x_at",
                 kFarBoard,
                 Placement(BoardOrigin::LowerLeft, MirrorAxis::X, 0.0),
                 {12, 410},
                 {-2, 7}},
        PointRow{"centre_then_mirror_y",
                 kNegativeBoard,
                 Placement(BoardOrigin::Center, MirrorAxis::Y),
                 {-60, -40},
                 {-10, 14.5}}),
    RowName<PointRow>);

// Mirroring twice

struct TwiceRow {
    const char* name;
    BoardExtents board;
    BoardPlacement placement;
};

void PrintTo(const TwiceRow& row, std::ostream* out) {
    *out << row.name;
}

class BoardMapTwiceTest : public testing::TestWithParam<TwiceRow> {};

// A slot and a route with both kinds of arc, as the reading hands them over.
PathEvent SamplePath() {
    PathEvent path;
    path.startX = 20.125;
    path.startY = 410.3;
    path.segments = {
        {PathSegment::Kind::Line, 30.0, 410.3, 0.0, 0.0},
        {PathSegment::Kind::ClockwiseArc, 35.0, 415.3, 30.0, 415.3},
        {PathSegment::Kind::CounterClockwiseArc, 40.0, 420.3, 40.0, 415.3},
    };
    return path;
}

// The mirrored board's own map mirrors it back: holes, path points, centres and the arcs' sense return to
// where the top side has them.
TEST_P(BoardMapTwiceTest, IsTheTopSide) {
    const TwiceRow& row = GetParam();
    const BoardMap top(row.board, Placement(row.placement.origin));
    const BoardMap bottom(row.board, row.placement);
    const HolePosition corner = bottom.Apply(row.board.minX, row.board.minY);
    const HolePosition opposite = bottom.Apply(row.board.maxX, row.board.maxY);
    const BoardExtents flipped{std::min(corner.x, opposite.x), std::min(corner.y, opposite.y),
                               std::max(corner.x, opposite.x), std::max(corner.y, opposite.y)};
    BoardPlacement back = row.placement;
    back.origin = BoardOrigin::File;
    const BoardMap again(flipped, back);

    for (const HolePosition hole : {HolePosition{12.0, 410.0}, HolePosition{-7.25, 3.5}, HolePosition{60.0, 483.0}}) {
        const HolePosition once = bottom.Apply(hole.x, hole.y);
        const HolePosition twice = again.Apply(once.x, once.y);
        const HolePosition expected = top.Apply(hole.x, hole.y);
        EXPECT_NEAR(twice.x, expected.x, kExact);
        EXPECT_NEAR(twice.y, expected.y, kExact);
    }

    PathEvent once = SamplePath();
    bottom.Apply(once);
    PathEvent twice = once;
    again.Apply(twice);
    PathEvent expected = SamplePath();
    top.Apply(expected);
    EXPECT_NEAR(twice.startX, expected.startX, kExact);
    EXPECT_NEAR(twice.startY, expected.startY, kExact);
    ASSERT_EQ(twice.segments.size(), expected.segments.size());
    for (std::size_t i = 0; i < expected.segments.size(); ++i) {
        const bool arc = expected.segments[i].kind != PathSegment::Kind::Line;
        EXPECT_EQ(once.segments[i].kind != expected.segments[i].kind, arc) << "segment " << i << " once";
        EXPECT_EQ(twice.segments[i].kind, expected.segments[i].kind) << "segment " << i;
        EXPECT_NEAR(twice.segments[i].x, expected.segments[i].x, kExact);
        EXPECT_NEAR(twice.segments[i].y, expected.segments[i].y, kExact);
        if (arc) {
            EXPECT_NEAR(twice.segments[i].centerX, expected.segments[i].centerX, kExact);
            EXPECT_NEAR(twice.segments[i].centerY, expected.segments[i].centerY, kExact);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mirrors, BoardMapTwiceTest,
    testing::Values(TwiceRow{"x_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X)},
                    TwiceRow{"y_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::Y)},
                    TwiceRow{"x_at", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X, 123.456)},
                    TwiceRow{"y_at_negative", kNegativeBoard, Placement(BoardOrigin::File, MirrorAxis::Y, -0.1)},
                    TwiceRow{"x_lower_left", kFarBoard, Placement(BoardOrigin::LowerLeft, MirrorAxis::X)},
                    TwiceRow{"y_centre", kNegativeBoard, Placement(BoardOrigin::Center, MirrorAxis::Y)}),
    RowName<TwiceRow>);

// Alignment holes

struct AlignmentRow {
    const char* name;
    BoardExtents board;
    BoardPlacement placement;
    std::vector<HolePosition> expected;
};

void PrintTo(const AlignmentRow& row, std::ostream* out) {
    *out << row.name;
}

class AlignmentHolesTest : public testing::TestWithParam<AlignmentRow> {};

// Each hole is drilled at the same machine place from the top and from the bottom: the board point the top
// side drills there is where the bottom side's map puts it again.
TEST_P(AlignmentHolesTest, SameOnBothSides) {
    const AlignmentRow& row = GetParam();
    const std::vector<HolePosition> holes = AlignmentHoles(row.board, row.placement);
    ASSERT_EQ(holes.size(), row.expected.size());
    const BoardMap top(row.board, Placement(row.placement.origin));
    const BoardMap bottom(row.board, row.placement);
    const HolePosition shift = top.Apply(0.0, 0.0);
    for (std::size_t i = 0; i < holes.size(); ++i) {
        EXPECT_NEAR(holes[i].x, row.expected[i].x, kExact) << "hole " << i;
        EXPECT_NEAR(holes[i].y, row.expected[i].y, kExact) << "hole " << i;
        const HolePosition flipped = bottom.Apply(holes[i].x - shift.x, holes[i].y - shift.y);
        EXPECT_NEAR(flipped.x, holes[i].x, kExact) << "hole " << i;
        EXPECT_NEAR(flipped.y, holes[i].y, kExact) << "hole " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, AlignmentHolesTest,
    testing::Values(
        AlignmentRow{
            "x_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X, {}, 3.0), {{35, 398}, {35, 488}}},
        AlignmentRow{
            "y_middle", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::Y, {}, 3.0), {{5, 443}, {65, 443}}},
        AlignmentRow{
            "x_at", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X, 100.0, 3.0), {{100, 398}, {100, 488}}},
        AlignmentRow{
            "y_at", kNegativeBoard, Placement(BoardOrigin::File, MirrorAxis::Y, 2.5, 3.0), {{-85, 2.5}, {-15, 2.5}}},
        AlignmentRow{
            "x_lower_left", kFarBoard, Placement(BoardOrigin::LowerLeft, MirrorAxis::X, {}, 3.0), {{25, -5}, {25, 85}}},
        AlignmentRow{
            "y_centre", kFarBoard, Placement(BoardOrigin::Center, MirrorAxis::Y, {}, 3.0), {{-30, 0}, {30, 0}}},
        AlignmentRow{"x_centre_at",
                     kNegativeBoard,
                     Placement(BoardOrigin::Center, MirrorAxis::X, 7.0, 3.0),
                     {{7, -25}, {7, 25}}},
        AlignmentRow{"no_mirror", kFarBoard, Placement(BoardOrigin::LowerLeft, MirrorAxis::None, {}, 3.0), {}},
        AlignmentRow{"no_diameter", kFarBoard, Placement(BoardOrigin::File, MirrorAxis::X), {}}),
    RowName<AlignmentRow>);

} // namespace

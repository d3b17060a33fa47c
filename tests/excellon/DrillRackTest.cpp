#include "excellon/DrillRack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "conversion/ProgramEmitter.h"
#include "excellon/RackFile.h"
#include "gcode/GcodeReader.h"
#include "gcode/Verification.h"
#include "job/RunSummary.h"
#include "tests/fakes/MemoryTextWriter.h"

namespace korvex::excellon {
namespace {

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

using Kind = BitChoice::Kind;

DrillRack Rack(std::vector<double> diameters, std::optional<double> endMill = std::nullopt, double tolerance = 0.05) {
    DrillRack rack;
    for (const double d : diameters) {
        rack.bits.push_back(RackBit{d, {}});
    }
    rack.toleranceMm = tolerance;
    rack.endMillMm = endMill;
    return rack;
}

struct ChoiceCase {
    const char* name;
    DrillRack rack;
    double hole;
    Kind kind;
    double bit; // the chosen bit's diameter; unused for Mill
};

class ChooseBitTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseBitTest, PicksTheBit) {
    const ChoiceCase& c = GetParam();
    const BitChoice choice = ChooseBit(c.rack, c.hole);
    EXPECT_EQ(choice.kind, c.kind);
    if (c.kind != Kind::Mill) {
        ASSERT_LT(choice.bit, c.rack.bits.size());
        EXPECT_EQ(c.rack.bits[choice.bit].diameterMm, c.bit);
    }
}

// Bits listed out of order, so that "smallest" and "largest" are not the first and last.
const DrillRack kRack = Rack({0.8, 0.3, 0.5, 0.4, 1.0});

INSTANTIATE_TEST_SUITE_P(
    Edges, ChooseBitTest,
    ::testing::Values(ChoiceCase{"Exact", kRack, 0.5, Kind::Drill, 0.5},
                      ChoiceCase{"Nearest", kRack, 0.787, Kind::Drill, 0.8},
                      ChoiceCase{"AtPlusTolerance", kRack, 0.85, Kind::Drill, 0.8},
                      ChoiceCase{"AtMinusTolerance", kRack, 0.75, Kind::Drill, 0.8},
                      ChoiceCase{"TieGoesToSmaller", kRack, 0.35, Kind::Drill, 0.3},
                      ChoiceCase{"TieGoesToSmallerUpper", kRack, 0.45, Kind::Drill, 0.4},
                      ChoiceCase{"ZeroToleranceExactOnly", Rack({0.4, 0.5}, std::nullopt, 0.0), 0.4, Kind::Drill, 0.4},
                      ChoiceCase{"BelowSmallestWithin", kRack, 0.25, Kind::Drill, 0.3},
                      ChoiceCase{"JustBelowSmallest", kRack, 0.2499, Kind::TooSmall, 0.3},
                      ChoiceCase{"FarBelowSmallest", kRack, 0.1, Kind::TooSmall, 0.3},
                      ChoiceCase{"AboveLargestWithin", kRack, 1.05, Kind::Drill, 1.0},
                      ChoiceCase{"JustAboveLargestNoMill", kRack, 1.0501, Kind::TooLarge, 1.0},
                      ChoiceCase{"JustAboveLargestMilled", Rack({0.3, 1.0}, 1.0), 1.0501, Kind::Mill, 0.0},
                      ChoiceCase{"LargeMilled", Rack({0.3, 1.0}, 0.8), 3.2, Kind::Mill, 0.0},
                      ChoiceCase{"EndMillWiderThanHole", Rack({0.3, 0.6}, 1.0), 0.9, Kind::TooLarge, 0.6},
                      ChoiceCase{"EndMillWithinToleranceOfHole", Rack({0.3, 0.6}, 1.0), 0.96, Kind::Mill, 0.0},
                      ChoiceCase{"GapNearerLarger", Rack({0.3, 1.0}), 0.7, Kind::TooSmall, 1.0},
                      ChoiceCase{"GapNearerSmaller", Rack({0.3, 1.0}), 0.6, Kind::TooLarge, 0.3},
                      ChoiceCase{"GapTieGoesToSmaller", Rack({0.3, 1.0}), 0.65, Kind::TooLarge, 0.3},
                      ChoiceCase{"OnlyEndMill", Rack({}, 1.0), 0.6, Kind::Mill, 0.0}),
    RowName<ChoiceCase>);

struct MillCase {
    const char* name;
    double hole;
    double endMill;
    const char* zDown;
    std::size_t arcs; // read back: two half turns for each turn down and for the circle at depth
};

class MilledHoleTest : public ::testing::TestWithParam<MillCase> {};

// The program written for the hole, read back: every point of the cutter stays inside the hole, the helix goes
// down at most the end mill's diameter a turn, reaches the tool's depth, and verifies as the hole.
TEST_P(MilledHoleTest, StaysInsideAndReachesDepth) {
    const MillCase& c = GetParam();
    const double cx = 12.3456; // more decimals than the program writes
    const double cy = -4.0004;
    conversion::ConversionState state;
    state.LineNumbersOn = false;
    state.CurrentZUp = "Z1.00";
    state.CurrentZDown = c.zDown;
    testing::MemoryTextWriter output;
    state.OutputFile = &output;
    {
        conversion::ProgramEmitter emitter(state);
        emitter.Plain("T3");
        emitter.Path(MilledHole(cx, cy, c.hole, c.endMill));
        emitter.Flush();
    }
    std::string text;
    for (const std::string& line : output.lines) {
        text += line + "\n";
    }
    const gcode::Program program = gcode::ReadProgram(text);
    ASSERT_EQ(program.problemCount, 0u) << text;
    ASSERT_EQ(program.paths.size(), 1u) << text;
    EXPECT_EQ(program.paths[0].pieces.size(), c.arcs) << text;

    const double depth = std::stod(std::string(c.zDown).substr(1));
    double lowest = 0.0;
    double turnTop = 0.0;
    std::size_t halves = 0;
    for (const gcode::Move& move : program.moves) {
        if (move.endZ >= 0.0 && move.startZ >= 0.0) {
            continue; // above the work
        }
        ASSERT_NE(move.kind, gcode::MoveKind::Rapid) << "line " << move.line;
        ASSERT_GE(move.endZ, depth - 1e-9) << "line " << move.line;
        lowest = std::min(lowest, move.endZ);
        if (move.kind == gcode::MoveKind::CounterClockwiseArc && ++halves % 2 == 0) {
            EXPECT_LE(turnTop - move.endZ, c.endMill + 1e-9) << "line " << move.line;
            turnTop = move.endZ;
        }
        for (int k = 0; k <= 32; ++k) {
            double x = move.startX + (move.endX - move.startX) * k / 32.0;
            double y = move.startY + (move.endY - move.startY) * k / 32.0;
            if (move.kind == gcode::MoveKind::CounterClockwiseArc) {
                const double a0 = std::atan2(move.startY - move.centerY, move.startX - move.centerX);
                double a1 = std::atan2(move.endY - move.centerY, move.endX - move.centerX);
                if (a1 <= a0) {
                    a1 += 2 * M_PI;
                }
                const double r = std::hypot(move.startX - move.centerX, move.startY - move.centerY);
                x = move.centerX + r * std::cos(a0 + (a1 - a0) * k / 32.0);
                y = move.centerY + r * std::sin(a0 + (a1 - a0) * k / 32.0);
            }
            EXPECT_LE(std::hypot(x - cx, y - cy) + c.endMill / 2, c.hole / 2 + 1e-9) << "line " << move.line;
        }
    }
    EXPECT_DOUBLE_EQ(lowest, depth);

    gcode::ExpectedWork expected;
    conversion::HoleEvent hole;
    hole.tool = 3;
    hole.x = cx;
    hole.y = cy;
    expected.OnHole(state, hole);
    gcode::DrillMapping mapping;
    mapping.milled[3] = c.hole;
    mapping.endMillMm = c.endMill;
    EXPECT_TRUE(gcode::Verify(expected, program, &mapping).Passed()) << text;
    mapping.milled[3] = c.hole + 0.01;
    EXPECT_FALSE(gcode::Verify(expected, program, &mapping).Passed()) << "a 0.01 mm wider hole";
}

INSTANTIATE_TEST_SUITE_P(Holes, MilledHoleTest,
                         ::testing::Values(MillCase{"OneTurn", 3.0, 1.0, "Z-0.8", 4},
                                           MillCase{"ExactPasses", 3.0, 1.0, "Z-2.0", 6},
                                           MillCase{"PartPass", 1.6, 0.8, "Z-1.7", 8},
                                           MillCase{"ThreeDecimalRadius", 1.397, 1.0, "Z-1.8", 6}),
                         RowName<MillCase>);

struct BitVerifyCase {
    const char* name;
    const char* program; // drills the file's T1 hole at 1,1 and its T2 hole at 2,2
    bool passes;
};

class VerifyByBitTest : public ::testing::TestWithParam<BitVerifyCase> {};

// The file's T1 (0.787 mm) and T2 (0.813 mm) share the 0.8 mm bit; its T3 (0.4 mm) has a bit of its own.
TEST_P(VerifyByBitTest, ToolsOfOneBitAreOneTool) {
    const BitVerifyCase& c = GetParam();
    gcode::ExpectedWork expected;
    conversion::ConversionState state;
    for (const auto& [tool, at] : {std::pair{1, 1.0}, std::pair{2, 2.0}}) {
        conversion::HoleEvent hole;
        hole.tool = tool;
        hole.x = at;
        hole.y = at;
        expected.OnHole(state, hole);
    }
    gcode::DrillMapping mapping;
    const DrillRack rack = Rack({0.4, 0.8});
    for (const auto& [tool, diameter] : {std::pair{1, 0.787}, std::pair{2, 0.813}, std::pair{3, 0.4}}) {
        mapping.bitOf[tool] = ChooseBit(rack, diameter).bit;
    }
    const gcode::Program program = gcode::ReadProgram(c.program);
    EXPECT_EQ(gcode::Verify(expected, program, &mapping).Passed(), c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, VerifyByBitTest,
    ::testing::Values(BitVerifyCase{"OwnTools", "T1\nG00 X1 Y1\nG01 Z-1\nG00 Z1\nT2\nG00 X2 Y2\nG01 Z-1\n", true},
                      BitVerifyCase{"SharedChange", "T1\nG00 X1 Y1\nG01 Z-1\nG00 Z1\nG00 X2 Y2\nG01 Z-1\n", true},
                      BitVerifyCase{"OtherBit", "T1\nG00 X1 Y1\nG01 Z-1\nG00 Z1\nT3\nG00 X2 Y2\nG01 Z-1\n", false},
                      BitVerifyCase{"UnknownTool", "T1\nG00 X1 Y1\nG01 Z-1\nG00 Z1\nT9\nG00 X2 Y2\nG01 Z-1\n", false},
                      BitVerifyCase{"Missing", "T1\nG00 X1 Y1\nG01 Z-1\nG00 Z1\n", false}),
    RowName<BitVerifyCase>);

// Milled or plunged with the end mill, the summary counts a hole at its centre, not a slot.
TEST(MilledHoleTest, EndMillAsWideAsTheHoleIsAPlunge) {
    job::RunSummary summary;
    for (const double endMill : {1.0, 1.2, 0.996}) {
        const conversion::PathEvent path = MilledHole(2.0, 3.0, 1.0, endMill);
        EXPECT_TRUE(path.segments.empty()) << endMill;
        EXPECT_EQ(path.startX, 2.0);
        EXPECT_EQ(path.startY, 3.0);
        summary.OnPath(path);
    }
    summary.OnPath(MilledHole(2.0, 3.0, 3.0, 1.0));
    EXPECT_EQ(summary.Line(), "Summary: 4 holes, 0 slots, 0 routes; X 2.000 to 2.000 mm, Y 3.000 to 3.000 mm");
}

struct RackTextCase {
    const char* name;
    const char* text;
    bool list;         // --drills rather than a rack file
    const char* error; // "" when it reads
    std::vector<RackBit> bits;
};

class RackTextTest : public ::testing::TestWithParam<RackTextCase> {};

TEST_P(RackTextTest, ReadsOrNamesTheFault) {
    const RackTextCase& c = GetParam();
    std::vector<RackBit> bits{{9.0, "left alone on error"}};
    const std::string error = c.list ? ParseDrillList(c.text, bits) : ParseRackText(c.text, "rack.txt", bits);
    EXPECT_EQ(error, c.error);
    if (error.empty()) {
        ASSERT_EQ(bits.size(), c.bits.size());
        for (std::size_t k = 0; k < bits.size(); ++k) {
            EXPECT_EQ(bits[k].diameterMm, c.bits[k].diameterMm);
            EXPECT_EQ(bits[k].name, c.bits[k].name);
        }
    } else {
        ASSERT_EQ(bits.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RackTextTest,
    ::testing::Values(
        RackTextCase{"List", "0.3, 0.4 ,.5", true, "", {{0.3, ""}, {0.4, ""}, {0.5, ""}}},
        RackTextCase{"ListEmptyItem", "0.3,,0.5", true, "--drills: item 2 ('') is no diameter in mm", {}},
        RackTextCase{"ListTrailingComma", "0.3,", true, "--drills: item 2 ('') is no diameter in mm", {}},
        RackTextCase{"ListZero", "0", true, "--drills: item 1 ('0') is no diameter in mm", {}},
        RackTextCase{"ListExponent", "1e-1", true, "--drills: item 1 ('1e-1') is no diameter in mm", {}},
        RackTextCase{"ListTwice", "0.8,0.80", true, "--drills: 0.8 mm is listed twice", {}},
        RackTextCase{"File",
                     "\xEF\xBB\xBF# my rack\r\n0.3\r\n\r\n  0.8  carbide 0.8 # new\r\n1.0\tend of row",
                     false,
                     "",
                     {{0.3, ""}, {0.8, "carbide 0.8"}, {1.0, "end of row"}}},
        RackTextCase{"FileBadLine", "0.3\n# x\nabc\n", false, "rack.txt:3: 'abc' is no diameter in mm (0 to 100)", {}},
        RackTextCase{"FileNegative", "-0.3\n", false, "rack.txt:1: '-0.3' is no diameter in mm (0 to 100)", {}},
        RackTextCase{"FileTooLarge", "100.5", false, "rack.txt:1: '100.5' is no diameter in mm (0 to 100)", {}},
        RackTextCase{"FileTwice", "0.5 a\n0.5 b\n", false, "rack.txt:2: 0.5 mm is listed twice", {}},
        RackTextCase{"FileOnlyComments",
                     "# nothing\n\n",
                     false,
                     "rack.txt: no drills in the file (one diameter in mm a line)",
                     {}}),
    RowName<RackTextCase>);

} // namespace
} // namespace korvex::excellon

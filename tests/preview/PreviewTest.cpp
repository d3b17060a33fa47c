#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>

#include "preview/PreviewModel.h"
#include "preview/ProgramPreview.h"
#include "preview/Scene.h"
#include "preview/SvgWriter.h"
#include "tests/support/Files.h"

namespace korvex::preview {
namespace {

const std::string kWorkedExample = testing::ReadFile(KORVEX_TEST_DATA_DIR "/worked-example-numbered/expected.cnc");

struct ProgramCase {
    const char* name;
    std::string program;
    std::map<std::int32_t, std::size_t> holesPerTool;
    std::size_t cuts;
    std::size_t rapids;
    Box extents;
};

void PrintTo(const ProgramCase& row, std::ostream* out) {
    *out << row.name;
}

class ProgramPictureTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramPictureTest, HolesCutsRapidsAndExtents) {
    const ProgramCase& c = GetParam();
    const PreviewModel model(ReadProgramMoves(c.program), {{1, 0.8}, {2, 1.0}});
    std::map<std::int32_t, std::size_t> holes;
    std::size_t cuts = 0;
    for (const ToolSummary& tool : model.Tools()) {
        if (tool.holes > 0) {
            holes[tool.tool] = tool.holes;
        }
        cuts += tool.cuts;
    }
    EXPECT_EQ(holes, c.holesPerTool);
    EXPECT_EQ(cuts, c.cuts);
    EXPECT_EQ(model.Rapids().size(), c.rapids);
    EXPECT_EQ(model.Extents().empty, c.extents.empty);
    EXPECT_NEAR(model.Extents().minX, c.extents.minX, 1e-6);
    EXPECT_NEAR(model.Extents().minY, c.extents.minY, 1e-6);
    EXPECT_NEAR(model.Extents().maxX, c.extents.maxX, 1e-6);
    EXPECT_NEAR(model.Extents().maxY, c.extents.maxY, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramPictureTest,
    ::testing::Values(
        ProgramCase{"worked_example", kWorkedExample, {{1, 2}, {2, 1}}, 0, 2, {-3.25, 7.0, 15.5, 20.0, false}},
        // A slot is a plunge followed by a sideways feed: a cut, not a hole.
        ProgramCase{"slot", "T2\nG00 Z1\nG00 X1 Y1\nG01 Z-1\nG01 X6 Y1\nG00 Z1\n", {}, 1, 0, {1, 1, 6, 1, false}},
        // A clockwise half circle from (0,0) to (10,0) about (5,0) passes over the top.
        ProgramCase{"arc_i_j", "T1\nG00 X0 Y0\nG01 Z-1\nG02 X10 Y0 I5 J0\nG00 Z1\n", {}, 1, 0, {0, 0, 10, 5, false}},
        ProgramCase{"arc_radius", "T1\nG00 X0 Y0\nG01 Z-1\nG03 X10 Y0 R5\nG00 Z1\n", {}, 1, 0, {0, -5, 10, 0, false}},
        // Comments, line numbers, lower case and words without blanks; the T in comments selects nothing.
        ProgramCase{"comments_and_case",
                    "; T7 G01 Z-5\nN10 t2 (T9)\nn20 g00x1y2\nN30 G01 Z-1 ; X50\nN40 G00 Z1\nN50 X3 Y2\nN60 G1Z-1\n",
                    {{2, 2}},
                    0,
                    1,
                    {1, 2, 3, 2, false}},
        // Inch and incremental words are read as a machine reads them.
        ProgramCase{"inch_incremental",
                    "T1\nG20 G90\nG00 X1 Y1\nG01 Z-0.1 F4\nG00 Z0.1\nG91 G00 X1\nG01 Z-0.2\nG00 Z0.2\n",
                    {{1, 2}},
                    0,
                    1,
                    {25.4, 25.4, 50.8, 25.4, false}},
        // A feed that stays above the work surface cuts nothing, as the verification reads it too.
        ProgramCase{"feed_above_surface", "T1\nG00 X0 Y0\nG01 Z1 F5\nG01 X5\nG00 Z5\n", {}, 0, 0, {0, 0, 0, 0, true}},
        // A plunge before any position is known, and a program without holes.
        ProgramCase{"no_position", "G01 Z-1\nG00 Z1\n", {}, 0, 0, {0, 0, 0, 0, true}}),
    [](const ::testing::TestParamInfo<ProgramCase>& row) { return std::string(row.param.name); });

// Holes on a 1 mm pitch with gaps, so the buckets hold different counts; the grid search must agree with
// looking at every hole, also for points far outside the board.
// A milled hole (helix down, the circle at depth) is the hole it makes once the end mill is known.
TEST(ProgramPictureTest, MilledCircleIsAHoleWithTheEndMill) {
    const std::string program = "T4\nG00 Z1\nG00 X11 Y5\nG01 Z0\nG03 X9 Y5 Z-0.5 I-1 J0\nG03 X11 Y5 Z-1 I1 "
                                "J0\nG03 X9 Y5 I-1 J0\nG03 X11 Y5 I1 J0\nG00 Z1\n";
    const PreviewModel milled(ReadProgramMoves(program, 0.8), {{4, 0.8}});
    ASSERT_EQ(milled.Holes().size(), 1u);
    EXPECT_EQ(milled.Strokes().size(), 0u);
    EXPECT_DOUBLE_EQ(milled.Holes()[0].at.x, 10.0);
    EXPECT_DOUBLE_EQ(milled.Holes()[0].at.y, 5.0);
    EXPECT_DOUBLE_EQ(milled.Holes()[0].diameter, 2.8);
    const PreviewModel plain(ReadProgramMoves(program), {{4, 0.8}});
    EXPECT_EQ(plain.Holes().size(), 0u);
    EXPECT_EQ(plain.Strokes().size(), 1u);
}

TEST(HoleSearchTest, NearestAndUnderPointAgreeWithBruteForce) {
    ProgramMoves program;
    for (int row = 0; row < 320; ++row) {
        for (int column = 0; column < 320; ++column) {
            if ((row * 7 + column * 3) % 11 != 0) {
                program.holes.push_back(DrilledHole{1 + (row + column) % 3, Point{column * 1.0, row * 0.5}});
            }
        }
    }
    const PreviewModel model(program, {{1, 0.3}, {2, 0.4}, {3, 0.45}});
    ASSERT_GT(model.Holes().size(), 90000u);
    std::mt19937 random(13);
    std::uniform_real_distribution<double> coordinate(-60.0, 380.0);
    for (int k = 0; k < 400; ++k) {
        const Point p{coordinate(random), coordinate(random) / 2.0};
        double best = INFINITY;
        std::size_t under = model.Holes().size();
        for (std::size_t i = 0; i < model.Holes().size(); ++i) {
            const ModelHole& hole = model.Holes()[i];
            const double d = std::hypot(hole.at.x - p.x, hole.at.y - p.y);
            best = std::min(best, d);
            if (d <= hole.diameter / 2.0) {
                under = i;
            }
        }
        const std::optional<std::size_t> nearest = model.NearestHole(p);
        ASSERT_TRUE(nearest);
        const ModelHole& found = model.Holes()[*nearest];
        ASSERT_DOUBLE_EQ(std::hypot(found.at.x - p.x, found.at.y - p.y), best) << p.x << " " << p.y;
        EXPECT_EQ(model.HoleAt(p).value_or(model.Holes().size()), under) << p.x << " " << p.y;
    }
    EXPECT_EQ(model.HoleAt(Point{1.0, 0.5}).value_or(99), model.NearestHole(Point{1.1, 0.5}).value_or(98));
    EXPECT_FALSE(PreviewModel().NearestHole(Point{}));
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(SvgTest, CirclesPerToolCutsRapidsAndDifferences) {
    const std::string program = kWorkedExample + "T3\nG00 X1 Y1\nG01 Z-1\nG01 X4 Y1\nG00 Z1\n";
    const Scene scene = BuildScene(PreviewModel(ReadProgramMoves(program), {{1, 0.8}}, {Point{15.5, 20.0}}));
    const std::string svg = SceneToSvg(scene);
    EXPECT_EQ(Occurrences(svg, "<circle "), 4u);
    EXPECT_EQ(Occurrences(svg, "<circle class=\"hole T1\" "), 2u);
    EXPECT_EQ(Occurrences(svg, "<circle class=\"hole T2\" "), 1u);
    EXPECT_EQ(Occurrences(svg, "<circle class=\"difference\" "), 1u);
    EXPECT_EQ(Occurrences(svg, "<polyline class=\"cut T3\" "), 1u);
    EXPECT_EQ(Occurrences(svg, "<line class=\"rapid\" "), 3u);
    EXPECT_EQ(Occurrences(svg, "cx=\"10.0000\" cy=\"20.0000\" r=\"0.4000\""), 1u);
    EXPECT_EQ(Occurrences(svg, "T2  diameter unknown  1 hole<"), 1u);
    EXPECT_EQ(Occurrences(svg, "T1  0.800 mm  2 holes<"), 1u);
    EXPECT_EQ(Occurrences(svg, "X -3.250 .. 15.500 mm (18.750)  Y 1.000 .. 20.000 mm (19.000)"), 1u);
    EXPECT_EQ(Occurrences(SceneToSvg(scene, 1200.0, false), "class=\"rapid\""), 0u);
}

TEST(AxisTicksTest, StepsOfOneTwoFive) {
    struct Row {
        double from, to, pixelsPerMm;
        std::vector<std::string> labels;
    };
    for (const Row& row : std::vector<Row>{
             {-3.0, 21.0, 10.0, {"0", "10", "20"}},
             {0.0, 1.0, 400.0, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
             {-250.0, 240.0, 0.5, {"-200", "0", "200"}},
         }) {
        std::vector<std::string> labels;
        for (const AxisTick& tick : AxisTicks(row.from, row.to, row.pixelsPerMm, kTickSpacingPixels)) {
            labels.push_back(tick.label);
        }
        EXPECT_EQ(labels, row.labels) << row.from << ".." << row.to;
    }
}

} // namespace
} // namespace korvex::preview

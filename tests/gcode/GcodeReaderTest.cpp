#include "gcode/GcodeReader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/Files.h"

namespace korvex::gcode {
namespace {

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

std::string Mm(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr);
}

const char* KindText(MoveKind kind) {
    switch (kind) {
    case MoveKind::Rapid:
        return "G0";
    case MoveKind::Feed:
        return "L";
    case MoveKind::ClockwiseArc:
        return "CW";
    case MoveKind::CounterClockwiseArc:
        return "CCW";
    }
    return "?";
}

// What the program does, in one line: "H1@10.000,20.000" per hole, "P3@0.000,0.000>L5.000,0.000" per path
// (arcs add "c" and the centre), "F<line>" for a feed before any F word, "?<word>@<line>:<column>" per problem.
std::string Summary(const Program& program) {
    std::string text;
    auto add = [&](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    if (program.firstFeedWithoutRate != 0) {
        add("F" + std::to_string(program.firstFeedWithoutRate));
    }
    for (const DrilledHole& hole : program.holes) {
        add("H" + std::to_string(hole.tool) + "@" + Mm(hole.x) + "," + Mm(hole.y) + "z" + Mm(hole.z));
    }
    for (const MilledPath& path : program.paths) {
        std::string item = "P" + std::to_string(path.tool) + "@" + Mm(path.startX) + "," + Mm(path.startY);
        for (const PathPiece& piece : path.pieces) {
            item += std::string(">") + KindText(piece.kind) + Mm(piece.x) + "," + Mm(piece.y);
            if (piece.kind != MoveKind::Feed) {
                item += "c" + Mm(piece.centerX) + "," + Mm(piece.centerY);
            }
        }
        add(item);
    }
    for (const ReadProblem& problem : program.problems) {
        add("?" + problem.word + "@" + problem.Location());
    }
    return text;
}

struct ReaderCase {
    const char* name;
    const char* program;
    const char* summary;
};

void PrintTo(const ReaderCase& row, std::ostream* out) {
    *out << row.name;
}

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, FindsHolesPathsAndProblems) {
    EXPECT_EQ(Summary(ReadProgram(GetParam().program)), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ReaderTest,
    ::testing::Values(
        ReaderCase{"KorvexHoleBeforeAnyFeedRate",
                   "N00000 G00 Z30\r\nN00005 T1\r\nN00010 M06\r\nN00015 G00 Z1.00\r\nN00020 G00 X10.000 Y20.000\r\n"
                   "N00025 G01 Z-2.0\r\nN00030 G00 Z1.00\r\n",
                   "F6 H1@10.000,20.000z-2.000"},
        ReaderCase{"CommentsOfBothKinds",
                   "; T1  C0.8   ; Tool-definition\n(start) G00 X1 (mid) Y2\nF100 G01 Z-1 ; down\n",
                   "H-1@1.000,2.000z-1.000"},
        ReaderCase{"ModalMotionAndCoordinates", "G00 X1 Y1\ng01 z-1 f50\nG00 Z1\nX2\nG01 Z-1\n",
                   "H-1@1.000,1.000z-1.000 H-1@2.000,1.000z-1.000"},
        ReaderCase{"FeedThatStaysAboveTheSurface", "G00 X1 Y1\nG01 Z0.5 F50\nG01 Z0\n", ""},
        ReaderCase{"PeckingIsOneHole", "G00 X1 Y1\nG01 Z-1 F5\nG01 Z-0.5\nG01 Z-2\nG00 Z1\n", "H-1@1.000,1.000z-2.000"},
        ReaderCase{"Slot", "T3\nG00 X0 Y0\nG01 Z-1 F50\nG01 X5 Y0\nG00 Z1\n", "P3@0.000,0.000>L5.000,0.000"},
        ReaderCase{"ArcsWithCentres", "G00 X0 Y0\nG01 Z-1 F50\nG02 X10 Y0 I5 J0\nG03 X0 Y0 I-5 J0\nG00 Z1\n",
                   "P-1@0.000,0.000>CW10.000,0.000c5.000,0.000>CCW0.000,0.000c5.000,0.000"},
        ReaderCase{"InchAndIncremental", "G20 G91\nG00 X1 Y1\nG01 Z-0.1 F5\n", "H-1@25.400,25.400z-2.540"},
        ReaderCase{"FeedWithoutRate", "G00 X1 Y1\nG01 Z-1\nF0 G01 Z-2\n", "F2 H-1@1.000,1.000z-2.000"},
        // R > 0 takes the shorter arc, R < 0 the longer one: both arcs here turn about (3,-4).
        ReaderCase{"ArcsByRadius", "G00 X0 Y0\nG01 Z-1 F50\nG02 X6 Y0 R5\nG02 X0 Y0 R-5\nG00 Z1\n",
                   "P-1@0.000,0.000>CW6.000,0.000c3.000,-4.000>CW0.000,0.000c3.000,-4.000"},
        ReaderCase{"InchArcByRadius", "G20\nG00 X0 Y0\nG01 Z-0.1 F2\nG03 X1 Y1 R1\nG00 Z1\n",
                   "P-1@0.000,0.000>CCW25.400,25.400c0.000,25.400"},
        ReaderCase{"BlanksInsideWords", "G 00 X 1 Y1\nG0 1 Z- 1 F 5\n", "H-1@1.000,1.000z-1.000"},
        ReaderCase{"DwellLineDoesNotMove", "G00 X1 Y1\nG01 Z-1 F5\nG04 P2 X9\nG00 Z1\n", "H-1@1.000,1.000z-1.000"},
        ReaderCase{"UnreadableWords", "G00 X1 E5\nG82 X1\nX1.2.3 (open\n  G00 G01 X2 G91 g90 T1.5 x1e5\n",
                   "F4 ?E5@1:8 ?G82@2:1 ?X1.2.3@3:1 ?(@3:8 ?G01@4:7 ?g90@4:18 ?T1.5@4:22 ?e5@4:29"},
        // Drilling cycles: each position is one hole at the cycle's Z, pecks included.
        ReaderCase{"G81RepeatedByXAndY", "T1\nG00 Z1\nG98 G81 X1 Y2 Z-2 R1 F100\nX3 Y4\nY5\nG80\nG00 Z5\n",
                   "H1@1.000,2.000z-2.000 H1@3.000,4.000z-2.000 H1@3.000,5.000z-2.000"},
        ReaderCase{"G83PecksAreOneHole", "G00 Z1\nG98 G83 X1 Y1 Z-2 R1 Q0.5 F100\nX2\nG80\n",
                   "H-1@1.000,1.000z-2.000 H-1@2.000,1.000z-2.000"},
        ReaderCase{"G99AndNewZInTheCycle", "F9\nG99 G81 X1 Y1 Z-1 R0.5\nX2 Z-3\n",
                   "H-1@1.000,1.000z-1.000 H-1@2.000,1.000z-3.000"},
        ReaderCase{"G80AndG00EndTheCycle",
                   "F9\nG81 X1 Y1 Z-1 R1\nG80\nX5 Y5\nG01 Z-1\nG81 X6 Y6\nG00 X7 Y7\nG01 Z-1\nG00 Z1\n",
                   "H-1@1.000,1.000z-1.000 H-1@5.000,5.000z-1.000 H-1@6.000,6.000z-1.000 H-1@7.000,7.000z-1.000"},
        ReaderCase{"InchCycleWithoutFeedRate", "G20\nG00 Z0.1\nG81 X1 Y1 Z-0.1 R0.05\n", "F3 H-1@25.400,25.400z-2.540"},
        ReaderCase{"CycleAboveTheSurfaceDrillsNothing", "F9\nG81 X1 Y1 Z0.5 R1\n", ""}),
    RowName<ReaderCase>);

TEST(ReaderTest, MovesCarryToolLineAndFeedRate) {
    const Program program = ReadProgram("T2\nG00 X1 Y2 Z3\nG01 Z-1 F9\n");
    ASSERT_EQ(program.moves.size(), 2u);
    const Move& rapid = program.moves[0];
    EXPECT_EQ(rapid.kind, MoveKind::Rapid);
    EXPECT_EQ(std::make_tuple(rapid.startX, rapid.startY, rapid.startZ), std::make_tuple(0.0, 0.0, 0.0));
    EXPECT_EQ(std::make_tuple(rapid.endX, rapid.endY, rapid.endZ), std::make_tuple(1.0, 2.0, 3.0));
    EXPECT_EQ(std::make_tuple(rapid.tool, rapid.line, rapid.feedRateSet), std::make_tuple(2, std::size_t{2}, false));
    const Move& feed = program.moves[1];
    EXPECT_EQ(std::make_tuple(feed.kind, feed.endZ, feed.line, feed.feedRateSet),
              std::make_tuple(MoveKind::Feed, -1.0, std::size_t{3}, true));

    ReadOptions options;
    options.keepMoves = false;
    EXPECT_TRUE(ReadProgram("G00 X1\n", options).moves.empty());
}

// A cycle's moves as LinuxCNC makes them: pecks of Q back up to R, and G98 back to where it started.
TEST(ReaderTest, CycleMovesPeckAndRetract) {
    struct Row {
        const char* program;
        std::size_t feeds;
        double endZ;
    };
    for (const Row& row : {Row{"G00 X0 Y0 Z5\nG98 G83 X1 Y1 Z-1 R1 Q1 F10\n", 2, 5.0},
                           Row{"G00 X0 Y0 Z5\nG99 G83 X1 Y1 Z-1.5 R1 Q1 F10\n", 3, 1.0},
                           Row{"G00 X0 Y0 Z-1\nG98 G81 X1 Y1 Z-2 R1 F10\n", 1, 1.0}}) {
        const Program program = ReadProgram(row.program);
        std::size_t feeds = 0;
        for (const Move& move : program.moves) {
            feeds += move.kind == MoveKind::Feed ? 1 : 0;
            EXPECT_TRUE(move.kind == MoveKind::Rapid || (move.endX == 1.0 && move.endY == 1.0)) << row.program;
        }
        EXPECT_EQ(feeds, row.feeds) << row.program;
        EXPECT_EQ(program.moves.back().endZ, row.endZ) << row.program;
    }
}

// What a machine-time estimate needs: the feed rate of each move, tool selections and dwell time.
TEST(ReaderTest, CountsFeedRatesToolSelectionsAndDwells) {
    const char* const text = "G00 X1 Y1\nT1\nG01 Z-1 F120\nT1\nG04 P2.5\nG20 F10 G01 X2\nT2 M06\nG04 P0.5\nT1\n";
    const Program program = ReadProgram(text);
    std::vector<double> feedRates;
    for (const Move& move : program.moves) {
        feedRates.push_back(move.feedRate);
    }
    EXPECT_EQ(feedRates, (std::vector<double>{0.0, 120.0, 254.0}));
    EXPECT_EQ(program.toolSelections, 3u); // T1, T2, T1: the repeated T1 selects nothing new
    EXPECT_DOUBLE_EQ(program.dwellSeconds, 3.0);

    // Line by line, as the checks follow a program being written, it reads the same.
    ProgramReader reader;
    for (const char* line :
         {"G00 X1 Y1", "T1", "G01 Z-1 F120", "T1", "G04 P2.5", "G20 F10 G01 X2", "T2 M06", "G04 P0.5", "T1"}) {
        reader.Line(line);
    }
    const Program streamed = reader.Finish();
    EXPECT_EQ(Summary(streamed), Summary(program));
    EXPECT_EQ(std::make_tuple(streamed.toolSelections, streamed.dwellSeconds, streamed.moves.size()),
              std::make_tuple(program.toolSelections, program.dwellSeconds, program.moves.size()));
}

TEST(ReaderTest, ReadsTheWorkedExampleAsWritten) {
    const std::string program =
        testing::ReadFile(std::string(KORVEX_GOLDEN_DATA_DIR) + "/worked-example-numbered/expected.cnc");
    EXPECT_EQ(Summary(ReadProgram(program)),
              "F19 H1@10.000,20.000z-2.000 H1@15.500,20.000z-2.000 H2@-3.250,7.000z-1.500");
}

} // namespace
} // namespace korvex::gcode

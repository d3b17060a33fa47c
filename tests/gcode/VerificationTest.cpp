#include "gcode/Verification.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "conversion/ConversionState.h"

namespace korvex::gcode {
namespace {

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

using conversion::HoleEvent;
using conversion::PathEvent;
using conversion::PathKind;
using conversion::PathSegment;

// The drill file asked for three holes and a slot.
ExpectedWork WorkedExample() {
    ExpectedWork work;
    conversion::ConversionState state;
    for (const auto& [tool, x, y] : {std::tuple{1, 10.0, 20.0}, {1, 15.5, 20.0}, {2, -3.25, 7.0}}) {
        HoleEvent hole;
        hole.tool = tool;
        hole.x = x;
        hole.y = y;
        work.OnHole(state, hole);
    }
    PathEvent slot;
    slot.tool = 3;
    slot.kind = PathKind::Slot;
    slot.startX = 0.0;
    slot.startY = 0.0;
    slot.segments.push_back(PathSegment{PathSegment::Kind::Line, 5.0, 0.0, 0.0, 0.0});
    work.OnPath(slot);
    return work;
}

// The program Korvex writes for it; the cases below edit it by hand.
const char* const kProgram = "N00005 T1\r\n"
                             "N00020 G00 Z1.00\r\nN00025 G00 X10.000 Y20.000\r\nN00030 G01 Z-2.0\r\n"
                             "N00035 G00 Z1.00\r\nN00040 G00 X15.500 Y20.000\r\nN00045 G01 Z-2.0\r\n"
                             "N00055 T2\r\n"
                             "N00070 G00 Z3\r\nN00075 G00 X-3.250 Y7.000\r\nN00080 G01 Z-1.5\r\n"
                             "N00085 T3\r\n"
                             "N00090 G00 Z1\r\nN00095 G00 X0.000 Y0.000\r\nN00100 G01 Z-1.5\r\nN00105 G01 X5.000\r\n"
                             "N00110 G00 Z1.000\r\nN00115 M30\r\n";

struct Edit {
    const char* name;
    const char* from; // replaced once in kProgram; empty: the program as written
    const char* to;
    std::vector<std::string> log;
};

void PrintTo(const Edit& row, std::ostream* out) {
    *out << row.name;
}

class VerificationTest : public ::testing::TestWithParam<Edit> {};

TEST_P(VerificationTest, ReportsEachDifference) {
    std::string program = kProgram;
    const Edit& edit = GetParam();
    if (*edit.from != '\0') {
        const std::size_t at = program.find(edit.from);
        ASSERT_NE(at, std::string::npos) << edit.from;
        program.replace(at, std::string(edit.from).size(), edit.to);
    }
    const VerificationResult result = Verify(WorkedExample(), ReadProgram(program));
    EXPECT_EQ(VerificationLogLines(result), edit.log);
    EXPECT_EQ(result.Passed(), edit.log.size() == 1 && edit.log[0].rfind("Verified", 0) == 0);
}

const std::vector<std::string> kVerified{"Verified against the drill file: 3 holes, 1 slot, 0 routes"};

INSTANTIATE_TEST_SUITE_P(
    HandEdited, VerificationTest,
    ::testing::Values(
        Edit{"AsWritten", "", "", kVerified},
        Edit{"WithinTheTolerance", "X10.000 Y20.000", "X10.001 Y19.9995", kVerified},
        Edit{"MissingHole",
             "N00020 G00 Z1.00\r\nN00025 G00 X10.000 Y20.000\r\nN00030 G01 Z-2.0\r\n",
             "",
             {"Warning: hole T1 at X10.000 Y20.000 is missing from the program"}},
        Edit{"MovedHole",
             "X15.500 Y20.000",
             "X15.600 Y20.000",
             {"Warning: hole T1 at X15.500 Y20.000 is missing from the program",
              "Warning: the program drills a hole T1 at X15.600 Y20.000 that the drill file does not ask for"}},
        Edit{"JustBeyondTheTolerance",
             "X10.000 Y20.000",
             "X10.002 Y20.000",
             {"Warning: hole T1 at X10.000 Y20.000 is missing from the program",
              "Warning: the program drills a hole T1 at X10.002 Y20.000 that the drill file does not ask for"}},
        Edit{"ExtraHole",
             "N00115 M30",
             "G00 X40 Y40\r\nG01 Z-1\r\nM30",
             {"Warning: the program drills a hole T3 at X40.000 Y40.000 that the drill file does not ask for"}},
        Edit{"HoleWithAnotherTool",
             "N00055 T2",
             "N00055 T1",
             {"Warning: hole T2 at X-3.250 Y7.000 is missing from the program",
              "Warning: the program drills a hole T1 at X-3.250 Y7.000 that the drill file does not ask for"}},
        Edit{"HoleThatDoesNotGoDown",
             "N00080 G01 Z-1.5",
             "N00080 G01 Z0",
             {"Warning: hole T2 at X-3.250 Y7.000 is missing from the program"}},
        Edit{"ShortenedSlot",
             "G01 X5.000",
             "G01 X4.000",
             {"Warning: slot T3 from X0.000 Y0.000 to X5.000 Y0.000 is missing from the program",
              "Warning: the program mills T3 from X0.000 Y0.000 to X4.000 Y0.000 where the drill file asks for no "
              "such path"}}),
    RowName<Edit>);

TEST(VerificationLogTest, NamesTheFirstDifferencesByPositionAndCountsTheRest) {
    ExpectedWork work;
    conversion::ConversionState state;
    for (int k = 7; k >= 0; --k) {
        HoleEvent hole;
        hole.tool = 1;
        hole.x = k;
        work.OnHole(state, hole);
    }
    const VerificationResult result = Verify(work, ReadProgram(""));
    EXPECT_EQ(result.differenceCount, 8u);
    EXPECT_EQ(VerificationLogLines(result, 2),
              (std::vector<std::string>{"Warning: hole T1 at X0.000 Y0.000 is missing from the program",
                                        "Warning: hole T1 at X1.000 Y0.000 is missing from the program",
                                        "Warning: 6 more differences between the program and the drill file"}));

    VerificationResult skipped;
    skipped.skipReason = "the program went to standard output, which cannot be read back";
    EXPECT_EQ(VerificationLogLines(skipped),
              std::vector<std::string>{"Not verified: the program went to standard output, which cannot be read back"});
}

} // namespace
} // namespace korvex::gcode

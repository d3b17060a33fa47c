#include "gcode/MachineTime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace korvex::gcode {
namespace {

// Each program worked out by hand: lengths over speeds (mm/min), in seconds.
struct TimeCase {
    const char* name;
    const char* program;
    MachineModel model;
    double rapid;
    double plunge;
    double milling;
    std::size_t toolChanges;
    double dwell;
};

void PrintTo(const TimeCase& row, std::ostream* out) {
    *out << row.name;
}

class MachineTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(MachineTimeTest, TimesEachKindOfMove) {
    const TimeCase& row = GetParam();
    const MachineTime time = EstimateMachineTime(row.program, row.model);
    EXPECT_NEAR(time.rapidSeconds, row.rapid, 1e-9);
    EXPECT_NEAR(time.plungeSeconds, row.plunge, 1e-9);
    EXPECT_NEAR(time.millingSeconds, row.milling, 1e-9);
    EXPECT_EQ(time.toolChanges, row.toolChanges);
    EXPECT_NEAR(time.toolChangeSeconds, static_cast<double>(row.toolChanges) * row.model.toolChangeSeconds, 1e-9);
    EXPECT_NEAR(time.dwellSeconds, row.dwell, 1e-9);
}

constexpr double kPi = 3.14159265358979323846;
const MachineModel kDefault;
const MachineModel kSlow{1000.0, 500.0, 12.0, 50.0};

INSTANTIATE_TEST_SUITE_P(
    Programs, MachineTimeTest,
    ::testing::Values(
        // 50 mm at 2,000 mm/min, then 10 mm of Z at 1,000 mm/min
        TimeCase{"RapidXyThenZ", "G00 X30 Y40\r\nG00 Z10\r\n", kDefault, 1.5 + 0.6, 0, 0, 0, 0},
        // the slower axis decides: 100 mm of Z against 5 mm of XY
        TimeCase{"RapidBothAxes", "G00 X3 Y4 Z100\n", kDefault, 6.0, 0, 0, 0, 0},
        TimeCase{"RapidSlowModel", "G00 X30 Y40\nG00 Z10\n", kSlow, 3.0 + 1.2, 0, 0, 0, 0},
        // down 2 and up 7 at F200: 9 mm
        TimeCase{"PlungesAtProgramFeed", "F200\nG01 Z-2\nG01 Z5\n", kDefault, 0, 2.7, 0, 0, 0},
        TimeCase{"PlungeBeforeAnyFeed", "G01 Z-5\n", kDefault, 0, 3.0, 0, 0, 0},
        TimeCase{"PlungeBeforeAnyFeedSlowModel", "G01 Z-5\n", kSlow, 0, 6.0, 0, 0, 0},
        TimeCase{"MillingLine", "F600\nG01 X30 Y40\n", kDefault, 0, 0, 5.0, 0, 0},
        // half a circle of radius 10 at F60, after a 10 mm rapid
        TimeCase{"HalfCircle", "G00 X10 Y0\nF60\nG03 X-10 Y0 I-10 J0\n", kDefault, 0.3, 0, 10 * kPi, 0, 0},
        TimeCase{"HalfCircleByRadius", "G00 X10 Y0\nF60\nG02 X-10 Y0 R10\n", kDefault, 0.3, 0, 10 * kPi, 0, 0},
        // a quarter clockwise from (10, 0) to (0, -10) around the origin
        TimeCase{"QuarterClockwise", "G00 X10 Y0\nF60\nG02 X0 Y-10 I-10 J0\n", kDefault, 0.3, 0, 5 * kPi, 0, 0},
        TimeCase{"FullCircle", "G00 X10 Y0\nF60\nG02 X10 Y0 I-10 J0\n", kDefault, 0.3, 0, 20 * kPi, 0, 0},
        // the helix: half a turn while going down 10 mm
        TimeCase{"Helix", "G00 X10 Y0\nF60\nG03 X-10 Y0 Z-10 I-10 J0\n", kDefault, 0.3, 0, std::hypot(10 * kPi, 10.0),
                 0, 0},
        // a sloped straight feed is milling along its whole length
        TimeCase{"SlopedFeed", "F60\nG01 X3 Y4 Z-12\n", kDefault, 0, 0, 13.0, 0, 0},
        // 1 inch at F10 (254 mm/min)
        TimeCase{"InchFeed", "G20\nF10\nG01 X1\n", kDefault, 0, 0, 6.0, 0, 0},
        // selecting the tool in use again is no change
        TimeCase{"ToolChanges", "T1\nM06\nT1\nT2\nT1\n", kDefault, 0, 0, 0, 3, 0},
        TimeCase{"ToolChangesSlowModel", "T1\nT2\n", kSlow, 0, 0, 0, 2, 0},
        TimeCase{"Dwell", "G04 P2.5\nG04 P0.5\n", kDefault, 0, 0, 0, 0, 3.0},
        // modes the lines Korvex writes for holes do not set themselves
        TimeCase{"IncrementalRapids", "G91\nG00 X10\nG00 X10 Y0\n", kDefault, 0.6, 0, 0, 0, 0},
        TimeCase{"InchThenMm", "G20\nG00 X1\nG21\nG00 X25.4\n", kDefault, 0.762, 0, 0, 0, 0},
        TimeCase{"ModalFeedAfterHoleLine", "F60\nN5 G01 Z-1\nX6 Y8\n", kDefault, 0, 1.0, 10.0, 0, 0},
        TimeCase{"FeedInInch", "G20\nF10\nG21\nG01 Z-25.4\n", kDefault, 0, 6.0, 0, 0, 0},
        // one hole as Korvex writes it, numbered, with comments
        TimeCase{"KorvexHole",
                 "; banner\r\nN10 T1\r\nN20 G00 Z2\r\nN30 G00 X20 Y0 ; to the hole\r\nN40 F100 G01 Z-1.5\r\n"
                 "N50 G00 Z2\r\nN60 M30\r\n",
                 kDefault, 0.12 + 0.6 + 0.21, 2.1, 0, 1, 0}),
    [](const ::testing::TestParamInfo<TimeCase>& row) { return std::string(row.param.name); });

struct LineCase {
    const char* name;
    MachineTime time;
    const char* line;
};

void PrintTo(const LineCase& row, std::ostream* out) {
    *out << row.name;
}

class MachineTimeLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(MachineTimeLineTest, SaysTheTotalAndItsParts) {
    EXPECT_EQ(MachineTimeLine(GetParam().time), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MachineTimeLineTest,
    ::testing::Values(
        LineCase{"Minutes", MachineTime{41.2, 553.0, 10.4, 0.0, 5, 150.0},
                 "Machine time: 12 min 35 s (rapids 0:41, plunges 9:13, milling 0:10, 5 tool changes 2:30)"},
        LineCase{"SecondsOnly", MachineTime{0.4, 2.0, 0.0, 0.0, 1, 30.0},
                 "Machine time: 32 s (rapids 0:00, plunges 0:02, milling 0:00, 1 tool change 0:30)"},
        LineCase{"HoursAndDwell", MachineTime{3000.0, 600.0, 5.0, 65.0, 0, 0.0},
                 "Machine time: 1 h 1 min 10 s (rapids 50:00, plunges 10:00, milling 0:05, 0 tool changes 0:00, "
                 "dwell 1:05)"},
        LineCase{"ClockWithHours", MachineTime{3725.0, 0.0, 0.0, 0.0, 0, 0.0},
                 "Machine time: 1 h 2 min 5 s (rapids 1:02:05, plunges 0:00, milling 0:00, 0 tool changes 0:00)"}),
    [](const ::testing::TestParamInfo<LineCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvex::gcode

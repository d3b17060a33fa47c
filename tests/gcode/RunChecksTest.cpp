// The checks as the front ends get them: a whole run through the job step, the log read from a recording host.
#include "gcode/RunChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "conversion/ConversionState.h"
#include "job/ConvertJob.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/support/Files.h"

namespace korvex::gcode {
namespace {

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

using conversion::Field;
using conversion::HostMacro;

const char* const kWorkedExample = "M48\r\nM71\r\nT1C0.8\r\nT2C1.0Z-1.5B3\r\n%\r\nT1\r\nX10.0Y20.0\r\nX15.5Y20.0\r\n"
                                   "T2\r\nX-3.25Y7\r\nM30\r\n";
// The same board with every number written with its point: both readings agree on both.
const char* const kWorkedExampleWhole = "M48\r\nM71\r\nT1C0.8\r\nT2C1.0Z-1.5B3\r\n%\r\nT1\r\nX10.0Y20.0\r\n"
                                        "X15.5Y20.0\r\nT2\r\nX-3.25Y7.0\r\nM30\r\n";
// Inch 2:4 with trailing zeros left out: the default reading takes X1000 as thousandths, 25.4 mm; it is 2.54 mm.
const char* const kInchTz = "M48\r\nINCH\r\nT1C0.03\r\n%\r\nT1\r\nX1000Y2000\r\nX3000Y2500\r\nM30\r\n";

struct CheckCase {
    const char* name;
    const char* drill;
    const char* zUp;
    const char* zDown;
    const char* divisor;
    Controller controller;
    std::vector<std::string> before; // empty: the window's design values
    std::vector<std::string> after;
    std::vector<std::string> warnings;
    bool excellon = false; // the Excellon reading instead of the default one
};

void PrintTo(const CheckCase& row, std::ostream* out) {
    *out << row.name;
}

// The log lines after "Conversion finished" without the summary and machine-time lines.
std::vector<std::string> LinesAfterTheRun(const std::string& log) {
    const std::string finished = "Conversion finished\n";
    std::vector<std::string> lines;
    std::size_t at = log.find(finished);
    if (at == std::string::npos) {
        return {"(no Conversion finished)"};
    }
    for (at += finished.size(); at < log.size();) {
        const std::size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end - at);
        if (line.rfind("Summary: ", 0) != 0 && line.rfind("Machine time: ", 0) != 0) {
            lines.push_back(line);
        }
        at = end + 1;
    }
    return lines;
}

class RunChecksTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RunChecksTest, WarnsOnlyWhereTheProgramWouldFail) {
    const CheckCase& row = GetParam();
    testing::TempFolder folder("korvex-checks");
    testing::WriteFile(folder.Path() / "board.drl", row.drill);
    testing::RecordingHost host;
    host.fields[Field::InputFileName] = (folder.Path() / "board.drl").string();
    host.fields[Field::OutputFileName] = (folder.Path() / "board.CNC").string();
    host.fields[Field::ZUp] = row.zUp;
    host.fields[Field::ZDown] = row.zDown;
    host.fields[Field::Divisor] = row.divisor;
    if (!row.before.empty()) {
        host.macros[HostMacro::Before] = row.before;
        host.macros[HostMacro::After] = row.after;
    }
    conversion::ConversionState state;
    job::JobOptions options;
    options.controller = row.controller;
    options.reading.excellon = row.excellon;

    const job::JobReport report = job::ConvertJob(state, host, options);
    EXPECT_EQ(report.warnings, row.warnings);
    EXPECT_EQ(LinesAfterTheRun(host.log), row.warnings);
}

const std::vector<std::string> kNone;
const std::vector<std::string> kGrbl = PresetBlocks({Controller::Grbl, 100, 10000, false}).before;
const std::vector<std::string> kGrblAfter = PresetBlocks({Controller::Grbl, 100, 10000, false}).after;
const std::vector<std::string> kLinuxCnc = PresetBlocks({Controller::LinuxCnc, 100, 10000, true}).before;
const std::vector<std::string> kLinuxCncAfter = PresetBlocks({Controller::LinuxCnc, 100, 10000, true}).after;

INSTANTIATE_TEST_SUITE_P(
    Runs, RunChecksTest,
    ::testing::Values(
        CheckCase{"WorkedExample", kWorkedExample, "1", "2", "1", Controller::None, {}, {}, kNone},
        CheckCase{"WorkedExampleWhole", kWorkedExampleWhole, "1", "2", "1", Controller::None, {}, {}, kNone},
        CheckCase{"FirstStartZeros",
                  "M48\r\nT1C0.8\r\n%\r\nT1\r\nX1000Y2000\r\nX3000Y2500\r\nM30\r\n",
                  "0.000",
                  "0.000",
                  "1000",
                  Controller::None,
                  {},
                  {},
                  {"Warning: this reading drills 2 holes at X 0.025 to 0.076, Y 0.051 to 0.064 mm, where the "
                   "Excellon reading (inch, 2:4 TZ, absolute (units default, digits default, zeros inference)) finds "
                   "2 holes, 0 slots, 0 routes at X 2.540 to 7.620, Y 5.080 to 6.350 mm; hole 1 lands at X0.025 "
                   "Y0.051 instead of X2.540 Y5.080; use the Excellon reading (File > Drill file format..., or "
                   "--excellon), or divisor 10, which gives the same places",
                   "Warning: the run drills to Z0, which does not go below the work surface (Z0): nothing is drilled",
                   "Warning: the run retracts to Z0, which is not above its drilling depth Z0: the tool drags "
                   "between holes",
                   "Warning: the drilled area is 0.051 x 0.013 mm, smaller than 1 mm for a board; divisor 10 would "
                   "make it 5.080 x 1.270 mm"}},
        CheckCase{"RetractBelowDepth",
                  kWorkedExample,
                  "-3",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: the run retracts to Z-3, which is not above its drilling depth Z-2: the tool drags "
                   "between holes"}},
        CheckCase{"ToolOfItsOwnAboveTheSurface",
                  "M48\r\nM71\r\nT1C0.8Z0.5\r\n%\r\nT1\r\nX10.Y20.\r\nX15.Y20.\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: tool T1 drills to Z0.5, which does not go below the work surface (Z0): nothing is "
                   "drilled"}},
        CheckCase{"AreaTooLarge",
                  "M48\r\nM71\r\n%\r\nX0Y0\r\nX2000Y100\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: this reading drills 2 holes at X 0.000 to 2000.000, Y 0.000 to 100.000 mm, where the "
                   "Excellon reading (mm, 3:3 TZ, absolute (units header, digits default, zeros inference)) finds 2 "
                   "holes, 0 slots, 0 routes at X 0.000 to 2.000, Y 0.000 to 0.100 mm; hole 2 lands at X2000.000 "
                   "Y100.000 instead of X2.000 Y0.100; use the Excellon reading (File > Drill file format..., or "
                   "--excellon), or divisor 1000, which gives the same places",
                   "Warning: the drilled area is 2000.000 x 100.000 mm, larger than 1 m for a board; divisor 1000 "
                   "would make it 2.000 x 0.100 mm"}},
        CheckCase{"AreaTooLargeNoDivisorFits",
                  "M48\r\nM71\r\n%\r\nX0Y0\r\nX2000.Y100.\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: the drilled area is 2000.000 x 100.000 mm, larger than 1 m for a board"}},
        CheckCase{"AreaTooLargeInTheExcellonReading",
                  "M48\r\nM71\r\n%\r\nX0Y0\r\nX2000.Y100.\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: the drilled area is 2000.000 x 100.000 mm, larger than 1 m for a board; check the units "
                   "and number format (--units, --number-format, or the fields of File > Drill file format...)"},
                  true},
        CheckCase{"OneTinyHoleIsNoArea",
                  "M48\r\nM71\r\n%\r\nX0.1Y0.1\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  kNone},
        CheckCase{"AllHolesInOnePoint",
                  "M48\r\nM71\r\n%\r\nX5.Y5.\r\nX5.Y5.\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::None,
                  {},
                  {},
                  {"Warning: the drilled area is 0.000 x 0.000 mm, smaller than 1 mm for a board"}},
        CheckCase{"DesignBlocksOnGrbl",
                  kWorkedExampleWhole,
                  "1",
                  "2",
                  "1",
                  Controller::Grbl,
                  {},
                  {},
                  {"Warning: line 19 of the program feeds before any F word; GRBL 1.1 refuses a feed move without a "
                   "feed rate",
                   "Warning: the tool-change block after holds M06, which GRBL 1.1 does not accept"}},
        CheckCase{"GrblPreset", kWorkedExampleWhole, "1", "2", "1", Controller::Grbl, kGrbl, kGrblAfter, kNone},
        CheckCase{"LinuxCncPresetWithToolChanger", kWorkedExampleWhole, "1", "2", "1", Controller::LinuxCnc, kLinuxCnc,
                  kLinuxCncAfter, kNone},
        CheckCase{"LongBlockLineOnGrbl",
                  kWorkedExampleWhole,
                  "1",
                  "2",
                  "1",
                  Controller::Grbl,
                  kGrbl,
                  {"F100", "(" + std::string(75, 'x') + ")"},
                  {"Warning: the tool-change block after has a line of 84 characters as written; GRBL 1.1 reads at "
                   "most 80"}},
        CheckCase{"DrillFileCodeLinuxCncRefuses",
                  "M48\r\nM71\r\n%\r\nT1\r\nM47\r\nX1.Y1.\r\nX20.Y20.\r\nM30\r\n",
                  "1",
                  "2",
                  "1",
                  Controller::LinuxCnc,
                  kLinuxCnc,
                  kLinuxCncAfter,
                  {"Warning: line 20 of the program holds M47, which LinuxCNC does not accept"}},
        CheckCase{"FeedOnlyInTheBeforeBlockStillCounts",
                  kWorkedExampleWhole,
                  "1",
                  "2",
                  "1",
                  Controller::LinuxCnc,
                  {"G21 G90 F100", "G00 Z30"},
                  {"M06", "M03 S1000", "G00 Z20"},
                  kNone}),
    RowName<CheckCase>);

TEST(RunVerificationTest, VerifiesTheWrittenProgramOnlyWhenAsked) {
    testing::TempFolder folder("korvex-verify");
    testing::WriteFile(folder.Path() / "board.drl", kWorkedExampleWhole);
    testing::RecordingHost host;
    host.fields[Field::InputFileName] = (folder.Path() / "board.drl").string();
    host.fields[Field::OutputFileName] = (folder.Path() / "board.CNC").string();
    conversion::ConversionState state;

    job::JobReport report = job::ConvertJob(state, host, job::JobOptions{});
    EXPECT_FALSE(report.verification.ran);
    EXPECT_EQ(LinesAfterTheRun(host.log), kNone);

    host.log.clear();
    job::JobOptions options;
    options.verify = true;
    report = job::ConvertJob(state, host, options);
    EXPECT_TRUE(report.verification.Passed());
    EXPECT_EQ(LinesAfterTheRun(host.log),
              std::vector<std::string>{"Verified against the drill file read as mm 3:3 TZ (header, default): 3 holes, "
                                       "0 slots, 0 routes"});

    // A depth that drills nothing: every hole is missing from what the program does.
    host.log.clear();
    host.fields[Field::ZDown] = "0";
    report = job::ConvertJob(state, host, options);
    EXPECT_EQ(report.verification.differenceCount, 2u); // T2 drills with its own depth
    EXPECT_EQ(LinesAfterTheRun(host.log),
              (std::vector<std::string>{
                  "Warning: the run drills to Z0, which does not go below the work surface (Z0): nothing is drilled",
                  "Warning: hole T1 at X10.000 Y20.000 is missing from the program",
                  "Warning: hole T1 at X15.500 Y20.000 is missing from the program"}));

    // The default reading's own holes are no measure: a misread file fails against the Excellon reading.
    host.log.clear();
    host.fields[Field::ZDown] = "2";
    testing::WriteFile(folder.Path() / "board.drl", kInchTz);
    report = job::ConvertJob(state, host, options);
    EXPECT_FALSE(report.verification.Passed());
    EXPECT_EQ(report.verification.differenceCount, 4u); // both holes missing where they belong, both extra
    const std::vector<std::string> lines = LinesAfterTheRun(host.log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("Warning: this reading drills 2 holes at X 25.400 to 76.200", 0), 0u)
        << lines.front();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Warning: hole T1 at X2.540 Y5.080 is missing from the program"),
              lines.end());
}

} // namespace
} // namespace korvex::gcode

// The Excellon reading as a board job: which tool changes the program makes, and what several files drill.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "conversion/ConversionState.h"
#include "job/ConvertJob.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/support/Files.h"

namespace {

namespace fs = std::filesystem;
namespace conversion = korvex::conversion;
namespace excellon = korvex::excellon;
namespace job = korvex::job;
namespace files = korvex::testing;

struct Converted {
    std::string program;
    job::JobReport report;
    std::string log;
};

// Converts `drill` (and `more`, further files) with the Excellon reading, verified.
Converted Convert(const fs::path& folder, const std::string& drill, const std::vector<std::string>& more,
                  const std::function<void(excellon::BoardOptions&)>& board) {
    files::WriteFile(folder / "board.drl", drill);
    files::RecordingHost host;
    host.fields[conversion::Field::InputFileName] = (folder / "board.drl").string();
    host.fields[conversion::Field::OutputFileName] = (folder / "board.CNC").string();
    job::JobOptions options;
    options.reading.excellon = true;
    options.verify = true;
    for (std::size_t i = 0; i < more.size(); ++i) {
        const fs::path path = folder / ("more" + std::to_string(i) + ".drl");
        files::WriteFile(path, more[i]);
        options.board.moreFiles.push_back(path.string());
    }
    if (board) {
        board(options.board);
    }
    conversion::ConversionState state;
    Converted run;
    run.report = job::ConvertJob(state, host, options);
    run.program = files::ReadFile(folder / "board.CNC");
    run.log = host.log;
    return run;
}

// The tool word of each change block, in program order.
std::vector<std::string> ToolChanges(const std::string& program) {
    static const std::regex kToolLine(R"(^N\d+ (T\d+)\r?$)");
    std::vector<std::string> tools;
    std::istringstream lines(program);
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, kToolLine)) {
            tools.push_back(match[1]);
        }
    }
    return tools;
}

// Where the program drills, sorted.
std::vector<std::string> HolePlaces(const std::string& program) {
    static const std::regex kHoleLine(R"(^N\d+ G00 (X\S+ Y\S+)\r?$)");
    std::vector<std::string> places;
    std::istringstream lines(program);
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, kHoleLine)) {
            places.push_back(match[1]);
        }
    }
    std::sort(places.begin(), places.end());
    return places;
}

const char* const kHeader = "M48\r\nMETRIC,TZ\r\n";

struct ChangeRow {
    const char* name;
    std::string tools; // the header's tool definitions
    std::string body;
    std::function<void(excellon::BoardOptions&)> board;
    std::vector<std::string> changes;
    bool verifies = true; // milled holes are verified as the rack's verification decides
};

void PrintTo(const ChangeRow& row, std::ostream* out) {
    *out << row.name;
}

class ToolChangeTest : public ::testing::TestWithParam<ChangeRow> {};

TEST_P(ToolChangeTest, GathersAsAsked) {
    const ChangeRow& row = GetParam();
    files::TempFolder folder("korvex-board");
    const Converted run = Convert(folder.Path(), kHeader + row.tools + "%\r\n" + row.body + "M30\r\n", {}, row.board);
    EXPECT_EQ(ToolChanges(run.program), row.changes) << run.program;
    if (row.verifies) {
        EXPECT_TRUE(run.report.verification.Passed()) << run.log;
    }
}

const std::string kRepeats = "T1\r\nX1Y1\r\nT2\r\nX2Y2\r\nT2\r\nX3Y3\r\nT1\r\nX4Y4\r\nT3\r\nX5Y5\r\n";
const std::string kThreeTools = "T1C0.813\r\nT2C0.787\r\nT3C0.800\r\n";

void Gather(excellon::BoardOptions& board) {
    board.gatherTools = true;
}

INSTANTIATE_TEST_SUITE_P(
    Board, ToolChangeTest,
    ::testing::Values(
        ChangeRow{"without_board_options_as_written", kThreeTools, kRepeats, nullptr, {"T1", "T2", "T2", "T1", "T3"}},
        ChangeRow{"repeats_merge", "T1C1.0\r\nT2C0.6\r\nT3C0.7\r\n", kRepeats, Gather, {"T1", "T2", "T3"}},
        ChangeRow{
            "equal_diameters_share_a_change", "T1C0.8\r\nT2C0.6\r\nT3C0.8005\r\n", kRepeats, Gather, {"T1", "T2"}},
        ChangeRow{"equal_diameters_with_other_depths_apart",
                  "T1C0.8\r\nT2C0.6\r\nT3C0.8Z-3\r\n",
                  kRepeats,
                  Gather,
                  {"T1", "T2", "T3"}},
        ChangeRow{"keep_tools_keeps_equal_diameters_apart",
                  "T1C0.8\r\nT2C0.6\r\nT3C0.8\r\n",
                  kRepeats,
                  [](excellon::BoardOptions& board) { board.keepTools = true; },
                  {"T1", "T2", "T3"}},
        ChangeRow{"diameter_order_without_diameter_last",
                  "T1C1.0\r\nT3C0.7\r\n",
                  kRepeats,
                  [](excellon::BoardOptions& board) { board.toolOrder = excellon::ToolOrder::Diameter; },
                  {"T3", "T1", "T2"}},
        ChangeRow{"rack_puts_two_tools_on_one_bit",
                  kThreeTools,
                  kRepeats,
                  [](excellon::BoardOptions& board) {
                      board.rack.bits = {{0.8, ""}, {1.0, ""}};
                  },
                  {"T1"}},
        ChangeRow{"rack_with_keep_tools",
                  kThreeTools,
                  kRepeats,
                  [](excellon::BoardOptions& board) {
                      board.rack.bits = {{0.8, ""}, {1.0, ""}};
                      board.keepTools = true;
                  },
                  {"T1", "T2", "T3"}},
        ChangeRow{"end_mill_alone_has_a_number_of_its_own",
                  kThreeTools,
                  kRepeats,
                  [](excellon::BoardOptions& board) { board.rack.endMillMm = 0.5; },
                  {"T4"},
                  false}),
    [](const ::testing::TestParamInfo<ChangeRow>& row) { return std::string(row.param.name); });

TEST(BoardFilesTest, TwoFilesDrillTheUnionOnce) {
    files::TempFolder folder("korvex-board");
    // The same number for another diameter, and the same diameter under another number, in other units.
    const std::string first =
        std::string(kHeader) + "T1C0.8\r\nT2C1.0\r\n%\r\nT1\r\nX1Y1\r\nX2Y1\r\nT2\r\nX3Y3\r\nM30\r\n";
    const std::string second =
        "M48\r\nINCH,TZ\r\nT1C0.0394\r\nT7C0.0315\r\n%\r\nT7\r\nX0.1Y0.2\r\nT1\r\nX0.3Y0.4\r\nX0.5Y0.6\r\nM30\r\n";
    const Converted a = Convert(folder.Path(), first, {}, nullptr);
    const Converted b = Convert(folder.Path(), second, {}, nullptr);
    const Converted both = Convert(folder.Path(), first, {second}, nullptr);

    std::vector<std::string> union_ = HolePlaces(a.program);
    const std::vector<std::string> secondPlaces = HolePlaces(b.program);
    union_.insert(union_.end(), secondPlaces.begin(), secondPlaces.end());
    std::sort(union_.begin(), union_.end());
    EXPECT_EQ(HolePlaces(both.program), union_);
    EXPECT_EQ(both.report.holes, a.report.holes + b.report.holes);
    EXPECT_EQ(ToolChanges(both.program), (std::vector<std::string>{"T1", "T2"}));
    EXPECT_NE(both.program.find("; T1 of more0.drl is written as T8: T1 of an earlier drill file is another tool"),
              std::string::npos);
    EXPECT_TRUE(both.report.verification.Passed()) << both.log;
}

} // namespace

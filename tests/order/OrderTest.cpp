#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "conversion/ConversionState.h"
#include "conversion/ProgramEmitter.h"
#include "conversion/RunObserver.h"
#include "job/ConvertJob.h"
#include "order/DrillOrder.h"
#include "order/ShortOrderObserver.h"
#include "order/ShortPath.h"
#include "tests/fakes/MemoryTextWriter.h"
#include "tests/fakes/RecordingHost.h"
#include "tests/support/Files.h"

namespace korvex::order {
namespace {

namespace fs = std::filesystem;

// A fixed pseudo-random sequence, the same on every machine.
class Sequence {
public:
    double Next(double limit) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0 * limit;
    }

private:
    unsigned long long state_ = 12345;
};

std::vector<Point> Shuffled(std::vector<Point> points) {
    Sequence random;
    for (std::size_t i = points.size(); i > 1; --i) {
        std::swap(points[i - 1], points[static_cast<std::size_t>(random.Next(static_cast<double>(i)))]);
    }
    return points;
}

std::vector<Point> Grid(int side) {
    std::vector<Point> points;
    for (int i = 0; i < side * side; ++i) {
        points.push_back({static_cast<double>(i / side), static_cast<double>(i % side)});
    }
    return Shuffled(points);
}

std::vector<Point> Circle(int count, double radius) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        const double angle = 2 * M_PI * i / count;
        points.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    }
    return Shuffled(points);
}

std::vector<Point> Scattered(int count, double side) {
    Sequence random;
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        const double x = random.Next(side);
        points.push_back({x, random.Next(side)});
    }
    return points;
}

std::vector<Point> Repeated(const std::vector<Point>& places, int times) {
    std::vector<Point> points;
    for (int i = 0; i < times; ++i) {
        points.insert(points.end(), places.begin(), places.end());
    }
    return Shuffled(points);
}

constexpr double kUnknown = -1.0;

struct OrderRow {
    const char* name;
    std::vector<Point> points;
    Point start;
    double shortest = kUnknown; // the optimum where it is known
    double atMost = kUnknown;   // otherwise a bound a working improvement stays under
    bool fileOrder = false;     // nothing shorter exists (or the input cannot be ordered): the file's order
};

void PrintTo(const OrderRow& row, std::ostream* out) {
    *out << row.name;
}

class ShortOrderTest : public ::testing::TestWithParam<OrderRow> {};

TEST_P(ShortOrderTest, VisitsEveryPointOnceAndIsShortAndRepeatable) {
    const OrderRow& row = GetParam();
    const std::vector<std::size_t> order = ShortOrder(row.points, row.start);

    std::vector<std::size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::size_t> identity(row.points.size());
    std::iota(identity.begin(), identity.end(), std::size_t{0});
    ASSERT_EQ(sorted, identity) << "not every point exactly once";

    EXPECT_EQ(ShortOrder(row.points, row.start), order) << "another order for the same input";
    const double length = TravelLength(row.points, order, row.start);
    if (row.fileOrder) {
        EXPECT_EQ(order, identity);
    } else {
        EXPECT_LT(length, TravelLength(row.points, identity, row.start));
    }
    if (row.shortest != kUnknown) {
        EXPECT_NEAR(length, row.shortest, 1e-9);
    }
    if (row.atMost != kUnknown) {
        EXPECT_LE(length, row.atMost);
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Instances, ShortOrderTest,
    ::testing::Values(
        OrderRow{"empty", {}, {0, 0}, 0.0, kUnknown, true},
        OrderRow{"one_point", {{3, 4}}, {0, 0}, 5.0, kUnknown, true},
        OrderRow{"line_in_order", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, {0, 0}, 5.0, kUnknown, true},
        // Nearest first would go 1 + 3 + 5; the best turns once: 2 + 3 + 2.
        OrderRow{"line_nearest_is_not_best", {{-1, 0}, {2, 0}, {-3, 0}}, {0, 0}, 7.0},
        // Every step is at least one unit and the first at least zero: a snake through the grid is the best.
        // Up to eight points every order is tried; on larger grids the local moves come within a few per cent.
        OrderRow{"grid_2x4", {{1, 0}, {0, 3}, {0, 1}, {1, 2}, {0, 0}, {1, 3}, {0, 2}, {1, 1}}, {0, 0}, 7.0},
        OrderRow{"grid_15x15", Grid(15), {0, 0}, kUnknown, 1.04 * 224.0},
        // From just outside one point, once round: the nearest point, then the 99 shortest chords.
        OrderRow{"circle_100", Circle(100, 50.0), {51, 0}, 1.0 + 99 * 2 * 50.0 * std::sin(M_PI / 100)},
        OrderRow{"places_drilled_three_times", Repeated({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}}, 3), {0, 0}, 40.0},
        // The best open path through n random points in a square of side s is near 0.7124 s sqrt(n) (plus
        // a few per cent for the ends); nearest neighbour alone comes out about a quarter longer.
        OrderRow{"scattered_3000", Scattered(3000, 100.0), {0, 0}, kUnknown, 0.80 * 100.0 * std::sqrt(3000.0)},
        OrderRow{"beyond_finite_distances",
                 {{9, 0}, {1e300, 1e300}, {8, 0}, {7, 0}, {6, 0}, {5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}},
                 {0, 0},
                 kUnknown,
                 kUnknown,
                 true},
        OrderRow{"not_a_number", {{1, 0}, {kNaN, 0}, {0, 0}}, {0, 0}, kUnknown, kUnknown, true}),
    [](const ::testing::TestParamInfo<OrderRow>& row) { return std::string(row.param.name); });

std::vector<std::size_t> Identity(std::size_t count) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    return order;
}

bool IsPermutation(std::vector<std::size_t> order, std::size_t count) {
    std::sort(order.begin(), order.end());
    return order == Identity(count);
}

// Points on a line either side of the start at x = 2, the left side a little shorter: with the end free the
// path goes left first and ends at the right; ending near `towards` on the left, it goes right first.
std::vector<Point> TwoSides() {
    return Shuffled({{0, 0}, {1, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
}

struct TowardsRow {
    const char* name;
    std::vector<Point> points;
    Point start;
    Point towards;
    double shortest = kUnknown; // path plus the move on to `towards`, where the optimum is known
    double atMost = kUnknown;
};

void PrintTo(const TowardsRow& row, std::ostream* out) {
    *out << row.name;
}

class ShortOrderTowardsTest : public ::testing::TestWithParam<TowardsRow> {};

TEST_P(ShortOrderTowardsTest, EndsTowardsTheNextPointAndIsRepeatable) {
    const TowardsRow& row = GetParam();
    const std::vector<std::size_t> order = ShortOrder(row.points, row.start, row.towards);
    ASSERT_TRUE(IsPermutation(order, row.points.size()));
    EXPECT_EQ(ShortOrder(row.points, row.start, row.towards), order) << "another order for the same input";
    const double length = TravelLength(row.points, order, row.start, row.towards);
    if (std::isnan(length)) {
        EXPECT_EQ(order, Identity(row.points.size()));
        return;
    }
    EXPECT_LE(length, TravelLength(row.points, Identity(row.points.size()), row.start, row.towards));
    if (row.shortest != kUnknown) {
        EXPECT_NEAR(length, row.shortest, 1e-9);
    }
    if (row.atMost != kUnknown) {
        EXPECT_LE(length, row.atMost);
    }
}

INSTANTIATE_TEST_SUITE_P(Instances, ShortOrderTowardsTest,
                         ::testing::Values(
                             // Free, the path would go left first (2 + 6) and end at 6, then 11 on to -5.
                             TowardsRow{"two_sides_next_on_the_left", TwoSides(), {2, 0}, {-5, 0}, 4.0 + 6.0 + 5.0},
                             TowardsRow{"two_sides_next_on_the_right", TwoSides(), {2, 0}, {9, 0}, 2.0 + 6.0 + 3.0},
                             TowardsRow{"next_where_it_starts", {{3, 0}, {1, 0}, {2, 0}}, {0, 0}, {0, 0}, 6.0},
                             // A snake through the grid can end at (14, 14), 16 below the next point: 224 + 16 at best.
                             // Free, it may end at any corner and then pay up to 30 more.
                             TowardsRow{
                                 "grid_15x15_next_above_a_corner", Grid(15), {0, 0}, {14, 30}, kUnknown, 1.03 * 240.0},
                             TowardsRow{"scattered_3000_next_at_the_far_corner",
                                        Scattered(3000, 100.0),
                                        {0, 0},
                                        {100, 100},
                                        kUnknown,
                                        0.80 * 100.0 * std::sqrt(3000.0)},
                             TowardsRow{"next_not_a_number", {{1, 0}, {0, 0}, {2, 0}}, {0, 0}, {kNaN, 0}}),
                         [](const ::testing::TestParamInfo<TowardsRow>& row) { return std::string(row.param.name); });

struct RunsRow {
    const char* name;
    std::vector<std::vector<Point>> runs;
    double shortest = kUnknown; // the whole travel from X0 Y0, where the optimum is known
};

void PrintTo(const RunsRow& row, std::ostream* out) {
    *out << row.name;
}

class OrderRunsTest : public ::testing::TestWithParam<RunsRow> {};

TEST_P(OrderRunsTest, NeverLongerThanTheFileOrderNorThanRunsOnTheirOwn) {
    const RunsRow& row = GetParam();
    const Point origin{0, 0};
    const std::vector<std::vector<std::size_t>> orders = OrderRuns(row.runs, origin);
    ASSERT_EQ(orders.size(), row.runs.size());
    EXPECT_EQ(OrderRuns(row.runs, origin), orders) << "other orders for the same input";
    // The whole travel of some orders, and of each run ordered on its own from where the last one ended.
    auto total = [&](auto orderOf) {
        double length = 0.0;
        Point at = origin;
        for (std::size_t r = 0; r < row.runs.size(); ++r) {
            const std::vector<std::size_t> order = orderOf(r, at);
            length += TravelLength(row.runs[r], order, at);
            at = order.empty() ? at : row.runs[r][order.back()];
        }
        return length;
    };
    for (std::size_t r = 0; r < row.runs.size(); ++r) {
        ASSERT_TRUE(IsPermutation(orders[r], row.runs[r].size())) << "run " << r;
    }
    const double length = total([&](std::size_t r, Point) { return orders[r]; });
    if (std::isnan(length)) {
        for (std::size_t r = 0; r < row.runs.size(); ++r) {
            EXPECT_EQ(orders[r], Identity(row.runs[r].size()));
        }
        return;
    }
    EXPECT_LE(length, total([&](std::size_t r, Point) { return Identity(row.runs[r].size()); }));
    EXPECT_LE(length, total([&](std::size_t r, Point at) { return ShortOrder(row.runs[r], at); }));
    if (row.shortest != kUnknown) {
        EXPECT_NEAR(length, row.shortest, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Instances, OrderRunsTest,
    ::testing::Values(
        RunsRow{"none", {}, 0.0}, RunsRow{"empty_runs", {{}, {{3, 4}}, {}}, 5.0},
        // Each run's own shortest order ends at (0, 1.1); the file's order ends at (0, -1), next to the next run.
        RunsRow{"chained_short_runs_would_be_longer", {{{0, 1.1}, {0, -1}}, {{0, -10}}}, 3.2 + 9.0},
        // The first run on its own goes right first and ends at -6, far from the next run at 20.
        RunsRow{
            "next_run_on_the_other_side",
            {Shuffled({{-6, 0}, {-5, 0}, {-4, 0}, {-3, 0}, {-2, 0}, {-1, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}),
             {{20, 0}, {21, 0}}},
            6.0 + 11.0 + 15.0 + 1.0},
        RunsRow{"three_tools_over_a_board",
                {Scattered(400, 100.0), Shuffled(Circle(60, 20.0)), Grid(12), Scattered(3, 10.0)}},
        RunsRow{"not_a_number", {{{1, 0}, {kNaN, 0}, {0, 0}}, {{2, 2}, {1, 1}}}}),
    [](const ::testing::TestParamInfo<RunsRow>& row) { return std::string(row.param.name); });

TEST(DrillOrderTest, NamesRoundTripAndNothingElseIsAnOrder) {
    for (const DrillOrder order : {DrillOrder::File, DrillOrder::Short}) {
        EXPECT_EQ(ParseDrillOrder(DrillOrderName(order)), order);
    }
    for (const char* word : {"", "File", "SHORT", "shortest", " file"}) {
        EXPECT_EQ(ParseDrillOrder(word), std::nullopt) << word;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Through a conversion

// A program read back: the lines that are not holes, and per run of holes the places drilled with their Z
// words, with coordinates the program leaves out taken from the machine's last position.
struct ReadBack {
    std::vector<std::string> others;
    std::vector<std::multiset<std::string>> runs;
    std::vector<int> lineNumbers;
};

ReadBack ReadProgram(const std::string& program) {
    std::vector<std::string> lines;
    std::istringstream stream(program);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    ReadBack result;
    for (std::string& line : lines) {
        if (line.size() > 7 && line[0] == 'N' && line[6] == ' ') {
            result.lineNumbers.push_back(std::stoi(line.substr(1, 5)));
            line.erase(0, 7);
        }
    }
    std::string x = "X?";
    std::string y = "Y?";
    bool inRun = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool hole = i + 2 < lines.size() && lines[i].rfind("G00 Z", 0) == 0 &&
                          lines[i + 1].rfind("G00 ", 0) == 0 && lines[i + 1].rfind("G00 Z", 0) != 0 &&
                          lines[i + 2].rfind("G01 Z", 0) == 0;
        if (!hole) {
            result.others.push_back(lines[i]);
            inRun = false;
            continue;
        }
        std::istringstream words(lines[i + 1].substr(4));
        for (std::string word; words >> word;) {
            (word[0] == 'X' ? x : y) = word;
        }
        if (!inRun) {
            result.runs.emplace_back();
            inRun = true;
        }
        result.runs.back().insert(x + " " + y + " " + lines[i] + " " + lines[i + 2]);
        i += 2;
    }
    return result;
}

// Tools 1 to 3 over a board, with lines that leave out X or Y and a word between holes.
std::string ScatteredBoard() {
    Sequence random;
    std::ostringstream drill;
    drill << "M48\r\nM71\r\nT2C0.8B2.5Z1.2\r\n%\r\nX7Y7\r\n";
    for (int tool = 1; tool <= 3; ++tool) {
        drill << "T" << tool << "\r\n";
        for (int hole = 0; hole < 120; ++hole) {
            const int x = static_cast<int>(random.Next(100.0));
            const int y = static_cast<int>(random.Next(80.0));
            drill << (hole % 7 == 3 ? "" : "X" + std::to_string(x)) << (hole % 5 == 2 ? "" : "Y" + std::to_string(y))
                  << "\r\n";
            if (hole == 60) {
                drill << "M05\r\n";
            }
        }
    }
    drill << "M30\r\n";
    return drill.str();
}

class ShortOrderRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("korvex-order-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        host_.fields[conversion::Field::InputFileName] = (folder_ / "board.drl").string();
        host_.fields[conversion::Field::OutputFileName] = (folder_ / "board.CNC").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Convert(const std::string& drill, DrillOrder order, bool excellon = false) {
        testing::WriteFile(folder_ / "board.drl", drill);
        conversion::ConversionState state;
        state.LineNumberIncrement = 5;
        host_.log.clear();
        job::JobOptions options;
        options.order = order;
        options.reading.excellon = excellon;
        report_ = job::ConvertJob(state, host_, options);
        EXPECT_EQ(report_.outcome, conversion::RunOutcome::Finished) << host_.log;
        return testing::ReadFile(folder_ / "board.CNC");
    }

    fs::path folder_;
    testing::RecordingHost host_;
    job::JobReport report_;
};

TEST_F(ShortOrderRunTest, SameHolesPerRunInShorterOrder) {
    const std::string drill = ScatteredBoard();
    const std::string filed = Convert(drill, DrillOrder::File);
    const std::string fileLog = host_.log;
    const double fileMachineSeconds = report_.machineTime.TotalSeconds();
    const std::string shortened = Convert(drill, DrillOrder::Short);

    const ReadBack before = ReadProgram(filed);
    const ReadBack after = ReadProgram(shortened);
    EXPECT_EQ(after.others, before.others);
    EXPECT_EQ(after.runs, before.runs);
    ASSERT_EQ(after.lineNumbers.size(), before.lineNumbers.size());
    for (std::size_t i = 0; i < after.lineNumbers.size(); ++i) {
        ASSERT_EQ(after.lineNumbers[i], static_cast<int>(i) * 5) << "line number " << i;
    }
    EXPECT_NE(shortened, filed);
    EXPECT_EQ(Convert(drill, DrillOrder::Short), shortened) << "another program for the same input";

    EXPECT_GT(report_.fileOrderTravel, 0.0);
    EXPECT_LT(report_.drillOrderTravel, 0.5 * report_.fileOrderTravel);
    // The file's order gives the log it always gave; the short one adds one line and a shorter machine time,
    // and knows the file order's time without running it.
    EXPECT_NEAR(report_.fileOrderMachineSeconds, fileMachineSeconds, 1e-6);
    EXPECT_LT(report_.machineTime.TotalSeconds(), fileMachineSeconds);
    const std::regex machineTime("Machine time: [^\n]*\n");
    const std::string shortLog = std::regex_replace(host_.log, machineTime, "");
    const std::string fileLogWithoutTime = std::regex_replace(fileLog, machineTime, "");
    const std::string added = shortLog.substr(fileLogWithoutTime.size());
    EXPECT_EQ(shortLog.substr(0, fileLogWithoutTime.size()), fileLogWithoutTime);
    EXPECT_TRUE(
        std::regex_match(added, std::regex(R"(Drill order: short, rapid travel \d+\.\d mm \(file order \d+\.\d mm\) )"
                                           R"(in \d+\.\d\d s; machine time .+ s \(file order .+ s\)\n)")))
        << added;
}

// The Excellon reading knows every run before it writes: each run ends towards what comes next, and the whole
// travel never exceeds the file's order. From the origin, T1's two holes are equally far; only the next tool
// or slot tells which one to drill last.
struct ChainCase {
    const char* name;
    const char* body;
    double fileTravel;
    double writtenTravel;
};

void PrintTo(const ChainCase& row, std::ostream* out) {
    *out << row.name;
}

class ShortOrderChainTest : public ShortOrderRunTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ShortOrderChainTest, EndsEachRunTowardsTheNext) {
    const std::string drill = std::string("M48\nMETRIC\nT1C0.8\nT2C1.0\n%\n") + GetParam().body + "M30\n";
    Convert(drill, DrillOrder::Short, true);
    EXPECT_NEAR(report_.fileOrderTravel, GetParam().fileTravel, 1e-9) << host_.log;
    EXPECT_NEAR(report_.drillOrderTravel, GetParam().writtenTravel, 1e-9) << host_.log;
    EXPECT_EQ(report_.verification.skipReason, "");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ShortOrderChainTest,
    ::testing::Values(ChainCase{"NextTool", "T1\nX0.0Y-5.0\nX0.0Y5.0\nT2\nX0.0Y-20.0\n", 40.0, 30.0},
                      ChainCase{"NextSlot", "T1\nX0.0Y-5.0\nX0.0Y5.0\nT2\nX0.0Y-20.0G85X10.0Y-20.0\n", 40.0, 30.0},
                      // after the slot the holes start from its end, (10, -20)
                      ChainCase{"AfterSlot",
                                "T2\nX0.0Y-20.0G85X10.0Y-20.0\nT1\nX10.0Y-25.0\nX10.0Y-15.0\nT2\nX10.0Y-30.0\n",
                                20.0 + 5.0 + 10.0 + 15.0, 20.0 + 5.0 + 10.0 + 5.0},
                      ChainCase{"FileOrderBest", "T1\nX0.0Y5.0\nX0.0Y-5.0\nT2\nX0.0Y-20.0\n", 30.0, 30.0}),
    [](const ::testing::TestParamInfo<ChainCase>& row) { return std::string(row.param.name); });

// After a slot or route the machine starts the next holes where the path ended.
TEST(ShortOrderTest, HolesAfterAPathStartWhereItEnded) {
    conversion::ConversionState state;
    state.LineNumbersOn = false;
    state.CurrentZUp = "Z1.00";
    state.CurrentZDown = "Z-2.0";
    testing::MemoryTextWriter output;
    state.OutputFile = &output;

    ShortOrderObserver observer;
    conversion::ProgramEmitter program(state);
    state.Emitter = &program;
    state.Observer = &observer;
    state.Order = &observer;
    conversion::PathEvent route;
    route.startX = 0.0;
    route.segments.push_back({conversion::PathSegment::Kind::Line, 100.0, 0.0, 0.0, 0.0});
    program.Path(route);
    const std::string words[] = {"X0.000", "X90.000", "Y0.000"};
    for (const auto& [x, xWord] : {std::pair{0.0, words[0]}, std::pair{90.0, words[1]}}) {
        program.Hole(conversion::HoleEvent{1, x, 0.0, true, true, xWord, words[2]});
    }
    EXPECT_TRUE(program.Holding());
    program.Flush();

    EXPECT_EQ(output.lines,
              (std::vector<std::string>{"G00 Z1.00", "G00 X0.000 Y0.000", "G01 Z-2.0", "G01 X100.000 Y0.000",
                                        "G01 Z1.00", "G00 Z1.00", "G00 X90.000 Y0.000", "G01 Z-2.0", "G00 Z1.00",
                                        "G00 X0.000 Y0.000", "G01 Z-2.0"}));
    // To the route's start, then from its end to 90 and back to 0; in the file's order 100 + 90.
    EXPECT_DOUBLE_EQ(observer.WrittenTravel(), 100.0);
    EXPECT_DOUBLE_EQ(observer.FileOrderTravel(), 190.0);
}

} // namespace
} // namespace korvex::order

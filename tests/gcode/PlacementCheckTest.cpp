#include "job/PlacementCheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvex::job {
namespace {

using Points = std::vector<std::pair<double, double>>;

struct PlacementRow {
    const char* name;
    Points file;   // the Excellon reading's holes, without offsets
    bool fileSlot; // the Excellon reading also mills a slot
    Points run;    // the default reading's holes as the run reports them, offsets included
    double divisor;
    double xOffset;
    bool agrees;
    std::optional<double> divisorToUse;
};

void PrintTo(const PlacementRow& row, std::ostream* out) {
    *out << row.name;
}

std::string RowName(const testing::TestParamInfo<PlacementRow>& row) {
    return row.param.name;
}

class PlacementCheckTest : public testing::TestWithParam<PlacementRow> {};

TEST_P(PlacementCheckTest, ComparesWhereTheHolesLand) {
    const PlacementRow& row = GetParam();
    excellon::DrillWork work;
    work.readable = true;
    work.tools = 1;
    for (const auto& [x, y] : row.file) {
        work.holes.push_back({1, x, y});
    }
    if (row.fileSlot) {
        conversion::PathEvent slot;
        slot.segments.push_back({});
        work.paths.push_back(slot);
    }
    conversion::ConversionState state;
    state.Divisor = row.divisor;
    state.XOffset = row.xOffset;
    PlacementCheck check(work);
    for (const auto& [x, y] : row.run) {
        conversion::HoleEvent hole;
        hole.x = x;
        hole.y = y;
        check.OnHole(state, hole);
    }
    EXPECT_EQ(check.Agrees(), row.agrees);
    EXPECT_EQ(check.ReproducingDivisor(), row.divisorToUse);
    EXPECT_EQ(check.Warning(state, {}).empty(), row.agrees);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlacementCheckTest,
    testing::Values(PlacementRow{"SameOrder", {{1, 2}, {3, 4}}, false, {{1, 2}, {3, 4}}, 1, 0, true, std::nullopt},
                    PlacementRow{"OtherOrder", {{1, 2}, {3, 4}}, false, {{3, 4}, {1, 2}}, 1, 0, true, std::nullopt},
                    PlacementRow{"WithinTolerance", {{1, 2}}, false, {{1.0099, 2}}, 1, 0, true, std::nullopt},
                    PlacementRow{"BeyondTolerance", {{1, 2}}, false, {{1.0101, 2}}, 1, 0, false, std::nullopt},
                    PlacementRow{"AfterTheOffset", {{1, 2}}, false, {{6, 2}}, 1, 5, true, std::nullopt},
                    PlacementRow{"MissingHole", {{1, 2}, {3, 4}}, false, {{1, 2}}, 1, 0, false, std::nullopt},
                    PlacementRow{"ExtraHole", {{1, 2}}, false, {{1, 2}, {1, 2}}, 1, 0, false, std::nullopt},
                    PlacementRow{"TenTimesOut", {{1, 2}, {3, 4}}, false, {{10, 20}, {30, 40}}, 1, 0, false, 10.0},
                    PlacementRow{"TenTimesOutAfterTheOffset", {{1, 2}}, false, {{15, 20}}, 1, 5, false, 10.0},
                    PlacementRow{"DividedTooMuch", {{25, 50}}, false, {{0.025, 0.05}}, 1000, 0, false, 1.0},
                    PlacementRow{
                        "NoOneDivisorFits", {{1, 2}, {3, 4}}, false, {{10, 20}, {300, 400}}, 1, 0, false, std::nullopt},
                    PlacementRow{"SlotDrilledAsHoles", {{1, 2}}, true, {{1, 2}}, 1, 0, false, std::nullopt}),
    RowName);

TEST(PlacementCheckTest, NoDrillDataWarnsEvenWhenNothingIsDrilled) {
    excellon::DrillWork work;
    work.readable = true;
    conversion::ConversionState state;
    const PlacementCheck check(work);
    EXPECT_EQ(check.Warning(state, {}), "Warning: the Excellon reading finds no tool, hole, slot or route in the drill "
                                        "file, so it is no drill file; the program drills 0 holes");
}

} // namespace
} // namespace korvex::job

// The drill rack in korvex.INI: what each stored text reads as, what a save writes, and that a file without
// the section gains none.
#include "settings/DrillRackSettings.h"

#include <gtest/gtest.h>

#include "excellon/RackFile.h"
#include "platform/IniFile.h"

namespace korvex::settings {
namespace {

excellon::DrillRack Rack(std::vector<excellon::RackBit> bits, double tolerance, std::optional<double> endMill) {
    excellon::DrillRack rack;
    rack.bits = std::move(bits);
    rack.toleranceMm = tolerance;
    rack.endMillMm = endMill;
    return rack;
}

struct ReadCase {
    const char* name;
    const char* ini;
    excellon::DrillRack expected;
};

class DrillRackReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DrillRackReadTest, ReadsTheSection) {
    const excellon::DrillRack rack = ReadDrillRack(platform::IniDocument(GetParam().ini));
    EXPECT_TRUE(SameRack(rack, GetParam().expected)) << excellon::RackText(rack.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DrillRackReadTest,
    ::testing::Values(
        ReadCase{"NoSection", "[Settings]\r\nDivisor=1000\r\n", excellon::DrillRack{}},
        ReadCase{"AllKeys", "[DrillRack]\r\nDrills=0.3, 0.8 carbide 0.8,1\r\nTolerance=0.02\r\nEndMill=1.5\r\n",
                 Rack({{0.3, ""}, {0.8, "carbide 0.8"}, {1.0, ""}}, 0.02, 1.5)},
        ReadCase{"NoEndMill", "[DrillRack]\nDrills=0.5\nEndMill=none\n", Rack({{0.5, ""}}, 0.05, std::nullopt)},
        // A value that cannot be read keeps its default; the other keys still count.
        ReadCase{"BadDrills", "[DrillRack]\nDrills=0.3, x\nTolerance=0.1\n", Rack({}, 0.1, std::nullopt)},
        ReadCase{"BadTolerance", "[DrillRack]\nDrills=0.3\nTolerance=-1\nEndMill=0\n",
                 Rack({{0.3, ""}}, 0.05, std::nullopt)}),
    [](const ::testing::TestParamInfo<ReadCase>& row) { return std::string(row.param.name); });

TEST(DrillRackWriteTest, SectionOnlyOnceChosen) {
    const std::string plain = "[Settings]\r\nDivisor=1000\r\n";
    platform::IniDocument untouched(plain);
    WriteDrillRack(untouched, excellon::DrillRack{});
    EXPECT_EQ(untouched.Text(), plain);

    const excellon::DrillRack chosen = Rack({{0.4, ""}, {0.8, "carbide"}}, 0.025, 1.0);
    platform::IniDocument written(plain);
    WriteDrillRack(written, chosen);
    EXPECT_TRUE(SameRack(ReadDrillRack(written), chosen)) << written.Text();

    // Once there, the section follows the rack back to the defaults.
    WriteDrillRack(written, excellon::DrillRack{});
    EXPECT_TRUE(HasDrillRack(written));
    EXPECT_TRUE(SameRack(ReadDrillRack(written), excellon::DrillRack{})) << written.Text();
}

} // namespace
} // namespace korvex::settings

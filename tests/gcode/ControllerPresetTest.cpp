#include "gcode/ControllerPreset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace korvex::gcode {
namespace {

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

struct PresetCase {
    const char* name;
    PresetOptions options;
    std::vector<std::string> before;
    std::vector<std::string> after;
};

void PrintTo(const PresetCase& row, std::ostream* out) {
    *out << row.name;
}

class PresetTest : public ::testing::TestWithParam<PresetCase> {};

TEST_P(PresetTest, BlocksTheControllerAccepts) {
    const PresetCase& row = GetParam();
    const ToolChangeBlocks blocks = PresetBlocks(row.options);
    EXPECT_EQ(blocks.before, row.before);
    EXPECT_EQ(blocks.after, row.after);
    for (const auto* lines : {&blocks.before, &blocks.after}) {
        for (const std::string& line : *lines) {
            EXPECT_EQ(CodesNotAccepted(row.options.controller, line), std::vector<std::string>{}) << line;
        }
    }
}

const std::vector<std::string> kPreamble{"G21 G90", "M05", "G00 Z30"};

INSTANTIATE_TEST_SUITE_P(
    Controllers, PresetTest,
    ::testing::Values(
        PresetCase{"None", {Controller::None, 100, 10000, false}, {"G00 Z30"}, {"M06", "G00 Z20"}},
        PresetCase{"LinuxCncManual",
                   {Controller::LinuxCnc, 100, 12000, false},
                   kPreamble,
                   {"M00 (change to the tool named above, then resume)", "M03 S12000", "G04 P2", "F100", "G00 Z20"}},
        PresetCase{"LinuxCncToolChanger",
                   {Controller::LinuxCnc, 62.5, 12000, true},
                   kPreamble,
                   {"M06", "M03 S12000", "G04 P2", "F62.5", "G00 Z20"}},
        PresetCase{"GrblNeverChangesTools",
                   {Controller::Grbl, 100, 10000, true},
                   kPreamble,
                   {"M00 (change to the tool named above, then resume)", "M03 S10000", "G04 P2", "F100", "G00 Z20"}},
        PresetCase{"GenericWithoutDwell",
                   {Controller::Generic, 150, 20000, true},
                   kPreamble,
                   {"M06", "M03 S20000", "F150", "G00 Z20"}}),
    RowName<PresetCase>);

struct CodesCase {
    Controller controller;
    const char* line;
    std::vector<std::string> refused;
};

TEST(CodesNotAcceptedTest, NamesEachRefusedCode) {
    const CodesCase cases[] = {
        {Controller::Grbl, "N00010 M06", {"M06"}},
        {Controller::Grbl, "T12", {}},
        {Controller::Grbl, "G81 X1 Y1 Z-1 R1", {"G81"}},
        {Controller::Grbl, "G91.1 G38.2 Z-5 F10", {}},
        {Controller::Grbl, "M00 (M06 in a comment) ; G81", {}},
        {Controller::Grbl, "FMAT,2", {"M", "word A", "word ,2"}},
        {Controller::Grbl, "(unclosed", {"unclosed comment"}},
        {Controller::LinuxCnc, "M06 G81 M47 M101", {"M47"}},
        {Controller::LinuxCnc, "g0 m6", {}},
        {Controller::Generic, "M06 G81 M62", {"M62"}},
        {Controller::None, "M99999 Q", {}},
    };
    for (const CodesCase& row : cases) {
        EXPECT_EQ(CodesNotAccepted(row.controller, row.line), row.refused) << row.line;
    }
}

TEST(ControllerNameTest, NamesRoundTrip) {
    for (const Controller controller : {Controller::LinuxCnc, Controller::Grbl, Controller::Generic}) {
        EXPECT_EQ(ControllerFromName(ControllerName(controller)), controller);
    }
    EXPECT_EQ(ControllerFromName("GRBL"), Controller::Grbl);
    EXPECT_EQ(ControllerFromName(""), std::nullopt);
    EXPECT_EQ(ControllerFromName("mach3"), std::nullopt);
    EXPECT_EQ(BlockText({"M06", "G00 Z20"}), "M06\r\nG00 Z20\r\n");
    EXPECT_EQ(MaxLineLength(Controller::Grbl), 80u);
    EXPECT_EQ(MaxLineLength(Controller::LinuxCnc), 0u);
}

} // namespace
} // namespace korvex::gcode

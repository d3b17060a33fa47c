// The board's choices in korvex.INI: what each stored text reads as, what a save writes, that a file without
// the two sections gains none, and what reaches the run.
#include "settings/BoardSettings.h"

#include "excellon/BoardOptions.h"
#include "job/ConvertJob.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace korvex::settings {
namespace {

BoardSettings With(void (*change)(BoardSettings&)) {
    BoardSettings settings;
    change(settings);
    return settings;
}

BoardSettings Chosen() {
    return With([](BoardSettings& s) {
        s.side = {true, excellon::MirrorAxis::Y, -12.5, 3.0, excellon::BoardOrigin::LowerLeft};
        s.moreFiles = {"/boards/npth.drl", "slots.drl"};
    });
}

struct ReadCase {
    const char* name;
    const char* ini;
    BoardSettings expected;
};

const ReadCase kReadCases[] = {
    {"MissingSectionsGiveDefaults", "[Settings]\r\nDivisor=1000\r\n", BoardSettings{}},
    {"AllKeys",
     "[BoardSide]\r\nSide=bottom\r\nAxis=y\r\nMirrorAt=-12.5\r\nAlignmentHoles=3\r\nOrigin=lower-left\r\n"
     "[BoardFiles]\r\nCount=2\r\nFile1=/boards/npth.drl\r\nFile2=slots.drl\r\n",
     Chosen()},
    {"WordsInAnyCase", "[boardside]\nside=Bottom\naxis=Y\norigin=CENTER\n", With([](BoardSettings& s) {
         s.side.bottom = true;
         s.side.axis = excellon::MirrorAxis::Y;
         s.side.origin = excellon::BoardOrigin::Center;
     })},
    {"UnknownWordsKeepDefaults", "[BoardSide]\nSide=left\nAxis=z\nOrigin=middle\n", BoardSettings{}},
    {"EmptyNumbersAreNone", "[BoardSide]\nSide=bottom\nMirrorAt=\nAlignmentHoles=\n",
     With([](BoardSettings& s) { s.side.bottom = true; })},
    {"NumbersOutOfRange", "[BoardSide]\nMirrorAt=1500.5\nAlignmentHoles=0.05\n", BoardSettings{}},
    {"NumbersNotDecimal", "[BoardSide]\nMirrorAt=1e2\nAlignmentHoles=3,5\n", BoardSettings{}},
    {"FilesBeyondCountAndEmptyOnesLeftOut", "[BoardFiles]\nCount=2\nFile1=\nFile2=b.drl\nFile3=c.drl\n",
     With([](BoardSettings& s) { s.moreFiles = {"b.drl"}; })},
};

class BoardSettingsReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(BoardSettingsReadTest, ReadsAsExpected) {
    const platform::IniDocument ini(GetParam().ini);
    EXPECT_EQ(ReadBoardSettings(ini), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, BoardSettingsReadTest, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& row) { return std::string(row.param.name); });

TEST(BoardSettingsWrite, DefaultsLeaveAFileWithoutTheSectionsAsItWas) {
    const std::string before = "[Settings]\r\nDivisor=1000\r\n";
    platform::IniDocument ini(before);
    BoardSettings topKeepsItsBottomValues;
    topKeepsItsBottomValues.side.mirrorAt = 5.0; // greyed in the dialog, but the user's
    WriteBoardSettings(ini, BoardSettings{});
    EXPECT_EQ(ini.Text(), before);
    EXPECT_FALSE(HasBoardSettings(ini));
    WriteBoardSettings(ini, topKeepsItsBottomValues);
    EXPECT_TRUE(HasBoardSettings(ini));
    EXPECT_EQ(ReadBoardSettings(ini), topKeepsItsBottomValues);
}

TEST(BoardSettingsWrite, RoundTripsAndShrinks) {
    platform::IniDocument ini("[Settings]\r\nDivisor=1000\r\n");
    WriteBoardSettings(ini, Chosen());
    EXPECT_EQ(ReadBoardSettings(ini), Chosen());
    // Back to the defaults: the sections stay, with the default values, and the shorter list has no stale name.
    BoardSettings oneFile;
    oneFile.moreFiles = {"only.drl"};
    WriteBoardSettings(ini, oneFile);
    EXPECT_EQ(ReadBoardSettings(ini), oneFile);
    EXPECT_EQ(ini.Value("BoardFiles", "File2"), std::string());
    WriteBoardSettings(ini, BoardSettings{});
    EXPECT_EQ(ReadBoardSettings(ini), BoardSettings{});
    EXPECT_EQ(ini.Value("BoardSide", "Side"), std::string("top"));
}

// The run takes the choices in the Excellon reading; the plain reading keeps its options and says why.
TEST(BoardSettingsRun, ExcellonReadingOnly) {
    job::JobOptions excellon;
    excellon.reading.excellon = true;
    EXPECT_EQ(ApplyBoardSettings(Chosen(), excellon), "");
    const excellon::BoardPlacement& placement = excellon.board.placement;
    EXPECT_EQ(placement.origin, excellon::BoardOrigin::LowerLeft);
    EXPECT_EQ(placement.mirror, excellon::MirrorAxis::Y);
    EXPECT_EQ(placement.mirrorAt, -12.5);
    EXPECT_EQ(placement.alignmentHoleMm, 3.0);
    EXPECT_EQ(excellon.board.moreFiles, Chosen().moreFiles);

    // The top side drills no mirror and no alignment holes, whatever the bottom's values.
    BoardSettings top = Chosen();
    top.side.bottom = false;
    EXPECT_EQ(ToBoardPlacement(top.side).mirror, excellon::MirrorAxis::None);
    EXPECT_FALSE(ToBoardPlacement(top.side).alignmentHoleMm);

    job::JobOptions plain;
    EXPECT_EQ(ApplyBoardSettings(Chosen(), plain),
              "Warning: Board side and board files act in the Excellon reading only; this run ignored them");
    EXPECT_TRUE(plain.board.placement.Identity());
    EXPECT_TRUE(plain.board.moreFiles.empty());
    EXPECT_EQ(ApplyBoardSettings(BoardSettings{}, plain), "");
}

} // namespace
} // namespace korvex::settings

// The run's choices in korvex.INI: what each stored text reads as, what a save writes, and that a file
// without the choices' sections saves exactly as before.
#include "settings/JobSettings.h"

#include "conversion/ConversionState.h"
#include "platform/IniFile.h"
#include "settings/Settings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace korvex::settings {
namespace {

JobSettings Chosen() {
    JobSettings settings;
    settings.format = {true, excellon::UnitsChoice::Millimetre, false, 3, 3, excellon::ZerosChoice::LZ};
    settings.order = order::DrillOrder::Short;
    settings.controller = {gcode::Controller::Grbl, 250.5, 12000, true};
    settings.verify = true;
    return settings;
}

struct ReadCase {
    const char* name;
    const char* ini;
    JobSettings expected;
};

void PrintTo(const ReadCase& row, std::ostream* out) {
    *out << row.name;
}

JobSettings With(void (*change)(JobSettings&)) {
    JobSettings settings;
    change(settings);
    return settings;
}

const ReadCase kReadCases[] = {
    {"MissingSectionsGiveDefaults", "[Settings]\r\nDivisor=1000\r\n", JobSettings{}},
    {"AllKeys",
     "[DrillFileFormat]\r\nReading=excellon\r\nUnits=mm\r\nDigits=3:3\r\nZeros=LZ\r\n"
     "[DrillOrder]\r\nOrder=short\r\n"
     "[Controller]\r\nController=grbl\r\nFeed=250.5\r\nSpindle=12000\r\nToolChanger=1\r\n"
     "[Verification]\r\nVerify=1\r\n",
     Chosen()},
    {"WordsInAnyCase", "[drillfileformat]\nreading=EXCELLON\nunits=Inch\nzeros=tz\n[DRILLORDER]\norder=Short\n",
     With([](JobSettings& s) {
         s.format.excellon = true;
         s.format.units = excellon::UnitsChoice::Inch;
         s.format.zeros = excellon::ZerosChoice::TZ;
         s.order = order::DrillOrder::Short;
     })},
    {"UnknownWordsKeepDefaults",
     "[DrillFileFormat]\nReading=fast\nUnits=cm\nZeros=none\n[DrillOrder]\nOrder=random\n"
     "[Controller]\nController=haas\n",
     JobSettings{}},
    {"DigitsFileOrOutOfRangeKeepFromFile", "[DrillFileFormat]\nDigits=file\n[x]\n[DrillFileFormat]\nDigits=2:4\n",
     JobSettings{}},
    {"DigitsWithOneZeroPart", "[DrillFileFormat]\nDigits=0:4\n", With([](JobSettings& s) {
         s.format.digitsFromFile = false;
         s.format.integerDigits = 0;
         s.format.decimalDigits = 4;
     })},
    {"DigitsNotANumberFormat", "[DrillFileFormat]\nDigits=0:0\n", JobSettings{}},
    {"DigitsTooWide", "[DrillFileFormat]\nDigits=10:1\n", JobSettings{}},
    {"DigitsWithBlanksInside", "[DrillFileFormat]\nDigits=2: 4\n", JobSettings{}},
    {"FeedAndSpindleOutOfRange", "[Controller]\nController=linuxcnc\nFeed=0\nSpindle=-5\n",
     With([](JobSettings& s) { s.controller.controller = gcode::Controller::LinuxCnc; })},
    {"GrblToolChange", "[Controller]\nController=grbl\nToolChange=split\n", With([](JobSettings& s) {
         s.controller.controller = gcode::Controller::Grbl;
         s.controller.toolChange = gcode::GrblToolChange::Split;
     })},
    {"GrblToolChangeUnknown", "[Controller]\nToolChange=m6\n", JobSettings{}},
    {"FeedNotANumber", "[Controller]\nFeed=fast\nSpindle=1e5\n", JobSettings{}},
    {"FeedTooHigh", "[Controller]\nFeed=100001\nSpindle=100001\n", JobSettings{}},
    {"CycleKeys", "[Controller]\nController=linuxcnc\nCycle=G83\nPeck=0.25\nRetractPlane=-0.5\n",
     With([](JobSettings& s) {
         s.controller.controller = gcode::Controller::LinuxCnc;
         s.controller.cycle = conversion::CycleKind::G83;
         s.controller.peck = 0.25;
         s.controller.retractPlane = -0.5;
     })},
    {"CycleKeysOutOfRange", "[Controller]\nCycle=g82\nPeck=0\nRetractPlane=1001\n", JobSettings{}},
    {"HexSpindleAsTheIniReadsIt", "[Controller]\nSpindle=0x2710\nFeed=12.25\n", With([](JobSettings& s) {
         s.controller.spindle = 10000;
         s.controller.feed = 12.25;
     })},
    {"MachineTime", "[Controller]\nRapidXY=3000\nRapidZ=500.5\nToolChangeTime=0\n", With([](JobSettings& s) {
         s.controller.rapidXy = 3000;
         s.controller.rapidZ = 500.5;
         s.controller.toolChangeSeconds = 0;
     })},
    {"MachineTimeOutOfRange", "[Controller]\nRapidXY=0\nRapidZ=100001\nToolChangeTime=3601\n", JobSettings{}},
    {"MachineTimeNotANumber", "[Controller]\nRapidXY=fast\nToolChangeTime=-1\n", JobSettings{}},
};

bool Same(const JobSettings& a, const JobSettings& b) {
    return a.format == b.format && a.order == b.order && a.controller == b.controller && a.verify == b.verify;
}

class JobSettingsReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(JobSettingsReadTest, ReadsAsExpected) {
    const platform::IniDocument ini{std::string(GetParam().ini)};
    EXPECT_TRUE(Same(ReadJobSettings(ini), GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, JobSettingsReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(JobSettingsWriteTest, SectionsComeBackAndOtherLinesStay) {
    const std::string original = "; hand-written\r\n[Settings]\r\nDivisor=1000\r\n[Program]\r\nSourceDir=/x\r\n";
    platform::IniDocument ini(original);
    WriteJobSettings(ini, Chosen());
    EXPECT_EQ(ini.Text(), original + "[DrillFileFormat]\r\nReading=excellon\r\nUnits=mm\r\nDigits=3:3\r\nZeros=LZ\r\n"
                                     "[DrillOrder]\r\nOrder=short\r\n"
                                     "[Controller]\r\nController=grbl\r\nFeed=250.5\r\nSpindle=12000\r\n"
                                     "ToolChanger=1\r\n[Verification]\r\nVerify=1\r\n");
    EXPECT_TRUE(Same(ReadJobSettings(ini), Chosen()));
}

TEST(JobSettingsWriteTest, MachineTimeKeysOnlyWhenNotTheDefault) {
    platform::IniDocument ini("[Settings]\r\nDivisor=1000\r\n");
    JobSettings settings;
    settings.controller.toolChangeSeconds = 12.5;
    WriteJobSettings(ini, settings);
    EXPECT_EQ(ini.Text(), "[Settings]\r\nDivisor=1000\r\n[Controller]\r\nToolChangeTime=12.5\r\n");
    EXPECT_TRUE(HasJobSettings(ini));
    EXPECT_TRUE(Same(ReadJobSettings(ini), settings));
    // Back to the default: the key says so.
    WriteJobSettings(ini, JobSettings{});
    EXPECT_EQ(ini.Text(), "[Settings]\r\nDivisor=1000\r\n[Controller]\r\nToolChangeTime=30\r\n");
}

TEST(JobSettingsWriteTest, DefaultsAddNothingButKeepAPresentSectionCurrent) {
    platform::IniDocument without("[Settings]\r\nDivisor=1000\r\n");
    WriteJobSettings(without, JobSettings{});
    EXPECT_EQ(without.Text(), "[Settings]\r\nDivisor=1000\r\n");
    EXPECT_FALSE(HasJobSettings(without));

    // Back to the defaults after a choice: the section says so rather than keeping the old choice.
    platform::IniDocument with("[DrillOrder]\r\nOrder=short\r\n");
    WriteJobSettings(with, JobSettings{});
    EXPECT_EQ(with.Text(), "[DrillOrder]\r\nOrder=file\r\n");

    // The GRBL tool change is written once it is not the default, and kept current after that.
    platform::IniDocument grbl("");
    WriteJobSettings(grbl, With([](JobSettings& s) { s.controller.toolChange = gcode::GrblToolChange::Sender; }));
    EXPECT_EQ(grbl.Text(), "[Controller]\r\nController=none\r\nFeed=100\r\nSpindle=10000\r\nToolChanger=0\r\n"
                           "ToolChange=sender\r\n");
    WriteJobSettings(grbl, JobSettings{});
    EXPECT_TRUE(Same(ReadJobSettings(grbl), JobSettings{}));
    EXPECT_NE(grbl.Text().find("ToolChange=pause\r\n"), std::string::npos);
}

// The cycle's keys join a section only once chosen: an older [Controller] section is written as it was.
TEST(JobSettingsWriteTest, CycleKeysOnlyOnceChosen) {
    JobSettings settings;
    settings.controller.controller = gcode::Controller::LinuxCnc;
    settings.controller.cycle = conversion::CycleKind::G81;
    settings.controller.retractPlane = 2;
    platform::IniDocument ini("");
    WriteJobSettings(ini, settings);
    EXPECT_EQ(ini.Text(), "[Controller]\r\nController=linuxcnc\r\nFeed=100\r\nSpindle=10000\r\nToolChanger=0\r\n"
                          "Cycle=g81\r\nRetractPlane=2\r\n");
    EXPECT_TRUE(Same(ReadJobSettings(ini), settings));

    settings.controller = ControllerSettings{};
    WriteJobSettings(ini, settings);
    EXPECT_EQ(ini.Text(), "[Controller]\r\nController=none\r\nFeed=100\r\nSpindle=10000\r\nToolChanger=0\r\n"
                          "Cycle=plain\r\nRetractPlane=\r\n");
    EXPECT_TRUE(Same(ReadJobSettings(ini), settings));
}

// The window's values with the run's choices, as the settings store sees them.
class WindowWithChoices : public SettingsValues {
public:
    const JobSettings* JobChoices() const override { return &choices; }
    void SetJobChoices(const JobSettings& loaded) override { choices = loaded; }
    JobSettings choices;
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class JobSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("korvex-job-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ini_ = (folder_ / "korvex.INI").string();
        std::ofstream(folder_ / "TxMacroBefore.txt", std::ios::binary) << "G00 Z30\r\n";
        std::ofstream(folder_ / "TxMacroAfter.txt", std::ios::binary) << "M06\r\nG00 Z20\r\n";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // Loads into `window` and saves it again; returns the settings file's bytes afterwards.
    std::string LoadAndSave(SettingsValues& window, const std::string& before) {
        std::ofstream(ini_, std::ios::binary) << before;
        SettingsStore store(SettingsFiles::ForSettingsFile(ini_));
        conversion::ConversionState state;
        store.LoadSettings(window, state);
        store.SaveSettings(window);
        return ReadAll(ini_);
    }

    std::filesystem::path folder_;
    std::string ini_;
};

TEST_F(JobSettingsStoreTest, AFileWithoutTheSectionsSavesAsWithoutTheDialogs) {
    const std::string old = "[Settings]\r\nIncludeLineNumber=1\r\nXOffsett=2\r\n[Program]\r\nDestDir=/tmp/\r\n";
    SettingsValues plain;
    WindowWithChoices window;
    EXPECT_EQ(LoadAndSave(window, old), LoadAndSave(plain, old));
}

TEST_F(JobSettingsStoreTest, ChoicesSurviveSavingAndLoading) {
    WindowWithChoices window;
    LoadAndSave(window, "[Settings]\r\nDivisor=1000\r\n");
    window.choices = Chosen();
    SettingsStore(SettingsFiles::ForSettingsFile(ini_)).SaveSettings(window);
    const std::string saved = ReadAll(ini_);

    WindowWithChoices next;
    EXPECT_EQ(LoadAndSave(next, saved), saved);
    EXPECT_TRUE(Same(next.choices, Chosen()));
}

} // namespace
} // namespace korvex::settings

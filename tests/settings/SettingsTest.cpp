#include "settings/Settings.h"
#include "settings/RecentFiles.h"

#include "conversion/ConversionState.h"
#include "platform/ExecutablePath.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvex::settings {
namespace {

namespace fs = std::filesystem;
using conversion::ConversionState;

// The window as the settings see it: the design contents, and the click handler of the line-number box,
// which runs only when the box's state changes.
class FakeWindow : public SettingsValues {
public:
    explicit FakeWindow(ConversionState& state) : state_(state) {}
    void SetIncludeLineNumberChecked(bool checked) override {
        if (checked != includeLineNumber) {
            ++includeLineNumberClicks;
            state_.LineNumbersOn = checked;
        }
        SettingsValues::SetIncludeLineNumberChecked(checked);
    }
    int includeLineNumberClicks = 0;

private:
    ConversionState& state_;
};

std::string Reason(int error) {
    return std::strerror(error);
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

const std::string kDesignBefore = "G00 Z30\r\n";
const std::string kDesignAfter = "M06\r\nG00 Z20\r\n";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvex-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        // Searchable for the unprivileged child of the permission tests.
        fs::permissions(root, fs::perms(0755));
        folder = root + "/Tools";
        fs::create_directory(folder);
        platform::SetExecutablePathForTesting(folder + "/korvex");
        store = SettingsStore();
        state.LineNumberIncrement = 42;
        state.LineNumbersOn = false;
    }
    void TearDown() override {
        platform::SetExecutablePathForTesting("");
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            }
        }
        fs::remove_all(root);
    }

    std::string PathOf(const std::string& name) const { return folder + "/" + name; }
    std::string Ini() const { return PathOf("korvex.INI"); }
    void Put(const std::string& name, const std::string& content) const {
        std::ofstream(PathOf(name), std::ios::binary) << content;
    }
    std::string Get(const std::string& name) const {
        std::ifstream file(PathOf(name), std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    bool Exists(const std::string& name) const { return fs::exists(fs::symlink_status(PathOf(name))); }
    void PutDesignMacros() const {
        Put("TxMacroBefore.txt", kDesignBefore);
        Put("TxMacroAfter.txt", kDesignAfter);
    }
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // "" on success, else the error's message.
    std::string Load() {
        try {
            store.LoadSettings(window, state);
            return "";
        } catch (const SettingsError& error) {
            return error.what();
        }
    }
    std::string Save() {
        try {
            store.SaveSettings(window);
            return "";
        } catch (const SettingsError& error) {
            return error.what();
        }
    }
    std::string OpenFailure(const std::string& path, int error) const {
        return "Datei " + path + " kann nicht geöffnet werden. " + Reason(error);
    }
    std::string CreateFailure(const std::string& path, int error) const {
        return "Datei \"" + path + "\" kann nicht erstellt werden. " + Reason(error);
    }
    std::string WriteFailure() const { return "In " + Ini() + " kann nicht geschrieben werden"; }

    std::string root;
    std::string folder;
    ConversionState state;
    FakeWindow window{state};
    SettingsStore store{SettingsFiles{}};
};

std::string FirstStartFile(const std::string& folder) {
    return "[Settings]\r\n"
           "IncludeLineNumber=1\r\n"
           "XOffsett=0.000\r\n"
           "YOffsett=0.000\r\n"
           "ZAuf=0.000\r\n"
           "edZab=0.000\r\n"
           "edZOffsett=0.000\r\n"
           "Divisor=1000\r\n"
           "DeltaLineNumberIndex=1\r\n"
           "SuppressLeadingZeros=1\r\n"
           "G81Enabled=0\r\n"
           "[Program]\r\n"
           "SourceDir=" +
           folder +
           "\r\n"
           "DestDir=" +
           folder + "\r\n";
}

// ---------------------------------------------------------------------------------------------------------
// Locations and small rules

TEST(SettingsFilesTest, NamesFollowTheExecutable) {
    const std::pair<const char*, const char*> settingsFiles[] = {
        {"/opt/korvex/korvex", "/opt/korvex/korvex.INI"},
        {"/opt/korvex/korvex.exe", "/opt/korvex/korvex.INI"},
        {"/opt/korvex/k.tar.gz", "/opt/korvex/k.tar.INI"},
        {"/opt/v1.3/korvex", "/opt/v1.3/korvex.INI"},
        {"/opt/korvex/.korvex", "/opt/korvex/.INI"},
        {"/opt/korvex/korvex.", "/opt/korvex/korvex.INI"},
        {"korvex", "korvex.INI"},
    };
    for (const auto& [executable, expected] : settingsFiles) {
        EXPECT_EQ(SettingsFileFor(executable), expected) << executable;
    }
    const SettingsFiles files = SettingsFiles::ForExecutable("/opt/korvex/korvex");
    EXPECT_EQ(files.settingsFile, "/opt/korvex/korvex.INI");
    EXPECT_EQ(files.folder, "/opt/korvex/");
    EXPECT_EQ(files.macroBefore, "/opt/korvex/TxMacroBefore.txt");
    EXPECT_EQ(files.macroAfter, "/opt/korvex/TxMacroAfter.txt");
    EXPECT_EQ(SettingsFiles::ForExecutable("/korvex").macroAfter, "/TxMacroAfter.txt");
    EXPECT_EQ(SettingsFiles::ForSettingsFile("/home/op/cnc.ini").macroBefore, "/home/op/TxMacroBefore.txt");
    EXPECT_EQ(SettingsFiles::ForSettingsFile("cnc.ini").macroBefore, "TxMacroBefore.txt");
}

TEST(SettingsFilesTest, OneTrailingSeparatorIsDropped) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/korvex/", "/opt/korvex"},
        {"/opt/korvex", "/opt/korvex"},
        {"/opt//", "/opt/"},
        {"/", "/"},
        {"", ""},
        {"D:\\Tools\\", "D:\\Tools"},
        {"C:\\", "C:\\"},
        {"C:/", "C:/"},
        {"a/", "a"},
    };
    for (const auto& [folder, expected] : cases) {
        EXPECT_EQ(DropTrailingSeparator(folder), expected) << folder;
    }
}

TEST(SettingsFilesTest, MacroLineBreaksBecomeCrLf) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"G00 Z30", "G00 Z30"},
        {"G00 Z30\r\n", "G00 Z30\r\n"},
        {"M06\nG00 Z20\n", "M06\r\nG00 Z20\r\n"},
        {"M06\rG00 Z20\r", "M06\r\nG00 Z20\r\n"},
        {"a\n\rb", "a\r\n\r\nb"},
        {"a\r\r\nb", "a\r\n\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\n\nb", "a\r\n\r\nb"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(NormalizeLineBreaks(text), expected) << ::testing::PrintToString(std::string(text));
    }
}

// ---------------------------------------------------------------------------------------------------------
// Loading and saving

TEST_F(SettingsTest, FirstStartFillsTheDefaultsAndWritesTheDocumentedFile) {
    PutDesignMacros();
    ASSERT_EQ(Load(), "");

    EXPECT_EQ(window.texts, (std::array<std::string, 6>{"0.000", "0.000", "0.000", "0.000", "0.000", "1000"}));
    EXPECT_EQ(window.DeltaLineNumberIndex(), 1);
    EXPECT_EQ(window.DeltaLineNumberText(), "5");
    EXPECT_EQ(state.LineNumberIncrement, 5);
    EXPECT_TRUE(window.includeLineNumber);
    EXPECT_EQ(window.includeLineNumberClicks, 1);
    EXPECT_TRUE(state.LineNumbersOn);
    EXPECT_TRUE(window.suppressLeadingZeros);
    EXPECT_FALSE(window.g81EditEnabled);
    EXPECT_EQ(window.inputFolder, folder);
    EXPECT_EQ(window.saveFolder, folder);
    EXPECT_EQ(window.macroBefore, kDesignBefore);
    EXPECT_EQ(window.macroAfter, kDesignAfter);
    EXPECT_FALSE(Exists("korvex.INI")) << "loading writes nothing";

    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("korvex.INI"), FirstStartFile(folder));
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore);
    EXPECT_EQ(Get("TxMacroAfter.txt"), kDesignAfter);
    EXPECT_EQ(Listing(), (std::set<std::string>{"korvex.INI", "TxMacroAfter.txt", "TxMacroBefore.txt"}))
        << "no temporary file is left behind";

    // A second round changes nothing.
    FakeWindow again(state);
    store.LoadSettings(again, state);
    EXPECT_EQ(again.texts, window.texts);
    store.SaveSettings(again);
    EXPECT_EQ(Get("korvex.INI"), FirstStartFile(folder));
}

struct LoadCase {
    const char* name;
    std::string ini;
    std::function<void(const FakeWindow&, const ConversionState&, const std::string& folder)> check;
};

std::ostream& operator<<(std::ostream& out, const LoadCase& c) {
    return out << c.name;
}

class SettingsLoadTest : public SettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoadTest, StoredValuesReachTheWindow) {
    PutDesignMacros();
    Put("korvex.INI", GetParam().ini);
    ASSERT_EQ(Load(), "");
    GetParam().check(window, state, folder);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"EmptyFileGivesTheDefaults", "",
                 [](const FakeWindow& w, const ConversionState& s, const std::string& folder) {
                     EXPECT_EQ(w.Text(conversion::Field::Divisor), "1000");
                     EXPECT_EQ(s.LineNumberIncrement, 5);
                     EXPECT_TRUE(s.LineNumbersOn);
                     EXPECT_EQ(w.inputFolder, folder);
                 }},
        LoadCase{"IncludeLineNumber0", "[Settings]\r\nIncludeLineNumber=0\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_FALSE(w.includeLineNumber);
                     EXPECT_EQ(w.includeLineNumberClicks, 0);
                     EXPECT_FALSE(s.LineNumbersOn);
                 }},
        LoadCase{"IncludeLineNumber2IsTrue", "[Settings]\r\nIncludeLineNumber=2\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_TRUE(w.includeLineNumber);
                     EXPECT_TRUE(s.LineNumbersOn);
                 }},
        LoadCase{"IncludeLineNumberYesGivesTheDefault", "[Settings]\r\nIncludeLineNumber=yes\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_TRUE(w.includeLineNumber);
                     EXPECT_TRUE(s.LineNumbersOn);
                 }},
        LoadCase{"DeltaLineNumberIndex3", "[Settings]\r\nDeltaLineNumberIndex=3\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_EQ(w.DeltaLineNumberText(), "50");
                     EXPECT_EQ(s.LineNumberIncrement, 50);
                 }},
        LoadCase{"DeltaLineNumberIndexHexadecimal", "[Settings]\r\nDeltaLineNumberIndex=0x2\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_EQ(w.DeltaLineNumberText(), "10");
                     EXPECT_EQ(s.LineNumberIncrement, 10);
                 }},
        LoadCase{"DeltaLineNumberIndex0", "[Settings]\r\nDeltaLineNumberIndex=$0\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_EQ(w.DeltaLineNumberIndex(), 0);
                     EXPECT_EQ(s.LineNumberIncrement, 1);
                 }},
        LoadCase{"G81EnabledOnlyEnablesTheEdit", "[Settings]\r\nG81Enabled=1\r\n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_TRUE(w.g81EditEnabled);
                     EXPECT_FALSE(s.G81Enabled);
                 }},
        LoadCase{"SuppressLeadingZeros0", "[Settings]\r\nSuppressLeadingZeros=0\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string&) {
                     EXPECT_FALSE(w.suppressLeadingZeros);
                 }},
        LoadCase{"ZOffsetAsTheProgramWritesIt", "[Settings]\r\nedZOffsett=2.5\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string&) {
                     EXPECT_EQ(w.Text(conversion::Field::ZOffset), "2.5");
                 }},
        LoadCase{"EmptyXOffsett", "[Settings]\r\nXOffsett=\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string&) {
                     EXPECT_EQ(w.Text(conversion::Field::XOffset), "");
                     EXPECT_EQ(w.Text(conversion::Field::YOffset), "0.000");
                 }},
        LoadCase{"TextsAreNotChecked", "[Settings]\r\nDivisor=abc\r\nZAuf=1,5\r\nedZab=-2\r\nYOffsett=  'x y'  \r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string&) {
                     EXPECT_EQ(w.Text(conversion::Field::Divisor), "abc");
                     EXPECT_EQ(w.Text(conversion::Field::ZUp), "1,5");
                     EXPECT_EQ(w.Text(conversion::Field::ZDown), "-2");
                     EXPECT_EQ(w.Text(conversion::Field::YOffset), "x y");
                 }},
        LoadCase{"SaveDirAddedByHand", "[Program]\r\nSaveDir=/data/out\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string& folder) {
                     EXPECT_EQ(w.saveFolder, "/data/out");
                     EXPECT_EQ(w.inputFolder, folder);
                 }},
        LoadCase{"DestDirIsNeverRead", "[Program]\r\nDestDir=/data/out\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string& folder) {
                     EXPECT_EQ(w.saveFolder, folder);
                 }},
        LoadCase{
            "SourceDirRootStays", "[Program]\r\nSourceDir=/\r\n",
            [](const FakeWindow& w, const ConversionState&, const std::string&) { EXPECT_EQ(w.inputFolder, "/"); }},
        LoadCase{"SourceDirLosesItsTrailingSeparator", "[Program]\r\nSourceDir=/data/in/\r\nSaveDir=D:\\Tools\\\r\n",
                 [](const FakeWindow& w, const ConversionState&, const std::string&) {
                     EXPECT_EQ(w.inputFolder, "/data/in");
                     EXPECT_EQ(w.saveFolder, "D:\\Tools");
                 }},
        LoadCase{
            "DriveRootStays", "[Program]\r\nSourceDir=C:\\\r\n",
            [](const FakeWindow& w, const ConversionState&, const std::string&) { EXPECT_EQ(w.inputFolder, "C:\\"); }},
        LoadCase{"HandEditedFile",
                 "; written by hand\n\n[ settings ]\n   xoffsett = \"1.5\"  \n# YOffsett=9\nYOFFSETT='2'\n"
                 "includelinenumber = 0\nno key here\n\n[program]\nsourcedir = /data/in \n",
                 [](const FakeWindow& w, const ConversionState& s, const std::string&) {
                     EXPECT_EQ(w.Text(conversion::Field::XOffset), "1.5");
                     EXPECT_EQ(w.Text(conversion::Field::YOffset), "2");
                     EXPECT_FALSE(s.LineNumbersOn);
                     EXPECT_EQ(w.inputFolder, "/data/in");
                 }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SettingsTest, LineNumbersOnIsSetAlsoWhenTheBoxDoesNotChange) {
    PutDesignMacros();
    window.includeLineNumber = true;
    state.LineNumbersOn = false;
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(window.includeLineNumberClicks, 0);
    EXPECT_TRUE(state.LineNumbersOn);
}

TEST_F(SettingsTest, SavingAfterLoadingKeepsEverythingElseOfAHandEditedFile) {
    PutDesignMacros();
    Put("korvex.INI", "; Korvex settings, edited by hand\r\n"
                      "[Settings]\r\n"
                      "IncludeLineNumber=0\r\n"
                      "XOffsett=1.5\r\n"
                      "edzOffsett=2.5\r\n"
                      "Divisor=abc\r\n"
                      "a line without a key\r\n"
                      "Unknown=keep me\r\n"
                      "\r\n"
                      "[Program]\r\n"
                      "SourceDir=/data/in/\r\n"
                      "SaveDir=/data/out\r\n"
                      "\r\n"
                      "[Extra]\n"
                      "Other=1\n");
    ASSERT_EQ(Load(), "");
    ASSERT_EQ(Save(), "");
    const std::string saved = "; Korvex settings, edited by hand\r\n"
                              "[Settings]\r\n"
                              "IncludeLineNumber=0\r\n"
                              "XOffsett=1.5\r\n"
                              "edZOffsett=2.5\r\n"
                              "Divisor=abc\r\n"
                              "a line without a key\r\n"
                              "Unknown=keep me\r\n"
                              "YOffsett=0.000\r\n"
                              "ZAuf=0.000\r\n"
                              "edZab=0.000\r\n"
                              "DeltaLineNumberIndex=1\r\n"
                              "SuppressLeadingZeros=1\r\n"
                              "G81Enabled=0\r\n"
                              "\r\n"
                              "[Program]\r\n"
                              "SourceDir=/data/in\r\n"
                              "SaveDir=/data/out\r\n"
                              "DestDir=/data/out\r\n"
                              "\r\n"
                              "[Extra]\n"
                              "Other=1\n";
    EXPECT_EQ(Get("korvex.INI"), saved);

    // The values come back as they were.
    FakeWindow again(state);
    ASSERT_NO_THROW(store.LoadSettings(again, state));
    EXPECT_EQ(again.texts, window.texts);
    EXPECT_EQ(again.inputFolder, "/data/in");
    EXPECT_EQ(again.saveFolder, "/data/out");
}

TEST_F(SettingsTest, ChangedControlsAreSaved) {
    PutDesignMacros();
    ASSERT_EQ(Load(), "");
    window.texts = {" 1.5", "-2", "3", "4'", "'5'", ""};
    window.includeLineNumber = false;
    window.suppressLeadingZeros = false;
    window.g81EditEnabled = true;
    window.SelectDeltaLineNumberIndex(3);
    window.macroBefore = "G00 Z40\r\nG04 P2";
    window.macroAfter = "";
    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroBefore.txt"), "G00 Z40\r\nG04 P2");
    EXPECT_TRUE(Exists("TxMacroAfter.txt"));
    EXPECT_EQ(Get("TxMacroAfter.txt"), "") << "an empty block gives an empty file";

    FakeWindow again(state);
    ASSERT_NO_THROW(store.LoadSettings(again, state));
    EXPECT_EQ(again.texts, window.texts) << "texts read back verbatim, blanks and quotes included";
    EXPECT_FALSE(again.includeLineNumber);
    EXPECT_FALSE(again.suppressLeadingZeros);
    EXPECT_TRUE(again.g81EditEnabled);
    EXPECT_EQ(state.LineNumberIncrement, 50);
    EXPECT_EQ(again.macroBefore, window.macroBefore);
    EXPECT_EQ(again.macroAfter, "");
}

TEST_F(SettingsTest, MacroFilesKeepTheirLastLineAndGetCrLf) {
    Put("TxMacroBefore.txt", "G00 Z30");
    Put("TxMacroAfter.txt", "M06\nG00 Z20\n");
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(window.macroBefore, "G00 Z30");
    EXPECT_EQ(window.macroAfter, "M06\r\nG00 Z20\r\n");
    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroBefore.txt"), "G00 Z30");
    EXPECT_EQ(Get("TxMacroAfter.txt"), "M06\r\nG00 Z20\r\n");
}

// ---------------------------------------------------------------------------------------------------------
// Failures

TEST_F(SettingsTest, MissingBeforeFileDoesNotCostTheAfterFile) {
    const std::string after = "M06\r\nG00 Z25\r\nG04 P1";
    Put("TxMacroAfter.txt", after);
    EXPECT_EQ(Load(), OpenFailure(PathOf("TxMacroBefore.txt"), ENOENT));
    EXPECT_EQ(window.macroBefore, kDesignBefore) << "the block keeps its text";
    EXPECT_EQ(window.macroAfter, after);
    EXPECT_EQ(window.inputFolder, folder) << "the later steps ran";
    EXPECT_EQ(window.saveFolder, folder);

    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroAfter.txt"), after);
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore) << "a save creates the missing file";
    EXPECT_EQ(Get("korvex.INI"), FirstStartFile(folder));
}

TEST_F(SettingsTest, FirstStartWithoutAnyFileReportsTheFirstMacroFile) {
    EXPECT_EQ(Load(), OpenFailure(PathOf("TxMacroBefore.txt"), ENOENT));
    EXPECT_EQ(window.macroAfter, kDesignAfter);
    EXPECT_EQ(state.LineNumberIncrement, 5);
    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore);
    EXPECT_EQ(Get("TxMacroAfter.txt"), kDesignAfter);
    EXPECT_EQ(Load(), "");
}

TEST_F(SettingsTest, IncrementIndexOutOfRange) {
    for (const char* stored : {"4", "-1", "99"}) {
        SCOPED_TRACE(stored);
        PutDesignMacros();
        Put("korvex.INI", std::string("[Settings]\r\nDeltaLineNumberIndex=") + stored + "\r\nIncludeLineNumber=0\r\n");
        FakeWindow fresh(state);
        state.LineNumberIncrement = 42;
        state.LineNumbersOn = true;
        try {
            store.LoadSettings(fresh, state);
            ADD_FAILURE() << "no error";
        } catch (const SettingsError& error) {
            EXPECT_STREQ(error.what(), "'' ist kein gültiger Integerwert");
        }
        EXPECT_EQ(fresh.DeltaLineNumberIndex(), -1);
        EXPECT_EQ(state.LineNumberIncrement, 42) << "keeps its value";
        EXPECT_FALSE(state.LineNumbersOn) << "the later steps ran";
        EXPECT_EQ(fresh.inputFolder, folder);

        store.SaveSettings(fresh);
        EXPECT_NE(Get("korvex.INI").find("DeltaLineNumberIndex=-1\r\n"), std::string::npos);
        EXPECT_NE(Get("korvex.INI").find("IncludeLineNumber=0\r\n"), std::string::npos);
    }
}

TEST_F(SettingsTest, TheFirstOfSeveralFailuresIsReported) {
    Put("korvex.INI", "[Settings]\r\nDeltaLineNumberIndex=7\r\n");
    EXPECT_EQ(Load(), "'' ist kein gültiger Integerwert");
}

TEST_F(SettingsTest, UnreadableSettingsFile) {
    PutDesignMacros();
    fs::create_directory(Ini());
    EXPECT_EQ(Load(), OpenFailure(Ini(), EISDIR));
    EXPECT_EQ(window.Text(conversion::Field::Divisor), "1000") << "the defaults";
    EXPECT_EQ(window.macroAfter, kDesignAfter);
    window.macroBefore = "changed";
    EXPECT_EQ(Save(), WriteFailure());
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore) << "nothing after the failed step is written";
}

TEST_F(SettingsTest, KeysOfASettingsFileThatWasNotReadAreNotReplaced) {
    PutDesignMacros();
    fs::create_directory(Ini());
    EXPECT_EQ(Load(), OpenFailure(Ini(), EISDIR));
    // Readable again by the time of the save: the stored keys stay, the missing ones are written.
    fs::remove(Ini());
    Put("korvex.INI", "[Settings]\r\nXOffsett=7\r\nIncludeLineNumber=0\r\n");
    window.texts[0] = "1";
    ASSERT_EQ(Save(), "");
    const std::string saved = Get("korvex.INI");
    EXPECT_EQ(saved.rfind("[Settings]\r\nXOffsett=7\r\nIncludeLineNumber=0\r\nYOffsett=0.000\r\n", 0), 0u) << saved;
    window.texts[0] = "2";
    ASSERT_EQ(Save(), "");
    EXPECT_NE(Get("korvex.INI").find("XOffsett=7\r\n"), std::string::npos) << "still not ours";
    EXPECT_NE(Get("korvex.INI").find("YOffsett=0.000\r\n"), std::string::npos);

    // A load makes them ours.
    ASSERT_EQ(Load(), "");
    window.texts[0] = "3";
    ASSERT_EQ(Save(), "");
    EXPECT_NE(Get("korvex.INI").find("XOffsett=3\r\n"), std::string::npos);
}

TEST_F(SettingsTest, FolderThatIsARegularFile) {
    // Fails for root too: no permission check is involved.
    std::ofstream(root + "/file") << "x";
    folder = root + "/file";
    platform::SetExecutablePathForTesting(folder + "/korvex");
    store = SettingsStore();
    EXPECT_EQ(Load(), OpenFailure(PathOf("TxMacroBefore.txt"), ENOTDIR));
    EXPECT_EQ(window.Text(conversion::Field::XOffset), "0.000") << "a settings file that cannot exist is a first start";
    EXPECT_EQ(Save(), WriteFailure());
}

TEST_F(SettingsTest, MacroFileThatCannotBeWritten) {
    PutDesignMacros();
    ASSERT_EQ(Load(), "");
    fs::remove(PathOf("TxMacroBefore.txt"));
    fs::create_symlink("/dev/full", PathOf("TxMacroBefore.txt"));
    fs::remove(PathOf("TxMacroAfter.txt"));
    EXPECT_EQ(Save(), CreateFailure(PathOf("TxMacroBefore.txt"), ENOSPC));
    EXPECT_EQ(Get("korvex.INI"), FirstStartFile(folder)) << "the keys were written before the failure";
    EXPECT_FALSE(Exists("TxMacroAfter.txt")) << "the step after the failure did not run";
    EXPECT_TRUE(fs::is_symlink(PathOf("TxMacroBefore.txt")));

    fs::remove(PathOf("TxMacroBefore.txt"));
    fs::create_directory(PathOf("TxMacroBefore.txt"));
    EXPECT_EQ(Save(), CreateFailure(PathOf("TxMacroBefore.txt"), EISDIR));
}

TEST_F(SettingsTest, MacroFileThatCannotBeReadIsNotReplaced) {
    Put("TxMacroBefore.txt", "G00 Z50");
    fs::create_directory(PathOf("TxMacroAfter.txt"));
    EXPECT_EQ(Load(), OpenFailure(PathOf("TxMacroAfter.txt"), EISDIR));
    EXPECT_EQ(window.macroBefore, "G00 Z50");
    window.macroBefore = "G00 Z60";
    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroBefore.txt"), "G00 Z60");
    EXPECT_TRUE(fs::is_directory(PathOf("TxMacroAfter.txt")));

    // Once the item is gone, the next save writes the block.
    fs::remove(PathOf("TxMacroAfter.txt"));
    ASSERT_EQ(Save(), "");
    EXPECT_EQ(Get("TxMacroAfter.txt"), kDesignAfter);
}

TEST_F(SettingsTest, DeviceAsMacroFileIsNotReadEndlessly) {
    PutDesignMacros();
    fs::remove(PathOf("TxMacroAfter.txt"));
    fs::create_symlink("/dev/zero", PathOf("TxMacroAfter.txt"));
    EXPECT_EQ(Load(), OpenFailure(PathOf("TxMacroAfter.txt"), EINVAL));
    EXPECT_EQ(window.macroAfter, kDesignAfter);
}

// Simulates a full disk for this process, also for root: writes beyond `bytes` fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(SettingsTest, AFullDiskLeavesEveryFileWhole) {
    PutDesignMacros();
    ASSERT_EQ(Load(), "");
    ASSERT_EQ(Save(), "");
    const std::string ini = Get("korvex.INI");
    const auto listing = Listing();

    window.texts[0] = std::string(4000, '1');
    std::string message;
    {
        FileSizeLimit limit(1000);
        message = Save();
    }
    EXPECT_EQ(message, WriteFailure());
    EXPECT_EQ(Get("korvex.INI"), ini);
    EXPECT_EQ(Listing(), listing) << "the temporary file is removed";

    window.texts[0] = "1";
    window.macroBefore = std::string(4000, 'G');
    {
        FileSizeLimit limit(1000);
        message = Save();
    }
    EXPECT_EQ(message, CreateFailure(PathOf("TxMacroBefore.txt"), EFBIG));
    EXPECT_NE(Get("korvex.INI").find("XOffsett=1\r\n"), std::string::npos);
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore);
    EXPECT_EQ(Listing(), listing);
}

TEST_F(SettingsTest, PermissionsAndLinksSurviveASave) {
    PutDesignMacros();
    Put("real.ini", "[Settings]\r\nXOffsett=4\r\n");
    fs::permissions(PathOf("real.ini"), fs::perms(0640));
    fs::create_symlink("real.ini", Ini());
    const mode_t oldMask = ::umask(022);
    fs::remove(PathOf("TxMacroAfter.txt"));
    ASSERT_EQ(Load(), OpenFailure(PathOf("TxMacroAfter.txt"), ENOENT));
    const std::string message = Save();
    ::umask(oldMask);
    ASSERT_EQ(message, "");
    EXPECT_TRUE(fs::is_symlink(Ini())) << "the link stays a link";
    EXPECT_EQ(Get("real.ini").rfind("[Settings]\r\nXOffsett=4\r\n", 0), 0u);
    EXPECT_EQ(fs::status(PathOf("real.ini")).permissions(), fs::perms(0640));
    EXPECT_EQ(fs::status(PathOf("TxMacroAfter.txt")).permissions(), fs::perms(0644));
}

// Root passes every permission check, so these run in a child process as "nobody" (or as the user
// running the tests). Returns the body's result, or nothing when privileges cannot be dropped.
std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string result;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            result = "\1";
        } else {
            try {
                result = body();
            } catch (const std::exception& error) {
                result = std::string("exception: ") + error.what();
            }
        }
        std::size_t done = 0;
        while (done < result.size()) {
            const ssize_t n = ::write(pipeEnds[1], result.data() + done, result.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (result == "\1") {
        return std::nullopt;
    }
    return result;
}

#define KORVEX_RUN_UNPRIVILEGED(result, body)                                                                          \
    const auto result = RunUnprivileged(body);                                                                         \
    if (!result) {                                                                                                     \
        GTEST_SKIP() << "cannot drop root privileges here, so permissions cannot be tested";                           \
    }

TEST_F(SettingsTest, ReadOnlyFolderWithoutSettingsFile) {
    PutDesignMacros();
    fs::permissions(folder, fs::perms(0555));
    KORVEX_RUN_UNPRIVILEGED(result, [this] {
        const std::string loaded = Load();
        return loaded + "|" + Save();
    });
    EXPECT_EQ(*result, "|" + WriteFailure());
    EXPECT_FALSE(Exists("korvex.INI"));
}

TEST_F(SettingsTest, ReadOnlyFolderWithWritableFilesIsSavedInPlace) {
    PutDesignMacros();
    Put("korvex.INI", "; mine\r\n[Settings]\r\nXOffsett=4\r\n");
    for (const char* name : {"korvex.INI", "TxMacroBefore.txt", "TxMacroAfter.txt"}) {
        fs::permissions(PathOf(name), fs::perms(0666));
    }
    fs::permissions(folder, fs::perms(0555));
    const auto inode = Inode(Ini());
    KORVEX_RUN_UNPRIVILEGED(result, [this] {
        const std::string loaded = Load();
        window.macroBefore = "G00 Z99";
        return loaded + "|" + Save();
    });
    EXPECT_EQ(*result, "|");
    EXPECT_EQ(Get("korvex.INI").rfind("; mine\r\n[Settings]\r\nXOffsett=4\r\nIncludeLineNumber=1\r\n", 0), 0u);
    EXPECT_EQ(Get("TxMacroBefore.txt"), "G00 Z99");
    EXPECT_EQ(Inode(Ini()), inode) << "written in place";
    EXPECT_EQ(Listing(), (std::set<std::string>{"korvex.INI", "TxMacroAfter.txt", "TxMacroBefore.txt"}));
}

TEST_F(SettingsTest, UnreadableMacroFileIsKept) {
    Put("TxMacroAfter.txt", "secret");
    fs::permissions(PathOf("TxMacroAfter.txt"), fs::perms::none);
    fs::permissions(folder, fs::perms(0777));
    KORVEX_RUN_UNPRIVILEGED(result, [this] {
        const std::string loaded = Load();
        return loaded + "|" + Save();
    });
    EXPECT_EQ(*result, OpenFailure(PathOf("TxMacroBefore.txt"), ENOENT) + "|");
    EXPECT_EQ(Get("TxMacroAfter.txt"), "secret");
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore);
}

TEST_F(SettingsTest, UnreadableMacroFileReportsTheSystemsReason) {
    PutDesignMacros();
    fs::permissions(PathOf("TxMacroBefore.txt"), fs::perms::none);
    KORVEX_RUN_UNPRIVILEGED(result, [this] { return Load(); });
    EXPECT_EQ(*result, OpenFailure(PathOf("TxMacroBefore.txt"), EACCES));
}

TEST_F(SettingsTest, ReadOnlyMacroFileInAReadOnlyFolder) {
    PutDesignMacros();
    Put("korvex.INI", "");
    fs::permissions(Ini(), fs::perms(0666));
    fs::permissions(PathOf("TxMacroBefore.txt"), fs::perms(0444));
    fs::permissions(folder, fs::perms(0555));
    KORVEX_RUN_UNPRIVILEGED(result, [this] {
        const std::string loaded = Load();
        return loaded + "|" + Save();
    });
    EXPECT_EQ(*result, "|" + CreateFailure(PathOf("TxMacroBefore.txt"), EACCES));
    EXPECT_EQ(Get("TxMacroBefore.txt"), kDesignBefore);
}

// ---------------------------------------------------------------------------------------------------------
// korvex-cli and the default macro files

TEST_F(SettingsTest, CommandLineReadsASettingsFileAndTheMacrosBesideIt) {
    const std::string other = root + "/elsewhere";
    fs::create_directory(other);
    std::ofstream(other + "/cnc.ini", std::ios::binary) << "[Settings]\r\nDivisor=10\r\nDeltaLineNumberIndex=2\r\n";
    std::ofstream(other + "/TxMacroBefore.txt", std::ios::binary) << "B\n";
    std::ofstream(other + "/TxMacroAfter.txt", std::ios::binary) << "A";
    SettingsValues values;
    ConversionState cli;
    LoadSettingsFile(other + "/cnc.ini", values, cli);
    EXPECT_EQ(values.Text(conversion::Field::Divisor), "10");
    EXPECT_EQ(values.Text(conversion::Field::XOffset), "0.000");
    EXPECT_EQ(cli.LineNumberIncrement, 10);
    EXPECT_TRUE(cli.LineNumbersOn);
    EXPECT_EQ(values.macroBefore, "B\r\n");
    EXPECT_EQ(values.macroAfter, "A");
    EXPECT_EQ(values.inputFolder, other);

    SettingsValues missing;
    try {
        LoadSettingsFile(root + "/nowhere/cnc.ini", missing, cli);
        ADD_FAILURE() << "no error";
    } catch (const SettingsError& error) {
        EXPECT_EQ(error.what(), OpenFailure(root + "/nowhere/TxMacroBefore.txt", ENOENT));
    }
    EXPECT_EQ(missing.macroBefore, kDesignBefore);
    EXPECT_EQ(missing.Text(conversion::Field::Divisor), "1000");
}

TEST(DefaultMacroFilesTest, AreTheWindowsDesignBlocks) {
    auto read = [](const std::string& name) {
        std::ifstream file(std::string(KORVEX_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    };
    const SettingsValues design;
    EXPECT_EQ(read("TxMacroBefore.txt"), design.macroBefore);
    EXPECT_EQ(read("TxMacroAfter.txt"), design.macroAfter);
    EXPECT_EQ(design.macroBefore, "G00 Z30\r\n");
    EXPECT_EQ(design.macroAfter, "M06\r\nG00 Z20\r\n");
}

TEST_F(SettingsTest, DefaultMacroFilesAreCopiedOnlyWhenAbsent) {
    const std::string command = std::string(KORVEX_CMAKE_COMMAND) + " -DSOURCE=" + KORVEX_SOURCE_DIR +
                                "/resources/TxMacroAfter.txt -DDESTINATION=" + PathOf("TxMacroAfter.txt") + " -P " +
                                KORVEX_SOURCE_DIR + "/cmake/KorvexDefaultMacros.cmake";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Get("TxMacroAfter.txt"), kDesignAfter);
    Put("TxMacroAfter.txt", "the user's block");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Get("TxMacroAfter.txt"), "the user's block");
}

// Both kinds of build start from the shipped korvex.INI and blocks: a portable copy finds them beside the
// executable, where the build's copy script puts them; an installed one copies them from share/korvex/. Either
// way the first start shows the window's design values, not the keys' reading defaults.
TEST_F(SettingsTest, FirstStartOfEitherBuildShowsTheShippedValues) {
    const std::pair<const char*, const char*> shipped[] = {{"resources/install/korvex.INI", "korvex.INI"},
                                                           {"resources/TxMacroBefore.txt", "TxMacroBefore.txt"},
                                                           {"resources/TxMacroAfter.txt", "TxMacroAfter.txt"}};
    const auto copyShipped = [&](const std::string& target) {
        for (const auto& [source, name] : shipped) {
            const std::string command = std::string(KORVEX_CMAKE_COMMAND) + " -DSOURCE=" + KORVEX_SOURCE_DIR + "/" +
                                        source + " -DDESTINATION=" + target + name + " -P " + KORVEX_SOURCE_DIR +
                                        "/cmake/KorvexDefaultMacros.cmake";
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
    };
    const std::string share = root + "/share/korvex/";
    fs::create_directories(share);
    copyShipped(share);
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "installed" : "portable");
        for (const auto& [source, name] : shipped) {
            fs::remove(PathOf(name));
        }
        fs::remove_all(root + "/config");
        if (!installed) {
            copyShipped(folder + "/");
        }
        store = SettingsStore(SettingsFilesFor(folder + "/korvex", root + "/config/", installed ? share : ""));
        FakeWindow fresh{state};
        fresh.texts.fill("");
        state.LineNumbersOn = true;
        ASSERT_NO_THROW(store.LoadSettings(fresh, state));
        const SettingsValues design;
        EXPECT_EQ(fresh.texts, design.texts);
        EXPECT_EQ(fresh.includeLineNumber, design.includeLineNumber);
        EXPECT_FALSE(state.LineNumbersOn);
        EXPECT_EQ(fresh.suppressLeadingZeros, design.suppressLeadingZeros);
        EXPECT_EQ(fresh.DeltaLineNumberIndex(), design.deltaLineNumberIndex);
        EXPECT_EQ(fresh.macroBefore, design.macroBefore);
        EXPECT_EQ(fresh.macroAfter, design.macroAfter);
        EXPECT_EQ(store.Files().settingsFile, installed ? root + "/config/korvex.INI" : Ini());
    }
}

// A file its owner made read-only, or one that belongs to somebody else, keeps its content in a writable
// folder too, and the message is the one an unwritable folder gives.
struct ProtectedFileCase {
    const char* name;
    const char* file;
    fs::perms mode;
    bool ownedByRoot; // else by the unprivileged user
};

void PrintTo(const ProtectedFileCase& row, std::ostream* out) {
    *out << row.name;
}

class ProtectedFileTest : public SettingsTest, public ::testing::WithParamInterface<ProtectedFileCase> {};

TEST_P(ProtectedFileTest, IsNotReplaced) {
    const ProtectedFileCase& c = GetParam();
    if (c.ownedByRoot && ::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    PutDesignMacros();
    Put("korvex.INI", "[Settings]\r\nXOffsett=4\r\n");
    fs::permissions(folder, fs::perms::all);
    for (const char* name : {"korvex.INI", "TxMacroBefore.txt", "TxMacroAfter.txt"}) {
        fs::permissions(PathOf(name), fs::perms(0666));
        if (::geteuid() == 0 && !(c.ownedByRoot && std::string(name) == c.file)) {
            ASSERT_EQ(::chown(PathOf(name).c_str(), 65534, 65534), 0);
        }
    }
    fs::permissions(PathOf(c.file), c.mode);
    const std::string before = Get(c.file);
    KORVEX_RUN_UNPRIVILEGED(result, [this] {
        const std::string loaded = Load();
        window.texts[0] = "9";
        window.macroBefore = "G00 Z99\r\n";
        window.macroAfter = "M05\r\n";
        return loaded + "|" + Save();
    });
    const std::string expected =
        std::string(c.file) == "korvex.INI" ? WriteFailure() : CreateFailure(PathOf(c.file), EACCES);
    EXPECT_EQ(*result, "|" + expected);
    EXPECT_EQ(Get(c.file), before);
    EXPECT_EQ(fs::status(PathOf(c.file)).permissions(), c.mode);
    EXPECT_EQ(Listing(), (std::set<std::string>{"korvex.INI", "TxMacroAfter.txt", "TxMacroBefore.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ProtectedFileTest,
    ::testing::Values(ProtectedFileCase{"SettingsReadOnly", "korvex.INI", fs::perms(0444), false},
                      ProtectedFileCase{"SettingsOfRoot", "korvex.INI", fs::perms(0644), true},
                      ProtectedFileCase{"MacroBeforeReadOnly", "TxMacroBefore.txt", fs::perms(0444), false},
                      ProtectedFileCase{"MacroAfterOfRoot", "TxMacroAfter.txt", fs::perms(0644), true}),
    [](const ::testing::TestParamInfo<ProtectedFileCase>& row) { return std::string(row.param.name); });

} // namespace
TEST_F(SettingsTest, RecentFilesKeepTheirOwnSection) {
    Put("korvex.INI", "; mine\r\n[Settings]\r\nDivisor=5\r\n[RecentFiles]\r\nFile1=/a.drl\r\nFile2=\r\nFile3=/a.drl\r\n"
                      "File4=/b.drl\r\n");
    RecentFiles recent;
    recent.Load(Ini());
    EXPECT_EQ(recent.Paths(), (std::vector<std::string>{"/a.drl", "/b.drl"})) << "gaps and repeats are skipped";
    for (int i = 1; i <= 9; ++i) {
        recent.Add("/f" + std::to_string(i) + ".drl");
    }
    recent.Add("/f5.drl");
    recent.Add("");
    EXPECT_EQ(recent.Paths(), (std::vector<std::string>{"/f5.drl", "/f9.drl", "/f8.drl", "/f7.drl", "/f6.drl",
                                                        "/f4.drl", "/f3.drl", "/f2.drl"}));
    ASSERT_FALSE(recent.Save(Ini()));
    RecentFiles again;
    again.Load(Ini());
    EXPECT_EQ(again.Paths(), recent.Paths());
    EXPECT_EQ(Get("korvex.INI").rfind("; mine\r\n[Settings]\r\nDivisor=5\r\n[RecentFiles]\r\nFile1=/f5.drl\r\n", 0),
              0u);

    fs::remove(Ini());
    again.Load(Ini());
    EXPECT_TRUE(again.Paths().empty());
    fs::create_directory(Ini());
    EXPECT_TRUE(recent.Save(Ini())) << "an unreadable settings file is not replaced";
}

} // namespace korvex::settings

// Where the window keeps its settings: beside a portable copy, or in the user's configuration folder for an
// installed program and for a folder the user may not write, seeded there from the installed defaults.
#include "platform/UserFolders.h"
#include "settings/Settings.h"
#include "tests/faults/FaultSupport.h"

#include <cstdlib>
#include <optional>

namespace korvex::settings {
namespace {

namespace fs = std::filesystem;
using faults::ChildOptions;
using faults::FaultTest;
using faults::ReadFile;
using faults::RunInChild;

struct LocationCase {
    const char* name;
    bool folderWritable;
    bool settingsBeside; // korvex.INI already beside the executable
    bool installed;      // ../share/korvex/ holds the defaults
    bool configKnown;    // a configuration folder can be named
    bool inConfig;       // expected: the configuration folder
};

void PrintTo(const LocationCase& row, std::ostream* out) {
    *out << row.name;
}

class SettingsLocationTest : public FaultTest, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(SettingsLocationTest, ChoosesAndSeeds) {
    const LocationCase& c = GetParam();
    const fs::path bin = folder / "prefix" / "bin";
    const fs::path share = folder / "prefix" / "share" / "korvex";
    fs::create_directories(bin);
    fs::create_directories(share);
    if (c.installed) {
        Write("prefix/share/korvex/korvex.INI", "[Settings]\r\nXOffsett=1\r\n");
        Write("prefix/share/korvex/TxMacroBefore.txt", "G00 Z31\r\n");
        Write("prefix/share/korvex/TxMacroAfter.txt", "M06\r\n");
    }
    if (c.settingsBeside) {
        Write("prefix/bin/korvex.INI", "");
    }
    const fs::path configHome = folder / "home" / ".config";
    fs::create_directories(configHome);
    fs::permissions(folder / "home", fs::perms::all);
    fs::permissions(configHome, fs::perms::all);
    // Something of the user's own already in the folder is never replaced by a default.
    fs::create_directories(configHome / "korvex");
    fs::permissions(configHome / "korvex", fs::perms::all);
    Write("home/.config/korvex/TxMacroAfter.txt", "mine");
    fs::permissions(configHome / "korvex" / "TxMacroAfter.txt", fs::perms(0666));
    fs::permissions(bin, c.folderWritable ? fs::perms::all : fs::perms(0555));

    ChildOptions options;
    options.asNobody = true;
    const auto report = RunInChild(
        [&] {
            const std::string config = c.configKnown ? (configHome / "korvex").string() + "/" : "";
            const SettingsFiles files =
                SettingsFilesFor((bin / "korvex").string(), config, (bin / ".." / "share" / "korvex").string() + "/");
            return files.settingsFile + "|" + files.macroBefore + "|" + files.macroAfter + "|" + files.startFolder;
        },
        options);
    if (report.skipped) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    const std::string place = c.inConfig ? (configHome / "korvex").string() + "/" : bin.string() + "/";
    EXPECT_EQ(report.text, place + "korvex.INI|" + place + "TxMacroBefore.txt|" + place + "TxMacroAfter.txt|" +
                               (c.inConfig ? "" : place));
    if (c.inConfig && c.installed) {
        EXPECT_EQ(ReadFile(configHome / "korvex" / "korvex.INI"), "[Settings]\r\nXOffsett=1\r\n");
        EXPECT_EQ(ReadFile(configHome / "korvex" / "TxMacroBefore.txt"), "G00 Z31\r\n");
    }
    if (c.inConfig && !c.installed) {
        EXPECT_FALSE(fs::exists(configHome / "korvex" / "korvex.INI")) << "no defaults, nothing seeded";
    }
    EXPECT_EQ(ReadFile(configHome / "korvex" / "TxMacroAfter.txt"), "mine");
    EXPECT_EQ(fs::exists(bin / "TxMacroBefore.txt"), false) << "nothing is written beside the executable";
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsLocationTest,
                         ::testing::Values(LocationCase{"PortableCopy", true, false, false, true, false},
                                           LocationCase{"PortableCopyWithSettings", true, true, false, true, false},
                                           LocationCase{"ReadOnlyCopyWithSettings", false, true, false, true, false},
                                           LocationCase{"ReadOnlyCopyWithoutSettings", false, false, false, true, true},
                                           LocationCase{"InstalledReadOnly", false, false, true, true, true},
                                           LocationCase{"InstalledIntoAWritablePrefix", true, false, true, true, true},
                                           LocationCase{"InstalledWithSettingsBeside", false, true, true, true, false},
                                           LocationCase{"NoConfigurationFolderKnown", false, false, true, false,
                                                        false}),
                         [](const ::testing::TestParamInfo<LocationCase>& row) { return std::string(row.param.name); });

struct ConfigFolderCase {
    const char* name;
    const char* xdgConfigHome; // nullptr: unset
    const char* home;
    const char* expected;
};

void PrintTo(const ConfigFolderCase& row, std::ostream* out) {
    *out << row.name;
}

class ConfigFolderTest : public ::testing::TestWithParam<ConfigFolderCase> {};

TEST_P(ConfigFolderTest, FollowsTheBaseDirectoryRules) {
    const ConfigFolderCase& c = GetParam();
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto xdg = saved("XDG_CONFIG_HOME");
    const auto home = saved("HOME");
    c.xdgConfigHome != nullptr ? ::setenv("XDG_CONFIG_HOME", c.xdgConfigHome, 1) : ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", c.home, 1);
    const std::string folder = platform::UserConfigurationFolder();
    xdg ? ::setenv("XDG_CONFIG_HOME", xdg->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    home ? ::setenv("HOME", home->c_str(), 1) : ::unsetenv("HOME");
    EXPECT_EQ(folder, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ConfigFolderTest,
    ::testing::Values(ConfigFolderCase{"XdgConfigHome", "/cfg", "/home/u", "/cfg/korvex/"},
                      ConfigFolderCase{"XdgConfigHomeWithSlash", "/cfg/", "/home/u", "/cfg/korvex/"},
                      ConfigFolderCase{"RelativeXdgConfigHomeIgnored", "cfg", "/home/u", "/home/u/.config/korvex/"},
                      ConfigFolderCase{"EmptyXdgConfigHomeIgnored", "", "/home/u", "/home/u/.config/korvex/"},
                      ConfigFolderCase{"HomeOnly", nullptr, "/home/u", "/home/u/.config/korvex/"}),
    [](const ::testing::TestParamInfo<ConfigFolderCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvex::settings

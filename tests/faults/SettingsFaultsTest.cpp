// Saving the settings while the power fails: whenever the process dies, each of the three files holds either
// what it held before or what the save meant to write, never a mixture or a part.
#include <chrono>
#include <thread>

#include "conversion/ConversionState.h"
#include "platform/AtomicFile.h"
#include "settings/Settings.h"
#include "tests/faults/FaultSupport.h"

namespace korvex::faults {
namespace {

const std::string kOldSettings =
    "; kept by hand\r\n[Settings]\r\nDivisor=1000\r\nXOffsett=1.5\r\n[Other]\r\nKey=value\r\n";
const std::string kOldMacro = "G00 Z30\r\n";

// Two sets of window contents that the saves alternate between; the macro blocks are large, so that a
// kill often falls inside a write.
settings::SettingsValues Contents(char tag) {
    settings::SettingsValues values;
    values.texts = {std::string(1, tag), "2", "3", "4", "5", std::string(3, tag)};
    values.includeLineNumber = tag == 'a';
    values.macroBefore.clear();
    for (int i = 0; i < 40000; ++i) {
        values.macroBefore += "G00 Z" + std::to_string(i) + tag + "\r\n";
    }
    values.macroAfter = values.macroBefore + "M06\r\n";
    values.inputFolder = "/data/drills";
    values.saveFolder = "/data/programs";
    return values;
}

class SettingsFaultTest : public FaultTest {
protected:
    settings::SettingsFiles Files(const fs::path& in) const {
        return settings::SettingsFiles::ForSettingsFile((in / "korvex.INI").string());
    }

    void WriteOldFiles(const fs::path& in) const {
        WriteFile(in / "korvex.INI", kOldSettings);
        WriteFile(in / "TxMacroBefore.txt", kOldMacro);
        WriteFile(in / "TxMacroAfter.txt", kOldMacro);
    }

    // Loads the files and saves `tags` one after the other, as the window would.
    void Save(const settings::SettingsFiles& files, const std::string& tags) const {
        settings::SettingsStore store(files);
        settings::SettingsValues window;
        conversion::ConversionState state;
        store.LoadSettings(window, state);
        for (char tag : tags) {
            store.SaveSettings(Contents(tag));
        }
    }
};

TEST_F(SettingsFaultTest, PowerCutDuringSavesLeavesEveryFileOldOrNew) {
    // What each file may hold: the old content, or the content of either save, as a save without a fault
    // writes it.
    const fs::path reference = folder / "reference";
    fs::create_directory(reference);
    WriteOldFiles(reference);
    std::set<std::string> settings{kOldSettings};
    std::set<std::string> before{kOldMacro};
    std::set<std::string> after{kOldMacro};
    for (const std::string tags : {"a", "ab"}) {
        WriteOldFiles(reference);
        Save(Files(reference), tags);
        settings.insert(ReadFile(reference / "korvex.INI"));
        before.insert(ReadFile(reference / "TxMacroBefore.txt"));
        after.insert(ReadFile(reference / "TxMacroAfter.txt"));
    }
    ASSERT_EQ(settings.size(), 3u);

    const fs::path live = folder / "live";
    fs::create_directory(live);
    WriteOldFiles(live);
    int leftovers = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        ChildOptions options;
        options.whileRunning = [&](pid_t child) {
            char byte;
            if (::read(started[0], &byte, 1) == 1) {
                // Different points of the save cycle on each attempt.
                std::this_thread::sleep_for(std::chrono::microseconds(attempt * 1700));
            }
            ::kill(child, SIGKILL);
        };
        RunInChild(
            [&] {
                settings::SettingsStore store(Files(live));
                settings::SettingsValues window;
                conversion::ConversionState state;
                try {
                    store.LoadSettings(window, state);
                } catch (const settings::SettingsError&) {
                    // A file may be missing only if a temporary file was never renamed: still loadable.
                }
                if (::write(started[1], "s", 1) != 1) {
                    return std::string();
                }
                for (int round = 0;; ++round) {
                    store.SaveSettings(Contents(round % 2 == 0 ? 'a' : 'b'));
                }
            },
            options);
        ::close(started[0]);
        ::close(started[1]);
        EXPECT_EQ(settings.count(ReadFile(live / "korvex.INI")), 1u) << "attempt " << attempt;
        EXPECT_EQ(before.count(ReadFile(live / "TxMacroBefore.txt")), 1u) << "attempt " << attempt;
        EXPECT_EQ(after.count(ReadFile(live / "TxMacroAfter.txt")), 1u) << "attempt " << attempt;
        for (const std::string& name : Entries(live)) {
            if (name != "korvex.INI" && name != "TxMacroBefore.txt" && name != "TxMacroAfter.txt") {
                ++leftovers;
                fs::remove(live / name);
            }
        }
    }
    // A killed process cannot remove its temporary file; nothing else may appear.
    RecordProperty("TemporaryFilesLeftByKills", leftovers);
}

// The same for the file layer alone, killed at many points of one large replacement.
TEST_F(SettingsFaultTest, PowerCutDuringAReplacementLeavesTheOldOrTheNewFile) {
    const fs::path path = folder / "korvex.INI";
    const std::string oldContent = kOldSettings;
    const std::string newContent(4 << 20, 'n');
    WriteFile(path, oldContent);
    for (int attempt = 0; attempt < 12; ++attempt) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        ChildOptions options;
        options.whileRunning = [&](pid_t child) {
            char byte;
            if (::read(started[0], &byte, 1) == 1) {
                std::this_thread::sleep_for(std::chrono::microseconds(attempt * 2500));
            }
            ::kill(child, SIGKILL);
        };
        RunInChild(
            [&] {
                if (::write(started[1], "s", 1) != 1) {
                    return std::string();
                }
                for (;;) {
                    (void)platform::WriteFileAtomically(path.string(), newContent);
                    (void)platform::WriteFileAtomically(path.string(), oldContent);
                }
            },
            options);
        ::close(started[0]);
        ::close(started[1]);
        const std::string content = ReadFile(path);
        EXPECT_TRUE(content == oldContent || content == newContent)
            << "attempt " << attempt << ": " << content.size() << " bytes";
    }
}

} // namespace
} // namespace korvex::faults

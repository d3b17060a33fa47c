// The main window's settings between runs: the settings file (INI) and the two macro files, beside the
// executable or in the user's configuration folder (ProgramSettingsFiles). LoadSettings fills the controls once at
// start-up; SaveSettings writes them back on closing and from "File" / "Save settings". Free of Qt: it reaches the
// window only through SettingsControls.
#pragma once

#include "settings/SettingsControls.h"

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace korvex::conversion {
struct ConversionState;
}

namespace korvex::settings {

// A load or save failure; what() is the message the error box shows.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the three files are.
struct SettingsFiles {
    std::string settingsFile;
    std::string folder; // with its trailing "/"
    std::string macroBefore;
    std::string macroAfter;
    // Where both file dialogs start while the settings name no folder: `folder` beside the executable, ""
    // (the dialog's own choice) for the configuration folder, which holds no drill files.
    std::string startFolder;

    // The executable's path with its extension replaced by ".INI" (or ".INI" appended), and the macro files
    // in the executable's folder.
    static SettingsFiles ForExecutable(const std::string& executablePath);
    // A settings file given by name, with the macro files in its folder.
    static SettingsFiles ForSettingsFile(const std::string& settingsFile);
    const std::string& Macro(MacroBlock block) const { return block == MacroBlock::Before ? macroBefore : macroAfter; }
};

// The files of the running program (platform::ExecutablePath()): beside the executable when it already holds
// the settings file, or when its folder is writable and it is no installed program (one whose installed
// defaults exist); this is the portable layout. Otherwise in the user's configuration
// folder, which is created and, for each of the three files it lacks, given the installed default from
// platform::InstalledDataFolder. Beside the executable too when no configuration folder is known.
SettingsFiles ProgramSettingsFiles();

// The same choice for a given executable, configuration folder and installed defaults (tests).
SettingsFiles SettingsFilesFor(const std::string& executablePath, const std::string& configurationFolder,
                               const std::string& installedDefaults);

// "/opt/korvex/korvex" -> "/opt/korvex/korvex.INI"; "k.exe" -> "k.INI". The extension starts at the last "."
// after the last "/".
std::string SettingsFileFor(const std::string& executablePath);
// The path up to and including its last "/", or "" when it has none.
std::string FolderOf(const std::string& path);
// What a file dialog keeps of a folder it is set to start in: one trailing "/" or "\" is dropped, except
// from a bare root ("/") and after a drive's colon ("C:\").
std::string DropTrailingSeparator(std::string folder);
// Every CR LF, lone CR and lone LF becomes one CR LF (so LF CR counts as two line breaks).
std::string NormalizeLineBreaks(std::string_view text);

// Loads and saves one set of files, and remembers which stored items it has loaded: an item that exists on
// disk but could not be loaded (an unreadable macro file, a settings file that could not be read) is never
// replaced by what the window happens to hold, until a load or a save has made it ours.
class SettingsStore {
public:
    SettingsStore() : SettingsStore(ProgramSettingsFiles()) {}
    explicit SettingsStore(SettingsFiles files) : files_(std::move(files)) {}

    // Runs every step even after a failed one, then throws SettingsError with the first failure:
    // "Datei %s kann nicht geöffnet werden. %s" (a settings or macro file that exists but cannot be read, or
    // a missing macro file; that block keeps its text) or "'%s' ist kein gültiger Integerwert" (a stored
    // increment index outside 0 to 3; LineNumberIncrement keeps its value).
    void LoadSettings(SettingsControls& controls, conversion::ConversionState& state);

    // Writes the settings file whole (its other lines unchanged), then each macro file whole. Throws
    // SettingsError and writes nothing after the failure: "In %s kann nicht geschrieben werden" (the settings
    // file; no macro file is written then) or "Datei \"%s\" kann nicht erstellt werden. %s" (a macro file).
    void SaveSettings(const SettingsControls& controls);

    const SettingsFiles& Files() const { return files_; }

private:
    enum Item {
        kIncludeLineNumber,
        kXOffsett,
        kYOffsett,
        kZAuf,
        kZab,
        kZOffsett,
        kDivisor,
        kDeltaLineNumberIndex,
        kSuppressLeadingZeros,
        kG81Enabled,
        kInputFolder,
        kSaveFolder,
        kMacroBefore,
        kMacroAfter,
        kJobChoices,
        kBoardChoices,
        kItemCount
    };

    SettingsFiles files_;
    std::array<bool, kItemCount> loaded_{};
};

// The controls as plain values, for korvex-cli. Starts with the window's design contents.
struct SettingsValues : SettingsControls {
    static constexpr std::array<std::string_view, 4> kIncrements{"1", "5", "10", "50"};

    // The stored fields, indexed by conversion::Field; the file names after them.
    std::array<std::string, conversion::kStoredFieldCount> texts{"0", "0", "1", "2", "0", "1"};
    std::array<std::string, conversion::kFieldCount - conversion::kStoredFieldCount> fileNames;
    bool includeLineNumber = false;
    bool suppressLeadingZeros = false;
    bool g81EditEnabled = false;
    int deltaLineNumberIndex = 1;
    std::string macroBefore = "G00 Z30\r\n";
    std::string macroAfter = "M06\r\nG00 Z20\r\n";
    std::string inputFolder;
    std::string saveFolder;

    std::string Text(conversion::Field field) const override { return Slot(field); }
    void SetText(conversion::Field field, const std::string& text) override { Slot(field) = text; }
    bool IncludeLineNumberChecked() const override { return includeLineNumber; }
    void SetIncludeLineNumberChecked(bool checked) override { includeLineNumber = checked; }
    bool SuppressLeadingZerosChecked() const override { return suppressLeadingZeros; }
    void SetSuppressLeadingZerosChecked(bool checked) override { suppressLeadingZeros = checked; }
    bool G81EditEnabled() const override { return g81EditEnabled; }
    void SetG81EditEnabled(bool enabled) override { g81EditEnabled = enabled; }
    int DeltaLineNumberIndex() const override { return deltaLineNumberIndex; }
    void SelectDeltaLineNumberIndex(int index) override {
        deltaLineNumberIndex = index >= 0 && index < static_cast<int>(kIncrements.size()) ? index : -1;
    }
    std::string DeltaLineNumberText() const override {
        return deltaLineNumberIndex < 0 ? std::string()
                                        : std::string(kIncrements[static_cast<std::size_t>(deltaLineNumberIndex)]);
    }
    std::string MacroText(MacroBlock block) const override {
        return block == MacroBlock::Before ? macroBefore : macroAfter;
    }
    void SetMacroText(MacroBlock block, const std::string& text) override {
        (block == MacroBlock::Before ? macroBefore : macroAfter) = text;
    }
    std::string InitialFolder(FileDialog dialog) const override {
        return dialog == FileDialog::Input ? inputFolder : saveFolder;
    }
    void SetInitialFolder(FileDialog dialog, const std::string& folder) override {
        (dialog == FileDialog::Input ? inputFolder : saveFolder) = folder;
    }

private:
    std::string& Slot(conversion::Field field) { return const_cast<std::string&>(std::as_const(*this).Slot(field)); }
    const std::string& Slot(conversion::Field field) const {
        const auto index = static_cast<std::size_t>(field);
        return index < texts.size() ? texts[index] : fileNames[index - texts.size()];
    }
};

// korvex-cli --settings: loads `settingsFile` and the macro files in its folder into `values` and `state`
// exactly as the window does. Throws SettingsError as LoadSettings does, after loading all it could.
void LoadSettingsFile(const std::string& settingsFile, SettingsValues& values, conversion::ConversionState& state);

} // namespace korvex::settings

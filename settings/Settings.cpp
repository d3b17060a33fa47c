#include "settings/Settings.h"

#include "conversion/ConversionState.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/UserFolders.h"
#include "settings/BoardSettings.h"
#include "settings/DrillRackSettings.h"
#include "settings/JobSettings.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace korvex::settings {

namespace {

constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kProgram = "Program";
constexpr std::string_view kIncludeLineNumberKey = "IncludeLineNumber";
constexpr std::string_view kDeltaLineNumberIndexKey = "DeltaLineNumberIndex";
constexpr std::string_view kSuppressLeadingZerosKey = "SuppressLeadingZeros";
constexpr std::string_view kG81EnabledKey = "G81Enabled";
constexpr std::string_view kSourceDir = "SourceDir";
// The save dialog's folder is read from one key and written to another; only a hand-written "SaveDir"
// ever reaches the dialog.
constexpr std::string_view kSaveDirRead = "SaveDir";
constexpr std::string_view kSaveDirWritten = "DestDir";

// The text fields, in the order both LoadSettings and SaveSettings handle them. The Z offset's key is read
// as "edzOffsett" and written as "edZOffsett"; names are compared without case, so it is one key.
struct TextKey {
    conversion::Field field;
    std::string_view readKey;
    std::string_view writtenKey;
    std::string_view defaultValue;
};
constexpr TextKey kTextKeys[] = {
    {conversion::Field::XOffset, "XOffsett", "XOffsett", "0.000"},
    {conversion::Field::YOffset, "YOffsett", "YOffsett", "0.000"},
    {conversion::Field::ZUp, "ZAuf", "ZAuf", "0.000"},
    {conversion::Field::ZDown, "edZab", "edZab", "0.000"},
    {conversion::Field::ZOffset, "edzOffsett", "edZOffsett", "0.000"},
    {conversion::Field::Divisor, "Divisor", "Divisor", "1000"},
};

static_assert(static_cast<std::size_t>(conversion::Field::Divisor) + 1 == conversion::kStoredFieldCount,
              "kTextKeys and the store's items follow conversion::Field");

constexpr MacroBlock kMacroBlocks[] = {MacroBlock::Before, MacroBlock::After};

std::string OpenFailure(const std::string& path, const std::error_code& error) {
    return "Datei " + path + " kann nicht geöffnet werden. " + platform::SystemReason(error);
}

std::string CreateFailure(const std::string& path, const std::error_code& error) {
    return "Datei \"" + path + "\" kann nicht erstellt werden. " + platform::SystemReason(error);
}

std::string WriteFailure(const std::string& path) {
    return "In " + path + " kann nicht geschrieben werden";
}

// Whether something is stored under `path`; when the system cannot tell, assume it is.
bool MayExist(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        return true;
    }
    return !platform::IsMissingFileError(std::error_code(errno, std::generic_category()));
}

} // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string SettingsFileFor(const std::string& executablePath) {
    const std::size_t nameStart = FolderOf(executablePath).size();
    const auto dot = executablePath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot >= nameStart;
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".INI";
}

SettingsFiles SettingsFiles::ForExecutable(const std::string& executablePath) {
    return ForSettingsFile(SettingsFileFor(executablePath));
}

SettingsFiles SettingsFiles::ForSettingsFile(const std::string& settingsFile) {
    SettingsFiles files;
    files.settingsFile = settingsFile;
    files.folder = FolderOf(settingsFile);
    files.macroBefore = files.folder + "TxMacroBefore.txt";
    files.macroAfter = files.folder + "TxMacroAfter.txt";
    files.startFolder = files.folder;
    return files;
}

SettingsFiles SettingsFilesFor(const std::string& executablePath, const std::string& configurationFolder,
                               const std::string& installedDefaults) {
    SettingsFiles portable = SettingsFiles::ForExecutable(executablePath);
    // An installed program (its defaults lie in share/korvex/) never writes into bin/, not even as root or
    // from a prefix the user owns; a settings file put beside it on purpose still wins.
    const bool installed = !installedDefaults.empty() && platform::FileExists(installedDefaults + "korvex.INI");
    // A folder that is not there (or no folder) is nobody's install: its failures are reported with its path.
    struct stat folderInfo {};
    const std::string folder = portable.folder.empty() ? std::string(".") : portable.folder;
    const bool isFolder = ::stat(folder.c_str(), &folderInfo) == 0 && S_ISDIR(folderInfo.st_mode);
    if (configurationFolder.empty() || !isFolder || MayExist(portable.settingsFile) ||
        (!installed && platform::IsWritableFolder(portable.folder))) {
        return portable;
    }
    SettingsFiles user =
        SettingsFiles::ForSettingsFile(configurationFolder + portable.settingsFile.substr(portable.folder.size()));
    user.startFolder.clear();
    // Seeding is best effort: what cannot be copied is reported by loading or saving, with the path.
    if (platform::CreateFolders(configurationFolder)) {
        return user;
    }
    const std::pair<const std::string*, const char*> seeds[] = {
        {&user.settingsFile, "korvex.INI"},
        {&user.macroBefore, "TxMacroBefore.txt"},
        {&user.macroAfter, "TxMacroAfter.txt"},
    };
    for (const auto& [target, defaultName] : seeds) {
        std::string content;
        if (!MayExist(*target) && !installedDefaults.empty() &&
            !platform::ReadWholeFile(installedDefaults + defaultName, content)) {
            static_cast<void>(platform::WriteFileAtomically(*target, content));
        }
    }
    return user;
}

std::string DropTrailingSeparator(std::string folder) {
    const std::size_t size = folder.size();
    if (size >= 2 && (folder.back() == '/' || folder.back() == '\\') && folder[size - 2] != ':') {
        folder.pop_back();
    }
    return folder;
}

std::string NormalizeLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            result += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += c;
        }
    }
    return result;
}

void SettingsStore::LoadSettings(SettingsControls& controls, conversion::ConversionState& state) {
    // Later steps still run after a failed one, so one bad item does not leave the others unloaded (and then
    // overwritten by the next save); the first failure is reported at the end.
    std::optional<std::string> failure;
    auto note = [&failure](std::string message) {
        if (!failure) {
            failure = std::move(message);
        }
    };
    loaded_.fill(false);

    std::string bytes;
    const auto readError = platform::ReadWholeFile(files_.settingsFile, bytes);
    // A missing settings file is a first start: every key takes its default, and that is a loaded value.
    const bool settingsLoaded = !readError || platform::IsMissingFileError(readError);
    if (!settingsLoaded) {
        note(OpenFailure(files_.settingsFile, readError));
    }
    const platform::IniDocument ini(readError ? std::string() : std::move(bytes));

    for (const TextKey& key : kTextKeys) {
        controls.SetText(key.field, ini.ReadString(kSettings, key.readKey, key.defaultValue));
    }
    controls.SetG81EditEnabled(ini.ReadBool(kSettings, kG81EnabledKey, false));
    controls.SelectDeltaLineNumberIndex(ini.ReadInteger(kSettings, kDeltaLineNumberIndexKey, 1));
    controls.SetSuppressLeadingZerosChecked(ini.ReadBool(kSettings, kSuppressLeadingZerosKey, true));

    const std::string incrementText = controls.DeltaLineNumberText();
    if (const auto increment = platform::ParseIniInteger(incrementText)) {
        state.LineNumberIncrement = *increment;
    } else {
        note("'" + incrementText + "' ist kein gültiger Integerwert");
    }

    // The check box runs its click handler only when its state changes; the state gets the value anyway.
    const bool lineNumbersOn = ini.ReadBool(kSettings, kIncludeLineNumberKey, true);
    controls.SetIncludeLineNumberChecked(lineNumbersOn);
    state.LineNumbersOn = lineNumbersOn;

    for (const MacroBlock block : kMacroBlocks) {
        const std::string& path = files_.Macro(block);
        std::string text;
        if (const auto error = platform::ReadWholeFile(path, text)) {
            note(OpenFailure(path, error));
            continue;
        }
        controls.SetMacroText(block, NormalizeLineBreaks(text));
        loaded_[block == MacroBlock::Before ? kMacroBefore : kMacroAfter] = true;
    }

    controls.SetInitialFolder(FileDialog::Input,
                              DropTrailingSeparator(ini.ReadString(kProgram, kSourceDir, files_.startFolder)));
    controls.SetInitialFolder(FileDialog::Save,
                              DropTrailingSeparator(ini.ReadString(kProgram, kSaveDirRead, files_.startFolder)));
    controls.SetJobChoices(ReadJobSettings(ini));
    controls.SetBoardChoices(ReadBoardSettings(ini));
    controls.SetDrillRack(ReadDrillRack(ini));

    if (settingsLoaded) {
        loaded_[kJobChoices] = true;
        loaded_[kBoardChoices] = true;
        for (int item = kIncludeLineNumber; item <= kSaveFolder; ++item) {
            loaded_[static_cast<std::size_t>(item)] = true;
        }
    }
    if (failure) {
        throw SettingsError(*failure);
    }
}

void SettingsStore::SaveSettings(const SettingsControls& controls) {
    // The settings file is read afresh, so lines that others added since the load survive too. Each key goes
    // into the document in the order below (which decides where new keys and sections land), and the
    // document is written once, whole.
    std::string bytes;
    const auto readError = platform::ReadWholeFile(files_.settingsFile, bytes);
    if (readError && !platform::IsMissingFileError(readError)) {
        // Writing without the file's other lines would lose them.
        throw SettingsError(WriteFailure(files_.settingsFile));
    }
    platform::IniDocument ini(readError ? std::string() : std::move(bytes));

    std::array<bool, kItemCount> written{};
    auto put = [&](Item item, std::string_view section, std::string_view key, const std::string& value) {
        if (!loaded_[item] && ini.HasKey(section, key)) {
            return; // stored, but never loaded: the window's value is not the user's
        }
        ini.WriteString(section, key, value);
        written[item] = true;
    };
    auto flag = [](bool value) { return std::string(value ? "1" : "0"); };

    put(kIncludeLineNumber, kSettings, kIncludeLineNumberKey, flag(controls.IncludeLineNumberChecked()));
    for (const TextKey& key : kTextKeys) {
        const auto item = static_cast<Item>(kXOffsett + static_cast<int>(key.field));
        put(item, kSettings, key.writtenKey, controls.Text(key.field));
    }
    put(kInputFolder, kProgram, kSourceDir, controls.InitialFolder(FileDialog::Input));
    put(kSaveFolder, kProgram, kSaveDirWritten, controls.InitialFolder(FileDialog::Save));
    put(kDeltaLineNumberIndex, kSettings, kDeltaLineNumberIndexKey, std::to_string(controls.DeltaLineNumberIndex()));
    put(kSuppressLeadingZeros, kSettings, kSuppressLeadingZerosKey, flag(controls.SuppressLeadingZerosChecked()));
    put(kG81Enabled, kSettings, kG81EnabledKey, flag(controls.G81EditEnabled()));
    if (const JobSettings* choices = controls.JobChoices(); choices && (loaded_[kJobChoices] || !HasJobSettings(ini))) {
        WriteJobSettings(ini, *choices);
        written[kJobChoices] = true;
    }
    if (const BoardSettings* board = controls.BoardChoices();
        board && (loaded_[kBoardChoices] || !HasBoardSettings(ini))) {
        WriteBoardSettings(ini, *board);
        written[kBoardChoices] = true;
    }
    if (const excellon::DrillRack* rack = controls.DrillRack(); rack && (loaded_[kJobChoices] || !HasDrillRack(ini))) {
        WriteDrillRack(ini, *rack);
    }

    if (platform::WriteFileAtomically(files_.settingsFile, ini.Text())) {
        throw SettingsError(WriteFailure(files_.settingsFile));
    }
    for (std::size_t item = 0; item < written.size(); ++item) {
        loaded_[item] = loaded_[item] || written[item];
    }

    for (const MacroBlock block : kMacroBlocks) {
        const Item item = block == MacroBlock::Before ? kMacroBefore : kMacroAfter;
        const std::string& path = files_.Macro(block);
        if (!loaded_[item] && MayExist(path)) {
            continue; // a file that could not be loaded keeps what it holds
        }
        if (const auto error = platform::WriteFileAtomically(path, controls.MacroText(block))) {
            throw SettingsError(CreateFailure(path, error));
        }
        loaded_[item] = true;
    }
}

void LoadSettingsFile(const std::string& settingsFile, SettingsValues& values, conversion::ConversionState& state) {
    SettingsStore(SettingsFiles::ForSettingsFile(settingsFile)).LoadSettings(values, state);
}

} // namespace korvex::settings

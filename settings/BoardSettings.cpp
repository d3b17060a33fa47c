#include "settings/BoardSettings.h"

#include <array>
#include <charconv>
#include <cmath>

#include "excellon/BoardOptions.h"
#include "job/ConvertJob.h"
#include "platform/DecimalText.h"
#include "platform/IniFile.h"

namespace korvex::settings {

namespace {

constexpr std::string_view kSideSection = "BoardSide";
constexpr std::string_view kFilesSection = "BoardFiles";
constexpr std::array<std::string_view, 5> kSideKeys{"Side", "Axis", "MirrorAt", "AlignmentHoles", "Origin"};
constexpr std::string_view kCountKey = "Count";

struct OriginWord {
    excellon::BoardOrigin origin;
    std::string_view word;
};
// The words of korvex-cli's --origin.
constexpr OriginWord kOriginWords[] = {{excellon::BoardOrigin::File, "file"},
                                       {excellon::BoardOrigin::LowerLeft, "lower-left"},
                                       {excellon::BoardOrigin::Center, "center"}};

std::string FileKey(std::size_t index) {
    return "File" + std::to_string(index + 1);
}

std::string NumberText(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

// An optional number in range; empty text is "none", anything unreadable keeps `fallback`.
std::optional<double> ReadOptionalNumber(const platform::IniDocument& ini, std::string_view key, double low,
                                         double high, std::optional<double> fallback) {
    const std::optional<std::string> text = ini.Value(kSideSection, key);
    if (!text) {
        return fallback;
    }
    if (text->empty()) {
        return std::nullopt;
    }
    const std::optional<double> value = platform::ReadDecimal(*text);
    return value && *value >= low && *value <= high ? value : fallback;
}

// The key's word in lower case, as the words are compared: a hand-edited "Bottom" still counts.
std::string Word(const platform::IniDocument& ini, std::string_view key, std::string_view fallback) {
    std::string word = ini.ReadString(kSideSection, key, fallback);
    for (char& c : word) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return word;
}

bool SideInFile(const platform::IniDocument& ini) {
    for (const std::string_view key : kSideKeys) {
        if (ini.HasKey(kSideSection, key)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool BoardSideSettings::operator==(const BoardSideSettings& other) const {
    return bottom == other.bottom && axis == other.axis && mirrorAt == other.mirrorAt &&
           alignmentHoleMm == other.alignmentHoleMm && origin == other.origin;
}

bool BoardSettings::operator==(const BoardSettings& other) const {
    return side == other.side && moreFiles == other.moreFiles;
}

BoardSettings ReadBoardSettings(const platform::IniDocument& ini) {
    BoardSettings settings;
    BoardSideSettings& side = settings.side;
    const std::string sideWord = Word(ini, "Side", "top");
    side.bottom = sideWord == "bottom" || (sideWord != "top" && side.bottom);
    const std::string axisWord = Word(ini, "Axis", "x");
    side.axis = axisWord == "y" ? excellon::MirrorAxis::Y : axisWord == "x" ? excellon::MirrorAxis::X : side.axis;
    side.mirrorAt = ReadOptionalNumber(ini, "MirrorAt", -kMaxMirrorAt, kMaxMirrorAt, side.mirrorAt);
    side.alignmentHoleMm =
        ReadOptionalNumber(ini, "AlignmentHoles", kMinAlignmentHole, kMaxAlignmentHole, side.alignmentHoleMm);
    const std::string originWord = Word(ini, "Origin", "file");
    for (const OriginWord& entry : kOriginWords) {
        if (originWord == entry.word) {
            side.origin = entry.origin;
        }
    }

    const std::int32_t count = ini.ReadInteger(kFilesSection, kCountKey, 0);
    for (std::int32_t i = 0; i < count && i < 1000; ++i) {
        if (std::string file = ini.ReadString(kFilesSection, FileKey(static_cast<std::size_t>(i)), ""); !file.empty()) {
            settings.moreFiles.push_back(std::move(file));
        }
    }
    return settings;
}

bool HasBoardSettings(const platform::IniDocument& ini) {
    return SideInFile(ini) || ini.HasKey(kFilesSection, kCountKey);
}

void WriteBoardSettings(platform::IniDocument& ini, const BoardSettings& settings) {
    const BoardSettings defaults;
    const BoardSideSettings& side = settings.side;
    if (side != defaults.side || SideInFile(ini)) {
        ini.WriteString(kSideSection, "Side", side.bottom ? "bottom" : "top");
        ini.WriteString(kSideSection, "Axis", side.axis == excellon::MirrorAxis::Y ? "y" : "x");
        ini.WriteString(kSideSection, "MirrorAt", side.mirrorAt ? NumberText(*side.mirrorAt) : std::string());
        ini.WriteString(kSideSection, "AlignmentHoles",
                        side.alignmentHoleMm ? NumberText(*side.alignmentHoleMm) : std::string());
        for (const OriginWord& entry : kOriginWords) {
            if (entry.origin == side.origin) {
                ini.WriteString(kSideSection, "Origin", entry.word);
            }
        }
    }
    if (settings.moreFiles != defaults.moreFiles || ini.HasKey(kFilesSection, kCountKey)) {
        ini.WriteInteger(kFilesSection, kCountKey, static_cast<std::int32_t>(settings.moreFiles.size()));
        for (std::size_t i = 0; i < settings.moreFiles.size(); ++i) {
            ini.WriteString(kFilesSection, FileKey(i), settings.moreFiles[i]);
        }
        // The file cannot lose keys; the entries of a longer list before are emptied so that no stale name is
        // read back should Count be edited by hand.
        for (std::size_t i = settings.moreFiles.size(); ini.HasKey(kFilesSection, FileKey(i)); ++i) {
            ini.WriteString(kFilesSection, FileKey(i), "");
        }
    }
}

excellon::BoardPlacement ToBoardPlacement(const BoardSideSettings& side) {
    excellon::BoardPlacement placement;
    placement.origin = side.origin;
    if (side.bottom) {
        // The window offers X and Y only: the top side is "no mirror".
        placement.mirror = side.axis == excellon::MirrorAxis::Y ? excellon::MirrorAxis::Y : excellon::MirrorAxis::X;
        placement.mirrorAt = side.mirrorAt;
        placement.alignmentHoleMm = side.alignmentHoleMm;
    }
    return placement;
}

std::string ApplyBoardSettings(const BoardSettings& settings, job::JobOptions& options) {
    if (!settings.Active()) {
        return std::string();
    }
    if (!options.reading.excellon) {
        return "Warning: Board side and board files act in the Excellon reading only; this run ignored them";
    }
    options.board.placement = ToBoardPlacement(settings.side);
    options.board.moreFiles = settings.moreFiles;
    return std::string();
}

} // namespace korvex::settings
